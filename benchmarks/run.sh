#!/bin/sh
# Builds and runs the installation benchmark in the build's Wine prefix, beside the harness's
# local HTTPS test server, and prints its figures. Not part of "make test".
# Usage: sh benchmarks/run.sh [BUILD_DIR]   (default: build)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target install_benchmark tar_standin >/dev/null
status=0
sh "$root/tests/harness/wine-run.sh" "$build" "$build/benchmarks/install_benchmark.exe" ||
    status=$?
sh "$root/tests/harness/https-server.sh" stop "$build"
sh "$root/tests/harness/stop-server.sh" "$build"
exit $status
