#!/bin/sh
# Makes the demo world: a Wine prefix of its own in DEMO_DIR (with the test certificate
# authority of DEMO_DIR/test-ca trusted in it only and the tar.exe stand-in of BUILD_DIR), the
# two simulator installations in it, and the demo web host's files in DEMO_DIR/site.
# Usage: demo-world.sh BUILD_DIR DEMO_DIR
# The prefix is made once and kept; the world inside it is written anew at every call.
set -eu
build_dir=$(cd "$1" && pwd)
mkdir -p "$2"
demo_dir=$(cd "$2" && pwd)
harness_dir=$(cd "$(dirname "$0")" && pwd)
sh "$harness_dir/prepare-prefix.sh" "$demo_dir"
prefix="$demo_dir/wineprefix"
cp "$build_dir/tests/tools/tar/tar.exe" "$prefix/drive_c/windows/system32/tar.exe.new"
mv -f "$prefix/drive_c/windows/system32/tar.exe.new" "$prefix/drive_c/windows/system32/tar.exe"
for user_folder in "$prefix"/drive_c/users/*; do
    [ "${user_folder##*/}" = Public ] && continue
    python3 "$harness_dir/demo_world.py" --user-folder "$user_folder" --site "$demo_dir/site" \
        --application "$build_dir/tests/tools/demo_app/ORV-Camera.exe"
done
