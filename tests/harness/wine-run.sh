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
# The local HTTPS test server runs beside the prefix; tests find it through its two ports.
if sh "$harness_dir/https-server.sh" start "$build_dir"; then
    . "$build_dir/https-server/ports"
    export HUB_TEST_HTTPS_PORT HUB_TEST_HTTPS_CONTROL_PORT
fi
HUB_TEST_PREFIX=$WINEPREFIX
export HUB_TEST_PREFIX
exec wine "$@"
