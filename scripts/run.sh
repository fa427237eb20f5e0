#!/usr/bin/env bash
# The run command: builds vorlin.exe with MinGW-w64 and starts it under Wine.
#   scripts/run.sh
# On a fresh Debian machine, as root, it first installs what it needs. With $DISPLAY set,
# the program opens on that display. Without a display it runs a short headless demo in a
# virtual X server: the program, driven by the test driver, pastes the bundled picture,
# drops the bundled backdrop on the result pane, marks a rectangle, draws column and row curves, refines the mesh once and saves the
# result through its save dialog, then closes it, answering No to the question about the unsaved
# scene; a screenshot and the exported PNG are left in build-win/demo/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${VORLIN_BUILD_DIR:-build-win}   # another build folder may be named for a trial

scripts/install-deps.sh
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$build" -j"$(nproc)" --target vorlin vorlin_driver

if [ -n "${DISPLAY:-}" ]; then
    . scripts/wine/env.sh "$build" display
    wine_prefix_ensure
    echo "run: starting $build/vorlin.exe under Wine on $DISPLAY"
    exec wine "$build/vorlin.exe"
fi

. scripts/wine/env.sh "$build"
wine_prefix_ensure
demo=$root/$build/demo
rm -rf "$demo"
mkdir -p "$demo/input"
export VORLIN_EXE=$(wine_path "$build/vorlin.exe") VORLIN_OUT=$demo VORLIN_INPUT=$demo/input
echo "run: no display; running the headless demo"
status=0
timeout -k 10 180 xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
    scripts/wine/input-helper.sh "$VORLIN_INPUT" & helper=$!
    trap "kill $helper 2>/dev/null; timeout 20 wineserver -k; timeout 20 wineserver -w" EXIT
    timeout -k 5 120 wine "$2"/tests/wine/vorlin_driver.exe demo "$1" "$3"' _ \
    "$root/resources/demo/demo.png" "$build" "$root/resources/demo/backdrop.png" \
    > "$demo/log.txt" 2>&1 || status=$?
wine_server_stop
rm -rf "$demo/input"
if [ $status -ne 0 ] || [ ! -s "$demo/vorlin-demo.png" ]; then
    echo "run: the demo failed (status $status); its log:"
    grep -v '^wine: Read access denied' "$demo/log.txt"
    exit 1
fi
echo "run: screenshot of the program: $demo/screen-demo.png"
echo "run: the program's window alone: $demo/vorlin-demo-window.png"
echo "run: the exported PNG: $demo/vorlin-demo.png"
