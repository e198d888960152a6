#!/bin/sh
# README.md shows the example programs as they are in examples/: below a marker
# line naming a file, the fenced block that follows is that file's text.
#   <!-- examples/decode.c -->
#   ```c
#   (examples/decode.c)
#   ```
# Rewrites those blocks from the files; with --check changes nothing and fails,
# showing the difference, when README.md is behind a file it shows.
# Usage: scripts/readme_examples.sh [--check]
set -eu
cd "$(dirname "$0")/.."
check=0
[ "${1:-}" != --check ] || check=1
new=$(mktemp)
trap 'rm -f "$new"' EXIT

awk '
    /^<!-- examples\/[^ ]+ -->$/ { print; file = $2; next }
    file != "" && /^```/ {
        print
        while ((status = (getline line < file)) > 0) print line
        if (status < 0) { print "readme_examples: cannot read " file > "/dev/stderr"; exit 1 }
        close(file)
        file = ""; skip = 1; next
    }
    file != "" { print "readme_examples: no ``` block right below <!-- " file " -->" > "/dev/stderr"; exit 1 }
    skip && /^```$/ { skip = 0 }
    !skip { print }
' README.md >"$new"

status=0
if [ $check -eq 1 ]; then
    diff -u README.md "$new" || { echo "readme_examples: README.md is behind examples/; run $0"; status=1; }
elif ! cmp -s README.md "$new"; then
    cp "$new" README.md
    echo "README.md: example blocks rewritten"
fi
exit $status
