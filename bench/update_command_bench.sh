#!/usr/bin/env bash
# Times the whole update command on a large list against a large tariff,
# next to sqlite3's own .import of the same data lines and, when given, the
# same command of other builds (the one before a change, the one before a
# series of changes), in one run on the same machine: the runs alternate, so
# a busy machine slows them all alike.
#
#   bench/update_command_bench.sh [ZEILEN] [TARIFZEILEN] [LÄUFE] [VERGLEICHSPROGRAMM...]
#   (Vorgabe: 1M 1M 2, kein Vergleich)
#
# Prints the wall time, the CPU time and the peak memory of each run
# (/usr/bin/time from the Debian package "time") and the ratio to .import.
set -euo pipefail
cd "$(dirname "$0")/.."

lines=${1:-1M}
tariff_rows=${2:-1M}
runs=${3:-2}
baselines=("${@:4}")
build_dir=${BUILD_DIR:-build-release}
header_lines=5 # "#kvtpricelist", List-ID, List-Sequence, Effective, blank line

command -v sqlite3 >/dev/null || { echo "sqlite3 fehlt (Paket sqlite3)" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time fehlt (Paket time)" >&2; exit 1; }

cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPREISLISTE_BUILD_TESTS=OFF >/dev/null
cmake --build "$build_dir" --parallel 2 --target preisliste generate_pricelist >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/preisliste-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
list="$work/preise.csv"
"$build_dir/bench/generate_pricelist" --lines "$lines" --seed 7 --output "$list" \
  --tariff "$work/Numbers.mdb" --tariff-rows "$tariff_rows" >/dev/null
printf '[Options]\nMwSt=19\nRatingDefaultMargin=60\nMinimumRatePerMinute=0,10\n' >"$work/Telvoro.ini"

programs=("$build_dir/preisliste" "${baselines[@]}")

import_once() {
  rm -f "$work/sqlite.mdb"
  local start end
  start=$(date +%s.%N)
  sqlite3 "$work/sqlite.mdb" <<SQL
CREATE TABLE PriceList (Vorwahl TEXT, Ziel TEXT, PreisEk TEXT);
.mode csv
.separator ";"
.import --skip $header_lines $list PriceList
SQL
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }'
}

update_once() {
  rm -rf "$work/run" && mkdir "$work/run" && cp "$work/Numbers.mdb" "$work/run/"
  /usr/bin/time -f "%e %U %S %M" -o "$work/time.txt" "$1" update --settings "$work/Telvoro.ini" \
    --db "$work/run/Numbers.mdb" --file "$list" --max-removed 100 >/dev/null 2>"$work/stderr.txt"
  read -r wall user sys peak <"$work/time.txt"
  echo "$wall $(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.2f", u + s }') $((peak / 1024))"
}

echo "Preisliste: $lines Zeilen, Tarif: $tariff_rows Zeilen; $runs Läufe, abwechselnd"
for ((run = 1; run <= runs; run++)); do
  import_seconds=$(import_once)
  printf '  Lauf %d: sqlite3 .import %s s\n' "$run" "$import_seconds"
  for program in "${programs[@]}"; do
    read -r wall cpu peak < <(update_once "$program")
    ratio=$(awk -v a="$wall" -v b="$import_seconds" 'BEGIN { printf "%.1f", a / b }')
    printf '    %-50s %6s s (CPU %s s, %s MB), %sx .import\n' "$program" "$wall" "$cpu" "$peak" "$ratio"
  done
done
