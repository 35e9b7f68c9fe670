#!/bin/sh
# Figures for the program's start and idle memory under Wine, then a screenshot of its window
# with the "runtime missing" box under Xvfb, written to BUILD_DIR/hub-window.png. Not part of
# "make test".
# Usage: sh benchmarks/window.sh [BUILD_DIR]   (default: build)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=$(cd "${1:-$root/build}" && pwd)
cmake --build "$build_dir" --target window_benchmark >/dev/null
run() {
    sh "$root/tests/harness/wine-run.sh" "$build_dir" "$build_dir/benchmarks/window_benchmark.exe" "$@"
}
printf 'Wine alone, a program that only shows a box: '
sh "$root/tests/harness/prepare-prefix.sh" "$build_dir"
. "$root/tests/harness/prefix-env.sh"
run --baseline "$(winepath -w "$build_dir/benchmarks/box_baseline.exe")"
run

signals="$build_dir/screenshot-signals"
rm -rf "$signals"
mkdir -p "$signals"
display=:$((90 + $(id -u) % 50))
wineserver -k || true
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'touch "$signals/done"; kill $xvfb 2>/dev/null; wineserver -k 2>/dev/null || true' EXIT
DISPLAY=$display wine "$build_dir/benchmarks/window_benchmark.exe" --hold \
    "$(winepath -w "$signals")" </dev/null >/dev/null 2>&1 &
holder=$!
tries=0
while [ ! -f "$signals/ready" ] && [ $tries -lt 300 ]; do
    sleep 0.1
    tries=$((tries + 1))
done
sleep 1 # let the frame and the box finish painting
DISPLAY=$display xwd -root -silent | /usr/bin/convert xwd:- "$build_dir/hub-window.png"
echo "screenshot: $build_dir/hub-window.png"
touch "$signals/done"
wait $holder
