#!/bin/sh
# The shared library exports exactly the functions its version script lists, needs only the C
# library, leaves nothing undefined but the symbols of the allowlist (so that no
# abort, exit or failed assert can end its caller), and has no text relocations;
# with MACHINE, also that it is built for that machine (as readelf -h names it,
# e.g. AArch64).
# Usage: check_exports.sh LIBRARY VERSION_SCRIPT ALLOWED_IMPORTS [NM] [READELF] [MACHINE]
set -eu
lib=$1 script=$2 allowed=$3 nm=${4:-nm} readelf=${5:-readelf} machine=${6:-}
status=0
if [ -n "$machine" ]; then
    actual_machine=$("$readelf" -h "$lib" | sed -n 's/^ *Machine: *//p')
    if [ "$actual_machine" != "$machine" ]; then echo "ELF machine: $actual_machine ($machine expected)"; status=1; fi
fi
expected=$(mktemp)
trap 'rm -f "$expected"' EXIT
sed -n '/global:/,/local:/p' "$script" | tr -s ' ;\t' '\n' | grep -E '^[A-Za-z_][A-Za-z0-9_]*$' | sort >"$expected"
actual=$("$nm" -D --defined-only "$lib" | awk '$2 ~ /^[TWiD]$/ {print $3}' | sed 's/@.*//' | sort)
if ! printf '%s\n' "$actual" | diff -u "$expected" -; then
    echo "exported symbols differ from those of $script"; status=1
fi
# The C library, and on 64-bit Arm its loader too, which holds the stack
# protector's canary (__stack_chk_guard).
libs=$("$readelf" -d "$lib" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
needed=$(printf '%s\n' "$libs" | grep -vx 'ld-linux-aarch64\.so\.1' || true)
if [ "$needed" != "libc.so.6" ]; then echo "NEEDED: $needed (only libc.so.6 expected)"; status=1; fi
undefined=$("$nm" -D --undefined-only "$lib" | awk '{print $2}' | sed 's/@.*//' | sort -u |
    awk 'NR == FNR { if (NF && $1 !~ /^#/) ok[$1]; next } !($1 in ok)' "$allowed" -)
if [ -n "$undefined" ]; then echo "unexpected undefined symbols:" $undefined; status=1; fi
if "$readelf" -d "$lib" | grep -q TEXTREL; then echo "text relocations present"; status=1; fi
[ $status -eq 0 ] && echo "${machine:+$machine: }$(printf '%s\n' "$actual" | wc -l) functions exported, needs only the C library:" $libs
exit $status
