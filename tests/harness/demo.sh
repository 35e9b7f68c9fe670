#!/bin/sh
# Runs the demo: the demo world (demo-world.sh), the local HTTPS server standing for the maker's
# web host, the headless host under Wine with that server's origins, and the bridge that serves
# the interface to a browser on a loopback address.
# Usage: demo.sh BUILD_DIR UI_DIR DEMO_DIR open|check
#   open   opens the interface in Chromium as an app window when there is a display (otherwise
#          prints the address) and runs until Ctrl-C
#   check  runs tests/demo/demo_check.mjs against it without a display and ends with its result
# Whatever it started is stopped when it ends, also on Ctrl-C: the browser, the bridge (which
# closes the host's input, so the hub shuts down as it does when its window closes), the server,
# and every Wine process of the demo prefix. DEMO_PORT chooses the bridge's port (default: any
# free one).
set -eu
binary_dir=$(cd "$1" && pwd)
ui_dir=$(cd "$2" && pwd)
mkdir -p "$3"
demo_dir=$(cd "$3" && pwd)
mode=$4
harness_dir=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$harness_dir/../.." && pwd)
display=${DISPLAY:-}
server_pid="" bridge_pid="" browser_pid=""

say() { printf 'demo: %s\n' "$*"; }

# Waits until FILE has a line matching PATTERN while process PID lives; prints that line.
await_line() {
    tries=0
    until grep -m 1 "$2" "$1" 2>/dev/null; do
        tries=$((tries + 1))
        if [ $tries -gt 1200 ] || ! kill -0 "$3" 2>/dev/null; then
            say "$4 did not start; see $1" >&2
            return 1
        fi
        sleep 0.1
    done
}

stop_process() { # pid, seconds to wait before it is killed
    [ -n "$1" ] && kill -0 "$1" 2>/dev/null || return 0
    kill "$1" 2>/dev/null || true
    tries=0
    while kill -0 "$1" 2>/dev/null && [ $tries -lt $(($2 * 10)) ]; do
        tries=$((tries + 1))
        sleep 0.1
    done
    kill -9 "$1" 2>/dev/null || true
}

cleanup() {
    trap - EXIT INT TERM
    stop_process "$browser_pid" 5
    stop_process "$bridge_pid" 20
    stop_process "$server_pid" 5
    wineserver -k </dev/null >/dev/null 2>&1 || true
    say "stopped"
}

started=$(date +%s)
build_dir=$demo_dir
. "$harness_dir/prefix-env.sh"
trap cleanup EXIT
trap 'exit 130' INT TERM
sh "$harness_dir/demo-world.sh" "$binary_dir" "$demo_dir"

# The maker's web host: the world's site folder over HTTPS, certificate from the demo's own CA,
# at 8 MiB/s, so that the Tarsek package's download can be watched.
state="$demo_dir/run"
rm -rf "$state"
mkdir -p "$state"
setsid python3 "$harness_dir/https_server.py" --folder "$demo_dir/site" --idle-exit 86400 \
    --folder-rate 8388608 \
    --certificate "$demo_dir/test-ca/localhost.pem" --key "$demo_dir/test-ca/localhost.key" \
    --ports-file "$state/ports" </dev/null >"$state/server.log" 2>&1 &
server_pid=$!
await_line "$state/ports" HUB_TEST_HTTPS_PORT "$server_pid" "the HTTPS server" >/dev/null
. "$state/ports"
origin="https://localhost:$HUB_TEST_HTTPS_PORT"

# Its own session: Ctrl-C reaches this script only, which then closes the host in order.
setsid node "$harness_dir/bridge.mjs" --ui "$ui_dir" --port "${DEMO_PORT:-0}" -- \
    wine "$binary_dir/tests/hub_headless_host.exe" --web-origin "$origin" \
    --documentation-origin "$origin" </dev/null >"$state/bridge.out" 2>"$state/host.log" &
bridge_pid=$!
address=$(await_line "$state/bridge.out" '^bridge listening on ' "$bridge_pid" "the bridge" |
    sed 's/^bridge listening on //')
[ -n "$address" ] || exit 1
say "ready after $(($(date +%s) - started)) s: $address"
say "packages served from $origin (log: $state/server.log); host log: $state/host.log"

if [ "$mode" = check ]; then
    DEMO_URL=$address DEMO_PREFIX=$WINEPREFIX DEMO_SCREENSHOTS="$demo_dir/screenshots" \
        node --test --test-concurrency=1 "$root/tests/demo/demo_check.mjs"
    exit
fi
browser=$(command -v chromium || true)
if [ -n "$display" ] && [ -n "$browser" ]; then
    sandbox=""
    [ "$(id -u)" -ne 0 ] || sandbox=--no-sandbox
    DISPLAY=$display setsid "$browser" --app="$address" --user-data-dir="$demo_dir/chromium" \
        --window-size=1280,800 --no-first-run --disable-background-networking \
        --disable-component-update --disable-sync $sandbox </dev/null >"$state/browser.log" 2>&1 &
    browser_pid=$!
    say "opened in Chromium; Ctrl-C stops the demo"
else
    say "open $address in a browser; Ctrl-C stops the demo"
fi
wait "$bridge_pid"
