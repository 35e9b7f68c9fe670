#!/bin/sh
# Stops the wine server (and with it every Wine process) of the build's test prefix.
# Usage: stop-server.sh BUILD_DIR
set -eu
[ -d "$1/wineprefix" ] || exit 0
build_dir=$(cd "$1" && pwd)
. "$(cd "$(dirname "$0")" && pwd)/prefix-env.sh"
wineserver -k </dev/null >/dev/null 2>&1 || true
