#!/bin/sh
# The shared library exports exactly the listed functions, needs only the C
# library, leaves only the framework's functions and C library symbols undefined,
# and has no text relocations; with MACHINE, also that it is built for that
# machine (as readelf -h names it, e.g. AArch64).
# Usage: check_exports.sh LIBRARY EXPECTED_SYMBOLS [NM] [READELF] [MACHINE]
set -eu
lib=$1 expected=$2 nm=${3:-nm} readelf=${4:-readelf} machine=${5:-}
status=0
if [ -n "$machine" ]; then
    actual_machine=$("$readelf" -h "$lib" | sed -n 's/^ *Machine: *//p')
    if [ "$actual_machine" != "$machine" ]; then echo "ELF machine: $actual_machine ($machine expected)"; status=1; fi
fi
actual=$("$nm" -D --defined-only "$lib" | awk '$2 ~ /^[TWiD]$/ {print $3}' | sed 's/@.*//' | sort)
if ! printf '%s\n' "$actual" | diff -u "$expected" -; then
    echo "exported symbols differ from $expected"; status=1
fi
needed=$("$readelf" -d "$lib" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
if [ "$needed" != "libc.so.6" ]; then echo "NEEDED: $needed (only libc.so.6 expected)"; status=1; fi
undefined=$("$nm" -D --undefined-only "$lib" | awk '{print $2}' | sed 's/@.*//' |
    grep -vE '^(VORN_(SendMsg|SendToMsg|RegIDLFuncHook|RegIDLResorceCleanFuncHook)|_ITM_.*|__gmon_start__|__cxa_finalize|__assert_fail|dlsym|free|malloc|memcpy|memset|memmove|strlen|pthread_mutex_(lock|unlock)|__stack_chk_fail)$' || true)
if [ -n "$undefined" ]; then echo "unexpected undefined symbols: $undefined"; status=1; fi
if "$readelf" -d "$lib" | grep -q TEXTREL; then echo "text relocations present"; status=1; fi
[ $status -eq 0 ] && echo "${machine:+$machine: }$(printf '%s\n' "$actual" | wc -l) functions exported, needs only libc.so.6"
exit $status
