#!/bin/sh
# The shared library carries its machine's control-flow protection in its GNU
# property note, as `readelf -n` shows it: IBT and SHSTK on x86-64, BTI and
# PAC on 64-bit Arm. The linker keeps a property only when every object of the
# link has it, so an object built without the flags, or a start file linked in,
# drops it.
# Usage: check_properties.sh LIBRARY [READELF]
set -eu
lib=$1 readelf=${2:-readelf}
case $("$readelf" -h "$lib" | sed -n 's/^ *Machine: *//p') in
    *X86-64) want="x86 feature: IBT, SHSTK" ;;
    AArch64) want="AArch64 feature: BTI, PAC" ;;
    *) echo "no control-flow property is defined for this machine"; exit 1 ;;
esac
notes=$("$readelf" -n "$lib")
printf '%s\n' "$notes" | grep -qF "$want" ||
    { echo "properties of $lib:" $(printf '%s\n' "$notes" | sed -n 's/^ *Properties: *//p') "($want expected)"; exit 1; }
echo "$want"
