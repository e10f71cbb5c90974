#!/usr/bin/env python3
"""Conventions a user of a command-line tool expects:

  - --help prints the usage with every option of the option table and
    examples on standard output and exits 0; -h keeps its classic exit 1;
  - --version (and -version) print the name and version and exit 0, alone;
  - -progress writes progress lines (and only with it).

  conventions_test.py --binary PATH --root REPO
"""
import os
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from checks import check, paths, run, summary  # noqa: E402




def main():
    given = paths("root")
    binary = given["binary"]

    p = run(binary, ["--help"])
    text = p.stdout.decode()
    check(p.returncode == 0 and p.stderr == b"", "--help exits 0 and writes only to standard output")
    check("Examples:" in text and "Usage: morva parameters" in text, "--help has the usage and examples")
    table = open(os.path.join(given["root"], "src", "run", "options.cpp")).read()
    words = re.findall(r'\{"(-[-a-z_]+)", Kind::', table)
    missing = [w for w in words if w not in ("-wildcards",) and not re.search(re.escape(w) + r"\b", text)]
    check(len(words) > 40 and not missing, "--help names every option (missing: %s)" % missing)
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
