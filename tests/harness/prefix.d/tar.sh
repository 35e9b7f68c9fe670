# Sourced by prepare-prefix.sh with build_dir set: puts the tar.exe stand-in built with the
# tests (tests/tools/tar) where Windows keeps its own tar.exe. Sourced again at every start, so
# a rebuilt stand-in replaces the one in an existing prefix; the copy is renamed into place,
# so a test that is running the old one is never handed a half-written file.
tar_standin="$build_dir/tests/tools/tar/tar.exe"
tar_system="$WINEPREFIX/drive_c/windows/system32/tar.exe"
if [ -f "$tar_standin" ] && [ -d "${tar_system%/*}" ] &&
    { [ ! -f "$tar_system" ] || [ "$tar_standin" -nt "$tar_system" ]; }; then
    cp "$tar_standin" "$tar_system.new"
    mv -f "$tar_system.new" "$tar_system"
fi
