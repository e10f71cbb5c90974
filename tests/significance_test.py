#!/usr/bin/env python3
"""The family-wise error and false discovery corrections recounted by brute
force, with exact fractions, on an input small enough that an exhaustive
search tests and writes every pattern:

- `-fwer`: the floor rises, yet the threshold, the testable count and each
  row's `significant` are those of Tarone's rule over the exhaustive family;
- `-wy`: the same permutations (the generator written again here) applied to
  every pattern's sequences give each significant row's `wy_p` exactly, and
  the rows above the threshold are exactly those said to exceed alpha;
- `-fwer_distinct`: the same over the distinct sets of sequences;
- `-fdr`: Benjamini-Hochberg over the patterns testable at its level marks
  exactly the rows `fdr_significant` marks;
- the corrections are refused where the family would depend on the labels.
"""

import argparse
import math
import os
import random
import subprocess
import sys
import tempfile
from fractions import Fraction

FAILURES = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        FAILURES.append(what)


def run(binary, args, work):
    return subprocess.run([binary, *args], cwd=work, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True,
                          errors="replace")


def read_table(path):
    head, rows, names = {}, [], None
    for line in open(path):
        line = line.rstrip("\n")
        if line.startswith("# "):
            key, _, value = line[2:].partition(": ")
            head[key] = value
        elif names is None:
            names = line.split("\t")
        else:
            rows.append(dict(zip(names, line.split("\t"))))
    return head, rows


def header_field(text, name):
    """The value after `name ` in a comma-separated header line."""
    for part in text.split(", "):
        if part.startswith(name + " "):
            return part[len(name) + 1:]
    return None


class Exact:
    """Fisher p-values as fractions: one-sided (class 1 holds the pattern more
    often) or two-sided (twice the smaller tail, at most 1)."""

    def __init__(self, n1, n2, two_sided=False):
        self.n1, self.N, self.two_sided = n1, n1 + n2, two_sided
        self.cache = {}

    def tail(self, a, x, upper):
        n1, N = self.n1, self.N
        span = range(a, min(x, n1) + 1) if upper else range(max(0, x - (N - n1)), a + 1)
        return Fraction(sum(math.comb(x, i) * math.comb(N - x, n1 - i) for i in span), math.comb(N, n1))

    def p(self, a, x):
        key = (a, x)
        if key not in self.cache:
            g = self.tail(a, x, True)
            self.cache[key] = min(Fraction(1), 2 * min(g, self.tail(a, x, False))) if self.two_sided else g
        return self.cache[key]

    def psi(self, x):
        return min(self.p(min(x, self.n1), x), self.p(max(0, x - (self.N - self.n1)), x))


def tarone(supports, exact, alpha):
    """The largest threshold with m(delta) delta <= alpha: m there, and m()."""
    psis = sorted(exact.psi(x) for x in supports)

    def m(value):
        lo, hi = 0, len(psis)
        while lo < hi:
            mid = (lo + hi) // 2
            if psis[mid] <= value:
                lo = mid + 1
            else:
                hi = mid
        return lo
    allowed = [m(v) for v in sorted(set(psis)) if m(v) * v <= alpha]
    return (allowed[-1] if allowed else 0), m


class SplitMix64:
    MASK = (1 << 64) - 1

    def __init__(self, seed):
        self.state = seed & self.MASK

    def next(self):
        self.state = (self.state + 0x9E3779B97F4A7C15) & self.MASK
        z = self.state
        z = ((z ^ (z >> 30)) * 0xBF58476D1CE4E5B9) & self.MASK
        z = ((z ^ (z >> 27)) * 0x94D049BB133111EB) & self.MASK
        return z ^ (z >> 31)

    def below(self, bound):
        limit = self.MASK - self.MASK % bound
        while True:
            r = self.next()
            if r < limit:
                return r % bound


def permutations(n1, n, count, seed):
    """Class 1 under each relabeling: the first n1 places of a Fisher-Yates shuffle."""
    rng = SplitMix64(seed)
    labels = list(range(n))
    out = []
    for _ in range(count):
        for i in range(n1):
            k = i + rng.below(n - i)
            labels[i], labels[k] = labels[k], labels[i]
        out.append(frozenset(labels[:n1]))
    return out


def write_input(work):
    rng = random.Random(11)
    motif = "ACGTTGCA"
    names = {}
    for cls, n in ((1, 18), (2, 18)):
        with open(os.path.join(work, "c%d.fa" % cls), "w") as f:
            for i in range(n):
                s = "".join(rng.choice("ACGT") for _ in range(rng.randint(14, 22)))
                if cls == 1 and i < 13:
                    cut = rng.randint(0, len(s))
                    s = s[:cut] + motif + s[cut:]
                name = "s%d_%d" % (cls, i)
                names[name] = len(names)  # class 1's first, in input order, as the bits are
                f.write(">%s\n%s\n" % (name, s))
    return names


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--binary", required=True)
    binary = os.path.abspath(ap.parse_args().binary)
    with tempfile.TemporaryDirectory(prefix="morva_significance_") as work:
        bit = write_input(work)
        base = ["-format", "fasta", "-f", "c1.fa", "-f", "c2.fa", "-minstrings", "1", "-maxlevel", "6",
                "-cf", "t.cf"]
        check(run(binary, base + ["-table", "all.tsv", "-sites", "all_sites.tsv"], work).returncode == 0,
              "the exhaustive run ends with status 0")
        head, rows = read_table(os.path.join(work, "all.tsv"))
        check(int(head["patterns tested"]) == len(rows), "every tested pattern is a row (%d)" % len(rows))
        n1, n2 = 18, 18
        exact = Exact(n1, n2)
        support = {r["pattern"]: int(r["1_seqs"]) + int(r["2_seqs"]) for r in rows}
        p_of = {r["pattern"]: exact.p(int(r["1_seqs"]), support[r["pattern"]]) for r in rows}
        alpha = Fraction(1, 20)

        # -fwer: Tarone's rule over the exhaustive family.
        k, m = tarone(list(support.values()), exact, alpha)
        want = {t for t, p in p_of.items() if p * m(p) <= alpha}
        check(run(binary, base + ["-fwer", "0.05", "-table", "lamp.tsv"], work).returncode == 0,
              "the -fwer run ends with status 0")
        lhead, lrows = read_table(os.path.join(work, "lamp.tsv"))
        line = lhead["tarone"]
        floor = int(header_field(line, "support floor"))
        check(floor > 1 and len(lrows) < len(rows),
              "the floor rose to %d and left out %d of %d patterns" % (floor, len(rows) - len(lrows), len(rows)))
        check(header_field(line, "k") == str(max(k, 1)) and line.split("testable patterns ")[1].startswith(
            "%d of" % k), "-fwer's factor k = %d is the exhaustive one: %s" % (k, line))
        got = {r["pattern"] for r in lrows if r["significant"] == "1"}
        check(len(want) > 0 and got == want,
              "-fwer marks the %d patterns Tarone's rule rejects (%d marked; differ: %s)"
              % (len(want), len(got), sorted(got ^ want)[:4]))

        # -wy: the permutation minima over every pattern's sequences.
        seqs = {}
        for line in open(os.path.join(work, "all_sites.tsv")):
            f = line.rstrip("\n").split("\t")
            if f[0] != "pattern":
                seqs.setdefault(f[0], set()).add(bit[f[1]])
        J, seed = 200, 7
        minima = []
        for c1 in permutations(n1, n1 + n2, J, seed):
            minima.append(min(exact.p(len(s & c1), len(s)) for s in seqs.values()))
        check(run(binary, base + ["-wy", str(J), "-seed", str(seed), "-table", "wy.tsv"], work).returncode == 0,
              "the -wy run ends with status 0")
        whead, wrows = read_table(os.path.join(work, "wy.tsv"))
        wrong = []
        for r in wrows:
            wy = Fraction(1 + sum(1 for v in minima if v <= p_of[r["pattern"]]), J + 1)
            if r["significant"] == "1":
                if wy > alpha or abs(float(r["wy_p"]) - float(wy)) > 0.004 * float(wy):
                    wrong.append((r["pattern"], r["wy_p"], float(wy)))
            elif r["wy_p"] != ">0.05" or wy <= alpha:
                wrong.append((r["pattern"], r["wy_p"], float(wy)))
        all_wy = {t for t, p in p_of.items() if Fraction(1 + sum(1 for v in minima if v <= p), J + 1) <= alpha}
        marked = {r["pattern"] for r in wrows if r["significant"] == "1"}
        check(not wrong and marked == all_wy and len(marked) >= len(want),
              "-wy %d: wy_p of the %d significant rows is the brute-force one, the rest exceed alpha: %s"
              % (J, len(marked), wrong[:3]))

        # Two-sided: the rule and the floor with psi at either end.
        two = Exact(n1, n2, two_sided=True)
        k2, m2 = tarone(list(support.values()), two, alpha)
        p2 = {r["pattern"]: two.p(int(r["1_seqs"]), support[r["pattern"]]) for r in rows}
        want2 = {t for t, p in p2.items() if p * m2(p) <= alpha}
        check(run(binary, base + ["-fwer", "0.05", "-alternative", "two-sided", "-table", "two.tsv"],
                  work).returncode == 0, "the two-sided -fwer run ends with status 0")
        thead, trows = read_table(os.path.join(work, "two.tsv"))
        got2 = {r["pattern"] for r in trows if r["significant"] == "1"}
        check(header_field(thead["tarone"], "k") == str(max(k2, 1)) and got2 == want2 and
              int(header_field(thead["tarone"], "support floor")) > 1,
              "two-sided: k = %d and the %d rows Tarone's rule rejects: %s" % (k2, len(want2), thead["tarone"]))

        # -fwer_distinct: one test per distinct set of sequences.
        sets = {frozenset(v) for v in seqs.values()}
        kd, md = tarone([len(v) for v in sets], exact, alpha)
        want_d = {t for t, p in p_of.items() if p * md(p) <= alpha}
        check(run(binary, base + ["-fwer", "0.05", "-fwer_distinct", "-table", "d.tsv"], work).returncode == 0,
              "the -fwer_distinct run ends with status 0")
        dhead, drows = read_table(os.path.join(work, "d.tsv"))
        got_d = {r["pattern"] for r in drows if r["significant"] == "1"}
        check(kd < k and header_field(dhead["tarone"], "k") == str(kd) and got_d == want_d,
              "-fwer_distinct: k = %d over %d distinct sets (%d patterns), %d rows marked: %s"
              % (kd, len(sets), len(seqs), len(want_d), dhead["tarone"]))

        # -fdr with a rising floor: Tarone-BH over the testable patterns.
        level = Fraction(1, 10)
        kf, mf = tarone(list(support.values()), exact, level)
        testable = sorted(p for t, p in p_of.items() if exact.psi(support[t]) * mf(exact.psi(support[t])) <= level)
        cut = max((p for i, p in enumerate(testable) if p <= (i + 1) * level / max(kf, 1)), default=-1)
        want_fdr = {t for t, p in p_of.items() if p <= cut and exact.psi(support[t]) * mf(exact.psi(support[t])) <= level}
        check(run(binary, base + ["-fwer", "0.05", "-fdr", "0.1", "-table", "fdr.tsv"], work).returncode == 0,
              "the -fwer -fdr run ends with status 0")
        _, frows = read_table(os.path.join(work, "fdr.tsv"))
        got_fdr = {r["pattern"] for r in frows if r["fdr_significant"] == "1"}
        check(got_fdr == want_fdr and len(want_fdr) >= len(want),
              "-fdr 0.1 marks the %d patterns Tarone-BH rejects (%d marked)" % (len(want_fdr), len(got_fdr)))

        # The rising floor against the exhaustive family under the search's
        # other settings: random inputs and options, the same k and rows.
        differ, rose, marked = [], 0, 0
        rng = random.Random(5)
        for case in range(60):
            for name in ("r1.txt", "r2.txt"):
                with open(os.path.join(work, name), "w") as f:
                    for i in range(rng.randint(6, 12)):
                        s = "".join(rng.choice("ACGT") for _ in range(rng.randint(8, 20)))
                        if name == "r1.txt" and rng.random() < 0.7:
                            s = s[:3] + "GATTC" + s[3:]
                        f.write(s + "\n")
            opts = ["-maxlevel", str(rng.randint(3, 6)), "-genorder", str(rng.choice([0, 0, 1, 2, 3]))]
            if rng.random() < 0.4:
                opts += ["-groups", "dna", "-maxgrp", "1"]
            if rng.random() < 0.4:
                opts += ["-wc", "1", "-maxwc", str(rng.randint(1, 2))]
            if rng.random() < 0.3:
                opts += ["-max_gap_nr", "1", "-min_gap", "1", "-max_gap", "2"]
            if rng.random() < 0.3:
                opts += ["-minlevel", str(rng.randint(1, 2))]
            if rng.random() < 0.2:
                opts += ["-abandonequal", "1"]
            cf = "r%d.cf" % case
            ex = run(binary, ["-f", "r1.txt", "-f", "r2.txt", "-minstrings", "1", "-cf", cf, *opts,
                              "-table", "rx.tsv"], work)
            fw = run(binary, ["-f", "r1.txt", "-f", "r2.txt", "-cf", cf, *opts, "-fwer", "0.05",
                              "-table", "rf.tsv"], work)
            if ex.returncode != 0 or fw.returncode != 0:
                differ.append((case, "status", ex.returncode, fw.returncode))
                continue
            xhead, xrows = read_table(os.path.join(work, "rx.tsv"))
            fhead, frows = read_table(os.path.join(work, "rf.tsv"))
            want_rows = sorted(r["pattern"] for r in xrows if r["tarone_p"] and float(r["tarone_p"]) <= 0.05)
            got_rows = sorted(r["pattern"] for r in frows if r["significant"] == "1")
            rose += int(header_field(fhead["tarone"], "support floor")) > 1
            marked += len(got_rows)
            if header_field(xhead["tarone"], "k") != header_field(fhead["tarone"], "k") or want_rows != got_rows:
                differ.append((case, " ".join(opts), xhead["tarone"], fhead["tarone"]))
        check(not differ and rose >= 30 and marked > 0,
              "-fwer agrees with the exhaustive search in 60 random settings (the floor rose in %d, %d rows "
              "significant): %s" % (rose, marked, differ[:2]))

        # Refused where the family would depend on the labels, or nothing is compared.
        for extra, what in ((["-fwer", "0.05", "-minstringsinclass", "1", "3"], "-minstringsinclass"),
                            (["-wy", "100", "-fwer", "1.5"], "an alpha of 1.5")):
            p = run(binary, base + extra, work)
            check(p.returncode == 1 and "morva: " in p.stderr, "refused with %s: %s" % (what, p.stderr.strip()[-90:]))
        p = run(binary, ["-format", "fasta", "-f", "c1.fa", "-minstrings", "3", "-cf", "t.cf", "-fwer", "0.05"], work)
        check(p.returncode == 1 and "one class" in p.stderr, "refused with one class")
    print("%d failures" % len(FAILURES))
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
