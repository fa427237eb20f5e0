# Wine environment for one build folder: source it with the build folder as $1.
#   . scripts/wine/env.sh build-win [display]
# Sets WINEPREFIX (kept inside the build folder), a quiet WINEDEBUG, the DLL overrides
# that keep Mono/Gecko, menu entries and the crash debugger out, and defines
# wine_prefix_ensure, wine_server_stop and wine_path. The tests' prefix puts every window
# in a 1280 x 800 virtual desktop (no window manager needed); with "display" as $2 the
# prefix is a separate one without it, for running the program on a person's display.

vorlin_wine_build=$(cd "${1:?build folder}" && pwd)
vorlin_wine_scripts=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
if [ "${2:-}" = display ]; then
    export WINEPREFIX="$vorlin_wine_build/wine-prefix-display"
    vorlin_wine_reg=$vorlin_wine_scripts/wine-display.reg
else
    export WINEPREFIX="$vorlin_wine_build/wine-prefix"
    vorlin_wine_reg=$vorlin_wine_scripts/wine.reg
fi
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
        env -u DISPLAY timeout 60 wine regedit "$(wine_path "$vorlin_wine_reg")" \
            >/dev/null 2>&1 || { echo "wine: regedit failed" >&2; wine_server_stop; return 1; }
        wine_server_stop
        grep -q 'IPAPGothic' "$WINEPREFIX/user.reg" || { echo "wine: registry settings missing" >&2; return 1; }
        touch "$WINEPREFIX/.vorlin-reg-done"
    fi
    wine_server_stop
}
