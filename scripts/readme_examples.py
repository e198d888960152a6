#!/usr/bin/env python3
"""README.md shows the example programs as they are in examples/. Below a
marker line naming a file, the fenced block that follows is either that file's
whole text,
    <!-- examples/CMakeLists.txt -->
or lines taken from it, each a line of the file, in the file's order:
    <!-- from examples/decode.c -->
Rewrites the whole-file blocks from the files; with --check changes nothing
and fails, saying where, when README.md is behind a file it shows.
Usage: scripts/readme_examples.py [--check]"""
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def main(check):
    readme = os.path.join(ROOT, "README.md")
    lines = open(readme).read().split("\n")
    out, problems, i = [], [], 0
    while i < len(lines):
        out.append(lines[i])
        m = re.match(r"<!-- (from )?(examples/\S+) -->$", lines[i])
        i += 1
        if not m:
            continue
        if i >= len(lines) or not lines[i].startswith("```"):
            problems.append("no ``` block right below %s" % lines[i - 1])
            continue
        end = next(j for j in range(i + 1, len(lines)) if lines[j] == "```")
        text = open(os.path.join(ROOT, m.group(2))).read().rstrip("\n").split("\n")
        block = lines[i + 1:end]
        if m.group(1):
            at = 0
            for line in block:
                at = next((k + 1 for k in range(at, len(text)) if text[k] == line), None)
                if at is None:
                    problems.append("%s does not have, after the lines before: %s" % (m.group(2), line))
                    break
            out += lines[i:end + 1]
        else:
            if block != text:
                problems.append("%s differs from README.md's copy" % m.group(2))
            out += [lines[i]] + text + ["```"]
        i = end + 1
    if check:
        for p in problems:
            print("readme_examples: " + p)
        return 1 if problems else 0
    open(readme, "w").write("\n".join(out))
    return 0


if __name__ == "__main__":
    sys.exit(main("--check" in sys.argv[1:]))
