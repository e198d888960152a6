#!/usr/bin/env python3
"""The rules of scripts/compat.py, each on a manifest made for the test (never
the library's own messages): a release's list, one change to it per row, and
a line the checker must print, whose verdict decides the check (an
"incompatible" line fails it, any other passes). Then how a release's vector
is matched against today's decode."""
import json
import os
import sys
from contextlib import redirect_stdout
from io import StringIO

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
PAIR, IMAGE, ITEM = "slot T.Pair 0 x scalar", "slot T.Image 1 y scalar", "slot T.Item 2 c scalar"
GROWN = PAIR + "\nslot T.Pair 1 y scalar"  # a list element of two scalars, as large as one may be
ELEMENT = "incompatible: T.Pair, element of T.Box slot 1 (pairs): slots changed"

# (text of RELEASE, its replacement everywhere, a line of the report)
RULES = [
    ("", "", "wire unchanged"),
    (ITEM, ITEM + "\nslot T.Item 3 d string", "compatible: T.Item slot 3 (d): appended, kind string"),
    (IMAGE, IMAGE + "\nmessage T.New 0x00000005 encoded", "compatible: T.New: message added"),
    (PAIR, GROWN, "compatible: T.Pair slot 1 (y): appended"),
    ("3 encoded", "3 fixed-image", "compatible: T.Pair: now sent as a fixed image"),
    ("1 b string", "1 name string", "source-incompatible: T.Item slot 1 (b): member renamed to name"),
    ("1 b string", "1 b scalar", "incompatible: T.Item slot 1 (b): kind changed from string to scalar"),
    (ITEM + "\n", "", "incompatible: T.Item slot 2 (c): removed"),
    ("0 a scalar", "0 c scalar", "incompatible: T.Item slot 0 (a): now holds c (c was slot 2: slots reordered)"),
    ("1 encoded", "A encoded", "incompatible: T.Item: identifier changed from 0x00000001 to 0x0000000A"),
    (IMAGE, IMAGE + "\nmessage T.New 0x00000001 encoded", "incompatible: T.New: identifier 0x00000001 is T.Item's too"),
    ("T.Image", "T.Picture", "incompatible: T.Image: message removed"),
    (IMAGE, IMAGE + "\nslot T.Image 2 z scalar", "incompatible: T.Image slot 2 (z): appended, new kind scalar"),
    ("4 fixed-image", "4 encoded", "incompatible: T.Image: send form changed from fixed-image to encoded"),
    (PAIR, PAIR + "\nslot T.Pair 1 s string", ELEMENT + " from (scalar) to (scalar, string)"),
    (PAIR, GROWN + "\nslot T.Pair 2 z scalar", ELEMENT + " from (scalar) to (scalar, scalar, scalar)"),
]

# (release's record, today's decode as sshmsg prints it, same record)
VECTORS = [
    ('{"f":1,"s":"a\\"b","lCount":2,"l":[{"x":5},{"x":7,"y":9}]}',
     '{"f":1,"s":"a\\"b","n":{"s":null,"x":0,"new":0},"lCount":2,"l":[{"x":5,"y":0},{"x":7,"y":9}],"e":null}', True),
    ('{"s":{"hex":"ffff"},"l":[{},{}]}', '{"s":{"hex":"ffff"},"t":null,"lCount":2,"l":[{"x":0},{"x":0,"y":0}]}', True),
    ('{"f":1}', '{"f":1,"n":{"s":null,"x":0,"new":4}}', False),
    ('{"f":1,"lCount":1,"l":[{"x":5}]}', '{"f":1,"lCount":1,"l":null}', False),
    ('{"f":1,"l":[{"x":5}]}', '{"f":1,"lCount":1,"l":[{"x":6}]}', False),
    ('{"f":1,"g":2}', '{"f":1}', False),
]

failed = []
for old, new, line in RULES:
    with redirect_stdout(StringIO()) as out:
        ok = compat.report("1.0.0", compat.compare(*(compat.parse_manifest(text, "") for text in
                                                     (RELEASE, RELEASE.replace(old, new)))))
    if old not in RELEASE or ok == line.startswith("incompatible") or line not in out.getvalue():
        failed.append("%s\ngot:\n%s" % (line, out.getvalue()))
failed += ["vector %s against %s: %s expected" % (record, decoded, "same" if same else "different")
           for record, decoded, same in VECTORS
           if compat.holds(json.loads(record), json.loads(decoded)) != same]
print("".join("FAIL %s\n" % f for f in failed) + "compat_test: %d of %d rules and vector matches hold"
      % (len(RULES) + len(VECTORS) - len(failed), len(RULES) + len(VECTORS)))
sys.exit(1 if failed else 0)
