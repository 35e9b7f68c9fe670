#!/bin/sh
# Runs a Windows test executable under Wine in the build's own prefix.
# Usage: wine-run.sh BUILD_DIR program.exe [arguments...]
# The prefix is created on first use and reused; the wine server is started here with its
# standard streams on /dev/null so that it never holds the caller's output pipe.
set -eu
build_dir=$(cd "$1" && pwd)
shift
harness_dir=$(cd "$(dirname "$0")" && pwd)
. "$harness_dir/prefix-env.sh"
"$harness_dir/prepare-prefix.sh" "$build_dir"
HUB_TEST_PREFIX=$WINEPREFIX
export HUB_TEST_PREFIX
exec wine "$@"
