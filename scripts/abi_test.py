#!/usr/bin/env python3
"""The verdicts of scripts/abi.py on small libraries made for the test, built
with the C compiler: a release's library, one change to it per row, the
verdict and a line the report must hold. `-v` prints every row's report."""
import io
import os
import subprocess
import sys
import tempfile
from contextlib import redirect_stdout

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import abi  # noqa: E402

# The release: a record with padding inside (after a) and at its end (after d).
RELEASE = dict(members="uint32_t a; char *b; uint32_t d;", size="uint32_t", extra="", soname="libt.so.1")
HEADER = """#include <stdint.h>
typedef struct Rec { %(members)s } Rec;
uint32_t Rec_pack(const Rec *r, uint8_t *out);
%(size)s Rec_size(const Rec *r);
%(extra)s
"""
SOURCE = """#include "rec.h"
uint32_t Rec_pack(const Rec *r, uint8_t *out) { out[0] = (uint8_t)r->a; return 0; }
%(size)s Rec_size(const Rec *r) { return r->d + sizeof *r; }
%(body)s
"""

OK, BREAKS = 0, 1
# (change, what differs from RELEASE, verdict, a line of the report)
RULES = [
    ("nothing", {}, OK, "1.0.0: ABI compatible"),
    ("member appended into tail padding", dict(members="uint32_t a; char *b; uint32_t d; uint32_t e;"), BREAKS,
     "'uint32_t e', at offset 160 (in bits)"),
    ("member inserted into padding", dict(members="uint32_t a; uint32_t z; char *b; uint32_t d;"), BREAKS,
     "'uint32_t z', at offset 32 (in bits)"),
    ("record grown", dict(members="uint32_t a; char *b; uint32_t d; char *e;"), BREAKS,
     "type size changed from 192 to 256 (in bits)"),
    ("return type changed", dict(size="uint64_t"), BREAKS, "raise the major version"),
    ("function added", dict(extra="uint32_t Rec_extra(void);"), OK, "1.0.0: added: [A] 'function uint32_t Rec_extra()'"),
    ("function removed", dict(size=None), BREAKS, "1 Removed function"),
    ("break announced by the major version", dict(members="uint32_t a; char *b; uint32_t d; uint32_t e;",
                                                  soname="libt.so.2"),
     OK, "1.0.0: ABI changed, announced by the soname libt.so.2 (was libt.so.1)"),
]


def build(folder, change):
    v = dict(RELEASE, **change)
    os.makedirs(folder)
    size = v["size"] or "uint32_t"
    with open(os.path.join(folder, "rec.h"), "w") as f:
        f.write(HEADER % dict(v, size=size) if v["size"] else (HEADER % dict(v, size=size)).replace(
            "uint32_t Rec_size(const Rec *r);", ""))
    body = "uint32_t Rec_extra(void) { return 1; }" if v["extra"] else ""
    source = SOURCE % dict(size=size, body=body)
    if not v["size"]:
        source = source.replace("uint32_t Rec_size(const Rec *r) { return r->d + sizeof *r; }", "")
    with open(os.path.join(folder, "rec.c"), "w") as f:
        f.write(source)
    lib = os.path.join(folder, "librec.so")
    subprocess.run([os.environ.get("CC", "cc"), "-g", "-O2", "-shared", "-fPIC", "-Wl,-soname," + v["soname"], "-o",
                    lib, os.path.join(folder, "rec.c")], check=True)
    os.environ["ABI_HEADERS"] = folder
    return lib


def main(verbose):
    failed = 0
    with tempfile.TemporaryDirectory() as tmp:
        releases = os.path.join(tmp, "releases")
        os.makedirs(os.path.join(releases, "1.0.0"))
        abi.dump(build(os.path.join(tmp, "release"), {}), os.path.join(releases, "1.0.0", "abi.xml"))
        for n, (change, differs, verdict, line) in enumerate(RULES):
            lib = build(os.path.join(tmp, str(n)), differs)
            out = io.StringIO()
            with redirect_stdout(out):
                status = abi.check(lib, releases)
            if verbose:
                print("== %s\n%s" % (change, out.getvalue()), end="")
            if status != verdict or line not in out.getvalue():
                print("FAIL %s: expected %s and the line\n  %s\ngot %d:\n%s" %
                      (change, "a pass" if verdict == OK else "a failure", line, status, out.getvalue()))
                failed += 1
    print("abi_test: %d of %d verdicts hold" % (len(RULES) - failed, len(RULES)))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main("-v" in sys.argv[1:]))
