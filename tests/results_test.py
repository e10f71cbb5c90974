#!/usr/bin/env python3
"""The ranked results against the sequences themselves.

  - every site of -sites is found again by a plain regular-expression scan of
    the input (groups, wildcards and flexible gaps), and every pattern row's
    sequence and position counts are recounted from scratch;
  - the JSON rows say what the table rows say;
  - on the shipped ABC-transporter example the first rows are the ABC
    signature and the Walker A motif, with tiny E-values;
  - log10_bg and the motif numbers are recomputed from the letters and the
    sites, and -distinct keeps exactly each motif's lead, no two sharing
    half their class-1 sites;
  - Tarone's factor, tarone_p and the q-values are recounted with exact
    integers on an input where every tested pattern is a row;
  - where -ms accepts fewer patterns than were tested, evalue,
    qvalue and tarone_p still count every tested pattern;
  - under -revcomp a pattern and its reverse complement are one row, and a
    self-complementary pattern counts each site once (recounted from the
    sites, which list it once).

  results_test.py --binary PATH --examples DIR
"""
import json
import math
import os
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from checks import check, paths, run, summary  # noqa: E402

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "bench"))
from family_ranks import read_tsv as read_table  # noqa: E402


def to_regex(pattern, stop=""):
    """The pattern as a regular expression: groups are character classes,
    '.' any character but a STOP, .{a,b} a gap of a to b of them."""
    any_char = "[^%s]" % re.escape(stop) if stop else "."
    out, i = "", 0
    while i < len(pattern):
        c = pattern[i]
        if c == "[":
            j = pattern.index("]", i)
            out += "[" + re.escape(pattern[i + 1:j]) + "]"
            i = j + 1
        elif pattern.startswith(".{", i):
            j = pattern.index("}", i)
            out += any_char + pattern[i + 1:j + 1]
            i = j + 1
        elif c == ".":
            out += any_char
            i += 1
        else:
            out += re.escape(c)
            i += 1
    return out


def longest_span(pattern):
    span = len(re.sub(r"\[[^]]*\]", "x", re.sub(r"\.\{\d+,\d+\}", "", pattern)))
    return span + sum(int(b) for b in re.findall(r"\.\{\d+,(\d+)\}", pattern))


def recount(pattern, sequences):
    """Sequences and distinct end positions of the pattern, by brute force."""
    rx = re.compile(to_regex(pattern))
    span = longest_span(pattern)
    seqs = positions = 0
    for seq in sequences:
        ends = {e for e in range(len(seq))
                for s in range(max(0, e - span + 1), e + 1) if rx.fullmatch(seq, s, e + 1)}
        seqs += bool(ends)
        positions += len(ends)
    return seqs, positions



def test_sites_and_counts(binary, work, examples):
    files = [os.path.join(examples, "abc_atpase.%s.txt" % p) for p in ("pos", "neg")]
    seqs = {f: [l.split()[0] for l in open(f)] for f in files}
    args = ["-f", files[0], "-f", files[1], "-groups", "protein", "-maxgrp", "1", "-wc", "1",
            "-maxwc", "3", "-max_gap_nr", "1", "-min_gap", "1", "-max_gap", "3", "-minstrings", "120",
            "-maxlevel", "6", "-table", "t.tsv", "-json", "t.json", "-sites", "s.tsv", "-top", "25"]
    p = run(binary, args, work)
    check(p.returncode == 0, "the grouped, gapped run with results ends with status 0")
    rows = read_table(os.path.join(work, "t.tsv"))
    check(len(rows) == 25, "-top 25 keeps 25 rows")
    sites = {}
    for r in read_table(os.path.join(work, "s.tsv")):
        sites.setdefault(r["pattern"], []).append(r)
    bad_sites = 0
    for pattern, found in sites.items():
        rx = re.compile(to_regex(pattern))
        for s in found:
            seq = seqs[s["file"]][int(s["sequence"]) - 1]
            start = int(s["start"]) - 1
            if not (rx.fullmatch(s["matched"]) and seq[start:start + len(s["matched"])] == s["matched"]):
                bad_sites += 1
    check(bad_sites == 0, "every site matches its pattern where it says (%d do not)" % bad_sites)
    bad_counts = []
    for r in rows:
        all_seqs = seqs[files[0]] + seqs[files[1]]
        want = recount(r["pattern"], all_seqs)
        got = (int(r["seqs"]), int(r["positions"]))
        listed = len(sites.get(r["pattern"], []))
        if want != got or listed != got[1]:
            bad_counts.append("%s: table %s, recount %s, sites %d" % (r["pattern"], got, want, listed))
    check(not bad_counts, "counts and sites of every row agree with a recount: %s" % bad_counts[:3])
    doc = json.load(open(os.path.join(work, "t.json")))
    same = len(doc["rows"]) == len(rows) and all(
        str(j["pattern"]) == t["pattern"] and j["seqs"] == int(t["seqs"]) and j["rank"] == int(t["rank"])
        for j, t in zip(doc["rows"], rows))
    check(same, "the JSON rows are the table rows")


def test_abc_example(binary, work, examples):
    files = [os.path.join(examples, "abc_atpase.%s.txt" % p) for p in ("pos", "neg")]
    args = ["-f", files[0], "-f", files[1], "-groups", "protein", "-maxgrp", "1", "-wc", "1",
            "-maxwc", "4", "-minstrings", "80", "-maxlevel", "8", "-table", "-", "-top", "12",
            "-trim_wc", "-maximal"]
    p = run(binary, args, work)
    check(p.returncode == 0, "the ABC example with the table ends with status 0")
    lines = p.stdout.decode().split("\n")
    check(all(l.startswith("#") or "\t" in l or not l for l in lines),
          "-table - writes nothing but the table to standard output")
    header = next(l for l in lines if l.startswith("rank\t")).split("\t")
    rows = [dict(zip(header, l.split("\t"))) for l in lines if l and l[0].isdigit()]
    patterns = [r["pattern"] for r in rows]
    check(any("SGG" in x for x in patterns[:5]), "the ABC signature is among the first rows: %s" % patterns)
    check(any(re.search(r"G(\.|\.\.\.\.)GK\[ST\]", x) for x in patterns),
          "the Walker A motif is among the first rows: %s" % patterns)
    check(all(float(r["evalue"]) < 1e-80 for r in rows), "the first rows have tiny E-values")


def class1_spans(sites_path):
    """Per pattern, its class-1 sites as (file, sequence, strand, first, last)."""
    spans = {}
    for r in read_table(sites_path):
        if r["class"] == "1":
            first = int(r["start"])
            spans.setdefault(r["pattern"], []).append(
                (r["file"], r["sequence"], r["strand"], first, first + len(r["matched"]) - 1))
    return spans


def covered(sites):
    """Every position the sites cover, with its file, sequence and strand."""
    return {s[:3] + (p,) for s in sites for p in range(s[3], s[4] + 1)}


def overlapping(site, cover):
    return any(site[:3] + (p,) in cover for p in range(site[3], site[4] + 1))


def motifs_of(rows, spans):
    """Motif numbers by the rule, written out plainly: a row joins the first
    earlier lead whose sites overlap at least half of its own."""
    leads, numbers = [], []
    for r in rows:
        mine = spans.get(r["pattern"], [])
        joined = next((k for k, lead in enumerate(leads)
                       if mine and 2 * sum(overlapping(s, lead) for s in mine) >= len(mine)), None)
        if joined is None:
            leads.append(covered(mine))
            joined = len(leads) - 1
        numbers.append(joined + 1)
    return numbers


def log10_bg(pattern, letters):
    """From the class-2 letters, one pseudocount per letter of the input."""
    freq = {c: (letters.count(c) + 1) for c in set(ALPHABET)}
    total = sum(freq.values())
    value, i = 0.0, 0
    while i < len(pattern):
        if pattern.startswith(".{", i):
            i = pattern.index("}", i) + 1
        elif pattern[i] == "[":
            j = pattern.index("]", i)
            value += math.log10(sum(freq.get(c, 0) for c in pattern[i + 1:j]) / total)
            i = j + 1
        elif pattern[i] == ".":
            i += 1
        else:
            value += math.log10(freq[pattern[i]] / total)
            i += 1
    return value


ALPHABET = ""


def test_motifs_and_background(binary, work, examples):
    global ALPHABET
    files = [os.path.join(examples, "abc_atpase.%s.txt" % p) for p in ("pos", "neg")]
    seqs = {f: [l.split()[0] for l in open(f)] for f in files}
    ALPHABET = "".join(sorted(set("".join(seqs[files[0]] + seqs[files[1]]))))
    # A row's motif depends on the rows before it only: the first 150 rows
    # of the whole table are checked.
    args = ["-f", files[0], "-f", files[1], "-groups", "protein", "-maxgrp", "1", "-max_gap_nr", "1",
            "-min_gap", "1", "-max_gap", "2", "-minstrings", "120", "-minlevel", "4", "-maxlevel", "6",
            "-table", "all.tsv", "-sites", "all_sites.tsv"]
    check(run(binary, args, work).returncode == 0, "the grouped, gapped run of every row ends with status 0")
    all_rows = read_table(os.path.join(work, "all.tsv"))
    rows = all_rows[:150]
    spans = class1_spans(os.path.join(work, "all_sites.tsv"))
    want = motifs_of(rows, spans)
    got = [int(r["motif"]) for r in rows]
    wrong = [(r["pattern"], g, w) for r, g, w in zip(rows, got, want) if g != w]
    check(len(rows) == 150 and not wrong, "the motif of each of %d rows is the rule's: %s" % (len(rows), wrong[:3]))
    letters = "".join(seqs[files[1]])
    off = [(r["pattern"], r["log10_bg"]) for r in rows
           if abs(float(r["log10_bg"]) - log10_bg(r["pattern"], letters)) > 1e-4]
    check(not off, "log10_bg is recomputed from the class-2 letters: %s" % off[:3])

    p = run(binary, args[:-4] + ["-distinct", "-top", "8", "-table", "d.tsv", "-sites", "d_sites.tsv"], work)
    check(p.returncode == 0, "the same run with -distinct -top 8 ends with status 0")
    leads = read_table(os.path.join(work, "d.tsv"))
    first = {}
    for r in all_rows:
        first.setdefault(int(r["motif"]), r["pattern"])
    check([r["pattern"] for r in leads] == [first[m] for m in range(1, 9)] and
          [int(r["motif"]) for r in leads] == list(range(1, 9)),
          "-distinct -top 8 keeps the first row of motifs 1 to 8")
    kept = class1_spans(os.path.join(work, "d_sites.tsv"))
    shared = [(a["pattern"], b["pattern"]) for i, a in enumerate(leads) for b in leads[:i]
              if 2 * sum(overlapping(s, covered(kept[b["pattern"]])) for s in kept[a["pattern"]])
              >= len(kept[a["pattern"]])]
    check(not shared, "no lead shares half its class-1 sites with an earlier one: %s" % shared[:3])


def test_tarone_and_qvalues(binary, work):
    """On an input small enough that every pattern is tested and written,
    Tarone's factor, each tarone_p and each q-value are recounted from the
    rows with exact integers."""
    import random
    from fractions import Fraction
    rng = random.Random(7)
    for name, n in (("t1.txt", 9), ("t2.txt", 7)):
        with open(os.path.join(work, name), "w") as f:
            for _ in range(n):
                f.write("".join(rng.choice("ACGT") for _ in range(rng.randint(6, 14))) + "\n")
    p = run(binary, ["-f", "t1.txt", "-f", "t2.txt", "-minstrings", "1", "-maxlevel", "4",
                     "-cf", "t.cf", "-table", "tarone.tsv"], work)
    check(p.returncode == 0, "the small two-class run ends with status 0")
    path = os.path.join(work, "tarone.tsv")
    rows = read_table(path)
    head = {l[2:].split(":")[0]: l[2:].split(":", 1)[1].strip() for l in open(path) if l.startswith("# ")}
    n1, n2 = 9, 7
    N = n1 + n2

    def psi(x):
        return Fraction(math.comb(n1, x), math.comb(N, x)) if x <= n1 else \
            Fraction(math.comb(x, n1), math.comb(N, n1))

    tested = int(head["patterns tested"])
    check(tested == len(rows), "every tested pattern is a row (%d of %d)" % (len(rows), tested))
    supports = [int(r["1_seqs"]) + int(r["2_seqs"]) for r in rows]

    def m(threshold):
        return sum(1 for x in supports if psi(x) <= threshold)

    # The threshold is the largest delta with m(delta) delta <= alpha; m is
    # constant between psi values, so k is m at the last psi that is allowed.
    allowed = [m(v) for v in sorted(set(psi(x) for x in supports)) if m(v) * v <= Fraction(1, 20)]
    k = allowed[-1] if allowed else 0
    check(head["tarone"].startswith("alpha 0.05, k %d," % max(k, 1)) and
          head["tarone"].endswith("testable patterns %d of %d tested" % (k, tested)),
          "Tarone's factor k = %d is the exhaustive one: %s" % (k, head["tarone"]))
    bad_t, bad_q = [], []
    ps = sorted(float(r["log10_p"]) for r in rows)
    for r in rows:
        lp = float(r["log10_p"])
        # psi <= p, with p as printed (6 digits of its log10): the pattern's own psi counts.
        mm = sum(1 for x in supports if math.log10(psi(x)) <= lp + 1e-5)
        want = min(1.0, 10 ** lp * mm)
        if abs(float(r["tarone_p"]) - want) > 0.002 * want:
            bad_t.append((r["pattern"], r["tarone_p"], want))
        i = max(j for j, v in enumerate(ps) if v <= lp + 1e-9)
        q = min(1.0, min(10 ** ps[j] * tested / (j + 1) for j in range(i, len(ps))))
        if abs(float(r["qvalue"]) - q) > 0.002 * q:
            bad_q.append((r["pattern"], r["qvalue"], q))
    check(not bad_t, "tarone_p is p times the tested patterns that could reach p: %s" % bad_t[:3])
    check(not bad_q, "qvalue is Benjamini-Hochberg over the tested count: %s" % bad_q[:3])


def test_filtered_family(binary, work, examples):
    """A support floor in class 1 alone (-ms) accepts fewer patterns than
    the search tests (those of 150 sequences in either class): the
    corrections still count every tested pattern. Each row's evalue and
    tarone_p are those of the run that accepts every tested pattern, and its
    q-value is Benjamini-Hochberg over the tested count with the patterns
    not accepted taken as the largest p-values."""
    tables = {}
    for name, floor in (("all", "-minstrings"), ("good", "-ms")):
        p = run(binary, ["-f", os.path.join(examples, "abc_atpase.pos.txt"), floor, "150", "-f",
                         os.path.join(examples, "abc_atpase.neg.txt"), "-maxlevel", "10", "-cf", "abc.cf",
                         "-table", name + ".tsv"], work)
        check(p.returncode == 0, "the ABC run %s ends with status 0" % name)
        path = os.path.join(work, name + ".tsv")
        head = {l[2:].split(":")[0]: l[2:].split(":", 1)[1].strip() for l in open(path) if l.startswith("# ")}
        tables[name] = (head, {r["pattern"]: r for r in read_table(path)})
    (all_head, every), (head, good) = tables["all"], tables["good"]
    tested = len(every)
    check(int(head["patterns tested"]) == tested > 2 * len(good) > 0,
          "-ms 150 accepts %d of the %d patterns tested" % (len(good), tested))
    ps = sorted(float(r["log10_p"]) for r in good.values())
    wrong = []
    for pattern, r in good.items():
        lp = float(r["log10_p"])
        e = 10 ** lp * tested
        i = max(j for j, v in enumerate(ps) if v <= lp + 1e-9)
        q = min(1.0, min(10 ** ps[j] * tested / (j + 1) for j in range(i, len(ps))))
        for column, want in (("evalue", e), ("qvalue", q), ("tarone_p", float(every[pattern]["tarone_p"]))):
            if abs(float(r[column]) - want) > 0.006 * want:
                wrong.append((pattern, column, r[column], want))
        if r["evalue"] != every[pattern]["evalue"]:
            wrong.append((pattern, "evalue unfiltered", r["evalue"], every[pattern]["evalue"]))
    check(not wrong, "evalue, qvalue and tarone_p count every tested pattern: %s" % wrong[:3])


def reverse_complement(pattern):
    """A plain DNA pattern's reverse complement ('.' stays)."""
    return "".join({"A": "T", "C": "G", "G": "C", "T": "A", ".": "."}.get(c, "?") for c in reversed(pattern))


def test_strand_pairs(binary, work, examples):
    files = [os.path.join(examples, "dna_site.%s.txt" % p) for p in ("pos", "neg")]
    p = run(binary, ["-f", files[0], "-f", files[1], "-revcomp", "-minstrings", "12", "-maxlevel", "8",
                     "-wc", "1", "-table", "rc.tsv", "-sites", "rc_sites.tsv", "-cf", "dna.cf"], work)
    check(p.returncode == 0, "the -revcomp run ends with status 0")
    rows = read_table(os.path.join(work, "rc.tsv"))
    texts = {r["pattern"] for r in rows}
    both = sorted(t for t in texts if reverse_complement(t) != t and reverse_complement(t) in texts)
    check(len(rows) > 1000 and not both,
          "no row's reverse complement is a row of its own (%d rows): %s" % (len(rows), both[:4]))
    check("TGCGTCAA" in texts and "TTGACGCA" not in texts,
          "the planted site is one row, named by the form that sorts first")
    sites = {}
    for line in open(os.path.join(work, "rc_sites.tsv")):
        f = line.rstrip("\n").split("\t")
        if f[0] != "pattern":
            sites.setdefault(f[0], []).append((f[1], f[3], f[4]))
    wrong = []
    palindromes = [r for r in rows if reverse_complement(r["pattern"]) == r["pattern"]]
    for r in palindromes:
        spans = sites.get(r["pattern"], [])
        per_class = {c: sum(1 for s in set(spans) if s[1] == c) for c in ("1", "2")}
        if (len(spans) != len(set(spans)) or int(r["positions"]) != len(spans) or
                int(r["1_positions"]) != per_class["1"] or int(r["2_positions"]) != per_class["2"]):
            wrong.append((r["pattern"], r["positions"], len(spans), len(set(spans))))
    check(len(palindromes) > 10 and not wrong,
          "%d self-complementary rows count each site once: %s" % (len(palindromes), wrong[:3]))


def main():
    given = paths("examples")
    binary, examples = given["binary"], given["examples"]
    with tempfile.TemporaryDirectory(prefix="morva_results_") as work:
        test_sites_and_counts(binary, work, examples)
        test_abc_example(binary, work, examples)
        test_motifs_and_background(binary, work, examples)
        test_tarone_and_qvalues(binary, work)
        test_filtered_family(binary, work, examples)
        test_strand_pairs(binary, work, examples)
    return summary()


if __name__ == "__main__":
    sys.exit(main())
