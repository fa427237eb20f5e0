#!/usr/bin/env bash
# Benchmark, not a test: ResultPane's paints and the exchange in the real program under
# Wine, for one build or for two side by side (before and after a change, run in turn in
# one session on one machine, so that both see the same load).
#   scripts/wine/bench.sh BUILD-WIN [OTHER-BUILD-WIN] [REPEATS] [ROUNDS]
# Each round starts the program of every build once: a 4000 x 3000 source pasted (key V,
# three times), a 1920 x 1080 backdrop dropped on ResultPane and a 17 x 17 mesh on a
# 1920 x 1080 canvas; REPEATS (default 20) repaints each on expose, on wheel notches and
# during a stroke, then expose repaints with ResultPane filling the window, and the copy
# (key C) of that canvas (five times) and of the same mesh stretched to 100 megapixels. The
# program writes the phases of every paint (VORLIN_PAINT_TIMINGS). After each round
# vorlin-render.exe renders the same canvases (the small one three times), for the copy's
# ratio to the render. Figures are medians over ROUNDS (default 2) of each run's averages.
# The driver, vorlin-render.exe and the Wine prefix are taken from the last build named.
# Runs in its own X server and a 2048 x 1280 Wine desktop, large enough for ResultPane to
# show the whole canvas; leaves everything in LAST-BUILD/wine-bench/ and prints a table.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
builds=()
for arg in "$@"; do
    [ -d "$arg" ] && builds+=("$(cd "$arg" && pwd)") && shift || break
done
[ ${#builds[@]} -ge 1 ] && [ ${#builds[@]} -le 2 ] || { sed -n '2,16p' "$0"; exit 2; }
repeats=${1:-20}
rounds=${2:-2}
main=${builds[-1]}
. "$here/env.sh" "$main"
out=$main/wine-bench
rm -rf "$out"
mkdir -p "$out/input" "$out/scenes"
wine_prefix_ensure || exit 1
labels=()
for i in "${!builds[@]}"; do
    label=$([ ${#builds[@]} -eq 2 ] && { [ "$i" -eq 0 ] && echo before || echo after; } || echo build)
    labels+=("$label")
    [ -f "${builds[$i]}/vorlin.exe" ] || { echo "bench: ${builds[$i]}/vorlin.exe is missing"; exit 1; }
    export "VORLIN_BENCH_EXE_$label=$(wine_path "${builds[$i]}/vorlin.exe")"
    echo "$label: ${builds[$i]}"
done
export VORLIN_INPUT=$out/input VORLIN_BENCH_OUT=$out VORLIN_BENCH_LABELS="${labels[*]}"
export VORLIN_BENCH_REPEATS=$repeats VORLIN_BENCH_ROUNDS=$rounds
export VORLIN_BENCH_DRIVER=$main/tests/wine/vorlin_driver.exe VORLIN_BENCH_RENDER=$main/tools/vorlin-render.exe
echo "load at the start: $(uptime)"
# A named desktop of its own size: the driver and the program it starts live in it.
timeout -k 10 7200 xvfb-run -a -s "-screen 0 2048x1280x24" bash -c '
    "$1/input-helper.sh" "$VORLIN_INPUT" & helper=$!
    trap "kill $helper 2>/dev/null; timeout 20 wineserver -k; timeout 20 wineserver -w" EXIT
    scenes=$VORLIN_BENCH_OUT/scenes
    for round in $(seq 1 "$VORLIN_BENCH_ROUNDS"); do
        for label in $VORLIN_BENCH_LABELS; do
            run=$VORLIN_BENCH_OUT/$label-$round
            mkdir -p "$run"
            exe=VORLIN_BENCH_EXE_$label
            echo "round $round, $label"
            VORLIN_EXE=${!exe} VORLIN_OUT=$run VORLIN_PAINT_TIMINGS=$(winepath -w "$run/paints.txt") \
                timeout -k 5 3000 wine explorer /desktop=vorlinbench,2048x1280 \
                "$(winepath -w "$VORLIN_BENCH_DRIVER")" bench "$VORLIN_BENCH_REPEATS" "$scenes" \
                > "$run/log.txt" 2>&1
            for i in $(seq 1 3000); do [ -s "$run/bench.txt" ] && break; sleep 1; done
            sleep 2
        done
        for scene in 1080 1080 1080 100mp; do
            out=$VORLIN_BENCH_OUT/render-$scene-$round
            while [ -e "$out.txt" ]; do out=$out+; done
            VORLIN_RENDER_TIMINGS=1 timeout -k 5 900 wine "$VORLIN_BENCH_RENDER" \
                "$(winepath -w "$scenes/bench-$scene.scene.json")" \
                --png "$(winepath -w "$scenes/render-$scene.png")" > "$out.txt" 2>&1
            rm -f "$scenes/render-$scene.png"
        done
    done' _ "$here" > "$out/log.txt" 2>&1
wine_server_stop
rm -rf "$out/input"
echo "load at the end:   $(uptime)"
python3 "$here/bench_table.py" "$out" "${labels[@]}"
