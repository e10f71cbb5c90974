#!/usr/bin/env python3
"""Peak sets at genome scale: time, peak memory and the planted motif's rank.

For each size N, `gen_peaks.py` makes N peaks of L bp (a motif planted in a
share of them, on either strand) and N background sequences of the same
composition, and morva searches them with one of two recipes:

- dna: the README's recipe for DNA, both strands with the IUPAC two-base
  groups: -format auto -f POS -f NEG -revcomp -groups dna -maxgrp 1
  -minstrings M -maxlevel 10 -distinct -table T -top 10
- plain: both strands, no groups: -format auto -f POS -f NEG -revcomp
  -minstrings M -maxlevel 10 -table T -top 10

M is the support share (default 5 %) of all 2N sequences, rounded up, so
that the same patterns are frequent enough at every size and the time can
grow with the input alone. Wall time, user + system time and peak RSS come
from GNU time; bytes a code = peak RSS / positions of the joined input (the
"Domain size" the run reports). The planted motif's rank is that of the
first table row whose pattern matches inside the motif or its reverse
complement and spans at least 80 % of it (a fragment of the site does not
count). Prints one markdown row a run, with the command
that reproduces it (after `gen_peaks.py --out DIR --peaks N`).

    python3 bench/peak_bench.py --binary build/morva --out /tmp/peaks --sizes 50k,200k,500k
"""

import argparse
import math
import os
import re
import subprocess
import sys
import time

from family_ranks import read_tsv

HERE = os.path.dirname(os.path.abspath(__file__))


def read_truth(path):
    with open(path) as f:
        return dict(line.rstrip("\n").split("\t", 1) for line in f if "\t" in line)


def pattern_regex(text):
    """A table pattern as a Python expression: groups [..], '.' and gaps
    .{a,b} are already in that syntax."""
    return re.compile(text)


def planted_rank(table, motif, rc):
    for row in read_tsv(table):
        regex = pattern_regex(row["pattern"])
        for site in (motif, rc):
            for at in range(len(site)):
                m = regex.match(site, at)
                if m and m.end() - m.start() >= 0.8 * len(site):
                    return row["rank"]
    return ">10"


def run(binary, args, cwd):
    start = time.time()
    proc = subprocess.run(["/usr/bin/time", "-f", "TIME %e %U %S %M", binary] + args, cwd=cwd,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    err = proc.stderr.decode("latin-1")
    # GNU time's line follows the run's progress marks, which end no line.
    fields = re.findall(r"TIME ([\d.]+) ([\d.]+) ([\d.]+) (\d+)", err)
    if proc.returncode != 0 or not fields:
        sys.exit("morva failed (%d): %s" % (proc.returncode, err[-2000:]))
    wall, user, system, kib = fields[-1]
    domain = re.search(rb"Domain size is: (\d+)", proc.stdout)
    return (float(wall), float(user) + float(system), int(kib) * 1024,
            int(domain.group(1)) if domain else 0, time.time() - start)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--binary", required=True)
    ap.add_argument("--out", required=True, help="folder of the generated sets and the runs")
    ap.add_argument("--sizes", default="50k,200k,500k")
    ap.add_argument("--length", type=int, default=200)
    ap.add_argument("--recipe", choices=["dna", "plain"], default="dna")
    ap.add_argument("--support", type=float, default=0.05, help="-minstrings as a share of all sequences")
    ap.add_argument("--threads", type=int, default=1)
    opts = ap.parse_args()
    binary = os.path.abspath(opts.binary)
    os.makedirs(opts.out, exist_ok=True)
    commit = subprocess.run(["git", "-C", HERE, "rev-parse", "--short", "HEAD"], stdout=subprocess.PIPE,
                            text=True).stdout.strip()
    print("| date | commit | peaks | recipe | command | wall s | cpu s | peak RSS MB | codes | bytes a code | planted motif's rank |")
    print("|---|---|---|---|---|---|---|---|---|---|---|")
    for size in opts.sizes.split(","):
        subprocess.run([sys.executable, os.path.join(HERE, "gen_peaks.py"), "--out", opts.out, "--peaks", size,
                        "--length", str(opts.length)], check=True, stdout=subprocess.DEVNULL)
        truth = read_truth(os.path.join(opts.out, "peaks_%s.truth.tsv" % size))
        n = int(truth["peaks"]) + int(truth["background"])
        ms = int(math.ceil(opts.support * n))
        pos, neg = "peaks_%s.pos.fa" % size, "peaks_%s.neg.fa" % size
        table = "peaks_%s.%s.tsv" % (size, opts.recipe)
        if opts.recipe == "dna":
            args = ["-format", "auto", "-f", pos, "-f", neg, "-revcomp", "-groups", "dna", "-maxgrp", "1",
                    "-minstrings", str(ms), "-maxlevel", "10", "-distinct", "-table", table, "-top", "10"]
        else:
            args = ["-format", "auto", "-f", pos, "-f", neg, "-revcomp", "-minstrings", str(ms), "-maxlevel", "10",
                    "-table", table, "-top", "10"]
        if opts.threads != 1:
            args += ["-threads", str(opts.threads)]
        # The character set is generated by each run from its own input.
        charclass = "peaks_%s.%s.charclass" % (size, opts.recipe)
        if os.path.exists(os.path.join(opts.out, charclass)):
            os.remove(os.path.join(opts.out, charclass))
        wall, cpu, peak, codes, _ = run(binary, args + ["-cf", charclass], opts.out)
        rank = planted_rank(os.path.join(opts.out, table), truth["motif"], truth["reverse_complement"])
        print("| %s | %s | %s | %s | `morva %s` | %.1f | %.1f | %.0f | %d | %.1f | %s |" % (
            time.strftime("%Y-%m-%d %H:%M", time.gmtime()), commit, size, opts.recipe, " ".join(args),
            wall, cpu, peak / 2**20, codes, peak / codes if codes else 0, rank), flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
