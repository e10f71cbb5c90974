#!/usr/bin/env python3
"""Soak of the search on many small random runs, two builds side by side.

Each run draws an input in the style of the oracle (two or three files of
short sequences over a small alphabet, sometimes class names, a character
set with groups and STOP characters) and a random search: groups, wildcard
runs, flexible gaps, every expansion order, -abandonequal, -costf,
-showsets.  It runs on --binary and on --reference (typically a sanitizer
build of morva and the build that never gives a set back), and requires
  * the same exit status, standard output and standard error (but for the
    0xAC marks of freed handles, which only the releasing build makes, and
    the build time in the banner),
  * no sanitizer report on either standard error,
  * no crash, and an end within the time bound.

  soak.py --binary BUILD/morva --reference BUILD/tests/morva_never_release
          [--runs N] [--seed S] [--keep-going]
"""
import argparse
import os
import random
import re
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'oracle'))
from oracle import random_files  # noqa: E402  (the oracle's inputs, known to be well formed)

SANITIZER = re.compile(rb'ERROR: AddressSanitizer|runtime error:|LeakSanitizer|'
                       rb'ERROR: UndefinedBehaviorSanitizer')
VERSION = re.compile(rb'^(# Version morva_\S+ translated \S+).*$', re.M)


def draw_input(rng):
    """Character set, file texts and the number of classes."""
    mode = rng.choice(['groups', 'wildcards', 'gaps_equal'])
    charset, files, nr_classes, _ = random_files(rng, mode)
    if rng.random() < 0.3:  # a third file, sometimes naming classes of its own
        letters = re.search(r'alphabet= (\S+)', charset).group(1)
        lines = []
        for _ in range(rng.randint(1, 5)):
            seq = ''.join(rng.choice(letters[:3]) for _ in range(rng.randint(1, 14)))
            lines.append(seq + (' zz' if rng.random() < 0.2 else ''))
        files.append('\n'.join(lines) + '\n')
        nr_classes += 1
    return charset, files, nr_classes


def draw_args(rng, nr_files):
    pick = rng.choice
    a = []
    for f in range(1, nr_files + 1):
        a += ['-f', 's%d.txt' % f]
        if f == nr_files and nr_files >= 2 and rng.random() < 0.2:
            a += ['-ms', pick([1, 2])]
    wc = rng.random() < 0.5
    gaps = rng.random() < 0.5
    # several gaps of up to five positions with groups grow the trie past
    # any time bound when it is deep: those searches stay shallow
    deep = not wc and not gaps
    a += ['-cf', 'cs.txt', '-genorder', rng.randint(0, 3),
          '-maxlevel', pick([2, 3, 4, 5, 8] if deep else [2, 3, 4]),
          '-minpos', pick([0, 1, 2, 3, 4]), '-minstrings', pick([0, 1, 2, 3]),
          '-abandonequal', pick([0, 0, 1, 2]), '-showsets', pick([0, 0, 1, 2, 3, 4, 5, 6])]
    if rng.random() < 0.7:
        a += ['-maxgrp', pick([0, 1, 2, 3])]
    if wc:
        a += ['-wc', pick([1, 2, 3])]
        if rng.random() < 0.7:
            a += ['-minwc', pick([0, 1, 2])]
        if rng.random() < 0.8:
            a += ['-maxwc', pick([1, 2, 3, 4])]
    if gaps:
        a += ['-max_gap_nr', pick([1, 1, 2, 3]), '-min_gap', pick([0, 1, 2]),
              '-max_gap', pick([0, 1, 2, 3, 5])]
        if rng.random() < 0.5:
            a += ['-no_gap_len', pick([1, 2, 3])]
    if rng.random() < 0.5:
        a += ['-init_gap_len', pick([0, 1, 2])]
    for chance, option, values in ((0.4, '-costf', [0, 1]), (0.3, '-freq_set', [0, 1, 2]),
                                   (0.2, '-reportduplicates', [0, 1]),
                                   (0.2, '-minlevel', [1, 2]), (0.2, '-showratio', [1]),
                                   (0.1, '-maxpos', [8, 20]), (0.1, '-onestr', [])):
        if rng.random() < chance:
            a += [option] + ([pick(values)] if values else [])
    return [str(w) for w in a]


def run(binary, args, work, timeout):
    start = time.monotonic()
    try:
        p = subprocess.run(['morva'] + args, executable=binary, cwd=work,
                           stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout)
    except subprocess.TimeoutExpired:
        return None, b'', b'', time.monotonic() - start
    return p.returncode, VERSION.sub(rb'\1', p.stdout), p.stderr, time.monotonic() - start


def first_difference(a, b):
    la, lb = a.split(b'\n'), b.split(b'\n')
    for i, (x, y) in enumerate(zip(la, lb)):
        if x != y:
            return 'line %d:\n    binary:    %r\n    reference: %r' % (i + 1, x[:200], y[:200])
    return 'lengths differ: %d and %d lines' % (len(la), len(lb))


def soak_one(binary, reference, seed, timeout):
    """The problems of one run (empty when it passed), the command and the inputs."""
    rng = random.Random('soak-%d' % seed)
    charset, files, _ = draw_input(rng)
    args = draw_args(rng, len(files))
    inputs = [('cs.txt', charset)] + [('s%d.txt' % f, t) for f, t in enumerate(files, 1)]
    problems = []
    with tempfile.TemporaryDirectory(prefix='morva_soak_') as work:
        for name, text in inputs:
            with open(os.path.join(work, name), 'w', encoding='latin-1') as f:
                f.write(text)
        got = run(binary, args, work, timeout)
        ref = run(reference, args, work, timeout)
    for label, r in (('binary', got), ('reference', ref)):
        if r[0] is None:
            problems.append('%s: no end within %d s' % (label, timeout))
        elif r[0] < 0:
            problems.append('%s: killed by signal %d' % (label, -r[0]))
        if SANITIZER.search(r[2]):
            problems.append('%s: sanitizer report:\n%s' % (label, r[2].decode('latin-1')[-4000:]))
    if not problems:
        if got[0] != ref[0]:
            problems.append('exit status %s, reference %s' % (got[0], ref[0]))
        if got[1] != ref[1]:
            problems.append('standard output differs, ' + first_difference(got[1], ref[1]))
        e1, e2 = got[2].replace(b'\xac', b''), ref[2].replace(b'\xac', b'')
        if e1 != e2:
            problems.append('standard error differs, ' + first_difference(e1, e2))
    return problems, args, inputs, got


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--binary', required=True)
    ap.add_argument('--reference', required=True)
    ap.add_argument('--runs', type=int, default=150)
    ap.add_argument('--seed', type=int, default=1, help='the first run\'s seed; runs take S, S+1, ...')
    ap.add_argument('--timeout', type=int, default=120, help='seconds per run and binary')
    ap.add_argument('--keep-going', action='store_true', help='do not stop at the tenth failure')
    opts = ap.parse_args()
    binary, reference = os.path.abspath(opts.binary), os.path.abspath(opts.reference)

    failures, statuses, started = 0, {}, time.monotonic()
    for seed in range(opts.seed, opts.seed + opts.runs):
        problems, args, inputs, got = soak_one(binary, reference, seed, opts.timeout)
        statuses[got[0]] = statuses.get(got[0], 0) + 1
        if problems:
            failures += 1
            print('FAILED seed %d: morva %s' % (seed, ' '.join(args)))
            for name, text in inputs:
                print('--- %s\n%s' % (name, text), end='')
            print('\n'.join('  ' + p for p in problems))
            sys.stdout.flush()
            if failures >= 10 and not opts.keep_going:
                print('stopping after 10 failures')
                break
    done = seed - opts.seed + 1
    print('%d runs (seeds %d..%d) in %.0f s, exit statuses %s: %d differ or fail'
          % (done, opts.seed, seed, time.monotonic() - started,
             ', '.join('%s: %d' % kv for kv in sorted(statuses.items(), key=str)), failures))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
