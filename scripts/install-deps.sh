#!/bin/sh
# Installs the Debian packages that building and testing need, and the interface's Node
# packages (web/package-lock.json, with Node 20 and npm from the machine). Safe to run again:
# the package lists are only refreshed when something is missing, and npm runs only when the
# lock file changed since the last install. Playwright uses Debian's chromium; it never
# downloads a browser.
set -eu
packages="make cmake g++-mingw-w64-x86-64-posix wine wine64 nlohmann-json3-dev googletest
libz-mingw-w64-dev python3 openssl chromium xvfb x11-apps imagemagick"
missing=""
for package in $packages; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed'; then
        missing="$missing $package"
    fi
done
if [ -n "$missing" ]; then
    echo "installing:$missing"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
fi
web="$(cd "$(dirname "$0")/.." && pwd)/web"
installed="$web/node_modules/.package-lock.json"
if [ ! -f "$installed" ] || [ "$web/package-lock.json" -nt "$installed" ]; then
    (cd "$web" && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund)
fi
