#!/usr/bin/env python3
"""Worst-case stack use of the library's exported functions, from the call
graphs that GCC writes with -fcallgraph-info=su (a .ci file beside each
object): for each exported function, its own frame plus the largest total of
its callees, down every call chain. What runs outside the library (the C
library, the framework's VORN_ functions, the OS layer's hooks) uses its own
stack on top; these files cannot show it. An indirect call reaches either the
OS layer or a module's malloc/free fallback, and counts as the largest
fallback's frame.

Usage: stack_usage.py BUILD_DIR VERSION_SCRIPT [BOUND]
Prints the figure, the three deepest exported functions and the deepest
chain; fails on recursion, on a frame whose size is not static, and on a
figure above BOUND bytes."""
import pathlib
import re
import subprocess
import sys

NODE = re.compile(r'^node: \{ title: "([^"]*)" label: "([^"]*)"')
EDGE = re.compile(r'^edge: \{ sourcename: "([^"]*)" targetname: "([^"]*)"')
FRAME = re.compile(r'\\n(\d+) bytes \(([a-z,]+)\)$')


def main(build, script, bound=None):
    frames, calls, fallbacks = {}, {}, set()
    for ci in sorted(pathlib.Path(build).glob("CMakeFiles/smd_*.dir/**/*.ci")):
        for line in ci.read_text().splitlines():
            if m := NODE.match(line):
                title, label = m.groups()
                if f := FRAME.search(label):
                    if f[2] != "static":
                        sys.exit(f"{title}: a frame of {f[2]} size")
                    frames[title] = int(f[1])
                    if re.search(r"::default_(alloc|free)\(", label):
                        fallbacks.add(title)
            elif m := EDGE.match(line):
                calls.setdefault(m[1], set()).add(m[2])
    if not frames:
        sys.exit(f"no call graphs under {build}: build it with -fcallgraph-info=su")

    text = pathlib.Path(script).read_text()
    exported = re.findall(r"[A-Za-z_]\w*", text[text.index("global:") + 7:text.index("local:")])
    missing = [name for name in exported if name not in frames]
    if missing:
        sys.exit(f"no frame for {', '.join(missing)}")

    deepest = {}  # title -> (bytes, chain)

    def depth(title, path):
        if title in path:
            sys.exit("recursion: " + " -> ".join(path[path.index(title):] + [title]))
        if title not in deepest:
            callees = calls.get(title, set())
            if "__indirect_call" in callees:
                callees = (callees - {"__indirect_call"}) | fallbacks
            below = [depth(c, path + [title]) for c in sorted(callees) if c in frames]
            most = max(below, default=(0, []))
            deepest[title] = (frames[title] + most[0], [title] + most[1])
        return deepest[title]

    ranked = sorted(((depth(name, []), name) for name in exported), reverse=True)
    (worst, chain), name = ranked[0]
    print(f"worst-case stack of the {len(exported)} exported functions: {worst} bytes ({name})")
    for (total, _), other in ranked[:3]:
        print(f"  {total:5} {other}")
    names = subprocess.run(["c++filt", "-p"], input="\n".join(t.split(":")[-1] for t in chain), text=True,
                           capture_output=True).stdout.replace("ssh_msg_def::internal::", "").split("\n")
    print("  deepest chain, each frame in bytes:")
    for t, n in zip(chain, names):
        print(f"    {frames[t]:4} {n}")
    if bound is not None:
        if worst > int(bound):
            sys.exit(f"above the bound of {bound} bytes")
        print(f"  within the bound of {bound} bytes")


if __name__ == "__main__":
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    main(*sys.argv[1:])
