#!/usr/bin/env python3
"""-threads N changes nothing a user sees, on searches large enough that the
threads really do compute ahead: the shipped ABC family (groups, wildcards,
every result file) and the DNA example on both strands with a flexible gap,
in each of the four expansion orders. The report, standard error, the exit
status and every result file must equal the one-thread run's byte for byte
(but for the words -threads N where a file echoes the command line).

With --faulty, the threaded runs are made by that build instead, whose
threads computing ahead fail now and then (a fault they must hand back to the
search, which then computes the node itself): the output must still be the
one-thread run's of --binary.

  threads_test.py --binary PATH --examples DIR [--faulty PATH]
"""
import argparse
import os
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from run_golden import mask, without_prepended  # noqa: E402

OUTPUTS = ["t.tsv", "s.tsv", "r.json", "m.meme", "p.html"]
SEARCHES = [
    ["-format", "auto", "-f", "abc_atpase.pos.txt", "-f", "abc_atpase.neg.txt", "-groups", "protein",
     "-maxgrp", "1", "-wc", "1", "-maxwc", "4", "-minstrings", "100", "-maxlevel", "8", "-trim_wc",
     "-maximal", "-distinct", "-top", "20", "-table", "t.tsv", "-sites", "s.tsv", "-json", "r.json",
     "-meme", "m.meme", "-html", "p.html", "-prosite"],
    ["-format", "auto", "-f", "dna_site.pos.txt", "-f", "dna_site.neg.txt", "-revcomp", "-groups", "dna",
     "-maxgrp", "1", "-max_gap_nr", "1", "-min_gap", "1", "-max_gap", "3", "-minstrings", "50",
     "-maxlevel", "6", "-table", "t.tsv", "-top", "30"],
]


def run(binary, examples, args, threads):
    extra = ["-threads", str(threads)] if threads > 1 else []
    with tempfile.TemporaryDirectory(prefix="morva_threads_") as work:
        for name in os.listdir(examples):
            os.symlink(os.path.join(examples, name), os.path.join(work, name))
        proc = subprocess.run(["morva"] + extra + args, executable=binary, cwd=work,
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=600)
        got = {"stdout": mask(proc.stdout), "stderr": proc.stderr, "status": proc.returncode}
        for name in OUTPUTS:
            path = os.path.join(work, name)
            if os.path.exists(path):
                # The page tells how long the run took, which no two runs share.
                got[name] = re.sub(rb"<th>run time</th><td>[^<]*</td>", b"", open(path, "rb").read())
    return {k: without_prepended(v, extra) if isinstance(v, bytes) else v for k, v in got.items()}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--binary", required=True)
    ap.add_argument("--examples", required=True)
    ap.add_argument("--orders", default="0,1,2,3", help="the -genorder values to run")
    ap.add_argument("--faulty", help="a build whose threads computing ahead fail now and then")
    opts = ap.parse_args()
    binary, examples = os.path.abspath(opts.binary), os.path.abspath(opts.examples)
    threaded = os.path.abspath(opts.faulty) if opts.faulty else binary
    failures = 0
    for search in SEARCHES:
        for order in opts.orders.split(","):
            args = search + ["-genorder", order]
            one = run(binary, examples, args, 1)
            if one["status"] != 0:
                print("FAILED to run: morva %s\n%s" % (" ".join(args), one["stderr"][-800:].decode("latin-1")))
                failures += 1
                continue
            for threads in (2, 4):
                other = run(threaded, examples, args, threads)
                differ = sorted(k for k in set(one) | set(other) if one.get(k) != other.get(k))
                if differ:
                    failures += 1
                    print("DIFFERS at -threads %d in %s: morva %s" % (threads, ", ".join(differ), " ".join(args)))
    print("%d searches, %d differ" % (len(SEARCHES) * len(opts.orders.split(",")) * 2, failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
