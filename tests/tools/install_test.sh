#!/bin/sh
# Installs the build into a temporary prefix and uses the package as its users
# do: the example programs installed with the documentation are built and run
# through find_package (CONSUMER_DIR, which also checks the package's license
# variables) and through pkg-config. The license and change log come along,
# and so does the tool's manual page when the tool is built: man finds it under
# the prefix and groff renders it without a warning. Each component installed
# alone holds exactly its files, runtime the library alone, and the components
# together hold the whole install.
# Usage: install_test.sh BUILD_DIR CONSUMER_DIR CC [SANITIZERS] [EMULATOR]
# Exits 77 (skipped) in a sanitizer build: a C program cannot link the
# instrumented C++ library without the sanitizers' C++ runtime.
set -eu
build=$1 consumer=$2 cc=$3 sanitize=${4:-} emulator=$(printf '%s' "${5:-}" | tr ';' ' ')  # a CMake list
[ -z "$sanitize" ] || { echo "skipped in a sanitizer build"; exit 77; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix
fail() { echo "$*"; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
doc=$(dirname "$(find "$prefix/share/doc" -name LICENSE)") # share/doc/ssh_msg_def, or as CMAKE_INSTALL_DOCDIR says
files() { (cd "$1" && find . ! -type d | sed 's|^\./||' | sort); }
owner() {
    case $1 in
        lib*/libssh_msg_def.so.*) echo runtime ;;
        lib*/libvorn_host.so* | lib*/libzvd_host.so* | lib*/cmake/*/ssh_msg_def-host-targets*) echo host ;;
        bin/sshmsg | share/man/man1/sshmsg.1) echo tool ;;
        share/doc/*/examples/*) echo examples ;;
        *) echo development ;;
    esac
}
for component in runtime development host tool examples; do
    cmake --install "$build" --prefix "$tmp/$component" --component $component >/dev/null
    [ ! -d "$tmp/$component" ] || files "$tmp/$component" | sed "s|^|$component |"
done | sort >"$tmp/components"
files "$prefix" | while read -r f; do echo "$(owner "$f") $f"; done | sort | diff -u - "$tmp/components" ||
    fail "components: + a file installed with the wrong one, - with none or another"
grep -q 'Apache License' "$doc/LICENSE" && [ -s "$doc/CHANGELOG.md" ] || fail "no license text or change log in $doc"
if [ -e "$prefix/bin/sshmsg" ]; then
    page=$prefix/share/man/man1/sshmsg.1
    ! command -v man >/dev/null || [ "$(MANPATH="$prefix/share/man" man -w sshmsg)" = "$page" ] || fail "man: no $page"
    ! command -v groff >/dev/null || [ -z "$(groff -man -Tutf8 -ww -z "$page" 2>&1)" ] || fail "groff warns on $page"
fi

{ cmake -S "$consumer" -B "$tmp/cmake" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_C_COMPILER="$cc" \
    -DEXAMPLES="$doc/examples" && cmake --build "$tmp/cmake"; } >"$tmp/log" 2>&1 || { cat "$tmp/log"; exit 1; }
$emulator "$tmp/cmake/examples/send" >/dev/null || fail "find_package: send failed"

export PKG_CONFIG_PATH
PKG_CONFIG_PATH=$(dirname "$(find "$prefix" -name ssh_msg_def.pc)")
for pc in ssh_msg_def vorn_host zvd_host; do
    [ "$(pkg-config --variable=license "$pc")" = Apache-2.0 ] || fail "$pc.pc: no license Apache-2.0"
done
# shellcheck disable=SC2046 # the flags are meant to be split
"$cc" "$doc/examples/replay.c" -o "$tmp/replay" $(pkg-config --cflags --libs ssh_msg_def vorn_host zvd_host) \
    -Wl,-rpath,"$(pkg-config --variable=libdir ssh_msg_def)"
$emulator "$tmp/replay" >/dev/null || fail "pkg-config: replay failed"
echo "installed package OK: find_package, pkg-config $(pkg-config --modversion ssh_msg_def)"
