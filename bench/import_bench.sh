#!/usr/bin/env bash
# Times the staging import of a large price list next to sqlite3's own
# .import of the same data lines, in one run on the same machine.
#
#   bench/import_bench.sh [ZEILEN] [LÄUFE]      (Vorgabe: 100k, 3)
#
# Builds a Release build in build-release (BUILD_DIR overrides it) when it is
# missing or out of date, generates the list with a fixed seed and reports the
# best of the runs for:
#   1. preisliste update --db D --file F   (the whole command on a fresh copy
#      of the tariff each run: backup, import, merge, recalculation, commit)
#   2. ImportPriceListFile and commit      (bench/import_bench)
#   3. sqlite3 .import of the data lines into a table of three columns
# The goal: import of 100,000 lines under 0.5 s and at most twice sqlite3.
set -euo pipefail
cd "$(dirname "$0")/.."

lines=${1:-100k}
runs=${2:-3}
build_dir=${BUILD_DIR:-build-release}
header_lines=5 # "#kvtpricelist", List-ID, List-Sequence, Effective, blank line

command -v sqlite3 >/dev/null || { echo "sqlite3 fehlt (Paket sqlite3)" >&2; exit 1; }

cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPREISLISTE_BUILD_TESTS=OFF >/dev/null
cmake --build "$build_dir" --parallel 2 --target preisliste generate_pricelist import_bench >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/preisliste-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
list="$work/preise.csv"
"$build_dir/bench/generate_pricelist" --lines "$lines" --seed 2011 --output "$list" \
  --tariff "$work/Numbers.mdb" --tariff-rows 20k
data_lines=$(($(wc -l <"$list") - header_lines))
printf '[Options]\nMwSt=19\nRatingDefaultMargin=60\nMinimumRatePerMinute=0,10\n' >"$work/Telvoro.ini"

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.4f", b - a }'; }
minimum() { printf '%s\n' "$@" | sort -g | head -1; }

# 1. The whole command on a fresh copy of the tariff.
cli_times=()
for ((run = 1; run <= runs; run++)); do
  cp "$work/Numbers.mdb" "$work/cli.mdb"
  start=$(now)
  "$build_dir/preisliste" update --settings "$work/Telvoro.ini" --db "$work/cli.mdb" --file "$list" >/dev/null
  cli_times+=("$(elapsed "$start" "$(now)")")
  # The merge has dropped Import2; the new tariff holds the list's rows.
  tariff_rows=$(sqlite3 "$work/cli.mdb" "SELECT COUNT(*) FROM Numbers")
  [ "$tariff_rows" -ge 1 ] || { echo "Numbers ist nach dem Update leer" >&2; exit 1; }
done

# 2. Import and commit alone, timed inside the process.
cp "$work/Numbers.mdb" "$work/bench.mdb"
bench_output=$("$build_dir/bench/import_bench" --db "$work/bench.mdb" --file "$list" --runs "$runs")
read -r _ import_best import_rows < <(grep '^best ' <<<"$bench_output")
[ "$import_rows" -eq "$data_lines" ] || { echo "import_bench: $import_rows statt $data_lines Zeilen" >&2; exit 1; }

# 3. sqlite3's own CSV import of the same data lines, header block skipped.
sqlite_times=()
for ((run = 1; run <= runs; run++)); do
  cp "$work/Numbers.mdb" "$work/sqlite.mdb"
  start=$(now)
  sqlite3 "$work/sqlite.mdb" <<EOF
CREATE TABLE PriceList (Vorwahl TEXT, Ziel TEXT, PreisEk TEXT);
.mode csv
.separator ";"
.import --skip $header_lines $list PriceList
EOF
  sqlite_times+=("$(elapsed "$start" "$(now)")")
  imported=$(sqlite3 "$work/sqlite.mdb" "SELECT COUNT(*) FROM PriceList")
  [ "$imported" -eq "$data_lines" ] || { echo "sqlite3 .import: $imported statt $data_lines Zeilen" >&2; exit 1; }
done

cli_best=$(minimum "${cli_times[@]}")
sqlite_best=$(minimum "${sqlite_times[@]}")
ratio=$(awk -v a="$import_best" -v b="$sqlite_best" 'BEGIN { printf "%.2f", a / b }')
verdict=$(awk -v a="$import_best" -v r="$ratio" -v n="$data_lines" 'BEGIN {
  limit = 0.5 * n / 100000
  print (a < limit && r <= 2.0) ? "erreicht" : "verfehlt" }')

echo "Preisliste: $data_lines Datenzeilen, $(du -h "$list" | cut -f1); beste von $runs Läufen"
echo "Maschine: $(nproc) Kerne, $(sqlite3 --version | cut -d' ' -f1-2)"
printf '  %-46s %8s s   (%s)\n' "preisliste update --db D --file F (gesamt)" "$cli_best" "${cli_times[*]}"
printf '  %-46s %8s s\n' "ImportPriceListFile + Commit (import_bench)" "$import_best"
printf '  %-46s %8s s   (%s)\n' "sqlite3 .import derselben Datenzeilen" "$sqlite_best" "${sqlite_times[*]}"
printf '  %-46s %8s\n' "Verhältnis Import / sqlite3" "$ratio"
echo "Ziel (unter 0,5 s je 100.000 Zeilen, höchstens 2x sqlite3): $verdict"
