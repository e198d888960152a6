#!/usr/bin/env python3
"""The contract of docs/development.md, "Adding a message", kept: in a scratch
copy of the tree, the blocks that page shows are added where it says (each
block follows a line <!-- add FILE [before TEXT | row] -->), they touch at most
four files, and `make test` passes (whose schema_row tests show that a row
leaving a member out, or naming two in another order, does not compile).
Usage: tests/add_message.py   (from anywhere; the tree is this script's)"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def copy_tree(to):
    files = subprocess.run(["git", "ls-files", "-co", "--exclude-standard"], cwd=ROOT, check=True,
                           capture_output=True, text=True).stdout.split("\n")
    for f in filter(None, files):
        if os.path.isfile(os.path.join(ROOT, f)):
            os.makedirs(os.path.dirname(os.path.join(to, f)), exist_ok=True)
            shutil.copy2(os.path.join(ROOT, f), os.path.join(to, f))


def blocks(doc):
    """(file, where, lines) of every block the page adds."""
    out = []
    lines = open(doc).read().split("\n")
    for i, line in enumerate(lines):
        m = re.match(r"\s*<!-- add (\S+)(?: (.*?))? -->$", line)
        if not m:
            continue
        fence = lines[i + 1]
        indent = len(fence) - len(fence.lstrip())
        end = next(j for j in range(i + 2, len(lines)) if lines[j].strip() == "```")
        out.append((m.group(1), m.group(2) or "", [l[indent:] for l in lines[i + 2:end]]))
    return out


def add(tree, path, where, block):
    target = os.path.join(tree, path)
    if not where:
        if os.path.exists(target):
            sys.exit("add_message: %s exists already" % path)
        open(target, "w").write("\n".join(block) + "\n")
        return
    text = open(target).read().split("\n")
    if where.startswith("before "):
        at = next(i for i, l in enumerate(text) if l.strip().startswith(where[7:]))
    elif where == "row":
        at = next(i for i, l in enumerate(text) if l.strip() == "// clang-format on")
        text[at - 1] = text[at - 1].rstrip() + " \\"
    else:
        sys.exit("add_message: cannot add %r" % where)
    text[at:at] = block
    open(target, "w").write("\n".join(text))


def main():
    ok = True
    with tempfile.TemporaryDirectory() as tmp:
        tree = os.path.join(tmp, "tree")
        copy_tree(tree)
        added = blocks(os.path.join(ROOT, "docs/development.md"))
        for path, where, block in added:
            add(tree, path, where, block)
        files = sorted({a[0] for a in added})
        print("added as docs/development.md says, %d files: %s" % (len(files), " ".join(files)))
        ok &= 0 < len(files) <= 4
        r = subprocess.run(["make", "test"], cwd=tree, capture_output=True, text=True)
        print("make test with the message added: %s" % ("passed" if r.returncode == 0 else "FAILED"))
        if r.returncode != 0:
            print(r.stdout[-6000:] + r.stderr[-3000:])
            ok = False
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
