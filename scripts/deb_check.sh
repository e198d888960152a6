#!/bin/sh
# The native packages of `make deb` as their users get them: unpacked into a
# scratch root, the installed examples/decode.c is compiled against the
# installed headers and libraries (pkg-config, then the CMake package) and run;
# the installed sshmsg runs too.
# Usage: scripts/deb_check.sh DEB_DIR
set -eu
dir=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
for deb in "$dir"/*.deb; do dpkg-deb -x "$deb" "$root"; done
usr=$root/usr lib=$root/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)
examples=$usr/share/doc/libssh-msg-def-dev/examples
export LD_LIBRARY_PATH="$lib"
fail() { echo "deb_check: $*"; exit 1; }

# shellcheck disable=SC2046 # the flags are meant to be split
cc -Werror "$examples/decode.c" -o "$root/decode" $(PKG_CONFIG_PATH="$lib/pkgconfig" pkg-config --cflags --libs ssh_msg_def vorn_host)
"$root/decode" | tee "$root/out"
grep -qx 'field0 lo, field1 uplink, 2 ports' "$root/out" || fail "decode printed the wrong record"
{ cmake -S "$examples" -B "$root/build" -DCMAKE_PREFIX_PATH="$usr" && cmake --build "$root/build"; } >"$root/log" 2>&1 ||
    { cat "$root/log"; fail "the examples do not build with the CMake package"; }
"$root/build/decode" | cmp -s - "$root/out" || fail "decode built with the CMake package printed otherwise"
"$usr/bin/sshmsg" list >/dev/null || fail "sshmsg list failed"
echo "deb_check: decode.c built against the installed packages (pkg-config and CMake) and run; sshmsg runs"
