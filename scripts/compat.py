#!/usr/bin/env python3
"""Wire compatibility with every release.

A buffer names no schema: a receiver built on another message list sees only
absent slots (its default) or extra ones (ignored), and the identifier beside
the buffer picks the decoder. So a slot appended and a message added are
compatible both ways; a slot's kind or nested message changed, a slot removed
or moved, an identifier changed, any change to a message sent as a fixed image
and a list element grown beyond what its array allows break every program
still running the old list. A member renamed leaves the wire as it is but
breaks the source that names it.

  compat.py check SSHMSG [RELEASES]
      today's manifest (SSHMSG list --wire) against RELEASES/*/wire.txt, then
      every release's byte vectors (RELEASES/*/vectors.txt) decoded by
      SSHMSG decode: each must still give its record, a slot appended since
      holding its default. RELEASES defaults to compat/ beside this script.
  compat.py diff OLD NEW
      two manifests, say of two builds at hand (sshmsg list --wire > file).

Every change is printed with its verdict. Exit status: 0 compatible (maybe
with renames), 1 a change breaks the wire or a vector decodes otherwise,
2 a usage or input error.
"""
import json
import os
import re
import subprocess
import sys
from collections import OrderedDict

COMPATIBLE, SOURCE, INCOMPATIBLE = "compatible", "source-incompatible", "incompatible"
RETIRE = "retire a field by keeping its member and no longer setting it"
# A list's elements are records held by value in one array and owning
# nothing: scalars only, at most two (8 bytes; src/runtime/schema.h, MakeField).
LIST_ELEMENT_SCALARS = 2


class InputError(Exception):
    pass


class Message:
    def __init__(self, name, ident, send):
        self.name, self.id, self.send, self.slots = name, ident, send, []  # slots: [(member, kind)]


def parse_manifest(text, where):
    """The messages of a manifest by qualified name, in its order."""
    messages = OrderedDict()
    for number, line in enumerate(text.splitlines(), 1):
        words = line.split()
        if not words or words[0].startswith("#"):
            continue
        here = "%s:%d" % (where, number)
        if words[0] == "message" and len(words) == 4 and words[3] in ("encoded", "fixed-image"):
            if words[1] in messages:
                raise InputError("%s: %s listed twice" % (here, words[1]))
            messages[words[1]] = Message(*words[1:])
        elif words[0] == "slot" and len(words) in (5, 6) and words[1] in messages:
            m = messages[words[1]]
            if words[2] != str(len(m.slots)):
                raise InputError("%s: slot %s of %s out of order" % (here, words[2], words[1]))
            m.slots.append((words[3], " ".join(words[4:])))
        else:
            raise InputError("%s: not a manifest line: %s" % (here, line))
    return messages


def compare(old, new):
    """[(verdict, text)]: every change from manifest `old` to manifest `new`."""
    out = []
    seen = {}
    for m in new.values():
        if m.id in seen:
            out.append((INCOMPATIBLE, "%s: identifier %s is %s's too; the identifier picks the decoder, so each "
                        "message needs its own" % (m.name, m.id, seen[m.id])))
        seen[m.id] = m.name
    for name, o in old.items():
        n = new.get(name)
        if n is None:
            out.append((INCOMPATIBLE, "%s: message removed; programs of the old list still send and expect it: keep "
                        "it in the list, and stop sending it instead" % name))
            continue
        fixed = o.send == "fixed-image"
        if n.id != o.id:
            out.append((INCOMPATIBLE, "%s: identifier changed from %s to %s; the identifier routes the buffer to its "
                        "decoder: keep %s (a new identifier is a new message)" % (name, o.id, n.id, o.id)))
        if n.send != o.send:
            if fixed:
                out.append((INCOMPATIBLE, "%s: send form changed from fixed-image to %s; its receivers take the "
                            "fixed image: keep it, or add a new message" % (name, n.send)))
            else:
                out.append((COMPATIBLE, "%s: now sent as a fixed image (decoded like its encoding); from now on "
                            "the message can no longer change" % name))
        old_members = {member: i for i, (member, _) in enumerate(o.slots)}
        for i, (member, kind) in enumerate(o.slots):
            slot = "%s slot %d (%s)" % (name, i, member)
            if i >= len(n.slots):
                out.append((INCOMPATIBLE, "%s: removed, old kind %s; a later slot would take its place: %s"
                            % (slot, kind, RETIRE)))
                continue
            new_member, new_kind = n.slots[i]
            moved = old_members.get(new_member, i) != i
            where = " (%s was slot %d: slots reordered)" % (new_member, old_members[new_member]) if moved else ""
            if new_kind != kind:
                out.append((INCOMPATIBLE, "%s: kind changed from %s to %s%s; programs of the old list read the slot "
                            "as %s: keep the slot as it was and append one of the new kind (%s)"
                            % (slot, kind, new_kind, where, kind, RETIRE)))
            elif moved:
                out.append((INCOMPATIBLE, "%s: now holds %s%s, same kind %s, other meaning: keep every member in "
                            "its slot and append new ones (%s)" % (slot, new_member, where, kind, RETIRE)))
            elif new_member != member:
                out.append((SOURCE, "%s: member renamed to %s; the wire is unchanged, but code naming %s no longer "
                            "compiles" % (slot, new_member, member)))
        for i in range(len(o.slots), len(n.slots)):
            member, kind = n.slots[i]
            slot = "%s slot %d (%s)" % (name, i, member)
            if fixed:
                out.append((INCOMPATIBLE, "%s: appended, new kind %s; %s is sent as a fixed image, whose size is "
                            "fixed: add a new message instead" % (slot, kind, name)))
            else:
                out.append((COMPATIBLE, "%s: appended, kind %s; the old list ignores it and leaves it absent"
                            % (slot, kind)))
    for name, n in new.items():
        if name not in old:
            out.append((COMPATIBLE, "%s: message added (%s)" % (name, n.id)))
    # The elements of every list in the new manifest.
    for holder in new.values():
        for i, (member, kind) in enumerate(holder.slots):
            element = new.get(kind[5:]) if kind.startswith("list ") else None
            if element is None:
                continue
            scalars = [k for _, k in element.slots if k == "scalar"]
            if len(scalars) < len(element.slots) or len(scalars) > LIST_ELEMENT_SCALARS:
                before = old.get(element.name)
                kinds = lambda m: ", ".join(k for _, k in m.slots) if m else "none"
                out.append((INCOMPATIBLE, "%s, element of %s slot %d (%s): slots changed from (%s) to (%s); a list "
                            "element is a record of at most %d scalars held by value in its array: add a new "
                            "message for the new element" % (element.name, holder.name, i, member, kinds(before),
                                                              kinds(element), LIST_ELEMENT_SCALARS)))
    return out


def report(label, changes):
    """Prints the changes; True when none breaks the wire."""
    for verdict, text in changes:
        print("%s: %s: %s" % (label, verdict, text))
    if not changes:
        print("%s: wire unchanged" % label)
    return all(verdict != INCOMPATIBLE for verdict, _ in changes)


# --- The releases' byte vectors -------------------------------------------

def is_default(v):
    """0, null, or a record of nothing else: what a member appended since a release reads as."""
    return v in (0, None) or (isinstance(v, dict) and list(v) != ["hex"] and all(map(is_default, v.values())))


def holds(given, decoded):
    """True when the decoded record (JSON, every member) holds every member the
    vector gives, and its default in every member the vector leaves out."""
    if not isinstance(given, dict) or not set(given) <= set(decoded):
        return False
    for key, value in decoded.items():
        if key not in given and key.endswith("Count") and isinstance(given.get(key[:-5]), list):
            continue  # a list's count, given by its array
        if key not in given:
            if not is_default(value):
                return False
        elif isinstance(value, dict) and list(value) != ["hex"]:
            if not holds(given[key], value):
                return False
        elif isinstance(value, list):
            if not isinstance(given[key], list) or len(given[key]) != len(value) or \
                    not all(holds(g, d) for g, d in zip(given[key], value)):
                return False
        elif given[key] != value:
            return False
    return True


def read_vectors(path):
    """[(line, header, message, record as JSON, hex)] of a vectors file."""
    vectors, current = [], None
    with open(path) as f:
        for number, line in enumerate(f, 1):
            m = re.match(r"(pack|accept) (\w+) (.*)", line)
            if m:
                current = [number, line.strip(), m.group(2), m.group(3), ""]
                vectors.append(current)
            elif line.startswith(" ") and current:
                current[4] += "".join(line.split())
            elif not line.strip():
                current = None
    return vectors


def check_vectors(sshmsg, path, label):
    failed = 0
    vectors = read_vectors(path)
    for number, header, message, text, hexbytes in vectors:
        run = subprocess.run([sshmsg, "decode", message, "--hex", "-c"], input=hexbytes, capture_output=True,
                             text=True)
        where = "%s: %s:%d: %s" % (label, os.path.basename(path), number, header)
        if run.returncode != 0:
            print("%s: no longer decodes: %s" % (where, run.stderr.strip()))
            failed += 1
        elif not holds(json.loads(text), json.loads(run.stdout)):
            print("%s: now decodes to %s" % (where, run.stdout.strip()))
            failed += 1
    print("%s: %d of %d byte vectors decode to their records" % (label, len(vectors) - failed, len(vectors)))
    return failed == 0


def releases(root):
    """The release folders, oldest first; each must hold its manifest and its vectors."""
    found = sorted((d for d in os.listdir(root) if os.path.isdir(os.path.join(root, d))),
                   key=lambda v: [int(x) for x in re.findall(r"\d+", v)])
    for version in found:
        for name in ("wire.txt", "vectors.txt"):
            if not os.path.isfile(os.path.join(root, version, name)):
                raise InputError("release %s has no %s" % (version, name))
    return found


def main(argv):
    if len(argv) == 3 and argv[0] == "diff":
        texts = [(open(p).read(), p) for p in argv[1:]]
        return 0 if report("wire", compare(*(parse_manifest(t, p) for t, p in texts))) else 1
    if argv[:1] != ["check"] or len(argv) not in (2, 3):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    sshmsg = argv[1]
    root = argv[2] if len(argv) == 3 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "compat")
    run = subprocess.run([sshmsg, "list", "--wire"], capture_output=True, text=True, check=True)
    current = parse_manifest(run.stdout, "sshmsg list --wire")
    ok = True
    found = releases(root)
    if not found:
        raise InputError("no release under %s" % root)
    for version in found:
        path = os.path.join(root, version, "wire.txt")
        ok &= report(version, compare(parse_manifest(open(path).read(), path), current))
        ok &= check_vectors(sshmsg, os.path.join(root, version, "vectors.txt"), version)
    return 0 if ok else 1


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv[1:]))
    except (InputError, OSError, subprocess.CalledProcessError) as e:
        print("compat: %s" % e, file=sys.stderr)
        sys.exit(2)
