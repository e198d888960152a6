#!/usr/bin/env python3
"""The rules of scripts/compat.py, each on a manifest made for the test (never
the library's own messages): a release's list, one change to it per row, the
verdict and the line the checker must print. Then how a release's vector is
matched against today's decode. `-v` prints every row's report."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
import compat  # noqa: E402

RELEASE = """\
message T.Item 0x00000001 encoded
slot T.Item 0 a scalar
slot T.Item 1 b string
slot T.Item 2 c scalar
message T.Box 0x00000002 encoded
slot T.Box 0 item message T.Item
slot T.Box 1 pairs list T.Pair
message T.Pair 0x00000003 encoded
slot T.Pair 0 x scalar
message T.Image 0x00000004 fixed-image
slot T.Image 0 x scalar
slot T.Image 1 y scalar
"""

OK, BREAKS = 0, 1
# (change, [(line of RELEASE or "" to append, its replacement)], verdict, a line of the report)
RULES = [
    ("nothing", [], OK, "wire unchanged"),
    ("slot appended", [("", "slot T.Item 3 d string")], OK,
     "compatible: T.Item slot 3 (d): appended, kind string"),
    ("message added", [("", "message T.New 0x00000005 encoded")], OK, "compatible: T.New: message added"),
    ("list element grown within its layout", [("", "slot T.Pair 1 y scalar")], OK,
     "compatible: T.Pair slot 1 (y): appended"),
    ("sent as a fixed image from now on", [("T.Pair 0x00000003 encoded", "T.Pair 0x00000003 fixed-image")], OK,
     "compatible: T.Pair: now sent as a fixed image"),
    ("member renamed", [("1 b string", "1 name string")], OK,
     "source-incompatible: T.Item slot 1 (b): member renamed to name"),
    ("kind changed", [("1 b string", "1 b scalar")], BREAKS,
     "incompatible: T.Item slot 1 (b): kind changed from string to scalar"),
    ("nested message changed", [("item message T.Item", "item message T.Pair")], BREAKS,
     "incompatible: T.Box slot 0 (item): kind changed from message T.Item to message T.Pair"),
    ("list element message changed", [("pairs list T.Pair", "pairs list T.Image")], BREAKS,
     "kind changed from list T.Pair to list T.Image"),
    ("slot removed", [("slot T.Item 2 c scalar", "")], BREAKS, "incompatible: T.Item slot 2 (c): removed"),
    ("middle slot removed", [("slot T.Item 1 b string\nslot T.Item 2 c scalar", "slot T.Item 1 c scalar")], BREAKS,
     "T.Item slot 1 (b): kind changed from string to scalar (c was slot 2: slots reordered)"),
    ("slots of one kind swapped", [("0 a scalar", "0 c scalar"), ("2 c scalar", "2 a scalar")], BREAKS,
     "incompatible: T.Item slot 0 (a): now holds c (c was slot 2: slots reordered)"),
    ("identifier changed", [("T.Item 0x00000001", "T.Item 0x0000000A")], BREAKS,
     "incompatible: T.Item: identifier changed from 0x00000001 to 0x0000000A"),
    ("identifier taken twice", [("", "message T.New 0x00000001 encoded")], BREAKS,
     "incompatible: T.New: identifier 0x00000001 is T.Item's too"),
    ("message removed", [("message T.Image 0x00000004 fixed-image\nslot T.Image 0 x scalar\n"
                          "slot T.Image 1 y scalar", "")], BREAKS, "incompatible: T.Image: message removed"),
    ("slot appended to a fixed image", [("", "slot T.Image 2 z scalar")], BREAKS,
     "incompatible: T.Image slot 2 (z): appended, new kind scalar; T.Image is sent as a fixed image"),
    ("fixed image now encoded", [("0x00000004 fixed-image", "0x00000004 encoded")], BREAKS,
     "incompatible: T.Image: send form changed from fixed-image to encoded"),
    ("list element given a string", [("", "slot T.Pair 1 s string")], BREAKS,
     "incompatible: T.Pair, element of T.Box slot 1 (pairs): slots changed from (scalar) to (scalar, string)"),
    ("list element past 8 bytes", [("", "slot T.Pair 1 y scalar\nslot T.Pair 2 z scalar")], BREAKS,
     "slots changed from (scalar) to (scalar, scalar, scalar)"),
]

# (release's record, today's decode as sshmsg prints it, same record)
VECTORS = [
    ('{1, "a\\x22b", 2:[{5, 0}, {7, 9}]}',
     '{"f":1,"s":"a\\"b","lCount":2,"l":[{"x":5,"y":0},{"x":7,"y":9}]}', True),
    ('{"\\xFF"*2, null, 0:null}', '{"s":{"hex":"ffff"},"t":null,"lCount":0,"l":null}', True),
    ('{1, {null, 0}}', '{"f":1,"n":{"s":null,"x":0,"new":0},"added":null}', True),
    ('{3, 2:zeros}', '{"f":3,"lCount":2,"l":[{"x":0},{"x":0,"y":0}]}', True),
    ('{1, {null, 0}}', '{"f":1,"n":{"s":null,"x":0,"new":4}}', False),
    ('{1}', '{"f":1,"added":""}', False),
    ('{1, 1:[{5}]}', '{"f":1,"lCount":1,"l":null}', False),
    ('{1, 1:[{5}]}', '{"f":1,"lCount":1,"l":[{"x":6}]}', False),
    ('{1, "ab"}', '{"f":1,"s":"ab\\u0000"}', False),
    ('{1, 2}', '{"f":1}', False),
]


def apply(text, edits):
    for old, new in edits:
        if old:
            assert old in text, old
            text = text.replace(old + ("\n" if not new else ""), new)
        else:
            text += new + "\n"
    return text


def main(verbose):
    import io
    import json
    from collections import OrderedDict
    from contextlib import redirect_stdout
    failed = 0
    release = compat.parse_manifest(RELEASE, "release")
    for change, edits, verdict, line in RULES:
        out = io.StringIO()
        with redirect_stdout(out):
            ok = compat.report("1.0.0", compat.compare(release, compat.parse_manifest(apply(RELEASE, edits), change)))
        if verbose:
            print("== %s\n%s" % (change, out.getvalue()), end="")
        if (OK if ok else BREAKS) != verdict or line not in out.getvalue():
            print("FAIL %s: expected %s and the line\n  %s\ngot:\n%s" %
                  (change, "a pass" if verdict == OK else "a failure", line, out.getvalue()))
            failed += 1
    for record, decoded, same in VECTORS:
        got = compat.same_record(compat.parse_record(record),
                                 compat.from_json(json.loads(decoded, object_pairs_hook=OrderedDict)))
        if got != same:
            print("FAIL vector %s against %s: %s expected" % (record, decoded, "same" if same else "different"))
            failed += 1
    print("compat_test: %d of %d rules and vector matches hold" % (len(RULES) + len(VECTORS) - failed,
                                                                  len(RULES) + len(VECTORS)))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main("-v" in sys.argv[1:]))
