#!/usr/bin/env bash
# Fails when a C or C++ file of the tree differs from what clang-format-14 makes of it
# (.clang-format at the root). With --fix, rewrites those files instead.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files -co --exclude-standard -- \
    'app/*.cpp' 'app/*.h' 'mesh/*.cpp' 'mesh/*.h' 'warp/*.cpp' 'warp/*.h' 'views/*.cpp' 'views/*.h' \
    'scene/*.cpp' 'scene/*.h' 'tools/*.cpp' 'tools/*.h' 'tests/*.cpp' 'tests/*.h' \
    'bench/*.cpp' 'bench/*.h' 'fuzz/*.cpp' 'fuzz/*.h' 'fuzz/*.c')
existing=()
for f in "${files[@]}"; do [ -f "$f" ] && existing+=("$f"); done
if [ "${1:-}" = --fix ]; then
    clang-format-14 -i "${existing[@]}"
    exit 0
fi
bad=()
for f in "${existing[@]}"; do
    clang-format-14 --dry-run --Werror "$f" >/dev/null 2>&1 || bad+=("$f")
done
if [ ${#bad[@]} -gt 0 ]; then
    echo "not formatted (scripts/check-format.sh --fix rewrites them):"
    printf '  %s\n' "${bad[@]}"
    exit 1
fi
echo "format: ${#existing[@]} files formatted"
