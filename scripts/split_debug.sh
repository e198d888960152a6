#!/bin/sh
# Moves the debug information of the ELF files installed under PREFIX (bin/ and
# lib/) into separate files, as distributions ship it: each file's goes to
# PREFIX/lib/debug/.build-id/XX/REST.debug after its build ID, where debuggers
# look for it (gdb under /usr/lib/debug, or where `set debug-file-directory`
# points), and the stripped file keeps a debug link to it. Only the installed
# copies change: the build tree keeps its debug information.
# Usage: scripts/split_debug.sh PREFIX [OBJCOPY] [READELF]
set -eu
root=$1 objcopy=${2:-objcopy} readelf=${3:-readelf}
find "$root/bin" "$root/lib" -path "$root/lib/debug" -prune -o -type f -print 2>/dev/null | sort |
while read -r file; do
    id=$("$readelf" -n "$file" 2>/dev/null | sed -n 's/^ *Build ID: *//p')
    [ -n "$id" ] || continue # not an ELF file, or one without a build ID
    debug=$root/lib/debug/.build-id/$(echo "$id" | cut -c1-2)/$(echo "$id" | cut -c3-).debug
    mkdir -p "$(dirname "$debug")"
    "$objcopy" --only-keep-debug --compress-debug-sections "$file" "$debug"
    chmod 644 "$debug"
    "$objcopy" --strip-unneeded --add-gnu-debuglink="$debug" "$file"
    echo "-- Debug information: ${debug#"$root"/}"
done
