#!/bin/sh
# Configures and builds the project in ./build (Release).
#   scripts/build.sh          the plug-in bundle and the renderer only
#   scripts/build.sh --all    everything, with the tests and benchmarks
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
jobs=$(nproc 2>/dev/null || echo 2)
if [ "${1:-}" = "--all" ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DVANTOREL_TESTS=ON -DVANTOREL_BENCH=ON >/dev/null
  cmake --build build -j "$jobs"
else
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DVANTOREL_TESTS=OFF -DVANTOREL_BENCH=OFF >/dev/null
  cmake --build build -j "$jobs" --target vantorel_bundle vantorel-render
fi
