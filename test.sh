#!/bin/sh
# Sets everything up, builds and runs all tests.
set -eu
top=$(cd "$(dirname "$0")" && pwd)
"$top/scripts/setup.sh"
"$top/scripts/build.sh"
cd "$top/build"
ctest --output-on-failure -j "$(nproc 2>/dev/null || echo 2)"
