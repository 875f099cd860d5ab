#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time
# (FUZZ_SECONDS, default 60) on a copy of its seed corpus. Exits non-zero on
# the first crash, leak or sanitizer report.
set -euo pipefail
cd "$(dirname "$0")/.."
EXTRA_PACKAGES="clang libclang-rt-14-dev" bash scripts/setup.sh --deps-only
build_dir=build-fuzz
CXX=clang++ CC=clang cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPREISLISTE_FUZZ=ON >/dev/null
cmake --build "$build_dir" --parallel "$(nproc)" --target fuzz_header fuzz_pricelist fuzz_ruleinput
seconds=${FUZZ_SECONDS:-60}
for target in header pricelist ruleinput; do
  corpus=$(mktemp -d)
  cp fuzz/corpus/$target/* "$corpus"/
  echo "Fuzzing $target for ${seconds}s"
  "$build_dir/fuzz_$target" -max_total_time="$seconds" -max_len=65536 -timeout=10 -print_final_stats=1 "$corpus" 2>&1 | tail -n 12
  rm -rf "$corpus"
done
