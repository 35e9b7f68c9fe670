#!/bin/sh
# Runs one test executable for CTest, as wine-run.sh does, with its output passed on through
# files. Wine may start a helper process on the test's behalf that outlives the test; holding
# CTest's output pipe, it would keep CTest waiting until the time-out although the test ended.
# Usage: wine-test.sh BUILD_DIR program.exe [arguments...]
set -u
output=$(mktemp) && errors=$(mktemp) || exit 1
show() {
    cat "$output"
    cat "$errors" >&2
    rm -f "$output" "$errors"
}
# Ended here before CTest's time-out of 120 s (tests/CMakeLists.txt) ends this script without a
# word: what the test printed up to then is shown.
timeout 110 sh "$(dirname "$0")/wine-run.sh" "$@" </dev/null >"$output" 2>"$errors" &
test_process=$!
trap 'kill "$test_process" 2>/dev/null; show; exit 124' TERM INT
wait "$test_process"
status=$?
[ "$status" -eq 124 ] && echo "wine-test.sh: the test was stopped after 110 s" >>"$errors"
show
exit "$status"
