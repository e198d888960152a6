#!/usr/bin/env python3
# Mutation testing: small faults planted one at a time in the library sources,
# each built and run against the test suite of the default preset. A mutant is
# killed when some test fails or times out (or a program that the build runs
# fails), survives when every test passes, and counts for nothing when it does
# not compile.
#
# Usage (normally through `make mutation`, which passes these on):
#   MUTATION_FILES='src/runtime/wire.h src/transport/*.cc'  files or globs
#                        (default: every .h and .cc of the library, under src/)
#   MUTATION_SAMPLE=N    a random sample of N mutants, MUTATION_SEED=S picks it (1)
#   MUTATION_ID='id...'  only these mutants (ids or their prefixes), with the
#                        output of their build and tests, to re-check one
#   MUTATION_LIST=1      list the mutants with their ids and counts, run nothing
#   MUTATION_STRICT=1    exit 1 when a survivor is not on the equivalent list
#   MUTATION_KILLS=1     from the recorded results (or =FILE), run nothing: how
#                        many mutants each core test kills, and kills alone;
#                        then the case commands that kill nothing alone
#   MUTATION_RESUME=1    reuse the results recorded by earlier runs (below), or
#   MUTATION_RESUME=FILE those recorded in FILE (a copy kept from another tree)
#   MUTATION_PRESET=tsan run in the tsan preset (build/tsan) instead: by default
#                        the mutants of tests/tsan_mutants.txt, each of which
#                        must be killed there; MUTATION_PRESET=asan and
#                        MUTATION_PRESET=cross-s390x likewise, those of
#                        tests/asan_mutants.txt and tests/s390x_mutants.txt
#
# Mutants: relational operators written as binary operators (`a < b`: spaced,
# so template brackets and casts are left alone; shifts never), == and !=,
# && and ||, integer literals plus and minus one, true and false, and removal
# of a call statement (`f(...);`, `obj.f(...);`, `ns::f<T>(...);`, with or
# without a (void) cast). Comments, literals, preprocessor lines and
# static_assert are never mutated.
#
# Each mutant runs in two stages. The unit, platform, C and concurrency test
# programs are rebuilt and run directly, every test to the end, so that the
# tests that kill it are known; only a mutant they all pass goes on to the
# rebuild of the whole tree (tool, examples, fuzz regressions) and the rest of
# CTest. Results are kept per mutant in build/PRESET/mutation-results.tsv
# (id, status, killing tests, place and change; appended to as the run goes,
# and at its end rewritten with one row per mutant, the latest, the resumed
# ones included, so that it can be kept whole); MUTATION_RESUME=1 takes the
# mutants recorded there as killed or not compiling, or as listed survivors, as
# done (other survivors run again), so that a full run can be spread over
# several sittings.
#
# Score: killed / (killed + survivors). Survivors listed in
# tests/equivalent_mutants.txt are reported as equivalent and left out of both.
# Survivors listed in tests/tsan_mutants.txt (a lock taken out, say),
# tests/asan_mutants.txt (a leak) or tests/s390x_mutants.txt (code built only
# for a big-endian host) count as killed: the suite of that preset kills them,
# which MUTATION_PRESET checks (CI for the tsan and asan lists).
# Each source file is restored after its mutant (also on Ctrl-C or an error)
# and the tree is rebuilt at the end, so the build matches the sources.
import fcntl
import glob
import hashlib
import os
import random
import re
import signal
import subprocess
import sys
import time
from dataclasses import dataclass
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
EQUIVALENT = ROOT / 'tests' / 'equivalent_mutants.txt'
# Mutants that only another preset's suite can tell, listed by preset: a lock
# taken out (ThreadSanitizer), a write out of bounds or a leak (AddressSanitizer),
# code built only for a big-endian host (s390x).
ELSEWHERE = {'tsan': ROOT / 'tests' / 'tsan_mutants.txt', 'asan': ROOT / 'tests' / 'asan_mutants.txt',
             'cross-s390x': ROOT / 'tests' / 's390x_mutants.txt'}
PRESET = os.environ.get('MUTATION_PRESET') or 'default'
BUILD_DIR = ROOT / 'build' / PRESET
DEFAULT_FILES = 'src/*/*.h src/*/*.cc'
BUILD = ['cmake', '--build', '--preset', PRESET]
# The first stage: programs that build in seconds after a change to src/ and
# run in under a second. Their tests carry the label core.
CORE = ['cases', 'code_test']
CORE_CTEST = ['ctest', '--preset', PRESET, '--timeout', '60', '-L', 'core']
# The second: everything else. install_alone (label package) builds the whole
# tree afresh: minutes per mutant for nothing the other tests do not already see.
CTEST = ['ctest', '--preset', PRESET, '--stop-on-failure', '--timeout', '60', '-LE', 'package|core']
RESULTS = BUILD_DIR / 'mutation-results.tsv'
# The core tests take seconds. Once the unchanged tree's run is timed, a run
# five times as long (a minute at least) has hung on a lock that the mutant
# never releases, and is ended: a kill.
CORE_TIME = {'limit': 600, 'last': 0}

IDENT = re.compile(r'[A-Za-z_]\w*')
NUMBER = re.compile(r"\.?\d(?:[eEpP][+-]|'?[\w.])*")
INTEGER = re.compile(r"(0[xX])([0-9a-fA-F']+)([uUlLzZ]*)$|([1-9][0-9']*|0)([uUlLzZ]*)$")
OPERATORS = sorted('<=> <<= >>= ->* ... -> :: << >> <= >= == != && || ++ -- += -= *= /= %= &= |= ^= .* ##'.split(),
                   key=len, reverse=True)
LITERAL_PREFIXES = {'L', 'u', 'U', 'u8', 'R', 'LR', 'uR', 'UR', 'u8R'}
NOT_CALLS = set('''alignas alignof asm break case catch class co_await co_return co_yield const_cast continue
    decltype default delete do dynamic_cast else enum for goto if namespace new noexcept operator
    reinterpret_cast return sizeof static_assert static_cast struct switch template throw typedef
    typename union using while'''.split())
RELATIONAL = {'<': ('<=', '>'), '<=': ('<', '>='), '>': ('>=', '<'), '>=': ('>', '<=')}
SWAPS = {'==': '!=', '!=': '==', '&&': '||', '||': '&&', 'true': 'false', 'false': 'true'}


@dataclass
class Token:
    kind: str  # 'id', 'num', 'str' (any literal in quotes) or 'op'
    text: str
    start: int
    end: int
    line: int
    first: bool  # the first token on its line


@dataclass
class Mutant:
    path: str
    line: int
    start: int
    end: int
    new: str
    change: str
    id: str = ''


def skip_literal(src, i, raw):
    """The end of the string or character literal whose quote is at i."""
    if raw:
        close = ')' + src[i + 1:src.index('(', i)] + '"'
        return src.index(close, i) + len(close)
    quote, i = src[i], i + 1
    while i < len(src) and src[i] not in (quote, '\n'):
        i += 2 if src[i] == '\\' else 1
    return i + 1


def tokenize(src):
    tokens, i, line, last_line = [], 0, 1, 0
    line_start = True
    while i < len(src):
        c = src[i]
        if c == '\n':
            line, line_start, i = line + 1, True, i + 1
        elif c.isspace():
            i += 1
        elif c == '#' and line_start:  # a preprocessor line, continuations included
            while i < len(src) and src[i] != '\n':
                i += 2 if src.startswith('\\\n', i) else 1
                line += src[i - 1] == '\n'
        elif src.startswith('//', i):
            end = src.find('\n', i)
            i = len(src) if end < 0 else end
        elif src.startswith('/*', i):
            end = src.index('*/', i) + 2
            line, i = line + src.count('\n', i, end), end
        else:
            line_start = False
            m = IDENT.match(src, i) or NUMBER.match(src, i)
            if m and m.group() in LITERAL_PREFIXES and src[m.end():m.end() + 1] in ('"', "'"):
                kind, end = 'str', skip_literal(src, m.end(), m.group().endswith('R'))
            elif m:
                kind, end = 'num' if m.group()[0] in '.0123456789' else 'id', m.end()
            elif c in '"\'':
                kind, end = 'str', skip_literal(src, i, False)
            else:
                op = next((o for o in OPERATORS if src.startswith(o, i)), c)
                kind, end = 'op', i + len(op)
            tokens.append(Token(kind, src[i:end], i, end, line, line != last_line))
            line, i, last_line = line + src.count('\n', i, end), end, line
    return tokens


def spaced(src, t):
    return src[t.start - 1:t.start] in (' ', '\n') and src[t.end:t.end + 1] in (' ', '\n')


def plus_minus_one(text):
    m = INTEGER.match(text)
    if not m:
        return []
    if m.group(1):
        prefix, digits, suffix = m.group(1), m.group(2).replace("'", ''), m.group(3)
        fmt = '0%d%s' % (len(digits), 'x' if digits.lower() == digits and digits.upper() != digits else 'X')
        value, show = int(digits, 16), (lambda v: prefix + format(v, fmt) + suffix)
    else:
        value, suffix = int(m.group(4).replace("'", '')), m.group(5)
        show = (lambda v: str(v) + suffix)
    return [show(v) for v in (value + 1, value - 1) if v >= 0]


def opens_block(tokens, k, blocks):
    """Whether the brace at k opens a block of statements (not a class,
    namespace or braced initializer)."""
    prev = tokens[k - 1].text if k else ''
    if prev in ('else', 'do', 'try'):
        return True
    if prev in (';', '{', '}', ':', ''):
        return bool(blocks and blocks[-1])
    j = k - 1
    while j >= 0 and tokens[j].kind == 'id':  # qualifiers, attribute macros
        j -= 1
    return j >= 0 and tokens[j].text in (')', ']')


def call_end(tokens, k):
    """The index of the ';' ending the call statement at k, or None."""
    j = k
    if tokens[j].kind != 'id' or tokens[j].text in NOT_CALLS:
        return None
    j += 1
    while tokens[j].text in ('.', '->', '::') and tokens[j + 1].kind == 'id':
        j += 2
    if tokens[j].text == '<' and tokens[j].start == tokens[j - 1].end:  # template arguments
        depth = 0
        while True:
            depth += {'<': 1, '>': -1, '>>': -2}.get(tokens[j].text, 0)
            j += 1
            if depth <= 0 or tokens[j].text in (';', '{'):
                break
    if tokens[j].text != '(':
        return None
    j = after_parens(tokens, j)
    return j if j < len(tokens) and tokens[j].text == ';' else None


def after_parens(tokens, j):
    """The index just past the parenthesis that closes the one at j."""
    depth = 0
    while j < len(tokens):
        depth += {'(': 1, ')': -1}.get(tokens[j].text, 0)
        j += 1
        if depth == 0:
            break
    return j


def mutants_of(path):
    src = (ROOT / path).read_bytes().decode('utf-8', 'surrogateescape')  # lossless, no newline translation
    tokens = tokenize(src)
    found, blocks, skip_to = [], [], -1

    def add(t, new, change, end=None):
        found.append(Mutant(path, t.line, t.start, end or t.end, new, change))

    for k, t in enumerate(tokens):
        prev = tokens[k - 1].text if k else ''
        if t.text == '{':
            blocks.append(opens_block(tokens, k, blocks))
        elif t.text == '}' and blocks:
            blocks.pop()
        if t.text == 'static_assert':  # holds or fails at compile time: no test can tell
            skip_to = after_parens(tokens, k + 1)
        if k <= skip_to or prev in ('template', 'operator'):
            continue
        if t.text in RELATIONAL and spaced(src, t):
            for new in RELATIONAL[t.text]:
                add(t, new, f"'{t.text}' -> '{new}'")
        elif t.text in SWAPS and (t.kind == 'id' or t.text in ('==', '!=') or spaced(src, t)):
            add(t, SWAPS[t.text], f"'{t.text}' -> '{SWAPS[t.text]}'")
        elif t.kind == 'num':
            for new in plus_minus_one(t.text):
                add(t, new, f"{t.text} -> {new}")
        start = k + 3 if [x.text for x in tokens[k:k + 3]] == ['(', 'void', ')'] else k
        if (t.first and blocks and blocks[-1] and start + 1 < len(tokens)
                and (prev in (';', '{', '}', ')', 'else', ':') or prev == tokens[k - 2].text == ']')):
            end = call_end(tokens, start)
            if end:
                name = src[t.start:src.index('(', tokens[start].end)]
                add(t, '(void)0;', f"remove call {name}(...)", tokens[end].end)
    # A stable id: file, source line, change and its occurrence among equal
    # lines of the file, so that it survives code moving around.
    lines, seen = src.split('\n'), {}
    for m in found:
        key = f"{path}|{lines[m.line - 1].strip()}|{m.change}"
        seen[key] = seen.get(key, -1) + 1
        m.id = hashlib.sha1(f"{key}|{seen[key]}".encode()).hexdigest()[:10]
    return src, found


def load_list(path):
    """The ids of a list of mutants, each with its reason."""
    listed = {}
    if path.exists():
        for line in path.read_text().splitlines():
            if line.strip() and not line.startswith('#'):
                listed[line.split()[0]] = line.partition(' # ')[2].strip()
    return listed


def write(path, text):
    (ROOT / path).write_bytes(text.encode('utf-8', 'surrogateescape'))


def run(cmd, timeout=None, show=False):
    """Whether the command succeeded in time, and its output (none when it ran
    out of time: then it is ended with every process it started, a test hung
    on a lock the mutant never releases among them)."""
    with subprocess.Popen(cmd, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                          errors='replace', start_new_session=True) as done:
        try:
            out = done.communicate(timeout=timeout)[0]
        except subprocess.TimeoutExpired:
            os.killpg(done.pid, signal.SIGKILL)
            done.communicate()
            return False, ''
    if show:
        print(out, end='', flush=True)
    return done.returncode == 0, out


def compile_failed(log):
    # Past compiling and linking, the build runs a program made from the mutant
    # (the fuzz seeds are generated from the test vectors): its failure is a
    # test failing.
    return bool(re.search(r'^FAILED: \S+\.o\s|collect2: error', log, re.M))


def differing_commands(output):
    """The commands of a failed case section whose output differs from what the
    file gives, by their number in the section (1: its first command)."""
    found = re.search(r'^--- expected\n(.*?)^--- got\n(.*?)(?=^\d+ sections|\Z)', output, re.M | re.S)
    if not found:
        return []
    want, got = (re.split(r'^(?=\$ )', text, flags=re.M)[1:] for text in found.groups())
    return [k + 1 for k in range(max(len(want), len(got))) if want[k:k + 1] != got[k:k + 1]]


def run_core(show):
    """The core tests that fail (the case files' tests, the C program, the
    threads); a failed case section is named with each command whose output
    differs: cases_decode_4#3 is its third command."""
    began = time.monotonic()
    ok, log = run(CORE_CTEST + ['--output-on-failure'], timeout=CORE_TIME['limit'], show=show)
    CORE_TIME['last'] = time.monotonic() - began
    if ok:
        return []
    if not log:
        return ['timeout']
    failed = []
    for name in re.findall(r'^\s*\d+ - (\S+) \(', log, re.M) or ['core']:
        output = re.search(rf'Test\s+#\d+: {re.escape(name)} \.*\**\w.*?\n(.*?)(?=^\s*(?:Start\s+\d+:|\d+/\d+ Test)|^\d+% tests|\Z)',
                           log, re.M | re.S)
        commands = differing_commands(output.group(1)) if output and name.startswith('cases_') else []
        failed += [f"{name}#{k}" for k in commands] or [name]
    return failed


def core_tests():
    """Every core test, by its ctest name."""
    ok, log = run(CORE_CTEST + ['-N'], timeout=60)
    return re.findall(r'Test\s+#\d+: (\S+)', log) if ok else []


def kill_report(path):
    """How many recorded mutants each core test kills, and how many of them no
    other test kills: a test that kills nothing alone adds nothing the others
    do not already catch."""
    done = load_results(path)
    kills, alone = {}, {}
    for status, commands in done.values():
        killers = sorted({k.split('#')[0] for k in commands})  # by test, its commands together
        for k in killers if status == 'killed' else []:
            kills[k] = kills.get(k, 0) + 1
            alone[k] = alone.get(k, 0) + (len(killers) == 1)
    tests = core_tests()
    for t in sorted(set(tests) | set(kills), key=lambda t: (alone.get(t, 0), kills.get(t, 0), t)):
        print(f"{alone.get(t, 0):5} alone {kills.get(t, 0):5} in all  {t}")
    print(f"{sum(s == 'killed' for s, _ in done.values())} killed mutants recorded in {path}; "
          f"{sum(not alone.get(t) for t in tests)} of {len(tests)} core tests kill none alone")
    # The same by command, for the case files: a command whose output differs
    # under no mutant that nothing else kills, with the lines it takes.
    alone = {}
    for status, commands in done.values():
        if status == 'killed' and len(commands) == 1:
            alone[commands[0]] = alone.get(commands[0], 0) + 1
    spare = []
    for path in sorted((ROOT / 'tests' / 'cases').glob('*.cases')):
        section = command = 0
        lines = path.read_text().split('\n')
        for n, line in enumerate(lines):
            section, command = (section + 1, 0) if line.startswith('## ') else (section, command)
            if line.startswith('$ '):
                command += 1
                size = next((k for k, l in enumerate(lines[n + 1:]) if not l or l[0] in '$#'), 0) + 1
                name = f"cases_{path.stem}_{section}#{command}"
                if not alone.get(name) and size > 1:  # a command printing nothing sets up the next
                    spare.append(f"  {path.name}:{n + 1} ({size} lines): {line}")
    print(f"{len(spare)} case commands kill nothing alone:", *spare, sep='\n')


def build_and_test(show=False):
    """The mutant's status and the tests that killed it."""
    built, log = run(BUILD + ['--target'] + CORE, show=show)
    if not built:
        return ('no-compile' if compile_failed(log) else 'killed'), []
    failed = run_core(show)
    if failed:
        return 'killed', failed
    built, log = run(BUILD, show=show)
    if not built:
        return ('no-compile' if compile_failed(log) else 'killed'), ['build']
    passed, log = run(CTEST, timeout=1800, show=show)
    if passed:
        return 'survived', []
    return 'killed', re.findall(r'^\s*\d+ - (\S+) \(', log, re.M) or ['ctest']


def load_results(path, listed=(), tests=None):
    """The recorded mutants that need no new run: those killed or not compiling,
    and survivors on a list (any other survivor runs again, since a test may
    have been added for it). Given the tests of today, a mutant whose recorded
    killers are all tests that no longer exist runs again too: a row of older
    code whose line came back must not pass for a kill."""
    done = {}
    for line in path.read_text().splitlines() if path.exists() else []:
        fields = line.split('\t')
        if len(fields) >= 3:
            done[fields[0]] = (fields[1], [k for k in fields[2].split(',') if k])
    gone = lambda r: tests is not None and r[1] and not any(k.split('#')[0] in tests for k in r[1])
    return {i: r for i, r in done.items() if (r[0] in ('killed', 'no-compile') and not gone(r)) or i in listed}


def main():
    env = os.environ.get
    patterns = (env('MUTATION_FILES') or DEFAULT_FILES).split()
    paths = sorted({os.path.relpath(p, ROOT) for pat in patterns for p in glob.glob(str(ROOT / pat))})
    if not paths:
        sys.exit(f"mutation: no file matches {' '.join(patterns)}")
    sources, mutants, counts = {}, [], {}
    for path in paths:
        sources[path], found = mutants_of(path)
        mutants, counts[path] = mutants + found, len(found)
    every = [m.id for m in mutants]  # of the files, before any selection
    listed = load_list(EQUIVALENT)
    elsewhere = {preset: load_list(path) for preset, path in ELSEWHERE.items()}
    if env('MUTATION_ID') or PRESET in elsewhere:
        # In another preset, by default the mutants only it can tell.
        wanted = (env('MUTATION_ID') or ' '.join(elsewhere[PRESET])).split()
        mutants = [m for m in mutants if any(m.id.startswith(w) for w in wanted)]
    if env('MUTATION_SAMPLE'):
        rng = random.Random(int(env('MUTATION_SEED') or 1))
        mutants = rng.sample(mutants, min(int(env('MUTATION_SAMPLE')), len(mutants)))
        mutants.sort(key=lambda m: (m.path, m.start))
    if env('MUTATION_KILLS'):
        kill_report(Path(env('MUTATION_KILLS')) if env('MUTATION_KILLS') != '1' else RESULTS)
        return 0
    if env('MUTATION_LIST'):
        for m in mutants:
            print(f"{m.path}:{m.line}: {m.change} [{m.id}]")
        for path in paths:
            print(f"{path}: {counts[path]} mutants")
        print(f"{len(mutants)} of {sum(counts.values())} mutants in {len(paths)} files listed")
        return 0
    if not mutants:
        sys.exit('mutation: no mutant selected')

    signal.signal(signal.SIGTERM, lambda *_: sys.exit(130))
    began = time.monotonic()
    if not (BUILD_DIR / 'build.ninja').exists() and not run(['cmake', '--preset', PRESET])[0]:
        sys.exit(f'mutation: cmake --preset {PRESET} failed')
    lock = open(BUILD_DIR / '.mutation.lock', 'w')
    try:
        fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
    except BlockingIOError:
        sys.exit(f'mutation: another run is using build/{PRESET}')
    print('baseline: building and running the tests unchanged ...', flush=True)
    status, failed = build_and_test()
    if status != 'survived':
        sys.exit(f"mutation: the unchanged tree does not build or pass its tests ({', '.join(failed) or status})")
    CORE_TIME['limit'] = max(60, 5 * CORE_TIME['last'])
    resume = env('MUTATION_RESUME') or ''
    results, done = [], {}
    if resume:  # every test of the preset, so that a row naming none of them runs again
        tests = set(re.findall(r'Test\s+#\d+: (\S+)', run(['ctest', '--preset', PRESET, '-N'], timeout=60)[1]))
        done = load_results(RESULTS if resume == '1' else Path(resume),
                            {**listed, **{i: r for ids in elsewhere.values() for i, r in ids.items()}}, tests | {'build', 'ctest', 'timeout'})
    record = open(RESULTS, 'a')
    rows = {}  # the resumed mutants' rows
    try:
        for m in mutants:
            src = sources[m.path]
            print(f"{m.path}:{m.line}: {m.change} [{m.id}] ... ", end='', flush=True)
            if m.id in done:
                status, killers = done[m.id]
                rows[m.id] = '\t'.join([m.id, status, ','.join(killers), f"{m.path}:{m.line}", m.change])
            else:
                try:
                    write(m.path, src[:m.start] + m.new + src[m.end:])
                    status, killers = build_and_test(show=bool(env('MUTATION_ID')))
                finally:
                    # The original bytes, with a fresh mtime: the next build recompiles.
                    write(m.path, src)
                print(m.id, status, ','.join(killers), f"{m.path}:{m.line}", m.change, sep='\t', file=record,
                      flush=True)
            if status in ('survived', 'equivalent'):
                status = 'equivalent' if m.id in listed else 'survived'
            other = next((preset for preset, ids in elsewhere.items() if m.id in ids), PRESET)
            if status == 'survived' and other != PRESET:  # what that preset makes of it
                status = 'no-compile' if elsewhere[other][m.id].startswith('does not compile') else f'killed under {other}'
            print(status, flush=True)
            results.append((m, status))
    finally:
        record.close()
        # One row per mutant, the latest, the resumed ones included, in the order of
        # the mutants, and none for a mutant these files no longer have: a file to
        # keep whole.
        resumed, known = set(rows), set(every)
        for line in RESULTS.read_text().splitlines():
            fields = line.split('\t')
            if fields[0] not in resumed and (fields[0] in known or fields[3].split(':')[0] not in paths):
                rows[fields[0]] = line
        order = [i for i in every if i in rows] + [i for i in rows if i not in known]
        RESULTS.write_text(''.join(rows[i] + '\n' for i in order))
        print('rebuilding the unchanged tree ...', flush=True)
        if not run(BUILD)[0]:
            print('mutation: the rebuild of the unchanged tree failed', file=sys.stderr)

    count = {s: sum(r == s for _, r in results) for s in ('killed', 'survived', 'equivalent', 'no-compile')}
    count['killed'] += sum(r.startswith('killed under') for _, r in results)
    survivors = [(m, s) for m, s in results if s in ('survived', 'equivalent')]
    if survivors:
        print('survivors:')
    for m, status in survivors:
        if status == 'equivalent':
            print(f"  {m.path}:{m.line}: {m.change} [{m.id}] on the equivalent list: {listed[m.id]}")
        else:
            line = sources[m.path].split('\n')[m.line - 1].strip()
            print(f"  {m.path}:{m.line}: {m.change} [{m.id}] not on the equivalent list; kill it with a test, "
                  f"or list it if no test can:\n    {m.id} {m.path}: {m.change} in `{line}` # REASON")
    for m, _ in ((m, s) for m, s in results if s == 'killed' and m.id in listed):
        print(f"  {m.path}:{m.line}: {m.change} [{m.id}] is on the equivalent list but was killed: remove it")
    print(f"{count['no-compile']} did not compile, {count['equivalent']} equivalent survivors, "
          f"{time.monotonic() - began:.0f} s")
    k, n = count['killed'], count['killed'] + count['survived']
    print(f"mutation score: {k} of {n} ({100.0 * k / n if n else 100.0:.1f}%)")
    return 1 if env('MUTATION_STRICT') == '1' and count['survived'] else 0


if __name__ == '__main__':
    sys.exit(main())
