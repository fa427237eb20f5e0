# Wine environment for one build folder: source it with the build folder as $1.
#   . scripts/wine/env.sh build-win
# Sets WINEPREFIX (kept inside the build folder), a quiet WINEDEBUG, the DLL overrides
# that keep Mono/Gecko, menu entries and the crash debugger out, and defines
# wine_prefix_ensure and wine_server_stop.

vorlin_wine_build=$(cd "${1:?build folder}" && pwd)
vorlin_wine_scripts=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export WINEPREFIX="$vorlin_wine_build/wine-prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d"
export WINEARCH=win64

# A Unix path as the program sees it: drive Z: is the Unix root.
wine_path() { local p; p=$(realpath -m "$1"); printf 'Z:%s' "${p//\//\\}"; }

# Stops this prefix's server and every process in it; other prefixes are left alone.
wine_server_stop() {
    timeout 30 wineserver -k >/dev/null 2>&1 || true
    timeout 30 wineserver -w >/dev/null 2>&1 || true
}

# Creates the prefix once (no display needed) and imports the registry settings. A
# server started without a display must be gone before a GUI session starts, or the
# program's child windows cannot be created, so the server is always stopped here.
wine_prefix_ensure() {
    if [ ! -f "$WINEPREFIX/system.reg" ] || [ ! -f "$WINEPREFIX/.vorlin-reg-done" ]; then
        echo "wine: creating the prefix $WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        env -u DISPLAY timeout 180 wineboot -i >/dev/null 2>&1 || {
            echo "wine: wineboot failed" >&2; wine_server_stop; return 1; }
        env -u DISPLAY timeout 60 wine regedit "$(wine_path "$vorlin_wine_scripts/wine.reg")" \
            >/dev/null 2>&1 || { echo "wine: regedit failed" >&2; wine_server_stop; return 1; }
        wine_server_stop
        grep -q 'IPAPGothic' "$WINEPREFIX/user.reg" || { echo "wine: registry settings missing" >&2; return 1; }
        touch "$WINEPREFIX/.vorlin-reg-done"
    fi
    wine_server_stop
}
