#!/bin/sh
# Packs the Windows program for its users: dist/OrvantisHub-VERSION-win-x64.zip with
# OrvantisHub.exe, the built interface (ui/), a README for Windows users and the licence notices
# of everything the two contain. Nothing from tests/ goes in.
# Usage: make-dist.sh BUILD_DIR UI_DIR WEB_DIR DIST_DIR
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=$1 ui_dir=$2 web_dir=$3 dist_dir=$4
version=$(sed -n 's/^project(OrvantisHub VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
name="OrvantisHub-$version-win-x64"
stage="$dist_dir/$name"
for required in "$build_dir/OrvantisHub.exe" "$ui_dir/index.html"; do
    [ -f "$required" ] || { echo "missing $required: build it first" >&2; exit 1; }
done
rm -rf "$stage" "$dist_dir/$name.zip"
mkdir -p "$stage/licenses"
x86_64-w64-mingw32-strip -o "$stage/OrvantisHub.exe" "$build_dir/OrvantisHub.exe"
cp -R "$ui_dir" "$stage/ui"

# Windows text files: CR LF line ends.
crlf() { sed 's/\r*$/\r/' "$@"; }
crlf "$root/scripts/dist/README.txt" | sed "s/@VERSION@/$version/" >"$stage/README.txt"
notices="$stage/THIRD-PARTY-NOTICES.txt.lf"
{
    echo "Orvantis Hub $version contains the following third-party software."
    echo "The full licence texts are in the \"licenses\" folder."
    echo
}  >"$notices"
notice() { # name, what it is, licence, licence file (copied under the name of the first argument)
    printf '%s\n    %s\n    Licence: %s (licenses/%s.txt)\n\n' "$1" "$2" "$3" "$1" >>"$notices"
    crlf "$4" >"$stage/licenses/$1.txt"
}
notice nlohmann-json "JSON for Modern C++, compiled into OrvantisHub.exe" "MIT" \
    /usr/share/doc/nlohmann-json3-dev/copyright
notice gcc-runtime "libstdc++ and libgcc of GCC, linked statically into OrvantisHub.exe" \
    "GPL-3.0 with the GCC Runtime Library Exception, version 3.1" \
    /usr/share/doc/gcc-mingw-w64-base/copyright
notice mingw-w64-runtime "mingw-w64 C runtime and winpthreads, linked statically into OrvantisHub.exe" \
    "ZPL-2.1, MIT and others, as the file says" /usr/share/doc/mingw-w64-x86-64-dev/copyright
# The interface's run-time packages (React and what it needs), as npm installed them.
(cd "$web_dir" && npm ls --omit=dev --all --parseable 2>/dev/null) | tail -n +2 | sort -u |
    while read -r package; do
        manifest="$package/package.json"
        licence_file=$(ls "$package"/LICENSE* "$package"/license* 2>/dev/null | head -n 1 || true)
        [ -f "$manifest" ] && [ -n "$licence_file" ] || continue
        package_name=$(node -p "require('$manifest').name")
        package_version=$(node -p "require('$manifest').version")
        package_licence=$(node -p "require('$manifest').license")
        notice "$(echo "$package_name" | tr '/' '-')" \
            "$package_name $package_version, in the interface (ui/)" "$package_licence" "$licence_file"
    done
crlf "$notices" >"$stage/THIRD-PARTY-NOTICES.txt"
rm "$notices"

(cd "$stage" && python3 -m zipfile -c "../$name.zip" OrvantisHub.exe ui README.txt \
    THIRD-PARTY-NOTICES.txt licenses)
echo "$dist_dir/$name.zip"
