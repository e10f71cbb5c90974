#!/usr/bin/env python3
"""Counts past 65,535 sequences, recounted independently.

76,000 short random DNA sequences in two classes (every letter is held by
more than 65,535 of them) are searched to three letters, on one strand and
on both. Every word of up to three letters is recounted here by brute force:
the sequences holding it and its occurrences (overlapping, on both strands
with -revcomp, a sequence counted once), per class. The report must list
exactly the words held by at least -minstrings sequences, with those counts
(also at -minstrings 66,000, which only a count wider than 16 bits passes);
the table must agree with the report.

  large_counts_test.py --binary BUILD/morva
"""
import argparse
import itertools
import os
import random
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "bench"))
from family_ranks import read_tsv  # noqa: E402

COMPLEMENT = str.maketrans("ACGT", "TGCA")
LINE = re.compile(r"^(\S+) (\d+)/(\d+) ((?:\S+:\d+/\d+ )*)$")


def make(work):
    rnd = random.Random(7)
    classes = []
    for name, n in (("a.txt", 40000), ("b.txt", 36000)):
        seqs = ["".join(rnd.choice("ACGT") for _ in range(rnd.randint(4, 14))) for _ in range(n)]
        with open(os.path.join(work, name), "w") as f:
            f.write("\n".join(seqs) + "\n")
        classes.append(seqs)
    return classes


def recount(classes, both, minstrings):
    """{word: (seqs, positions, [(seqs, positions)] per class)} of the words
    held by at least `minstrings` sequences."""
    words = ["".join(w) for k in (1, 2, 3) for w in itertools.product("ACGT", repeat=k)]
    per_class = []
    for seqs in classes:
        held = dict.fromkeys(words, 0)
        found = dict.fromkeys(words, 0)
        for s in seqs:
            texts = (s, s.translate(COMPLEMENT)[::-1]) if both else (s,)
            seen = set()
            for t in texts:
                for k in (1, 2, 3):
                    for i in range(len(t) - k + 1):
                        w = t[i:i + k]
                        found[w] += 1
                        seen.add(w)
            for w in seen:
                held[w] += 1
        per_class.append((held, found))
    expected = {}
    for w in words:
        counts = [(held[w], found[w]) for held, found in per_class]
        total = (sum(c[0] for c in counts), sum(c[1] for c in counts))
        if total[0] >= minstrings:
            expected[w] = (total[0], total[1], counts)
    return expected


def reported(out):
    found = {}
    for line in out.decode().split("\n"):
        m = LINE.match(line)
        if not m or m.group(1) == "<empty>":
            continue
        per = [tuple(int(x) for x in c.split(":")[1].split("/")) for c in m.group(4).split()]
        found[m.group(1)] = (int(m.group(2)), int(m.group(3)), per)
    return found


def table_rows(path):
    rows = {}
    for r in read_tsv(path):
        if r["pattern"] != "<empty>":
            rows[r["pattern"]] = (int(r["seqs"]), int(r["positions"]),
                                  [(int(r["1_seqs"]), int(r["1_positions"])),
                                   (int(r["2_seqs"]), int(r["2_positions"]))])
    return rows


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--binary", required=True)
    binary = os.path.abspath(ap.parse_args().binary)
    failures = []
    with tempfile.TemporaryDirectory(prefix="morva_counts_") as work:
        classes = make(work)
        for both, minstrings in ((False, 5000), (True, 5000), (True, 66000)):
            args = ["-f", "a.txt", "-f", "b.txt", "-cf", "acgt.cf", "-minstrings", str(minstrings),
                    "-minpos", "1", "-maxlevel", "3"]
            args += ["-revcomp"] if both else ["-table", "t.tsv"]
            proc = subprocess.run([binary] + args, cwd=work, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            label = ("both strands" if both else "one strand") + ", -minstrings %d" % minstrings
            if proc.returncode != 0:
                failures.append("%s: status %d: %s" % (label, proc.returncode, proc.stderr[-500:]))
                continue
            expected = recount(classes, both, minstrings)
            got = reported(proc.stdout)
            if not expected or max(c[0] for c in expected.values()) <= 65535:
                failures.append("%s: no word is held by more than 65,535 sequences" % label)
            for w in sorted(set(expected) | set(got)):
                if expected.get(w) != got.get(w):
                    failures.append("%s: %s: recounted %s, reported %s" % (label, w, expected.get(w), got.get(w)))
            if not both and table_rows(os.path.join(work, "t.tsv")) != got:
                failures.append(label + ": the table's counts differ from the report's")
    for f in failures[:20]:
        print("FAILED " + f)
    print("%d differences between the reports and the recount" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
