#!/usr/bin/env python3
"""Runs a transcript (a .t file) and compares what its commands print with the
lines it gives:  transcript.py FILE [N]  runs every section, or the Nth only.

  ## Name     starts a section; its commands share a scratch directory, $D
  # text      a comment, between cases (blank lines and comments are not output)
  $ command   a command for sh, with $T, $E (from the environment) and $D set;
  > more      continues it
  text        any other line is standard output, all of it, line by line
  [N]         the exit status, when it is not 0
  ! text      standard error holds the text; the "!" lines of a case are
              consecutive lines there, so a bare "!" last says the text ends
              its line. Without "!" lines standard error is not looked at; when
              it does not hold them, all of it is shown as "!" lines.
Prints each failed section with what it expected and what it got, then a count;
exits 1 when a section failed."""
import os
import subprocess
import sys
import tempfile


def sections(path):
    out = []
    with open(path, encoding="utf-8") as f:
        for line in f.read().splitlines():
            if line.startswith("## "):
                out.append((line[3:], []))
            elif line and not line.startswith("#") and out:
                out[-1][1].append(line)
    return out


def run(lines, scratch):
    cases = []  # [command, "!" lines]
    for line in lines:
        if line.startswith("$ "):
            cases.append([line[2:], []])
        elif cases and (line == ">" or line.startswith("> ")):
            cases[-1][0] += "\n" + line
        elif cases and (line == "!" or line.startswith("! ")):
            cases[-1][1].append(line)
    got = []
    for command, errs in cases:
        got += ("$ " + command).split("\n")
        script = "\n".join(l[2:] if l.startswith("> ") else l[1:] if l == ">" else l for l in command.split("\n"))
        r = subprocess.run(["sh", "-c", script], capture_output=True, env=dict(os.environ, D=scratch))
        got += r.stdout.decode("utf-8", "replace").splitlines()
        if r.returncode != 0:
            got.append("[%d]" % (r.returncode if r.returncode > 0 else 128 - r.returncode))
        err = r.stderr.decode("utf-8", "replace")
        if errs and "\n".join(l[2:] for l in errs) in err:
            got += errs
        elif errs:
            got += ["! " + l for l in err.splitlines()]
    return got


def main():
    path, only = sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 0
    all_sections = sections(path)
    failed = 0
    for number, (name, lines) in enumerate(all_sections, 1):
        if only and number != only:
            continue
        with tempfile.TemporaryDirectory() as scratch:
            got = run(lines, scratch)
        if got != lines:
            failed += 1
            print("FAILED %s\n--- expected\n%s\n--- got\n%s" % (name, "\n".join(lines), "\n".join(got)))
    print("%d sections, %d failed" % (len(all_sections), failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
