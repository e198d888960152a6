#!/bin/sh
# Builds this source tree as someone adopting the library would, on a machine
# without the packages of the tool, the tests and the benchmarks: a configure
# with no options but those packages hidden, which must say that each of the
# three is off, then a build of nothing but the library and the host platform,
# optimised with debug info, hardened, with the environment's
# CFLAGS, CXXFLAGS and LDFLAGS and without -Werror, whose install
# install_test.sh checks.
# Usage: install_alone_test.sh SOURCE_DIR CONSUMER_DIR CC [SANITIZERS] [EMULATOR]
# Exits 77 (skipped) in a sanitizer or emulated build, or under valgrind: what
# it checks does not depend on the build it runs in.
set -eu
src=$1 consumer=$2 cc=$3
[ -z "${4:-}${5:-}${SSH_MSG_DEF_TEST_UNDER:-}" ] || { echo "skipped in a sanitizer or emulated build"; exit 77; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
build=$tmp/build

CFLAGS="${CFLAGS:-} -DSMD_ADOPTER_C" CXXFLAGS="${CXXFLAGS:-} -DSMD_ADOPTER_CXX" LDFLAGS="${LDFLAGS:-} -Wl,-O1" \
cmake -S "$src" -B "$build" -DCMAKE_DISABLE_FIND_PACKAGE_CLI11=ON -DCMAKE_DISABLE_FIND_PACKAGE_nlohmann_json=ON \
    -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON >"$tmp/log" 2>&1 &&
    cmake --build "$build" --parallel 2 >>"$tmp/log" 2>&1 || { cat "$tmp/log"; exit 1; }
grep 'ssh_msg_def: .* off (.* not found)' "$tmp/log" | grep -c -e 'sshmsg tool' -e tests -e benchmarks | grep -qx 3 ||
    { echo "configure did not say the tool, tests and benchmarks are off"; cat "$tmp/log"; exit 1; }
for dir in tools tests fuzz bench examples; do
    [ ! -e "$build/$dir" ] || { echo "built without its packages: $dir/"; exit 1; }
done
commands=$build/compile_commands.json
grep -q '"command": .* -O2 -g .*src/runtime/context.cc' "$commands" && ! grep -q 'NDEBUG' "$commands" ||
    { echo "not built with -O2 -g"; exit 1; }
objects=$(grep -c '"command"' "$commands")
for flags in -fstack-protector-strong -fstack-clash-protection "-DSMD_ADOPTER_C -DSMD_ADOPTER_CXX"; do
    # shellcheck disable=SC2046 # one pattern per flag
    [ "$(grep -c $(printf -- '-e %s ' $flags) "$commands")" = "$objects" ] ||
        { echo "not every object built with $flags"; exit 1; }
done
! grep -q -e '-Werror[ "]' "$commands" || { echo "built with -Werror"; exit 1; }
grep -qs -e '-Wl,-O1' "$build/CMakeFiles/ssh_msg_def.dir/link.txt" "$build/build.ninja" ||
    { echo "the library not linked with LDFLAGS"; exit 1; }

"$(dirname "$0")/install_test.sh" "$build" "$consumer" "$cc"
