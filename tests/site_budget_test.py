#!/usr/bin/env python3
"""Rows kept to the end of the search (-top with -distinct or -maximal) keep
their sites only while a memory budget lasts; a row the ranking reads
without them has them found again by matching its pattern against the
input. So has a row of more positions than a sixteenth of the input under
any -top. That matching must give exactly the occurrences the search had.

The normal build (whose budget holds every site on these inputs) and a
build whose budget holds almost none (MORVA_SITE_BUDGET_BYTES=1, which
also takes every row of a sixteenth of the input as large) run the
same searches on small random inputs, with every file that reads sites
(table, sites, MEME matrices, page). Every output must be the same bytes.

  site_budget_test.py --binary BUILD/morva --reference BUILD/morva_site_budget
"""
import argparse
import os
import random
import shlex
import subprocess
import sys
import tempfile

# Both strands (palindromes count a site once), groups, wildcards, gaps, and
# the orders and filters that decide which rows the ranking reads.
SEARCHES = [
    "-revcomp -groups dna -maxgrp 1 -distinct -top 5",
    "-revcomp -top 4 -sort support",
    "-top 3 -sort support -wc 1",
    "-revcomp -wc 1 -maxwc 2 -distinct -top 3 -sort specificity",
    "-revcomp -maximal -top 6 -trim_wc -wc 1",
    "-max_gap_nr 1 -min_gap 0 -max_gap 2 -distinct -top 4",
    "-groups dna -maxgrp 2 -maximal -distinct -top 4 -sort support",
]
OUTPUTS = ["-table", "t.tsv", "-sites", "s.tsv", "-meme", "m.meme", "-html", "p.html"]
FILES = ["t.tsv", "s.tsv", "m.meme", "p.html"]


def make_inputs(seed, work):
    """Two FASTA classes of random DNA; the first carries a planted site on
    either strand (and a palindrome) in most of its sequences."""
    rnd = random.Random(seed)
    comp = {"A": "T", "C": "G", "G": "C", "T": "A"}
    site = "".join(rnd.choice("ACGT") for _ in range(6))
    for name, planted in (("pos.fa", True), ("neg.fa", False)):
        with open(os.path.join(work, name), "w") as f:
            for i in range(rnd.randint(20, 40)):
                seq = [rnd.choice("AACGTT") for _ in range(rnd.randint(10, 60))]
                if planted and rnd.random() < 0.7:
                    word = site if rnd.random() < 0.5 else "".join(comp[c] for c in reversed(site))
                    at = rnd.randint(0, len(seq))
                    seq[at:at] = list(word + ("GAATTC" if rnd.random() < 0.3 else ""))
                f.write(">%s%d\n%s\n" % (name[0], i, "".join(seq)))


def run(binary, args, work):
    proc = subprocess.run(["morva"] + args, executable=binary, cwd=work, stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=300)
    files = {}
    for name in FILES:
        with open(os.path.join(work, name), "rb") as f:
            # The page states its run time, the one thing that may differ.
            files[name] = b"\n".join(l for l in f.read().split(b"\n") if b"run time" not in l)
    out = b"\n".join(l for l in proc.stdout.split(b"\n") if not l.startswith(b"# Version"))
    return proc.returncode, out, proc.stderr, files


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--binary", required=True)
    ap.add_argument("--reference", required=True)
    opts = ap.parse_args()
    failures = runs = 0
    for seed in range(1, 7):
        with tempfile.TemporaryDirectory(prefix="morva_sites_") as work:
            make_inputs(seed, work)
            # The character set both builds read (the first run writes it).
            subprocess.run([os.path.abspath(opts.binary), "-format", "fasta", "-f", "pos.fa", "-f",
                            "neg.fa", "-cf", "dna.cf", "-cfonly", "1", "-groups", "dna"],
                           cwd=work, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
            for search in SEARCHES:
                args = (["-format", "fasta", "-f", "pos.fa", "-f", "neg.fa", "-cf", "dna.cf",
                         "-minstrings", "4", "-maxlevel", "7"] + shlex.split(search) + OUTPUTS)
                a = run(os.path.abspath(opts.binary), args, work)
                b = run(os.path.abspath(opts.reference), args, work)
                runs += 1
                diffs = [what for what, x, y in (("status", a[0], b[0]), ("stdout", a[1], b[1]),
                                                 ("stderr", a[2], b[2])) if x != y]
                diffs += [name for name in FILES if a[3][name] != b[3][name]]
                if a[0] != 0:
                    diffs.append("exit status %d: %s" % (a[0], a[2][-500:].decode("latin-1")))
                if a[3]["t.tsv"].count(b"\n") < 3:
                    diffs.append("no rows in the table")
                if diffs:
                    failures += 1
                    print("FAILED seed %d: %s\n  differ: %s" % (seed, " ".join(args), ", ".join(diffs)))
    print("%d of %d searches differ when the rows' sites are found again" % (failures, runs))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
