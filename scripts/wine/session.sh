#!/usr/bin/env bash
# Inside the suite's X session: runs every case, each under a timeout, with the real-input
# helper beside it, and writes PASS/FAIL lines to RESULTS/summary.txt.
#   session.sh RESULTS DRIVER DROP-TEST CASE...
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
results=$1 driver=$2 droptest=$3
shift 3

"$here/input-helper.sh" "$results/input" &
helper=$!
cleanup() {
    kill "$helper" 2>/dev/null
    wait "$helper" 2>/dev/null
    timeout 20 wineserver -k >/dev/null 2>&1
    timeout 20 wineserver -w >/dev/null 2>&1
}
trap cleanup EXIT
: > "$results/summary.txt"

for case in "$@"; do
    name=${case/:/-}
    out=$results/$name
    mkdir -p "$out"
    start=$(date +%s%N)
    if [ "$case" = drop-inprocess ]; then
        (cd "$out" && timeout -k 5 60 wine "$droptest" "$results/data") > "$out/log.txt" 2>&1
    elif [ "$case" = package ]; then
        VORLIN_OUT=$out timeout -k 5 120 "$here/package-case.sh" "$results" "$driver" > "$out/log.txt" 2>&1
    elif [ "$case" = memory-inprocess ] || [ "$case" = capture-inprocess ] ||
         [ "$case" = lanes-inprocess ] || [ "$case" = exchange-inprocess ]; then
        (cd "$out" && timeout -k 5 60 wine "$(dirname "$droptest")/vorlin_${case%-inprocess}_test.exe") > "$out/log.txt" 2>&1
    else
        # CASE or CASE:ARGUMENT (replay:SCENE, storm:COUNT); the storm gets more time
        limit=90
        [[ $case == storm* ]] && limit=400
        if [[ $case == *:* ]]; then
            args=("${case%%:*}" "${case#*:}")
        else
            args=("$case")
        fi
        VORLIN_OUT=$out timeout -k 5 $limit wine "$driver" "${args[@]}" > "$out/log.txt" 2>&1
    fi
    status=$?
    tenths=$(( ($(date +%s%N) - start) / 100000000 ))
    secs=$((tenths / 10)).$((tenths % 10))
    if [ $status -eq 0 ]; then
        printf 'PASS %-34s %5s s\n' "$case" "$secs" | tee -a "$results/summary.txt"
    else
        [ $status -eq 124 ] && echo "(timed out)" >> "$out/log.txt"
        printf 'FAIL %-34s %5s s (status %d)\n' "$case" "$secs" "$status" | tee -a "$results/summary.txt"
        grep -v '^wine: Read access denied' "$out/log.txt" | grep -E 'FAILED|timed out|note:' | head -12 | sed 's/^/     /'
    fi
done
