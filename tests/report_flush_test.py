#!/usr/bin/env python3
"""The report through a block buffer (-flush block) against the default.

  - the same bytes as the default line-by-line flushing;
  - SIGTERM in the middle of the search leaves only complete lines;
  - a report that cannot be written still ends the run with status 1.

  report_flush_test.py --binary PATH
"""
import os
import random
import signal
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from checks import check, paths, run, summary  # noqa: E402
import time



def main():
    binary = paths()["binary"]
    rng = random.Random(7)
    with tempfile.TemporaryDirectory(prefix="morva_flush_") as work:
        seqs = os.path.join(work, "seqs.txt")
        with open(seqs, "w") as f:
            for _ in range(1500):
                f.write("".join(rng.choice("ACDEFGHIKLMNPQRSTVWY") for _ in range(300)) + "\n")
        base = [binary, "-f", seqs, "-minstrings", "2", "-maxlevel", "12"]

        def report(extra):
            p = subprocess.run(base + extra, cwd=work, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                               timeout=600)
            lines = p.stdout.split(b"\n")
            return p.returncode, [l for l in lines if not l.startswith(b"# Version")]

        line_status, line_report = report([])
        block_status, block_report = report(["-flush", "block"])
        check(line_status == block_status == 0, "both modes end with status 0")
        check(line_report == block_report, "-flush block writes the same report")

        # Cut short: every line written is complete.
        for delay in (0.2, 0.5):
            out_path = os.path.join(work, "cut.out")
            with open(out_path, "wb") as out:
                proc = subprocess.Popen(base + ["-flush", "block"], cwd=work, stdout=out,
                                        stderr=subprocess.DEVNULL)
                time.sleep(delay)
                proc.send_signal(signal.SIGTERM)
                status = proc.wait(timeout=60)
            data = open(out_path, "rb").read()
            check(status == -signal.SIGTERM or status == 0,
                  "SIGTERM ends a block-mode run by the signal (status %s)" % status)
            check(data == b"" or data.endswith(b"\n"), "a cut block-mode report ends at a line end")

        if os.path.exists("/dev/full"):
            with open("/dev/full", "wb") as full:
                p = subprocess.run(base + ["-flush", "block"], cwd=work, stdout=full, stderr=subprocess.PIPE,
                                   timeout=600)
            check(p.returncode == 1 and b"could not be written" in p.stderr,
                  "a block-mode report on a full device ends with status 1 and a message")
    return summary()


if __name__ == "__main__":
    sys.exit(main())
