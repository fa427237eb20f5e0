#!/usr/bin/env bash
# The Windows download as a user gets it, inside the suite's X session: the unpacked ZIP holds
# the two programs, the README and the licence texts; vorlin.exe started from it passes the
# start-up case, and vorlin-render.exe from it writes the mesh the native renderer writes.
#   package-case.sh RESULTS DRIVER
set -uo pipefail
results=$1 driver=$2
fail=0
note() { echo "FAILED: $*"; fail=1; }
dir=$(ls -d "$results"/package/vorlin-*-win64 2>/dev/null | head -n1)
[ -n "$dir" ] || { echo "FAILED: no vorlin-*-win64 folder in the unpacked download"; exit 1; }
for f in vorlin.exe vorlin-render.exe README.txt licences/mingw-w64-runtime.txt \
         licences/gcc-runtime-libraries.txt licences/GPL-3.txt licences/stb.txt \
         licences/nlohmann-json.txt licences/zlib.txt licences/libspng.txt licences/libdeflate.txt \
         licences/libjpeg-turbo.txt; do
    [ -s "$dir/$f" ] || note "the download lacks $f"
done
winpath() { local p; p=$(realpath -m "$1"); printf 'Z:%s' "${p//\//\\}"; }

VORLIN_EXE=$(winpath "$dir/vorlin.exe") wine "$driver" startup || note "vorlin.exe from the download fails the start-up case"

scene=$results/data/scene-plain_2x2.strokes.json
want=$results/data/scene-plain_2x2.strokes.json.grid.json
if [ -f "$scene" ] && [ -f "$want" ]; then
    wine "$dir/vorlin-render.exe" "$(winpath "$scene")" --grid "$(winpath "$VORLIN_OUT/grid.json")" ||
        note "vorlin-render.exe from the download failed on $scene"
    python3 -c 'import json,sys; sys.exit(json.load(open(sys.argv[1])) != json.load(open(sys.argv[2])))' \
        "$VORLIN_OUT/grid.json" "$want" || note "vorlin-render.exe from the download writes another mesh"
else
    note "the prepared scene plain_2x2 is missing"
fi
exit $fail
