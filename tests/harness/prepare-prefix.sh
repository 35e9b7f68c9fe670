#!/bin/sh
# Makes sure the build's Wine prefix exists and its wine server runs.
# Usage: prepare-prefix.sh BUILD_DIR
# Creation happens once (a stamp file marks a finished prefix) and is serialised with a lock,
# so parallel test processes wait for one another instead of racing.
set -eu
mkdir -p "$1"
build_dir=$(cd "$1" && pwd)
harness_dir=$(cd "$(dirname "$0")" && pwd)
. "$harness_dir/prefix-env.sh"
stamp="$WINEPREFIX/.hub-prefix-ready"
# A prefix is made anew when the scripts that make it change (a new hook, say).
recipe=$(cat "$harness_dir/prepare-prefix.sh" "$harness_dir"/prefix.d/*.sh 2>/dev/null | cksum)

# Wine's processes outlive this script: they get no standard streams and not the lock.
quiet() {
    "$@" </dev/null >/dev/null 2>&1 9>&-
}

create_prefix() {
    quiet wineboot -i
    # A new prefix links the user's shell folders to the host's home: make them real folders.
    for link in "$WINEPREFIX"/drive_c/users/*/*; do
        if [ -L "$link" ]; then
            rm "$link"
            mkdir "$link"
        fi
    done
    quiet wine winecfg -v win10
    quiet wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
    quiet wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d x11,null /f
    for hook in "$harness_dir"/prefix.d/*.sh; do
        [ -e "$hook" ] && . "$hook"
    done
    printf 'Orvantis Hub test prefix\r\n' >"$WINEPREFIX/drive_c/hub-test-prefix.txt"
    echo "$recipe" >"$stamp"
    # "wineboot -i" made the desktop before the graphics drivers were named. A desktop without a
    # driver shows no window (a message box never appears) until it ends, some seconds later:
    # the prefix starts anew.
    quiet wineserver -k
    quiet wineserver -w
    quiet wineserver -p
    quiet wine wineboot
}

exec 9>"$build_dir/wineprefix.lock"
flock 9
if [ "$(cat "$stamp" 2>/dev/null)" != "$recipe" ]; then
    rm -f "$stamp"
    quiet wineserver -k || true
    rm -rf "$WINEPREFIX"
    mkdir -p "$HOME" "$WINEPREFIX"
fi
# The server stays until stop-server.sh (make test calls it): with a finite persistence, Wine
# ends its system processes whenever no test runs, and the next test would start them again
# holding that test's output pipe. Started here, they get no standard streams.
server_started=false
if quiet wineserver -p; then
    server_started=true
    [ -f "$stamp" ] && quiet wine wineboot
fi
[ -f "$stamp" ] || create_prefix
# The tar.exe stand-in may have been rebuilt since the prefix was made.
. "$harness_dir/prefix.d/tar.sh"
# A new server gets the desktop keeper, which holds Wine's desktop until the server ends (see
# desktop_keeper.cpp); the tests wait here until the desktop stands.
keeper="$build_dir/tests/desktop_keeper.exe"
desktop_ready="$WINEPREFIX/drive_c/hub-desktop-ready.txt"
if $server_started && [ -f "$keeper" ]; then
    rm -f "$desktop_ready"
    wine "$keeper" 'C:\hub-desktop-ready.txt' </dev/null >/dev/null 2>&1 9>&- &
    waited=0
    while [ ! -f "$desktop_ready" ] && [ "$waited" -lt 300 ]; do
        sleep 0.1
        waited=$((waited + 1))
    done
fi
