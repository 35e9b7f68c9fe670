#!/bin/sh
# Installs the Debian packages that building and testing need, and the interface's npm packages
# (web/package-lock.json). Safe to run again: the package lists are only refreshed when
# something is missing, and npm runs only when the lock file is newer than what it installed.
set -eu
packages="make cmake g++-mingw-w64-x86-64-posix wine wine64 nlohmann-json3-dev googletest
libz-mingw-w64-dev python3 openssl chromium"
missing=""
for package in $packages; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed'; then
        missing="$missing $package"
    fi
done
# Node.js may come from elsewhere than Debian (a newer one); Debian's is the fallback.
command -v npm >/dev/null 2>&1 || missing="$missing nodejs npm"
if [ -n "$missing" ]; then
    echo "installing:$missing"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
fi
web=$(cd "$(dirname "$0")/../web" && pwd)
if [ ! "$web/node_modules/.package-lock.json" -nt "$web/package-lock.json" ]; then
    (cd "$web" && npm ci --no-audit --no-fund)
fi
