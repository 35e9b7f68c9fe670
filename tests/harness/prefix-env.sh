# Sourced with build_dir set: the environment every Wine call of the harness uses.
# HOME points into the build folder so that nothing Wine does reaches the real home.
WINEPREFIX="$build_dir/wineprefix"
WINEARCH=win64
WINEDEBUG=-all
WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
HOME="$build_dir/winehome"
export WINEPREFIX WINEARCH WINEDEBUG WINEDLLOVERRIDES HOME
unset DISPLAY WAYLAND_DISPLAY
