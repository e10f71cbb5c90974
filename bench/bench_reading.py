#!/usr/bin/env python3
"""Cost of morva's input stage on a gzip-compressed FASTA file, against gzip.

Converts a line-format sequence file (default: the shared protein_10M.txt) into
a 60-column FASTA file, gzips it, and then times in rounds:

  gzip      gzip -dc FILE.fa.gz > /dev/null           (the yardstick)
  fa.gz     morva -f FILE.fa.gz -format fasta -cfonly 1 -cf SCRATCH
  fa        morva -f FILE.fa    -format fasta -cfonly 1 -cf SCRATCH   (reference)
  lines     morva -f FILE.txt                 -cfonly 1 -cf SCRATCH   (reference)
  lines-old the same with --baseline BINARY (an older build), if given

With -cfonly morva runs the whole input stage (read, join, count the
characters, write and read the character set, code) and stops there, printing
almost nothing; -v 1000 would stop at the same point but print every sequence,
which would be timed instead of the reading. Every round runs each command once, in turn, so that a
change in the machine's speed hits all of them alike; the ratios are taken
within a round (fa.gz/gzip, lines/lines-old) and their median is printed with
the median wall and cpu (user + system) seconds of each command. Quote the
medians, not a single run.

    python3 bench/bench_reading.py [--morva build/morva] [--baseline OLD/morva]
                                   [--rounds 15] [--workdir DIR]
"""

import argparse
import gzip
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)
DATA = "/work/shared/data/protein_10M.txt"


def to_fasta(src, dst, width=60):
    """Line format -> FASTA; returns the number of sequences written."""
    n = 0
    with open(src) as fin, open(dst, "w") as fout:
        for line in fin:
            if not line.strip() or line[0] in "#>":
                continue
            seq = line.split()[0]  # a class name may follow after white space
            n += 1
            fout.write(">seq%d\n" % n)
            for i in range(0, len(seq), width):
                fout.write(seq[i:i + width] + "\n")
    return n


def run(argv):
    """One run, output thrown away; (wall s, cpu s, exit code) of the child."""
    start = time.perf_counter()
    p = subprocess.Popen(argv, stdin=subprocess.DEVNULL,
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # wait4 gives the kernel's own user/system accounting of this child alone.
    _, status, ru = os.wait4(p.pid, 0)
    wall = time.perf_counter() - start
    p.returncode = os.waitstatus_to_exitcode(status)  # keep Popen from waiting again
    return wall, ru.ru_utime + ru.ru_stime, p.returncode


def sequences_read(argv):
    """The EX: lines morva prints at -v 1000: what it read, one per sequence."""
    out = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                         text=True).stdout
    return [l.split("\t", 2)[2] for l in out.splitlines() if l.startswith("EX:")]


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--morva", default=os.path.join(REPO, "build", "morva"))
    ap.add_argument("--baseline", help="an older morva binary to time the line format against")
    ap.add_argument("--input", default=DATA, help="line-format sequence file")
    ap.add_argument("--rounds", type=int, default=15)
    ap.add_argument("--workdir", help="keep the generated files here (default: a temporary dir)")
    args = ap.parse_args()

    work = args.workdir or tempfile.mkdtemp(prefix="bench_reading_")
    os.makedirs(work, exist_ok=True)
    try:
        fa = os.path.join(work, "input.fa")
        gz = fa + ".gz"
        cf = os.path.join(work, "input.charclass")
        nseq = to_fasta(args.input, fa)
        with open(fa, "rb") as fin, gzip.open(gz, "wb", compresslevel=6) as fout:
            shutil.copyfileobj(fin, fout)  # level 6: what plain `gzip FILE` writes
        subprocess.run([args.morva, "-f", gz, "-format", "fasta", "-cfonly", "1", "-cf", cf],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)

        stop = ["-cfonly", "1", "-cf", os.path.join(work, "scratch.charclass")]
        cmds = {
            "gzip": ["gzip", "-dc", gz],
            "fa.gz": [args.morva, "-f", gz, "-format", "fasta"] + stop,
            "fa": [args.morva, "-f", fa, "-format", "fasta"] + stop,
            "lines": [args.morva, "-f", args.input] + stop,
        }
        if args.baseline:
            cmds["lines-old"] = [args.baseline, "-f", args.input] + stop

        # A timing of the wrong thing is worse than none: the compressed FASTA
        # must give morva exactly the sequences of the line file.
        check = ["-cf", cf, "-v", "1000"]
        want = sequences_read([args.morva, "-f", args.input] + check)
        got = sequences_read([args.morva, "-f", gz, "-format", "fasta"] + check)
        if len(want) != nseq or got != want:
            sys.exit("fa.gz read %d sequences, lines %d, expected %d; %s"
                     % (len(got), len(want), nseq, "same" if got == want else "they differ"))

        print("input %s: %d sequences; %s %.1f MB, %s %.1f MB"
              % (args.input, nseq, os.path.basename(fa), os.path.getsize(fa) / 1e6,
                 os.path.basename(gz), os.path.getsize(gz) / 1e6))
        for name, argv in cmds.items():
            print("  %-9s %s" % (name, " ".join(argv)))

        times = {name: [] for name in cmds}
        for r in range(args.rounds + 1):  # round 0 warms the page cache, not counted
            for name, argv in cmds.items():
                wall, cpu, code = run(argv)
                if code != 0:
                    sys.exit("%s exited %d" % (name, code))
                if r:
                    times[name].append((wall, cpu))

        print("\n%d rounds, medians:" % args.rounds)
        print("  %-9s %8s %8s" % ("command", "wall s", "cpu s"))
        for name, t in times.items():
            print("  %-9s %8.3f %8.3f" % (name, statistics.median(w for w, _ in t),
                                          statistics.median(c for _, c in t)))
        pairs = [("fa.gz", "gzip"), ("fa", "gzip"), ("lines", "gzip")]
        if args.baseline:
            pairs.append(("lines", "lines-old"))
        print("\nratios, round by round (median [min-max]):")
        for a, b in pairs:
            for i, what in ((0, "wall"), (1, "cpu")):
                rs = [x[i] / y[i] for x, y in zip(times[a], times[b]) if y[i] > 0]
                if rs:
                    print("  %-9s / %-9s %s %.2f [%.2f-%.2f]"
                          % (a, b, what, statistics.median(rs), min(rs), max(rs)))
    finally:
        if not args.workdir:
            shutil.rmtree(work)


if __name__ == "__main__":
    main()
