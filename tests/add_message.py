#!/usr/bin/env python3
"""The contract of docs/development.md, "Adding a message", kept: in a scratch
copy of the tree, the blocks that page shows are added where it says (each
block follows a line <!-- add FILE [before TEXT | row] -->), they touch at most
four files, and `make test` passes. Then, in another copy, a row that leaves a
member of its record out, and one that names two members in another order, must
each fail to build the library, naming the member.
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


def must_fail(tree, build, edit, wanted):
    """Edits src/sshc/messages.h as `edit` says; the library must not build, saying `wanted`."""
    path = os.path.join(tree, "src/sshc/messages.h")
    original = open(path).read()
    open(path, "w").write(edit(original))
    r = subprocess.run(["cmake", "--build", build, "--target", "ssh_msg_def"], capture_output=True, text=True)
    open(path, "w").write(original)
    said = r.stdout + r.stderr
    ok = r.returncode != 0 and wanted in said
    print("%s: %s" % ("refused" if ok else "NOT REFUSED", wanted))
    return ok


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

        # The library alone, then the two rows it must refuse.
        bare = os.path.join(tmp, "bare")
        copy_tree(bare)
        build = os.path.join(bare, "build")
        subprocess.run(["cmake", "-S", bare, "-B", build, "-G", "Ninja", "-DSSH_MSG_DEF_TOOLS=OFF",
                        "-DSSH_MSG_DEF_TESTS=OFF", "-DSSH_MSG_DEF_BENCH=OFF"], check=True, capture_output=True)
        row = re.compile(r"field0, field1, field2, field3, field4\)")
        ok &= must_fail(bare, build, lambda t: row.sub("field0, field1, field2, field3)", t, 1),
                        "SshcMsgDef_FileDir::field4")
        ok &= must_fail(bare, build, lambda t: row.sub("field0, field2, field1, field3, field4)", t, 1),
                        "SshcMsgDef_FileDir: its row names field1 after a member that follows it in the record")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
