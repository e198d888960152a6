#!/usr/bin/env python3
"""The C ABI of libssh_msg_def.so against every release (abidw and abidiff).

  abi.py dump LIBRARY OUT          the library's ABI (exported functions, their
                                   types, the records' layouts) as abidw writes it
  abi.py check LIBRARY [RELEASES]  against RELEASES/*/abi.xml (default: compat/
                                   beside this script)
The public headers are include/ssh_msg_def, or the folder in $ABI_HEADERS.

abidiff's exit status says only that the ABI changed, so its report is read:
a removed function, a changed signature or a changed record layout (a member
inserted, even into padding) breaks the programs built against the release,
and fails unless the major version (the soname's number) has been raised
since; an added function is reported. Exit status: 0 compatible, 1 a break,
2 a usage error or a tool failure.
"""
import os
import re
import subprocess
import sys
import tempfile

ABIDW = ["abidw", "--no-corpus-path", "--no-comp-dir-path", "--no-show-locs", "--drop-private-types",
         "--exported-interfaces-only", "--type-id-style", "hash"]
HEADERS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "include", "ssh_msg_def")
# "Functions changes summary: 1 Removed, 2 Changed (1 filtered out), 3 Added functions"
SUMMARY = re.compile(r"^(Functions|Variables|Function symbols|Variable symbols) changes summary: (\d+) Removed,"
                     r"(?: (\d+) Changed(?: \(\d+ filtered out\))?,)? (\d+) Added")


def dump(library, out):
    headers = os.environ.get("ABI_HEADERS") or HEADERS
    subprocess.run(ABIDW + ["--headers-dir", headers, "--out-file", out, library], check=True)


def soname(xml):
    with open(xml) as f:
        m = re.search(r"soname='([^']*)'", f.read(4096))
    return m.group(1) if m else ""


def major(name):
    m = re.search(r"\.so\.(\d+)", name)
    return int(m.group(1)) if m else None


def judge(report):
    """(breaks, additions): the counts of abidiff's report, and its lines naming what was added."""
    breaks = 0
    added = 0
    for line in report.splitlines():
        m = SUMMARY.match(line)
        if m:
            breaks += int(m.group(2)) + int(m.group(3) or 0)
            added += int(m.group(4))
    return breaks, added, [line.strip() for line in report.splitlines() if line.strip().startswith("[A]")]


def check(library, root):
    releases = sorted((d for d in os.listdir(root) if os.path.isdir(os.path.join(root, d))),
                      key=lambda v: [int(x) for x in re.findall(r"\d+", v)])
    missing = [d for d in releases if not os.path.isfile(os.path.join(root, d, "abi.xml"))]
    if not releases or missing:
        print("abi: %s" % ("no release under " + root if not releases else "no abi.xml in " + missing[0]),
              file=sys.stderr)
        return 2
    ok = True
    with tempfile.TemporaryDirectory() as tmp:
        current = os.path.join(tmp, "current.xml")
        dump(library, current)
        now = soname(current)
        for version in releases:
            baseline = os.path.join(root, version, "abi.xml")
            run = subprocess.run(["abidiff", baseline, current], capture_output=True, text=True)
            if run.returncode & 3:
                print("abi: abidiff %s failed (%d): %s" % (baseline, run.returncode, run.stderr.strip()),
                      file=sys.stderr)
                return 2
            breaks, added, additions = judge(run.stdout)
            then = soname(baseline)
            # A change the summary does not count (say, of the ELF header) is taken as a break.
            if run.returncode & 12 and breaks == 0 and added == 0 and then == now:
                breaks = 1
            for line in additions:
                print("%s: added: %s" % (version, line))
            if breaks == 0:
                print("%s: ABI compatible%s" % (version, ", %d added" % added if added else ""))
            elif major(now) is not None and major(then) is not None and major(now) > major(then):
                print("%s: ABI changed, announced by the soname %s (was %s)" % (version, now, then))
            else:
                ok = False
                print(run.stdout.rstrip())
                print("%s: ABI break: programs built against %s (%s) would break; keep the records, "
                      "signatures and functions as they are (append a member only in a new major version), or raise "
                      "the major version in CMakeLists.txt (project VERSION), so that the soname changes"
                      % (version, version, then))
    return 0 if ok else 1


def main(argv):
    if len(argv) == 3 and argv[0] == "dump":
        dump(argv[1], argv[2])
        return 0
    if argv[:1] == ["check"] and len(argv) in (2, 3):
        root = argv[2] if len(argv) == 3 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "compat")
        return check(argv[1], root)
    print(__doc__.strip(), file=sys.stderr)
    return 2


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv[1:]))
    except (OSError, subprocess.CalledProcessError) as e:
        print("abi: %s" % e, file=sys.stderr)
        sys.exit(2)
