#!/bin/sh
# Starts or stops the build's local HTTPS test server (https_server.py).
# Usage: https-server.sh start|stop BUILD_DIR
# start is cheap when the server already runs; it makes the prefix first, whose hook makes the
# certificates. The server's ports are in BUILD_DIR/https-server/ports (shell assignments),
# its output in BUILD_DIR/https-server/server.log.
set -eu
action=$1
mkdir -p "$2"
build_dir=$(cd "$2" && pwd)
harness_dir=$(cd "$(dirname "$0")" && pwd)
state="$build_dir/https-server"

running() {
    [ -f "$state/pid" ] && [ -f "$state/ports" ] && kill -0 "$(cat "$state/pid")" 2>/dev/null
}

start() {
    running && return 0
    sh "$harness_dir/prepare-prefix.sh" "$build_dir"
    if [ ! -f "$build_dir/test-ca/localhost.pem" ]; then
        echo "no test certificate in $build_dir/test-ca: delete $build_dir/wineprefix" \
            "so that the next run makes the prefix and its certificate authority anew" >&2
        return 1
    fi
    mkdir -p "$state"
    exec 8>"$state/lock"
    flock 8
    running && return 0
    rm -f "$state/ports" "$state/pid"
    # Its own session, no standard streams of the caller and not the lock: the server outlives
    # this script without holding anybody's pipe.
    setsid python3 "$harness_dir/https_server.py" \
        --certificate "$build_dir/test-ca/localhost.pem" --key "$build_dir/test-ca/localhost.key" \
        --ports-file "$state/ports" </dev/null >>"$state/server.log" 2>&1 8>&- &
    echo $! >"$state/pid"
    tries=0
    until [ -f "$state/ports" ]; do
        tries=$((tries + 1))
        if [ $tries -gt 100 ] || ! kill -0 "$(cat "$state/pid")" 2>/dev/null; then
            echo "the HTTPS test server did not start; see $state/server.log" >&2
            return 1
        fi
        sleep 0.1
    done
}

stop() {
    [ -d "$state" ] || return 0
    exec 8>"$state/lock"
    flock 8
    if running; then
        kill "$(cat "$state/pid")"
    fi
    rm -f "$state/ports" "$state/pid"
}

case $action in
start) start ;;
stop) stop ;;
*) echo "usage: $0 start|stop BUILD_DIR" >&2; exit 2 ;;
esac
