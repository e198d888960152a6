#!/bin/sh
# Installs the build into a temporary prefix, checks what was installed (the
# tool's manual page among it), and builds and runs a C program against it
# twice: through find_package and through pkg-config. The example programs installed with the documentation
# are built against the package too.
# Usage: install_test.sh BUILD_DIR CONSUMER_DIR CC [SANITIZERS] [EMULATOR]
# Exits 77 (skipped) in a sanitizer build: a C program cannot link the
# instrumented C++ library without the sanitizers' C++ runtime.
set -eu
build=$1 consumer=$2 cc=$3 sanitize=${4:-} emulator=$(printf '%s' "${5:-}" | tr ';' ' ')  # a CMake list
[ -z "$sanitize" ] || { echo "skipped in a sanitizer build"; exit 77; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null
lib=$(find "$prefix" -name 'libssh_msg_def.so.1.*' -type f)
libdir=$(dirname "$lib")
doc=$prefix/share/doc/ssh_msg_def
for f in "$libdir/libssh_msg_def.so" "$libdir/libssh_msg_def.so.1" "$libdir/libvorn_host.so" "$libdir/libzvd_host.so" \
    "$libdir/pkgconfig/ssh_msg_def.pc" "$libdir/pkgconfig/vorn_host.pc" "$libdir/pkgconfig/zvd_host.pc" \
    "$libdir/cmake/ssh_msg_def/ssh_msg_def-config.cmake" "$prefix/include/ssh_msg_def/ssh_msg_def.h" \
    "$prefix/include/ssh_msg_def/vorn_host.h" "$doc/LICENSE" "$doc/CHANGELOG.md" "$doc/examples/CMakeLists.txt"; do
    [ -e "$f" ] || { echo "not installed: ${f#"$prefix"/}"; exit 1; }
done
grep -q 'Apache License' "$doc/LICENSE" || { echo "LICENSE is not the license text"; exit 1; }
# The tool, when built, comes with its manual page, which man finds under the
# prefix and groff renders without a warning.
if [ -e "$prefix/bin/sshmsg" ]; then
    page=$prefix/share/man/man1/sshmsg.1
    [ -e "$page" ] || { echo "not installed: share/man/man1/sshmsg.1"; exit 1; }
    for section in NAME SYNOPSIS DESCRIPTION 'EXIT STATUS'; do
        grep -qx "\.SH \"*$section\"*" "$page" || { echo "sshmsg.1 has no $section section"; exit 1; }
    done
    if command -v man >/dev/null; then
        found=$(MANPATH="$prefix/share/man" man -w sshmsg)
        [ "$found" = "$page" ] || { echo "man -w sshmsg: '$found'"; exit 1; }
    fi
    if command -v groff >/dev/null; then
        warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
        [ -z "$warnings" ] || { echo "groff: $warnings"; exit 1; }
    fi
    "$prefix/bin/sshmsg" --help | grep -q 'sshmsg(1)' || { echo "sshmsg --help does not point to sshmsg(1)"; exit 1; }
fi
soname=$(readelf -d "$lib" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
[ "$soname" = libssh_msg_def.so.1 ] || { echo "SONAME: $soname"; exit 1; }

# The consumer's CMakeLists.txt also checks the package's license variables.
{ cmake -S "$consumer" -B "$tmp/cmake" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_C_COMPILER="$cc" &&
    cmake --build "$tmp/cmake" &&
    cmake -S "$doc/examples" -B "$tmp/examples" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_C_COMPILER="$cc" &&
    cmake --build "$tmp/examples"; } >"$tmp/log" 2>&1 || { cat "$tmp/log"; exit 1; }
printf 'find_package: '
$emulator "$tmp/cmake/consumer"
$emulator "$tmp/examples/decode" >/dev/null

export PKG_CONFIG_PATH="$libdir/pkgconfig"
for pc in ssh_msg_def vorn_host zvd_host; do
    pkg-config --validate "$pc"
    license=$(pkg-config --variable=license "$pc")
    [ "$license" = Apache-2.0 ] || { echo "$pc.pc: license '$license'"; exit 1; }
done
# shellcheck disable=SC2046 # the flags are meant to be split
"$cc" "$consumer/consumer.c" -o "$tmp/consumer-pc" $(pkg-config --cflags --libs ssh_msg_def vorn_host) \
    -Wl,-rpath,"$(pkg-config --variable=libdir ssh_msg_def)"
printf 'pkg-config (%s): ' "$(pkg-config --modversion ssh_msg_def)"
$emulator "$tmp/consumer-pc"
