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

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
import abi  # noqa: E402

PACK = "uint32_t Rec_pack(const Rec *r, uint8_t *out) { out[0] = (uint8_t)r->a; return 0; }"
SIZE = "uint32_t Rec_size(const Rec *r) { return r->d + sizeof *r; }"
# The release: a record with padding inside (after a) and at its end (after d).
RELEASE = dict(members="uint32_t a; char *b; uint32_t d;", functions=[PACK, SIZE], soname="libt.so.1")
APPENDED = "uint32_t a; char *b; uint32_t d; uint32_t e;"

OK, BREAKS = 0, 1
# (change, what differs from RELEASE, verdict, a line of the report)
RULES = [
    ("nothing", {}, OK, "1.0.0: ABI compatible"),
    ("member appended into tail padding", dict(members=APPENDED), BREAKS, "'uint32_t e', at offset 160 (in bits)"),
    ("member inserted into padding", dict(members="uint32_t a; uint32_t z; char *b; uint32_t d;"), BREAKS,
     "'uint32_t z', at offset 32 (in bits)"),
    ("record grown", dict(members="uint32_t a; char *b; uint32_t d; char *e;"), BREAKS,
     "type size changed from 192 to 256 (in bits)"),
    ("return type changed", dict(functions=[PACK, SIZE.replace("uint32_t", "uint64_t", 1)]), BREAKS,
     "raise the major version"),
    ("function added", dict(functions=[PACK, SIZE, "uint32_t Rec_extra(void) { return 1; }"]), OK,
     "1.0.0: added: [A] 'function uint32_t Rec_extra()'"),
    ("function removed", dict(functions=[PACK]), BREAKS, "1 Removed function"),
    ("break announced by the major version", dict(members=APPENDED, soname="libt.so.2"), OK,
     "1.0.0: ABI changed, announced by the soname libt.so.2 (was libt.so.1)"),
]


def build(folder, change):
    """The library of RELEASE changed so, its header alone in `folder` (the public headers)."""
    v = dict(RELEASE, **change)
    os.makedirs(folder)
    with open(os.path.join(folder, "rec.h"), "w") as f:
        f.write("#include <stdint.h>\ntypedef struct Rec { %s } Rec;\n" % v["members"])
        f.write("".join(fn[:fn.index(" {")] + ";\n" for fn in v["functions"]))
    source = os.path.join(folder, "..", os.path.basename(folder) + ".c")
    with open(source, "w") as f:
        f.write('#include "rec.h"\n' + "\n".join(v["functions"]) + "\n")
    lib = os.path.join(folder, "..", "lib%s.so" % os.path.basename(folder))
    subprocess.run([os.environ.get("CC", "cc"), "-g", "-O2", "-shared", "-fPIC", "-I", folder,
                    "-Wl,-soname," + v["soname"], "-o", lib, source], check=True)
    os.environ["ABI_HEADERS"] = folder
    return lib


def main(verbose):
    failed = 0
    with tempfile.TemporaryDirectory() as tmp:
        os.makedirs(os.path.join(tmp, "releases", "1.0.0"))
        abi.dump(build(os.path.join(tmp, "release"), {}), os.path.join(tmp, "releases", "1.0.0", "abi.xml"))
        for n, (change, differs, verdict, line) in enumerate(RULES):
            lib, out = build(os.path.join(tmp, str(n)), differs), io.StringIO()
            with redirect_stdout(out):
                status = abi.check(lib, os.path.join(tmp, "releases"))
            if verbose:
                print("== %s\n%s" % (change, out.getvalue()), end="")
            if status != verdict or line not in out.getvalue():
                print("FAIL %s: expected exit %d and the line\n  %s\ngot %d:\n%s" %
                      (change, verdict, line, status, out.getvalue()))
                failed += 1
    print("abi_test: %d of %d verdicts hold" % (len(RULES) - failed, len(RULES)))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main("-v" in sys.argv[1:]))
