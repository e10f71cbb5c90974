#!/usr/bin/env python3
"""Where the known motifs of the benchmark protein families rank in a table.

Each family (the four of ../shared/data/families and the ABC example) is
searched twice with the README's recipe for a family, support half the
members (100 for the ABC example, as in the README):

- plain: -format auto -f POS -f NEG -minstrings N -maxlevel 8 -maximal
  -distinct -table T -sites S -top 50
- groups+wildcards: the same with -groups protein -maxgrp 1 -wc 1 -maxwc 4
  -trim_wc

A known motif is written as a regular expression and located in the members
by this script (gaps `-` and `.` removed, case ignored, overlapping matches
all counted). A row of the table finds the motif when its class-1 sites
(from -sites) overlap an occurrence of the motif (same sequence, at least
one position in common) in at least half of the members the expression
matches; the motif's rank is the rank of the first such row, ">50" when
none of the first 50 does. Prints a markdown table: the rank under each
search and the row's pattern with its class-1/class-2 sequence counts.

    python3 bench/family_ranks.py --binary build/morva

--before runs a binary from before -distinct existed (commit 6e6aa8d): the
same searches without -distinct, so that there a rank counts rows, several
of which may be one motif, where with -distinct it counts motifs.
"""

import argparse
import os
import re
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)

# (family, file prefix or (pos, neg), support or None for half the members,
#  [(motif, regular expression)])
FAMILIES = [
    ("methionyl_trna_ligase", None, None,
     [("HIGH", "H[ILVM]G[HN]"), ("KMSKS", "K[MF][SG]K[ST]")]),
    ("elongation_factor_g", None, None,
     [("G1 (P-loop)", "H.D.GK[ST]"), ("G3", "DTPGH")]),
    ("rna_polymerase_beta_prime", None, None, [("Mg-binding", "NADFDGD")]),
    ("groel_chaperonin", None, None, [("GGM repeats", "GGMGGM")]),
    ("abc_atpase", ("examples/abc_atpase.pos.txt", "examples/abc_atpase.neg.txt"), 100,
     [("Walker A", "G..G.GK[ST]"), ("ABC signature", "LSGGQ"), ("Walker B", "[ILVM]{4}DE")]),
]

GROUPED = ["-groups", "protein", "-maxgrp", "1", "-wc", "1", "-maxwc", "4"]


def read_sequences(path):
    """[(identifier, sequence)]: the first word of a FASTA header, or the line
    number in the line format, as the tool names sequences in -sites."""
    seqs = []
    fasta = path.endswith((".fa", ".fasta"))
    with open(path) as f:
        for number, line in enumerate(f, 1):
            line = line.strip()
            if fasta:
                if line.startswith(">"):
                    seqs.append([line[1:].split()[0] if len(line) > 1 else "", ""])
                elif seqs:
                    seqs[-1][1] += line
            elif line and not line.startswith(("#", ">")):
                seqs.append([str(number), line.split()[0]])
    return [(name, re.sub(r"[-.]", "", s).upper()) for name, s in seqs]


def occurrences(seqs, regex):
    """{identifier: [(first, last)]}, 1-based inclusive spans of every match,
    overlapping ones included, for the sequences the expression matches."""
    found = {}
    pattern = re.compile("(?=(%s))" % regex, re.IGNORECASE)
    for name, s in seqs:
        spans = [(m.start() + 1, m.start() + len(m.group(1))) for m in pattern.finditer(s)]
        if spans:
            found.setdefault(name, []).extend(spans)
    return found


def read_tsv(path):
    """The rows of a tab-separated result file as dicts, comment lines skipped."""
    rows, header = [], None
    with open(path) as f:
        for line in f:
            if line.startswith("#"):
                continue
            fields = line.rstrip("\n").split("\t")
            if header is None:
                header = fields
            else:
                rows.append(dict(zip(header, fields)))
    return rows


def class1_sites(site_rows):
    """{pattern: {sequence: [(first, last)]}} of the class-1 sites."""
    sites = {}
    for r in site_rows:
        if r["class"] != "1":
            continue
        first = int(r["start"])
        span = (first, first + len(r["matched"]) - 1)
        sites.setdefault(r["pattern"], {}).setdefault(r["sequence"], []).append(span)
    return sites


def first_overlapping_row(rows, sites, known):
    """The first row (in table order) whose sites overlap the known
    occurrences in at least half of the sequences holding them, or None."""
    for row in rows:
        by_seq = sites.get(row["pattern"], {})
        hit = sum(1 for name, spans in known.items()
                  if any(a <= d and c <= b for a, b in spans for c, d in by_seq.get(name, ())))
        if known and 2 * hit >= len(known):
            return row
    return None


def format_option(binary):
    """The -format argument the binary takes for mixed input: auto where its
    help lists it, else None (the caller names each file's layout)."""
    p = subprocess.run([binary, "--help"], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                       universal_newlines=True)
    for line in p.stdout.splitlines():
        if "-format" in line:
            return "auto" if "auto" in line else None
    return None


def search(binary, work, pos, neg, support, grouped, before, auto, top):
    """Runs one search in the directory work; returns (command, rows, sites)."""
    table, site_file = os.path.join(work, "t.tsv"), os.path.join(work, "s.tsv")
    cmd = [binary]
    if auto:
        cmd += ["-format", "auto"]
    elif pos.endswith(".fa"):
        cmd += ["-format", "fasta"]
    cmd += ["-f", pos, "-f", neg]
    if grouped:
        cmd += GROUPED
    cmd += ["-minstrings", str(support), "-maxlevel", "8"]
    if grouped:
        cmd += ["-trim_wc"]
    cmd += ["-maximal"]
    if not before:
        cmd += ["-distinct"]
    cmd += ["-table", table, "-sites", site_file, "-top", str(top)]
    # The working directory takes the character-set file a run writes.
    p = subprocess.run(cmd, cwd=work, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    if p.returncode != 0:
        sys.exit("morva exited %d: %s\n%s" % (p.returncode, " ".join(cmd), p.stderr[-2000:].decode(errors="replace")))
    return cmd, read_tsv(table), class1_sites(read_tsv(site_file))


def cell(row, top):
    if row is None:
        return ">%d" % top, "-"
    return row["rank"], "`%s` (%s/%s)" % (row["pattern"], row["1_seqs"], row["2_seqs"])


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--binary", required=True)
    ap.add_argument("--families", default=os.path.join(REPO, "..", "shared", "data", "families"),
                    help="directory of NAME.pos.fa and NAME.neg.fa")
    ap.add_argument("--before", action="store_true",
                    help="a binary without -distinct: leave it out (ranks then count rows)")
    ap.add_argument("--top", type=int, default=50)
    ap.add_argument("--only", help="run only the families whose name contains this")
    ap.add_argument("--verbose", action="store_true", help="print each command to stderr")
    a = ap.parse_args()
    binary = os.path.abspath(a.binary)
    auto = format_option(binary) == "auto"
    print("| family | known motif | regex | members matching | rank (plain) | row (plain) "
          "| rank (groups+wildcards) | row (groups+wildcards) |")
    print("|---|---|---|---|---|---|---|---|")
    for family, files, support, motifs in FAMILIES:
        if a.only and a.only not in family:
            continue
        if files:
            pos, neg = (os.path.join(REPO, f) for f in files)
        else:
            prefix = os.path.join(os.path.abspath(a.families), family)
            pos, neg = prefix + ".pos.fa", prefix + ".neg.fa"
        members = read_sequences(pos)
        n = support if support is not None else len(members) // 2
        results = []
        for grouped in (False, True):
            with tempfile.TemporaryDirectory(prefix="morva_ranks_") as work:
                cmd, rows, sites = search(binary, work, pos, neg, n, grouped, a.before, auto, a.top)
            if a.verbose:
                print(" ".join(cmd), file=sys.stderr)
            results.append((rows, sites))
        for motif, regex in motifs:
            known = occurrences(members, regex)
            cells = []
            for rows, sites in results:
                cells += cell(first_overlapping_row(rows, sites, known), a.top)
            print("| %s | %s | `%s` | %d of %d | %s |"
                  % (family, motif, regex, len(known), len(members), " | ".join(cells)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
