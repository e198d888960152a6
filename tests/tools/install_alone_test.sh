#!/bin/sh
# Builds this source tree as someone adopting the library would, on a machine
# without the packages of the tool, the tests and the benchmarks: a configure
# with no options but those packages hidden, a build and an install. The
# configure must say that each of the three is off, nothing but the library and
# the host platform may be built, and the installed package is then checked and
# used by install_test.sh.
# Usage: install_alone_test.sh SOURCE_DIR CONSUMER_DIR CC [SANITIZERS] [EMULATOR]
# Exits 77 (skipped) in a sanitizer or emulated build: what it checks does not
# depend on the build it runs in.
set -eu
src=$1 consumer=$2 cc=$3
[ -z "${4:-}${5:-}" ] || { echo "skipped in a sanitizer or emulated build"; exit 77; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
build=$tmp/build

cmake -S "$src" -B "$build" -DCMAKE_DISABLE_FIND_PACKAGE_CLI11=ON -DCMAKE_DISABLE_FIND_PACKAGE_nlohmann_json=ON \
    -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON >"$tmp/configure.log" 2>&1 ||
    { cat "$tmp/configure.log"; exit 1; }
for line in \
    "-- ssh_msg_def: sshmsg tool off (CLI11 and nlohmann_json not found); -DSSH_MSG_DEF_TOOLS=ON to require it" \
    "-- ssh_msg_def: tests off (GTest not found); -DSSH_MSG_DEF_TESTS=ON to require it" \
    "-- ssh_msg_def: benchmarks off (benchmark not found); -DSSH_MSG_DEF_BENCH=ON to require it"; do
    grep -qxF -e "$line" "$tmp/configure.log" || { echo "configure did not say: $line"; cat "$tmp/configure.log"; exit 1; }
done
grep 'ssh_msg_def:' "$tmp/configure.log"

cmake --build "$build" --parallel 2 >"$tmp/build.log" 2>&1 || { cat "$tmp/build.log"; exit 1; }
for dir in tools tests fuzz bench examples; do
    [ ! -e "$build/$dir" ] || { echo "built without its packages: $dir/"; exit 1; }
done
# Without a build type: optimised, with debug info and assertions.
grep -q '"command": .* -O2 -g .*src/runtime/decode.cc' "$build/compile_commands.json" &&
    ! grep -q 'NDEBUG' "$build/compile_commands.json" || { echo "not built with -O2 -g"; exit 1; }

"$(dirname "$0")/install_test.sh" "$build" "$consumer" "$cc"
