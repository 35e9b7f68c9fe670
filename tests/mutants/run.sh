#!/bin/sh
# Applies each deliberate fault (tests/mutants/*.patch) to a scratch clone of a commit, builds it
# and runs the tests until the first failure; prints one line per fault: caught or missed.
# Usage: sh tests/mutants/run.sh [commit] [patch...]
#   commit   the code and tests to try (default HEAD of this repository)
#   patch    only these faults (default all)
# The scratch clone and its build folder (MUTANTS_DIR, default /tmp/hub-mutants) are kept and
# reused, so that each fault costs one incremental build. A patch's first line "Tests: regex"
# names the tests that should catch it: they run first, the rest only when they all pass.
set -eu
repo=$(cd "$(dirname "$0")/../.." && pwd)
commit=$(git -C "$repo" rev-parse "${1:-HEAD}")
[ $# -gt 0 ] && shift
[ $# -gt 0 ] || set -- "$repo"/tests/mutants/*.patch
scratch=${MUTANTS_DIR:-/tmp/hub-mutants}
build="$scratch/build"
jobs=${JOBS:-2}

[ -d "$scratch/.git" ] || git init -q "$scratch"
git -C "$scratch" fetch -q "$repo" "$commit"
git -C "$scratch" checkout -q -f --detach "$commit"
[ -f "$build/CMakeCache.txt" ] || cmake -S "$scratch" -B "$build" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache >/dev/null
[ -d "$scratch/web/node_modules" ] || (cd "$scratch/web" && npm ci --no-audit --no-fund >/dev/null)
# A fault only counts as caught by a failed build when the commit itself builds.
if ! cmake --build "$build" --parallel "$jobs" >"$scratch/build.log" 2>&1; then
    echo "the commit itself does not build: see $scratch/build.log" >&2
    exit 1
fi
sh "$repo/tests/harness/prepare-prefix.sh" "$build" >/dev/null

# Runs the tests matching the ctest selection in $@; prints the first failure's name.
first_failure() {
    ctest --test-dir "$build" --parallel "$jobs" --stop-on-failure "$@" >"$scratch/ctest.log" 2>&1 ||
        grep -m1 -E '\*\*\*(Failed|Timeout|Exception)|Not Run' "$scratch/ctest.log" |
        sed -E 's/^.*Test +#[0-9]+: ([^ ]+).*$/\1/' | grep . || true
}

caught=0
total=0
for patch in "$@"; do
    patch=$(cd "$(dirname "$patch")" && pwd)/$(basename "$patch")
    name=$(basename "$patch" .patch)
    total=$((total + 1))
    git -C "$scratch" reset -q --hard "$commit"
    git -C "$scratch" apply "$patch"
    if ! cmake --build "$build" --parallel "$jobs" >"$scratch/build.log" 2>&1; then
        echo "$name: caught (does not build)"
        caught=$((caught + 1))
        continue
    fi
    hint=$(sed -n '1s/^Tests: //p' "$patch")
    failure=
    [ -n "$hint" ] && failure=$(first_failure -R "$hint")
    [ -z "$failure" ] && failure=$(first_failure ${hint:+-E "$hint"})
    if [ -n "$failure" ]; then
        echo "$name: caught by $failure"
        caught=$((caught + 1))
    else
        echo "$name: MISSED"
    fi
done
git -C "$scratch" reset -q --hard "$commit"
sh "$repo/tests/harness/stop-server.sh" "$build"
echo "$caught of $total faults caught"
