#!/usr/bin/env bash
# Runs a large list from the window and reports whether the window keeps
# painting and how quickly "Stopp" brings it back to idle.
#
#   bench/window_run_bench.sh [ZEILEN] [TARIFZEILEN]   (Vorgabe: 100k, 50k)
#
# Builds a Release build in build-release (BUILD_DIR overrides it), generates
# the list and a matching tariff with a fixed seed, then measures on the
# offscreen platform and, when xvfb-run is there, on a virtual X display.
set -euo pipefail
cd "$(dirname "$0")/.."

lines=${1:-100k}
tariff_rows=${2:-50k}
build_dir=${BUILD_DIR:-build-release}

cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPREISLISTE_BUILD_TESTS=OFF >/dev/null
cmake --build "$build_dir" --parallel 2 --target generate_pricelist window_run_bench >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/preisliste-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
"$build_dir/bench/generate_pricelist" --lines "$lines" --seed 7 --output "$work/preise.csv" \
  --tariff "$work/Numbers.mdb" --tariff-rows "$tariff_rows" >/dev/null

echo "Liste: $lines Zeilen, Tarif: $tariff_rows Zeilen"
QT_QPA_PLATFORM=offscreen "$build_dir/bench/window_run_bench" --db "$work/Numbers.mdb" --file "$work/preise.csv"
if command -v xvfb-run >/dev/null; then
  QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" \
    "$build_dir/bench/window_run_bench" --db "$work/Numbers.mdb" --file "$work/preise.csv"
fi
