#!/usr/bin/env python3
"""How often a run finds something where there is nothing: the family-wise
error of the table's corrected columns under shuffled labels.

The sequences of two classes are pooled and dealt out again at random, the
class sizes kept, so that no pattern can truly tell the classes apart; each
shuffle is searched once and the run counts as a false discovery for a
column when any row has that column below alpha. For a column that controls
the family-wise error at alpha, at most alpha of the runs (plus sampling
error) may find anything:

- `evalue` (p times the patterns tested, Bonferroni);
- `tarone_p` (p times the patterns that could reach p, Tarone);
- `qvalue` (Benjamini-Hochberg: controls the false discovery rate, which
  under shuffled labels, where every discovery is false, is the same);
- with --fwer: `significant` of `-fwer ALPHA` (the support floor rising as
  the search goes), or of `-wy J` with --wy J, whose `wy_p` is counted too;
  `fdr_significant` of `-fdr ALPHA` with --fdr.

    python3 bench/shuffle_calibration.py --binary build/morva \\
        --family ../shared/data/families/methionyl_trna_ligase --shuffles 200

A family is FILE.pos.fa and FILE.neg.fa (FASTA) or two line-format files
given with --pos and --neg. The search arguments default to a plain search
with the support at a quarter of the pooled sequences; --args replaces them.
Prints one line per column: runs with a discovery, their share and its 95 %
interval. --max-share makes the script fail (status 1) when a corrected
column's share exceeds it, for use as a test.
"""

import argparse
import math
import os
import random
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from family_ranks import read_tsv  # noqa: E402

COLUMNS = ("evalue", "tarone_p", "qvalue")
# Columns that mark a row (1) rather than give a probability.
MARKS = ("significant", "fdr_significant")


def read_sequences(path):
    seqs, current = [], None
    with open(path) as f:
        for line in f:
            line = line.strip()
            if path.endswith((".fa", ".fasta")):
                if line.startswith(">"):
                    if current:
                        seqs.append(current)
                    current = ""
                elif current is not None:
                    current += line.upper()
            elif line and not line.startswith(("#", ">")):
                seqs.append(line.split()[0])
    if current:
        seqs.append(current)
    return seqs


def discoveries(table, columns, alpha):
    """Whether any row of a table file has each column below alpha (or marked)."""
    found = {c: False for c in columns}
    for row in read_tsv(table):
        for c in columns:
            v = row[c]
            if c in MARKS:
                found[c] = found[c] or v == "1"
            elif v and not v.startswith(">"):  # wy_p ">0.05": above alpha
                found[c] = found[c] or float(v) < alpha
    return found


def wilson(k, n):
    z = 1.96
    p = k / n
    centre = (p + z * z / (2 * n)) / (1 + z * z / n)
    half = z * math.sqrt(p * (1 - p) / n + z * z / (4 * n * n)) / (1 + z * z / n)
    return max(0.0, centre - half), min(1.0, centre + half)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--binary", required=True)
    ap.add_argument("--family", help="path prefix of FILE.pos.fa and FILE.neg.fa")
    ap.add_argument("--pos")
    ap.add_argument("--neg")
    ap.add_argument("--shuffles", type=int, default=200)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--alpha", type=float, default=0.05)
    ap.add_argument("--args", help="search arguments (default: plain, support a quarter, -maxlevel 6)")
    ap.add_argument("--fwer", action="store_true", help="run -fwer ALPHA and count its significant rows")
    ap.add_argument("--wy", type=int, default=0, help="run -wy J (with --fwer: its rows are the significant ones)")
    ap.add_argument("--fdr", action="store_true", help="run -fdr ALPHA and count its fdr_significant rows")
    ap.add_argument("--max-share", type=float,
                    help="fail when a column that controls the family-wise error finds more often")
    a = ap.parse_args()
    a.binary = os.path.abspath(a.binary)
    pos = read_sequences(a.pos or a.family + ".pos.fa")
    neg = read_sequences(a.neg or a.family + ".neg.fa")
    pooled = pos + neg
    args = (a.args.split() if a.args else
            ["-minstrings", str(max(2, len(pooled) // 4)), "-maxlevel", "6"])
    columns = list(COLUMNS)
    extra = []
    if a.fwer:
        extra += ["-fwer", str(a.alpha)]
        columns.append("significant")
    if a.wy:
        extra += ["-wy", str(a.wy), "-seed", "%d" % a.seed]
        columns.append("wy_p")
        if "significant" not in columns:
            columns.append("significant")
    if a.fdr:
        extra += ["-fdr", str(a.alpha)]
        columns.append("fdr_significant")
    rng = random.Random(a.seed)
    found = {c: 0 for c in columns}
    with tempfile.TemporaryDirectory(prefix="morva_shuffle_") as work:
        for _ in range(a.shuffles):
            rng.shuffle(pooled)
            for name, part in (("a.txt", pooled[:len(pos)]), ("b.txt", pooled[len(pos):])):
                with open(os.path.join(work, name), "w") as f:
                    f.write("\n".join(part) + "\n")
            p = subprocess.run([a.binary, "-f", "a.txt", "-f", "b.txt", "-mask", "", *args, *extra,
                                "-table", "t.tsv"], cwd=work, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
            if p.returncode != 0:
                sys.exit("morva exited %d on a shuffle" % p.returncode)
            any_row = discoveries(os.path.join(work, "t.tsv"), columns, a.alpha)
            for c in columns:
                found[c] += any_row[c]
    failed = False
    for c in columns:
        lo, hi = wilson(found[c], a.shuffles)
        share = found[c] / a.shuffles
        print("%-15s %4d of %d shuffles with a row below %g: %.3f [%.3f-%.3f]"
              % (c, found[c], a.shuffles, a.alpha, share, lo, hi))
        if a.max_share is not None and c not in ("qvalue", "fdr_significant") and share > a.max_share:
            failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
