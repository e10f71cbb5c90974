#!/usr/bin/env python3
"""Position sets given back to the registry during the search must never be
read again: freed handles are reused at once, so a stale read shows up as a
different report (and, in a sanitizer build, as a use-after-free).

Release-heavy searches run on small random inputs with the normal build and
with a build compiled with MORVA_NEVER_RELEASE, which keeps every set to the
end.  Standard output, standard error and the exit status must be the same,
but for the 0xAC marks of freed handles.

  release_check.py --binary BUILD/morva --reference BUILD/morva_never_release
"""
import argparse
import os
import random
import shlex
import subprocess
import sys
import tempfile

CHARSET = """alphabet= ACGT%
STOP= %
p= A 0.3
p= C 0.2
p= G 0.2
p= T 0.25
g= AG pur
g= CT pyr
g= ACG notT
"""

# Each search is run on every input.  The first group detects equal sets and
# drops whole registry slots (-genorder 2); the second releases block sets or
# a node's own set (-abandonequal 0), also of blocks whose children are cut
# off by -minstrings or -maxlevel.
SEARCHES = [
    "-genorder 2 -abandonequal 1 -costf 1 -maxgrp 1 -wc 1 -maxwc 2 -max_gap_nr 1 -min_gap 0 -max_gap 2",
    "-genorder 2 -abandonequal 1 -costf 1 -maxgrp 2 -showsets 3",
    "-genorder 2 -abandonequal 2 -wc 2 -max_gap_nr 2 -min_gap 1 -max_gap 3 -no_gap_len 2",
    "-genorder 2 -abandonequal 1 -costf 1 -freq_set 1 -maxgrp 1 -max_gap_nr 1",
    "-genorder 0 -abandonequal 0 -maxgrp 1 -max_gap_nr 1 -min_gap 1 -max_gap 2 -showsets 3",
    "-genorder 0 -abandonequal 0 -maxgrp 1 -minstrings 5 -max_gap_nr 1 -showsets 3",
    "-genorder 1 -abandonequal 0 -wc 1 -maxwc 3 -minstrings 3",
    "-genorder 3 -abandonequal 0 -maxgrp 2 -wc 1 -max_gap_nr 1",
    "-genorder 2 -abandonequal 0 -maxgrp 1 -costf 1",
    "-genorder 0 -abandonequal 0 -max_gap_nr 2 -min_gap 0 -max_gap 1 -showsets 3",
]

INPUT_SEEDS = [11, 12, 13]


def make_inputs(seed, workdir):
    """Two class files of random DNA-like sequences, some repeated, with a few
    STOP characters; a skewed letter choice makes equal sets common."""
    rnd = random.Random(seed)
    for name in ("pos.txt", "neg.txt"):
        lines = []
        for _ in range(rnd.randint(15, 25)):
            length = rnd.randint(0, 35)
            seq = "".join(rnd.choice("AAACCGTTT%" if rnd.random() < 0.2 else "AACGTT")
                          for _ in range(length))
            lines.append(seq)
        lines += rnd.sample(lines, 4)
        with open(os.path.join(workdir, name), "w") as f:
            f.write("\n".join(lines) + "\n")
    with open(os.path.join(workdir, "set.charclass"), "w") as f:
        f.write(CHARSET)


VERSION_PREFIX = b"# Version morva_0.1.05 translated "


def run(binary, args, workdir):
    """Status, standard output without the banner's build date, standard error
    without the marks of freed handles, and the number of those marks."""
    proc = subprocess.run(["morva"] + args, executable=binary, cwd=workdir,
                          stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, timeout=600)
    out = b"\n".join(VERSION_PREFIX if line.startswith(VERSION_PREFIX) else line
                     for line in proc.stdout.split(b"\n"))
    return proc.returncode, out, proc.stderr.replace(b"\xac", b""), proc.stderr.count(b"\xac")


def first_difference(a: bytes, b: bytes) -> str:
    la, lb = a.split(b"\n"), b.split(b"\n")
    for i, (x, y) in enumerate(zip(la, lb)):
        if x != y:
            return "line %d:\n  normal:    %r\n  reference: %r" % (i + 1, x[:200], y[:200])
    return "lengths differ: %d and %d lines" % (len(la), len(lb))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--binary", required=True)
    ap.add_argument("--reference", required=True)
    opts = ap.parse_args()
    binary = os.path.abspath(opts.binary)
    reference = os.path.abspath(opts.reference)

    failures = 0
    runs = 0
    freed = 0
    for seed in INPUT_SEEDS:
        with tempfile.TemporaryDirectory(prefix="morva_release_") as work:
            make_inputs(seed, work)
            for search in SEARCHES:
                args = (["-f", "pos.txt", "-f", "neg.txt", "-cf", "set.charclass",
                         "-minpos", "4", "-maxlevel", "5"] + shlex.split(search))
                normal = run(binary, args, work)
                kept = run(reference, args, work)
                runs += 1
                freed += normal[3]
                label = "seed %d: %s" % (seed, " ".join(args))
                problems = []
                if normal[0] != 0 or kept[0] != 0:
                    problems.append("exit status %d (reference %d):\n%s" % (
                        normal[0], kept[0], normal[2][-2000:].decode("latin-1")))
                for what, i in (("standard output", 1), ("standard error", 2)):
                    if normal[i] != kept[i]:
                        problems.append("different %s, %s" % (
                            what, first_difference(normal[i], kept[i])))
                if problems:
                    failures += 1
                    print("FAILED %s\n  %s" % (label, "\n  ".join(problems)))
    print("%d of %d release-heavy searches differ from the never-releasing build "
          "(about %d000 handles were freed and reused)" % (failures, runs, freed))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
