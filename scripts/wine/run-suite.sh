#!/usr/bin/env bash
# The Wine end-to-end suite: the real vorlin.exe of a Windows build, driven by the test
# driver in one Xvfb session and one Wine prefix, each case in a fresh run of the program.
#   scripts/wine/run-suite.sh BUILD-WIN [NATIVE-BUILD] [CASE...]
# BUILD-WIN holds vorlin.exe and tests/wine/vorlin_driver.exe (cmake --build BUILD-WIN);
# NATIVE-BUILD (default: build) holds tools/vorlin-render, which gives the expected images.
# Screenshots, saved files and logs go to BUILD-WIN/wine-results/CASE/. The last line is
# "N passed, N failed"; the exit status is non-zero when a case failed.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
[ $# -ge 1 ] || { sed -n '2,9p' "$0"; exit 2; }
build=$(cd "$1" && pwd) || exit 2
native=${2:-$root/build}
native=$(cd "$native" 2>/dev/null && pwd || echo "$native")
shift $(( $# >= 2 ? 2 : 1 ))
. "$here/env.sh" "$build"

exe=$build/vorlin.exe
driver=$build/tests/wine/vorlin_driver.exe
for f in "$exe" "$driver"; do
    [ -f "$f" ] || { echo "run-suite: $f is missing: build $build first"; echo "0 passed, 1 failed"; exit 1; }
done
results=$build/wine-results
rm -rf "$results"
mkdir -p "$results/data" "$results/input"
t0=$(date +%s%N)

python3 "$here/prepare.py" "$results/data" "$native/tools/vorlin-render" \
    "$root/tests/wine/scenes" "$root/tests/data/scenes" || {
    echo "run-suite: preparing the scenes failed"; echo "0 passed, 1 failed"; exit 1; }

if [ $# -gt 0 ]; then
    cases=("$@")
else
    cases=(startup resize splitter keys-layout translucency about menu-exit save-close
           rubber-band rubber-zoom wheel-routing edit delete node-drag result-zoom paint-layers
           drop-source drop-result drop-inprocess memory-inprocess capture-inprocess lanes-inprocess exchange-inprocess thresholds extreme-zoom copy-empty copy-3x2 paste-text save-cancel keys-copy keys-midstroke
           scene-files refine-held storm)
    # The Windows download, when cpack has made it: unpacked and started as a user would.
    if compgen -G "$build/vorlin-*-win64.zip" >/dev/null; then
        cases+=(package)
    fi
    while read -r scene; do
        [[ $scene == scene-* ]] && cases+=("replay:$scene")
    done < "$results/data/replayable.txt"
fi

for zip in "$build"/vorlin-*-win64.zip; do
    [ -f "$zip" ] || continue
    mkdir -p "$results/package"
    (cd "$results/package" && unzip -q "$zip") || { echo "run-suite: $zip does not unpack"; echo "0 passed, 1 failed"; exit 1; }
done

wine_prefix_ensure || { echo "0 passed, 1 failed"; exit 1; }

export VORLIN_EXE=$(wine_path "$exe")
export VORLIN_DATA=$results/data
export VORLIN_INPUT=$results/input
# One X server for the whole suite, and a bound on all of it.
timeout -k 10 900 xvfb-run -a -s "-screen 0 1280x800x24" \
    "$here/session.sh" "$results" "$driver" "$build/tests/wine/vorlin_drop_test.exe" "${cases[@]}"
session=$?
wine_server_stop   # again outside: a killed X server leaves Wine's services behind

passed=$(grep -c '^PASS' "$results/summary.txt" 2>/dev/null)
failed=$(grep -c '^FAIL' "$results/summary.txt" 2>/dev/null)
ran=$((passed + failed))
if [ "$ran" -lt "${#cases[@]}" ]; then
    echo "run-suite: the session ended after $ran of ${#cases[@]} cases (status $session)"
    failed=$((failed + ${#cases[@]} - ran))
fi
if [ -s "$results/data/skipped.txt" ]; then
    echo "scenes not replayed in the program:"
    sed 's/^/  /' "$results/data/skipped.txt"
fi
echo "results in $results; $(( ($(date +%s%N) - t0) / 1000000000 )) s in all"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
