#!/usr/bin/env bash
# Real input for the driver, which runs inside Wine and cannot reach the X server itself:
# it drops a request file REQ.req holding "xdotool ARGS..." or "import PATH" into the
# folder; the helper runs it on the display and answers with REQ.done (the exit status).
#   input-helper.sh FOLDER    (runs until killed; DISPLAY must be set)
dir=$1
while :; do
    for req in "$dir"/*.req; do
        [ -e "$req" ] || continue
        read -r tool args < "$req"
        case $tool in
            xdotool) timeout 10 xdotool $args >/dev/null 2>&1; status=$? ;;
            import) timeout 20 import -window root "$args" >/dev/null 2>&1; status=$? ;;
            *) status=127 ;;
        esac
        echo "$status" > "${req%.req}.done"
        rm -f "$req"
    done
    sleep 0.03
done
