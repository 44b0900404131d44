#!/bin/sh
# Builds the fuzz targets in build-fuzz/ (clang, libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer),
# writes their seed corpora and runs each target for SECONDS seconds (default 60). Crashing inputs are
# kept in build-fuzz/crashes/. Not part of the normal build or of CI.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
out="$top/build-fuzz"
"$top/scripts/setup.sh" "$top/scripts/packages.txt" "$top/scripts/packages-fuzz.txt"
CXX=clang++ cmake -S "$top" -B "$out" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTOREL_FUZZ=ON \
  -DVANTOREL_TESTS=OFF -DVANTOREL_BENCH=OFF >/dev/null
cmake --build "$out" -j "$(nproc 2>/dev/null || echo 2)" --target fuzz_fxb fuzz_state fuzz_ini fuzz_seeds
mkdir -p "$out/corpus" "$out/crashes"
"$out/fuzz/fuzz_seeds" "$out/corpus"
for target in fxb state ini; do
  echo "== fuzz_$target for $seconds s"
  "$out/fuzz/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$out/crashes/$target-" \
    "$out/corpus/$target"
done
