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
sh "$(dirname "$0")/wine-run.sh" "$@" </dev/null >"$output" 2>"$errors" &
test_process=$!
trap 'kill "$test_process" 2>/dev/null; show; exit 124' TERM INT
wait "$test_process"
status=$?
show
exit "$status"
