#!/usr/bin/env python3
"""-meme against the sites: every matrix is recounted from the -sites file
(the class-1 sites' matched letters) and, for the -flank columns, from the
input sequences themselves.

  - DNA on both strands with flanks and a one-class DNA run: read back with
    Biopython's reader of the format (Bio.motifs, "minimal"); skipped, with
    a note, only where Biopython is not installed;
  - the shipped protein family, and a DNA run with flexible gaps: parsed
    strictly by the format's rules (Biopython rejects protein letters).
"""
import argparse
import csv
import os
import random
import re
import subprocess
import sys
import tempfile

DNA, PROTEIN = "ACGT", "ACDEFGHIKLMNPQRSTVWY"
COMPLEMENT = str.maketrans("ACGT", "TGCA")


def run(binary, work, args):
    p = subprocess.run([binary] + args, cwd=work, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True, errors="replace",
                       timeout=300)
    if p.returncode != 0:
        raise SystemExit("FAIL: morva %s exited %d\n%s" % (" ".join(args), p.returncode, p.stderr[-2000:]))
    return p.stderr


def parse_strict(path, letters, strands):
    """The file by the rules of the minimal format, version 4; a list of
    (identifier, alternate name, nsites, evalue, rows), and the background."""
    lines = [l.rstrip("\n") for l in open(path, encoding="ascii")]
    lines = [l for l in lines if l.strip()]
    assert lines[0] == "MEME version 4", lines[0]
    assert lines[1] == "ALPHABET= " + letters, lines[1]
    assert lines[2] == "strands: " + strands, lines[2]
    assert lines[3] == "Background letter frequencies", lines[3]
    words = lines[4].split()
    assert [w for w in words[0::2]] == list(letters), words
    background = [float(w) for w in words[1::2]]
    assert abs(sum(background) - 1) < 1e-4, background
    motifs, i, ids = [], 5, set()
    while i < len(lines):
        m = re.fullmatch(r"MOTIF (\S+)(?: (\S+))?", lines[i])
        assert m, "not a MOTIF line: %r" % lines[i]
        assert m.group(1) not in ids, "identifier %s twice" % m.group(1)
        ids.add(m.group(1))
        h = re.fullmatch(r"letter-probability matrix: alength= (\d+) w= (\d+) nsites= (\d+) E= (\S+)", lines[i + 1])
        assert h, "not a matrix header: %r" % lines[i + 1]
        alength, w, nsites, evalue = int(h.group(1)), int(h.group(2)), int(h.group(3)), float(h.group(4))
        assert alength == len(letters) and w >= 1 and evalue >= 0
        rows = []
        for line in lines[i + 2:i + 2 + w]:
            row = [float(x) for x in line.split()]
            assert len(row) == alength and all(0 <= x <= 1 for x in row), line
            assert abs(sum(row) - 1) < 1e-4, "row sums to %g: %s" % (sum(row), line)
            rows.append(row)
        assert len(rows) == w
        motifs.append((m.group(1), m.group(2), nsites, evalue, rows))
        i += 2 + w
    return motifs, background


def read_sites(path, class_name="1"):
    """pattern -> the class-1 sites (sequence, start, strand, matched)."""
    sites = {}
    with open(path, encoding="utf-8") as f:
        for r in csv.DictReader(f, delimiter="\t"):
            if r["class"] == class_name:
                sites.setdefault(r["pattern"], []).append(r)
    return sites


def table_patterns(path):
    rows = [l.split("\t") for l in open(path, encoding="utf-8").read().splitlines() if not l.startswith("#")]
    header = rows[0]
    return [dict(zip(header, r)) for r in rows[1:]]


def expected_columns(site_list, width, flank, sequences, letters):
    """Letter counts per column: the matched letters, then the flanks from
    the sequences (reverse complemented on the minus strand)."""
    counts = [dict.fromkeys(letters, 0) for _ in range(width + 2 * flank)]
    for s in site_list:
        seq = sequences.get(s["sequence"])
        start = int(s["start"]) - 1
        matched = s["matched"]
        if seq is None:  # no flanks: the matched letters alone
            assert flank == 0
            window = list(matched)
        else:
            window = [seq[q] if 0 <= q < len(seq) else None for q in range(start - flank, start + len(matched) + flank)]
        if seq is not None and s["strand"] == "-":
            window = [None if c is None else c.translate(COMPLEMENT) for c in reversed(window)]
        assert "".join(window[flank:flank + len(matched)]) == matched, (s, window)
        for col, c in enumerate(window):
            if c is not None and c in letters:
                counts[col][c] += 1
    return counts


def compare(motif, counts, letters, nsites, what):
    ident, _, got_sites, _, rows = motif
    assert got_sites == nsites, "%s: nsites %d, sites file %d" % (what, got_sites, nsites)
    assert len(rows) == len(counts), "%s: %d columns, expected %d" % (what, len(rows), len(counts))
    for col, (row, expect) in enumerate(zip(rows, counts)):
        total = sum(expect.values())
        for k, letter in enumerate(letters):
            want = expect[letter] / total if total else None
            if want is not None and abs(row[k] - want) > 1e-6:
                raise AssertionError("%s column %d letter %s: %g, recount %d/%d" %
                                     (what, col + 1, letter, row[k], expect[letter], total))


def random_dna(rng, n):
    return "".join(rng.choice(DNA) for _ in range(n))


def write_fasta(path, records):
    with open(path, "w") as f:
        for name, seq in records:
            f.write(">%s\n%s\n" % (name, seq))


def dna_family(work):
    """A family with a planted motif (some copies on the minus strand, some
    at a sequence end so that a flank is cut) against a random background."""
    rng = random.Random(7)
    fam, bg = [], []
    for i in range(30):
        core = "TTGAC" + rng.choice("AT") + "GC"
        if i % 3 == 0:
            core = core[::-1].translate(COMPLEMENT)
        left, right = random_dna(rng, rng.randint(0, 30)), random_dna(rng, rng.randint(0, 30))
        if i % 7 == 0:
            left = ""
        if i % 5 == 0:
            right = random_dna(rng, 1)
        fam.append(("f%d" % i, left + core + right))
    for i in range(30):
        bg.append(("b%d" % i, random_dna(rng, 50)))
    write_fasta(os.path.join(work, "fam.fa"), fam)
    write_fasta(os.path.join(work, "bg.fa"), bg)
    return dict(fam + bg)


def biopython_read(path):
    """Bio.motifs' reading: (name, nsites, counts per column) per motif, or
    None without Biopython (this interpreter's, else the system one's)."""
    script = ("import sys,json\nfrom Bio import motifs\nms=motifs.parse(open(sys.argv[1]),'minimal')\n"
              "print(json.dumps({'bg':dict(ms.background),'m':[[m.name,m.num_occurrences,"
              "[[m.counts[l][i] for l in 'ACGT'] for i in range(m.length)]] for m in ms]}))")
    import json
    for python in (sys.executable, "/usr/bin/python3"):
        if not os.path.exists(python):
            continue
        p = subprocess.run([python, "-c", script, path], capture_output=True, text=True)
        if p.returncode == 0:
            return json.loads(p.stdout)
        if "No module named 'Bio'" not in p.stderr:
            raise AssertionError("Biopython cannot read %s:\n%s" % (path, p.stderr[-2000:]))
    return None


def test_dna(binary, work):
    sequences = dna_family(work)
    flank = 2
    run(binary, work, ["-format", "fasta", "-f", "fam.fa", "-f", "bg.fa", "-revcomp", "-wc", "1", "-minstrings",
                       "25", "-maxlevel", "8", "-distinct", "-top", "4", "-flank", str(flank),
                       "-meme", "m.meme", "-sites", "s.tsv", "-table", "t.tsv"])
    motifs, background = parse_strict(os.path.join(work, "m.meme"), DNA, "+ -")
    rows = table_patterns(os.path.join(work, "t.tsv"))
    assert len(motifs) == len(rows) >= 1, (len(motifs), len(rows))
    sites = read_sites(os.path.join(work, "s.tsv"))
    for motif, row in zip(motifs, rows):
        assert motif[0] == row["motif"] and motif[1] == row["pattern"], (motif[:2], row)
        found = sites.get(row["pattern"], [])
        compare(motif, expected_columns(found, int(row["length"]), flank, sequences, DNA), DNA, len(found),
                row["pattern"])
    # The background: class 2 on both strands, so A = T and C = G.
    letters = "".join(s for name, s in sequences.items() if name.startswith("b"))
    both = letters + letters[::-1].translate(COMPLEMENT)
    for k, l in enumerate(DNA):
        assert abs(background[k] - both.count(l) / len(both)) < 1e-6, (l, background)

    read = biopython_read(os.path.join(work, "m.meme"))
    if read is None:
        print("NOTE: Biopython is not installed (Debian: python3-biopython); its reading is not checked")
        return len(motifs)
    assert len(read["m"]) == len(motifs)
    for (name, nsites, counts), motif in zip(read["m"], motifs):
        assert name == motif[0] and nsites == motif[2], (name, nsites, motif[:3])
        for col, row in enumerate(motif[4]):
            for k in range(4):
                # The reader gives counts as probability times nsites, rounded.
                assert counts[col][k] == round(row[k] * nsites), (name, col, counts[col], row)
    for k, l in enumerate(DNA):
        assert abs(read["bg"][l] - background[k]) < 1e-9

    # One class: no E-value to give (E= 1), the background of every sequence.
    run(binary, work, ["-format", "fasta", "-f", "fam.fa", "-wc", "1", "-minstrings", "20", "-maxlevel", "8",
                       "-top", "3", "-meme", "one.meme", "-sites", "one.tsv"])
    one, bg1 = parse_strict(os.path.join(work, "one.meme"), DNA, "+")
    assert one and all(m[3] == 1 for m in one)
    fam = "".join(s for name, s in sequences.items() if name.startswith("f"))
    for k, l in enumerate(DNA):
        assert abs(bg1[k] - fam.count(l) / len(fam)) < 1e-6
    one_sites = read_sites(os.path.join(work, "one.tsv"))
    for motif in one:
        found = one_sites[motif[1]]
        compare(motif, expected_columns(found, len(found[0]["matched"]), 0, sequences, DNA), DNA, len(found), motif[1])
    if biopython_read(os.path.join(work, "one.meme")) is None:
        raise AssertionError("Biopython cannot read a one-class file")
    return len(motifs) + len(one)


def test_gapped(binary, work):
    """A flexible gap cuts a pattern into matrices .1 and .2: the first from
    the start of each matched text, the second from its end, each site's gap
    length within the range the name gives."""
    rng = random.Random(11)
    fam = [("g%d" % i, random_dna(rng, 10) + "GATC" + "T" * rng.randint(0, 3) + "CCAG" + random_dna(rng, 10))
           for i in range(20)]
    write_fasta(os.path.join(work, "gap.fa"), fam)
    write_fasta(os.path.join(work, "gapbg.fa"), [("h%d" % i, random_dna(rng, 30)) for i in range(20)])
    run(binary, work, ["-format", "fasta", "-f", "gap.fa", "-f", "gapbg.fa", "-minstrings", "18", "-minlevel", "8",
                       "-maxlevel", "8", "-max_gap_nr", "1", "-min_gap", "0", "-max_gap", "3", "-no_gap_len", "3",
                       "-sort", "pvalue", "-top", "5", "-meme", "g.meme", "-sites", "g.tsv", "-table", "gt.tsv"])
    motifs, _ = parse_strict(os.path.join(work, "g.meme"), DNA, "+")
    sites = read_sites(os.path.join(work, "g.tsv"))
    checked = 0
    by_name = {}
    for m in motifs:
        by_name.setdefault(m[0].split(".")[0], []).append(m)
    for row in table_patterns(os.path.join(work, "gt.tsv")):
        if "{" not in row["pattern"]:
            continue
        parts = by_name[row["motif"] if row["motif"] in by_name else row["rank"]]
        parts = [p for p in parts if p[1].startswith(row["pattern"])]
        assert [p[0].split(".")[-1] for p in parts] == ["1", "2"], [p[0] for p in parts]
        first, second = parts
        found = sites[row["pattern"]]
        w1, w2 = len(first[4]), len(second[4])
        assert w1 + w2 == int(row["length"]), (w1, w2, row["length"])
        heads = [{"matched": s["matched"][:w1], "sequence": None, "start": "1", "strand": "+"} for s in found]
        tails = [{"matched": s["matched"][-w2:], "sequence": None, "start": "1", "strand": "+"} for s in found]
        compare(first, expected_columns(heads, w1, 0, {}, DNA), DNA, len(found), row["pattern"] + " .1")
        compare(second, expected_columns(tails, w2, 0, {}, DNA), DNA, len(found), row["pattern"] + " .2")
        gap = re.search(r"_gap=(\d+)(?:-(\d+))?$", second[1])
        assert gap, second[1]
        lo, hi = int(gap.group(1)), int(gap.group(2) or gap.group(1))
        lengths = [len(s["matched"]) - w1 - w2 for s in found]
        assert (min(lengths), max(lengths)) == (lo, hi), (lengths, second[1])
        checked += 1
    assert checked >= 1, "no row with a flexible gap"
    return checked


def test_protein(binary, work, examples):
    run(binary, work, ["-format", "auto", "-f", os.path.join(examples, "abc_atpase.pos.txt"), "-f",
                       os.path.join(examples, "abc_atpase.neg.txt"), "-groups", "protein", "-maxgrp", "1", "-wc", "1",
                       "-maxwc", "4", "-minstrings", "100", "-maxlevel", "8", "-trim_wc", "-maximal", "-distinct",
                       "-table", "pt.tsv", "-top", "5", "-meme", "p.meme", "-sites", "p.tsv"])
    motifs, _ = parse_strict(os.path.join(work, "p.meme"), PROTEIN, "+")
    rows = table_patterns(os.path.join(work, "pt.tsv"))
    assert len(motifs) == len(rows) == 5
    sites = read_sites(os.path.join(work, "p.tsv"))
    for motif, row in zip(motifs, rows):
        found = sites[row["pattern"]]
        assert float(row["evalue"]) == motif[3], (row["evalue"], motif[3])
        counts = expected_columns(found, int(row["length"]), 0, {}, PROTEIN)
        compare(motif, counts, PROTEIN, len(found), row["pattern"])
        # No pseudocounts: a letter no site holds has probability 0.
        for r, c in zip(motif[4], counts):
            assert all((r[k] == 0) == (c[l] == 0) for k, l in enumerate(PROTEIN))
    return len(motifs)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--binary", required=True)
    ap.add_argument("--examples", required=True)
    args = ap.parse_args()
    binary, examples = os.path.abspath(args.binary), os.path.abspath(args.examples)
    with tempfile.TemporaryDirectory(prefix="morva_meme") as work:
        n = test_dna(binary, work)
        g = test_gapped(binary, work)
        p = test_protein(binary, work, examples)
    print("OK: %d DNA matrices, %d gapped rows, %d protein matrices match the sites" % (n, g, p))
    return 0


if __name__ == "__main__":
    sys.exit(main())
