#!/usr/bin/env bash
# Remakes the README's pictures in docs/ from the run command's headless demo (run as the
# run command is: as root on a fresh machine, since it installs packages first).
#   scripts/make-readme-pictures.sh
set -euo pipefail
cd "$(dirname "$0")/.."
env -u DISPLAY scripts/run.sh
demo=build-win/demo
# The program as the demo leaves it (the whole virtual screen): a refined mesh over the brick
# backdrop with the warp drawn into it, the source with its marked rectangle above.
convert "$demo/screen-demo.png" -resize 880x -strip -colors 256 docs/screenshot.png
# The source with the rectangle the demo marks (a tenth in from every edge), beside the
# exported PNG flattened on grey where nothing was warped.
convert resources/demo/demo.png -fill none -stroke '#FF0000' -strokewidth 3 \
        -draw 'rectangle 40,30 360,270' \
        \( -size 16x300 xc:white \) \
        \( "$demo/vorlin-demo.png" -background '#808080' -flatten -resize x300 \) \
        +append -depth 8 -strip -colors 256 docs/source-and-result.png
ls -l docs/screenshot.png docs/source-and-result.png
