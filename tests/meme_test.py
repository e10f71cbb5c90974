#!/usr/bin/env python3
"""-meme against the sites: every matrix column is recounted from the -sites
file (the class-1 sites' matched letters) and its -flank columns from the
input sequences. DNA on both strands is also read back by Biopython
(Bio.motifs, "minimal"; noted and skipped only where it is not installed);
the shipped protein family and a DNA run with flexible gaps are parsed
strictly by the format's rules (Biopython 1.80 rejects protein letters)."""
import argparse, csv, json, os, random, re, subprocess, sys, tempfile

DNA, PROTEIN = "ACGT", "ACDEFGHIKLMNPQRSTVWY"
COMPLEMENT = str.maketrans("ACGT", "TGCA")


def run(binary, work, args):
    p = subprocess.run([binary] + args, cwd=work, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True,
                       errors="replace", timeout=300)
    assert p.returncode == 0, "morva %s exited %d\n%s" % (" ".join(args), p.returncode, p.stderr[-2000:])


def parse_strict(path, letters, strands):
    """[(identifier, alternate name, nsites, rows)] and the background."""
    lines = [l for l in open(path, encoding="ascii").read().splitlines() if l.strip()]
    assert lines[:4] == ["MEME version 4", "ALPHABET= " + letters, "strands: " + strands,
                         "Background letter frequencies"], lines[:4]
    words = lines[4].split()
    assert words[0::2] == list(letters) and abs(sum(map(float, words[1::2])) - 1) < 1e-4, words
    motifs, i = [], 5
    while i < len(lines):
        m = re.fullmatch(r"MOTIF (\S+) (\S+)", lines[i])
        h = re.fullmatch(r"letter-probability matrix: alength= (\d+) w= (\d+) nsites= (\d+) E= (\S+)", lines[i + 1])
        assert m and h and int(h.group(1)) == len(letters) and float(h.group(4)) >= 0, lines[i:i + 2]
        w = int(h.group(2))
        rows = [[float(x) for x in line.split()] for line in lines[i + 2:i + 2 + w]]
        assert all(len(r) == len(letters) and abs(sum(r) - 1) < 1e-4 and min(r) >= 0 for r in rows), rows
        motifs.append((m.group(1), m.group(2), int(h.group(3)), rows))
        i += 2 + w
    assert len({m[0] for m in motifs}) == len(motifs), "an identifier twice"
    return motifs, [float(x) for x in words[1::2]]


def tsv(path):
    lines = [l for l in open(path, encoding="utf-8") if not l.startswith("#")]
    return list(csv.DictReader(lines, delimiter="\t"))


def class1_sites(path):
    sites = {}
    for r in tsv(path):
        if r["class"] == "1":
            sites.setdefault(r["pattern"], []).append(r)
    return sites


def recount(sites, flank, sequences, letters, cut=slice(None)):
    """Letter counts per column: the matched letters (or the slice `cut` of
    them), and the flanks from the sequences, reverse complemented on the
    minus strand; a flank beyond the sequence's end counts nothing."""
    columns = None
    for s in sites:
        matched = s["matched"][cut]
        window = list(matched)
        if flank:
            seq, start = sequences[s["sequence"]], int(s["start"]) - 1
            window = [seq[q] if 0 <= q < len(seq) else None for q in range(start - flank, start + len(matched) + flank)]
            if s["strand"] == "-":
                window = [c and c.translate(COMPLEMENT) for c in reversed(window)]
            assert "".join(window[flank:-flank]) == matched, (s, window)
        columns = columns or [dict.fromkeys(letters, 0) for _ in window]
        for col, c in zip(columns, window):
            if c in col:
                col[c] += 1
    return columns


def compare(motif, sites, counts, letters):
    assert motif[2] == len(sites), "%s: nsites %d, sites file %d" % (motif[1], motif[2], len(sites))
    assert len(motif[3]) == len(counts), (motif[1], len(motif[3]), len(counts))
    for c, (row, want) in enumerate(zip(motif[3], counts)):
        total = sum(want.values())
        for p, l in zip(row, letters):
            assert abs(p - want[l] / total) < 1e-6, "%s column %d %s: %g, recount %d/%d" % (
                motif[1], c + 1, l, p, want[l], total)


def fasta(work, name, records):
    with open(os.path.join(work, name), "w") as f:
        f.writelines(">%s\n%s\n" % r for r in records)
    return dict(records)


def biopython_read(path):
    """Bio.motifs' reading ([name, nsites, counts per column] per motif),
    with this interpreter or the system one; None without Biopython."""
    script = ("import sys,json\nfrom Bio import motifs\nms=motifs.parse(open(sys.argv[1]),'minimal')\n"
              "print(json.dumps([[m.name,m.num_occurrences,[[m.counts[l][i] for l in 'ACGT']"
              " for i in range(m.length)]] for m in ms]))")
    for python in (sys.executable, "/usr/bin/python3"):
        p = subprocess.run([python, "-c", script, path], capture_output=True, text=True) if os.path.exists(python) else None
        if p and p.returncode == 0:
            return json.loads(p.stdout)
        assert p is None or "No module named 'Bio'" in p.stderr, p.stderr[-2000:]
    return None


def test_dna(binary, work):
    """A planted motif with a variable base, a third of its copies on the
    minus strand, some at a sequence end (a flank cut short)."""
    rng = random.Random(7)
    dna = lambda n: "".join(rng.choice(DNA) for _ in range(n))
    fam = []
    for i in range(30):
        core = "TTGAC" + rng.choice("AT") + "GC"
        core = core[::-1].translate(COMPLEMENT) if i % 3 == 0 else core
        fam.append(("f%d" % i, ("" if i % 7 == 0 else dna(rng.randint(0, 30))) + core + dna(1 if i % 5 == 0 else 20)))
    sequences = fasta(work, "fam.fa", fam)
    sequences.update(fasta(work, "bg.fa", [("b%d" % i, dna(50)) for i in range(30)]))
    run(binary, work, ["-format", "fasta", "-f", "fam.fa", "-f", "bg.fa", "-revcomp", "-wc", "1", "-minstrings", "25",
                       "-maxlevel", "8", "-distinct", "-top", "4", "-flank", "2", "-meme", "m.meme", "-sites", "s.tsv",
                       "-table", "t.tsv"])
    motifs, background = parse_strict(os.path.join(work, "m.meme"), DNA, "+ -")
    rows, sites = tsv(os.path.join(work, "t.tsv")), class1_sites(os.path.join(work, "s.tsv"))
    assert [(m[0], m[1]) for m in motifs] == [(r["motif"], r["pattern"]) for r in rows] and rows
    for motif in motifs:
        compare(motif, sites[motif[1]], recount(sites[motif[1]], 2, sequences, DNA), DNA)
    # The background is class 2's, both strands.
    bg = "".join(s for n, s in sequences.items() if n[0] == "b")
    bg += bg[::-1].translate(COMPLEMENT)
    assert all(abs(f - bg.count(l) / len(bg)) < 1e-6 for f, l in zip(background, DNA)), background
    read = biopython_read(os.path.join(work, "m.meme"))
    if read is None:
        print("NOTE: Biopython is not installed (Debian: python3-biopython); its reading is not checked")
    else:  # counts read back are probability times nsites, rounded
        assert [[n, s, c] for n, s, c in read] == [
            [m[0], m[2], [[round(p * m[2]) for p in row] for row in m[3]]] for m in motifs], read
    return len(motifs)


def test_gapped(binary, work):
    """A flexible gap cuts a pattern into matrices .1 and .2, from the
    start and the end of each matched text; the gap range its sites show."""
    rng = random.Random(11)
    dna = lambda n: "".join(rng.choice(DNA) for _ in range(n))
    fasta(work, "gap.fa", [("g%d" % i, dna(10) + "GATC" + "T" * rng.randint(0, 3) + "CCAG" + dna(10)) for i in range(20)])
    fasta(work, "gapbg.fa", [("h%d" % i, dna(30)) for i in range(20)])
    run(binary, work, ["-format", "fasta", "-f", "gap.fa", "-f", "gapbg.fa", "-minstrings", "18", "-minlevel", "8",
                       "-maxlevel", "8", "-max_gap_nr", "1", "-max_gap", "3", "-no_gap_len", "3", "-top", "5",
                       "-meme", "g.meme", "-sites", "g.tsv", "-table", "gt.tsv"])
    motifs, _ = parse_strict(os.path.join(work, "g.meme"), DNA, "+")
    sites = class1_sites(os.path.join(work, "g.tsv"))
    gapped = [r for r in tsv(os.path.join(work, "gt.tsv")) if "{" in r["pattern"]]
    for row in gapped:
        first, second = [m for m in motifs if m[0].split(".")[0] == row["motif"] and m[1].startswith(row["pattern"])]
        assert (first[0], second[0]) == (row["motif"] + ".1", row["motif"] + ".2"), (first[0], second[0])
        found, w1, w2 = sites[row["pattern"]], len(first[3]), len(second[3])
        assert w1 + w2 == int(row["length"])
        compare(first, found, recount(found, 0, {}, DNA, slice(0, w1)), DNA)
        compare(second, found, recount(found, 0, {}, DNA, slice(-w2, None)), DNA)
        gaps = sorted(len(s["matched"]) - w1 - w2 for s in found)
        assert second[1].endswith("_gap=%d" % gaps[0] + ("-%d" % gaps[-1] if gaps[-1] > gaps[0] else "")), second[1]
    assert gapped, "no row with a flexible gap"
    return len(gapped)


def test_protein(binary, work, examples):
    run(binary, work, ["-format", "auto", "-f", os.path.join(examples, "abc_atpase.pos.txt"), "-f",
                       os.path.join(examples, "abc_atpase.neg.txt"), "-groups", "protein", "-maxgrp", "1", "-wc", "1",
                       "-maxwc", "4", "-minstrings", "100", "-maxlevel", "8", "-trim_wc", "-maximal", "-distinct",
                       "-table", "pt.tsv", "-top", "5", "-meme", "p.meme", "-sites", "p.tsv"])
    motifs, _ = parse_strict(os.path.join(work, "p.meme"), PROTEIN, "+")
    sites = class1_sites(os.path.join(work, "p.tsv"))
    assert [m[1] for m in motifs] == [r["pattern"] for r in tsv(os.path.join(work, "pt.tsv"))] and len(motifs) == 5
    for motif in motifs:
        compare(motif, sites[motif[1]], recount(sites[motif[1]], 0, {}, PROTEIN), PROTEIN)
    return len(motifs)


def test_odd_letters(binary, work):
    """Letters of a user's input that are control bytes, or that PROSITE has
    no syntax for: the MEME names are escaped words, as the table writes the
    pattern, and such a pattern has no PROSITE spelling (empty, null in the
    JSON), while ordinary letters keep theirs."""
    with open(os.path.join(work, "odd.txt"), "wb") as f:
        for head in (b"GA", b"TC", b"CA", b"AG"):
            f.write(head + b"MKVLx<&\x01\x1b[2JQ\n")
    run(binary, work, ["-f", "odd.txt", "-minstrings", "4", "-minlevel", "3", "-maxlevel", "4", "-prosite",
                       "-meme", "o.meme", "-table", "o.tsv", "-json", "o.json", "-cf", "o.charclass"])
    raw = open(os.path.join(work, "o.meme"), "rb").read()
    assert not any(b < 0x20 and b not in b"\n" for b in raw), "a control byte in the MEME file"
    motifs, _ = parse_strict(os.path.join(work, "o.meme"), PROTEIN, "+")
    rows = tsv(os.path.join(work, "o.tsv"))
    # Rows that are one motif's after its lead are named by their motif and rank.
    assert sorted(m[1] for m in motifs) == sorted(r["pattern"] for r in rows), ([m[1] for m in motifs], rows)
    spelled = {r["pattern"]: r["prosite"] for r in rows}
    assert spelled["MKVL"] == "M-K-V-L" and spelled["KVL"] == "K-V-L", spelled
    odd = [p for p in spelled if re.search(r"[^A-Z]", p)]
    assert odd and all(spelled[p] == "" for p in odd), spelled
    json_rows = json.load(open(os.path.join(work, "o.json"), encoding="utf-8"))["rows"]
    assert all((r["prosite"] is None) == bool(re.search(r"[^A-Z]", r["pattern"])) for r in json_rows), json_rows
    return len(odd)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--binary", required=True)
    ap.add_argument("--examples", required=True)
    args = ap.parse_args()
    binary, examples = os.path.abspath(args.binary), os.path.abspath(args.examples)
    with tempfile.TemporaryDirectory(prefix="morva_meme") as work:
        counts = test_dna(binary, work), test_gapped(binary, work), test_protein(binary, work, examples)
        odd = test_odd_letters(binary, work)
    print("OK: %d DNA matrices, %d gapped rows, %d protein matrices match the sites" % counts)
    print("OK: %d patterns of letters PROSITE cannot spell, their MEME names escaped" % odd)
    return 0


if __name__ == "__main__":
    sys.exit(main())
