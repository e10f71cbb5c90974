#!/usr/bin/env python3
"""Conventions a user of a command-line tool expects:

  - --help prints the usage and examples on standard output and exits 0;
    -h keeps its classic exit 1 (that --help names every option of the
    option table is checked by tests/unit/option_table_help_test.cpp,
    which reads the table itself);
  - --version (and -version) print the name and version and exit 0, alone;
  - -progress writes progress lines (and only with it).

  conventions_test.py --binary PATH
"""
import os
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from checks import check, paths, run, summary  # noqa: E402




def main():
    given = paths()
    binary = given["binary"]

    p = run(binary, ["--help"])
    text = p.stdout.decode()
    check(p.returncode == 0 and p.stderr == b"", "--help exits 0 and writes only to standard output")
    check("Examples:" in text and "Usage: morva parameters" in text, "--help has the usage and examples")
    check(run(binary, ["-h"]).returncode == 1, "-h keeps its exit status 1")

    for word in ("--version", "-version"):
        p = run(binary, [word])
        lines = p.stdout.decode().splitlines()
        check(p.returncode == 0 and lines and lines[0] == "morva 0.1.05" and "htslib" in p.stdout.decode(),
              "%s prints the version and build alone and exits 0" % word)

    with tempfile.TemporaryDirectory(prefix="morva_conv_") as work:
        seqs = os.path.join(work, "a.txt")
        with open(seqs, "w") as f:
            f.write("ACGTACGT\nACGTTT\n")
        quiet = run(binary, ["-f", seqs, "-maxlevel", "3"], work)
        loud = run(binary, ["-f", seqs, "-maxlevel", "3", "-progress"], work)
        check(b"progress" not in quiet.stderr, "no progress line without -progress")
        check(re.search(rb"\nmorva: warning: progress: done, [0-9.]+ s, \d+ patterns reported, \d+ nodes "
                        rb"expanded", loud.stderr) is not None, "-progress ends with a line of its figures")
        check(quiet.stdout == loud.stdout, "-progress leaves the report as it is")
    return summary()


if __name__ == "__main__":
    sys.exit(main())
