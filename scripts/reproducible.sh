#!/bin/sh
# Builds this tree twice as `make install` does, from two copies in folders of
# different names and depths, the second with the clock 400 days ahead
# (faketime), and compares the two installed trees file by file: the library,
# the host libraries, the tool, their debug files, the manual page and the
# pkg-config and CMake files must be the same bytes, and the links the same
# links. SOURCE_DATE_EPOCH is unset, so the manual page's date must come from
# the release.
# Usage: scripts/reproducible.sh [WORK_DIR]   (default build/reproducible)
set -eu
cd "$(dirname "$0")/.."
work=$(realpath -m "${1:-build/reproducible}")
first=$work/a second=$work/elsewhere/second-copy
rm -rf "$work"
mkdir -p "$first" "$second"
unset SOURCE_DATE_EPOCH

# build DIR [COMMAND...]: a copy of the tree in DIR, installed into DIR/root.
build() {
    dir=$1
    shift
    tar --exclude=./build --exclude=./.git -cf - . | tar -xf - -C "$dir"
    "$@" make -C "$dir" install DESTDIR="$dir/root" PREFIX=/usr >"$dir/log" 2>&1 || { cat "$dir/log"; exit 1; }
}
build "$first"
build "$second" faketime -f +400d

# One line per installed file: its path and its SHA-256, or where a link points.
listing() {
    (cd "$1/root" && find . ! -type d | LC_ALL=C sort | while read -r f; do
        if [ -L "$f" ]; then echo "$f -> $(readlink "$f")"; else echo "$f $(sha256sum <"$f" | cut -d' ' -f1)"; fi
    done)
}
listing "$first" >"$work/first.txt"
listing "$second" >"$work/second.txt"
diff -u "$work/first.txt" "$work/second.txt" || { echo "reproducible: the two installs differ"; exit 1; }
echo "reproducible: $(grep -vc ' -> ' "$work/first.txt") files and $(grep -c ' -> ' "$work/first.txt") links the same," \
    "built in $first and, 400 days later, in $second (listing: $work/first.txt)"
