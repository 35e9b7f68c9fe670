#!/bin/sh
# Installs the Debian packages that building and testing need. Safe to run again: the package
# lists are only refreshed when something is missing. The interface's Node packages are the
# build's to install (web/CMakeLists.txt). Playwright uses Debian's chromium; it never
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
