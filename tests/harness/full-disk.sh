#!/bin/sh
# A small RAM disk for the full-disk tests, seen by the build's Wine prefix as drive T:.
# Usage: full-disk.sh mount|unmount BUILD_DIR
# Mounting needs root (CI and the development machine run as root); where it is impossible the
# drive is simply missing and the tests that need it skip. Unmounting is always safe to repeat.
set -u
build_dir=$(cd "$2" && pwd)
disk="$build_dir/full-disk"
drive="$build_dir/wineprefix/dosdevices/t:"
case "$1" in
mount)
    sh "$(dirname "$0")/prepare-prefix.sh" "$build_dir" || exit 0
    mkdir -p "$disk"
    mountpoint -q "$disk" || mount -t tmpfs -o size=4m hub-full-disk "$disk" 2>/dev/null ||
        { echo "full-disk: cannot mount a RAM disk here; its tests skip"; exit 0; }
    ln -sfn "$disk" "$drive"
    ;;
unmount)
    rm -f "$drive"
    if mountpoint -q "$disk" 2>/dev/null; then
        umount "$disk"
    fi
    [ ! -d "$disk" ] || rmdir "$disk" 2>/dev/null || true
    ;;
esac
exit 0
