#!/usr/bin/env bash
# Benchmark, not a test: how long ResultPane takes to paint a 1920 x 1080 canvas with a
# 17 x 17 mesh over a 4000 x 3000 source, in the real program under Wine. The driver asks
# for synchronous repaints and prints their average (and the copy's time).
#   scripts/wine/bench.sh BUILD-WIN [REPEATS]
# Runs in its own X server and a 2048 x 1280 Wine desktop, large enough for ResultPane to
# show the whole canvas; writes BUILD-WIN/wine-bench/bench.txt and a screenshot beside it.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?build folder}" && pwd) || exit 2
repeats=${2:-20}
. "$here/env.sh" "$build"
out=$build/wine-bench
rm -rf "$out"
mkdir -p "$out/input"
wine_prefix_ensure || exit 1
export VORLIN_EXE=$(wine_path "$build/vorlin.exe") VORLIN_OUT=$out VORLIN_INPUT=$out/input
# A named desktop of its own size for this run: the driver and the program it starts live
# in it.
timeout -k 10 600 xvfb-run -a -s "-screen 0 2048x1280x24" bash -c '
    "$1/input-helper.sh" "$VORLIN_INPUT" & helper=$!
    trap "kill $helper 2>/dev/null; timeout 20 wineserver -k; timeout 20 wineserver -w" EXIT
    timeout -k 5 500 wine explorer /desktop=vorlinbench,2048x1280 "$(winepath -w "$2")" bench "$3"
    for i in $(seq 1 500); do [ -s "$VORLIN_OUT/bench.txt" ] && break; sleep 1; done
    sleep 1' _ "$here" "$build/tests/wine/vorlin_driver.exe" "$repeats" > "$out/log.txt" 2>&1
wine_server_stop
rm -rf "$out/input"
if [ ! -s "$out/bench.txt" ]; then
    echo "bench: no result; log:"; grep -v '^wine: Read access denied' "$out/log.txt"; exit 1
fi
cat "$out/bench.txt"
