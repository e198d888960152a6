#!/usr/bin/env python3
"""The verdicts of scripts/abi.py on small libraries made for the test, built
with the C compiler: a release's library, one change to it per row, the exit
status and a line the report must hold. A member appended into a record's
tail padding is tried on the library itself (abi_break.sh)."""
import os
import subprocess
import sys
import tempfile
from contextlib import redirect_stdout
from io import StringIO

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
import abi  # noqa: E402

PACK = "uint32_t Rec_pack(const Rec *r, uint8_t *out) { out[0] = (uint8_t)r->a; return 0; }"
SIZE = "uint32_t Rec_size(const Rec *r) { return r->d + sizeof *r; }"
# The release: a record with padding inside it, after a.
RELEASE = dict(members="uint32_t a; char *b; uint32_t d;", functions=[PACK, SIZE], soname="libt.so.1")
INSERTED = "uint32_t a; uint32_t z; char *b; uint32_t d;"

# (what differs from RELEASE, exit status, a line of the report)
RULES = [
    ({}, 0, "1.0.0: ABI compatible"),
    (dict(members=INSERTED), 1, "'uint32_t z', at offset 32 (in bits)"),
    (dict(functions=[PACK, SIZE.replace("uint32_t", "uint64_t", 1)]), 1, "raise the major version"),
    (dict(functions=[PACK, SIZE, "int Rec_new(void) { return 1; }"]), 0, "added: [A] 'function int Rec_new()'"),
    (dict(functions=[PACK]), 1, "1 Removed function"),
    (dict(members=INSERTED, soname="libt.so.2"), 0, "ABI changed, announced by the soname libt.so.2 (was libt.so.1)"),
]


def build(folder, change):
    """The library of RELEASE so changed; its header alone in `folder`, the public headers."""
    v = dict(RELEASE, **change)
    os.makedirs(folder)
    with open(os.path.join(folder, "rec.h"), "w") as f:
        f.write("#include <stdint.h>\ntypedef struct Rec { %s } Rec;\n" % v["members"])
    subprocess.run([os.environ.get("CC", "cc"), "-g", "-O2", "-shared", "-fPIC", "-I", folder, "-o", folder + ".so",
                    "-Wl,-soname," + v["soname"], "-x", "c", "-"],
                   input='#include "rec.h"\n' + "\n".join(v["functions"]), text=True, check=True)
    os.environ["ABI_HEADERS"] = folder
    return folder + ".so"


failed = 0
with tempfile.TemporaryDirectory() as tmp:
    os.makedirs(os.path.join(tmp, "releases", "1.0.0"))
    abi.dump(build(os.path.join(tmp, "release"), {}), os.path.join(tmp, "releases", "1.0.0", "abi.xml"))
    for n, (change, status, line) in enumerate(RULES):
        with redirect_stdout(StringIO()) as out:
            got = abi.check(build(os.path.join(tmp, str(n)), change), os.path.join(tmp, "releases"))
        if got != status or line not in out.getvalue():
            print("FAIL %s: expected exit %d and\n  %s\ngot %d:\n%s" % (change, status, line, got, out.getvalue()))
            failed += 1
print("abi_test: %d of %d verdicts hold" % (len(RULES) - failed, len(RULES)))
sys.exit(1 if failed else 0)
