#!/usr/bin/env python3
"""The result files against the file system:

  - every result file is checked before the input is read: a missing
    directory, a directory, an input file, the -cf file or another result
    file end the run at once with status 1, and nothing is overwritten;
  - devices such as /dev/null are written directly and may be named twice.

  output_files_test.py --binary PATH
"""
import os
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from checks import check, paths, run, summary  # noqa: E402

SEQS = "ACGTAC\nACGTTT\nTACGTA\n"


def test_checked_before_search(binary, d):
    for name in ("a.txt", "b.txt"):
        with open(os.path.join(d, name), "w") as f:
            f.write(SEQS)
    with open(os.path.join(d, "set.charclass"), "w") as f:
        f.write("alphabet= ACGT\n")
    base = ["-f", "a.txt", "-f", "b.txt", "-cf", "set.charclass", "-maxlevel", "3"]
    refused = [
        (["-table", "missing/x.tsv"], b"cannot write missing/x.tsv: No such file or directory"),
        (["-json", "."], b"cannot write .: Is a directory"),
        (["-table", "b.txt"], b"cannot write b.txt: it is the input file b.txt"),
        (["-sites", "./set.charclass"], b"cannot write ./set.charclass: it is the character-set file"),
        (["-table", "s", "-json", "s", "-html", "s"], b"-table s and -json s name the same file"),
        (["-table", "t.tsv", "-json", "./t.tsv"], b"-table t.tsv and -json ./t.tsv name the same"),
    ]
    for extra, message in refused:
        p = run(binary, base + extra, d)
        check(p.returncode == 1 and b"morva: error: " + message in p.stderr,
              "%s is refused: %r" % (" ".join(extra), p.stderr[-200:]))
        check(b"Read in total" not in p.stderr and b"Patterns are ready" not in p.stdout,
              "%s is refused before the input is read" % " ".join(extra))
    check(open(os.path.join(d, "b.txt")).read() == SEQS, "the input named as -table is kept")
    check(open(os.path.join(d, "set.charclass")).read() == "alphabet= ACGT\n",
          "the -cf file named as -sites is kept")
    check(not os.path.exists(os.path.join(d, "s")), "no result file is written when one is refused")
    p = run(binary, base + ["-table", "/dev/null", "-json", "/dev/null"], d)
    check(p.returncode == 0, "/dev/null may take two result files")


def main():
    binary = paths()["binary"]
    with tempfile.TemporaryDirectory(prefix="morva_output_files_") as work:
        test_checked_before_search(binary, work)
    return summary()


if __name__ == "__main__":
    sys.exit(main())
