#!/bin/sh
# Sets everything up, builds everything and runs all tests.
set -eu
top=$(cd "$(dirname "$0")" && pwd)
"$top/scripts/setup.sh" "$top/scripts/packages.txt" "$top/scripts/packages-test.txt"
"$top/scripts/build.sh" --all
cd "$top/build"
ctest --output-on-failure -j "$(nproc 2>/dev/null || echo 2)"
