#!/usr/bin/env bash
# Fails when a Windows program or object moves a 32- or 64-byte vector to or from the stack
# with an instruction that demands alignment (vmovaps, vmovapd, vmovdqa, vmovdqa32,
# vmovdqa64, and the non-temporal moves). 64-bit Windows aligns the stack to 16 bytes only,
# and GCC does not realign it for wider values, so such a move faults on every other call.
# A function that realigns the stack itself (libjpeg-turbo's SIMD routines, written for the
# assembler: "and $-32, %rsp", then rbp from rsp) may move to and from its own frame through
# rbp; its local labels, which objdump shows as FUNCTION.LABEL, count as that function.
#   check-vector-moves.sh OBJDUMP FILE...
# The MinGW build runs it on the programs it links (top CMakeLists.txt).
set -euo pipefail
[ $# -ge 2 ] || { sed -n '2,7p' "$0"; exit 2; }
objdump=$1
shift
status=0
for file in "$@"; do
    # AT&T syntax: the mnemonic, then operands such as %ymm3,0x40(%rsp) or 0x20(%rbp),%zmm1
    found=$("$objdump" -d -C --no-show-raw-insn "$file" | awk '
        /^[0-9a-f]+ <.*>:$/ {
            function_name = substr($0, index($0, "<"))
            base = function_name
            sub(/^</, "", base); sub(/[.>].*$/, "", base)
        }
        $2 == "and" && $3 ~ /^\$0xf+[ce]0,%rsp$/ { realigned[base] = 1 }
        $2 ~ /^vmov(aps|apd|dqa|dqa32|dqa64|ntps|ntpd|ntdq|ntdqa)$/ && $3 ~ /%[yz]mm/ &&
            $3 ~ /\(%r[sb]p/ && !(realigned[base] && $3 ~ /\(%rbp/) {
            if (function_name != shown) { print "  " function_name; shown = function_name }
            print "  " $0 }')
    if [ -n "$found" ]; then
        echo "$file: aligned 32- or 64-byte moves on the stack:"
        echo "$found" | head -12
        status=1
    fi
done
[ $status -eq 0 ] && echo "vector moves: no aligned 32- or 64-byte stack move in $# files"
exit $status
