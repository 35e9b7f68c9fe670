#!/bin/sh
# Builds and runs a benchmark in the build's Wine prefix, beside the harness's local HTTPS test
# server, and prints its figures. Not part of "make test".
# Usage: sh benchmarks/run.sh [BUILD_DIR [BENCHMARK]]
#        (defaults: build, install_benchmark; the other one is controller_benchmark)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
benchmark=${2:-install_benchmark}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target "$benchmark" tar_standin >/dev/null
status=0
sh "$root/tests/harness/wine-run.sh" "$build" "$build/benchmarks/$benchmark.exe" ||
    status=$?
sh "$root/tests/harness/https-server.sh" stop "$build"
sh "$root/tests/harness/stop-server.sh" "$build"
exit $status
