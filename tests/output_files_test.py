#!/usr/bin/env python3
"""The result files against the file system:

  - every result file is checked before the input is read: a missing
    directory, a directory, an input file, the -cf file or another result
    file end the run at once with status 1, and nothing is overwritten;
  - devices such as /dev/null are written directly and may be named twice;
    a dangling symbolic link is not followed to create a result file;
  - a result file is whole or absent: SIGTERM (or SIGHUP) while -sites is being written
    ends the run by the signal (under either -flush mode, a signal is never
    lost), leaves no partial or temporary file, and keeps an older file of
    that name as it was;
  - a stopped report ends with a whole line, however long its lines;
  - names with tabs, line ends, control bytes and non-ASCII letters keep
    the table and the sites rectangular, the JSON and the page valid UTF-8
    (valid UTF-8 kept as it is).

  output_files_test.py --binary PATH
"""
import json
import os
import random
import signal
import subprocess
import sys
import tempfile
import time

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
    with open(os.path.join(d, "b.txt"), "rb") as stdin:
        p = subprocess.run([binary, "-f", "-", "-cf", "set.charclass", "-table", "b.txt"], cwd=d,
                           stdin=stdin, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=600)
    check(p.returncode == 1 and b"it is the input file - (standard input)" in p.stderr,
          "-table naming the file standard input reads is refused")
    check(open(os.path.join(d, "b.txt")).read() == SEQS, "the input named as -table is kept")
    check(open(os.path.join(d, "set.charclass")).read() == "alphabet= ACGT\n",
          "the -cf file named as -sites is kept")
    check(not os.path.exists(os.path.join(d, "s")), "no result file is written when one is refused")
    os.symlink(os.path.join(d, "nowhere", "x.tsv"), os.path.join(d, "dangling.tsv"))
    p = run(binary, base + ["-table", "dangling.tsv"], d)
    check(p.returncode == 1 and b"symbolic link to a file that does not exist" in p.stderr,
          "a dangling link as a result file is refused")
    p = run(binary, base + ["-table", "/dev/null", "-json", "/dev/null"], d)
    check(p.returncode == 0, "/dev/null may take two result files")


def protein_file(d):
    rng = random.Random(7)
    with open(os.path.join(d, "prot.txt"), "w") as f:
        for _ in range(3000):
            f.write("".join(rng.choice("ACDEFGHIKLMNPQRSTVWY") for _ in range(300)) + "\n")
    with open(os.path.join(d, "prot.charclass"), "w") as f:
        f.write("alphabet= ACDEFGHIKLMNPQRSTVWY\n")
    return ["-f", "prot.txt", "-cf", "prot.charclass"]


def test_stop_while_writing(binary, d, seqs):
    older = b"an older file\n"
    # SIGHUP is what a closed terminal or ssh connection sends.
    for mode, stop in (("line", signal.SIGTERM), ("block", signal.SIGTERM), ("line", signal.SIGHUP)):
        target = os.path.join(d, "sites.tsv")
        with open(target, "wb") as f:
            f.write(older)
        proc = subprocess.Popen([binary] + seqs + ["-minstrings", "20", "-maxlevel", "3",
                                                   "-sites", "sites.tsv", "-flush", mode],
                                cwd=d, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        writing, deadline = False, time.monotonic() + 120
        while proc.poll() is None and time.monotonic() < deadline:
            temps = [n for n in os.listdir(d) if n.startswith("sites.tsv.tmp")]
            if temps or os.path.getsize(target) != len(older):
                writing = True
                proc.send_signal(stop)
                break
            time.sleep(0.001)
        proc.wait(timeout=120)
        check(writing, "-flush %s: the run was seen writing -sites" % mode)
        check(proc.returncode == -stop,
              "-flush %s: signal %d during the write ends the run by the signal (status %s)"
              % (mode, stop, proc.returncode))
        check(open(target, "rb").read() == older,
              "-flush %s: a stopped write leaves the older file as it was" % mode)
        check(sorted(n for n in os.listdir(d) if n.startswith("sites.tsv")) == ["sites.tsv"],
              "-flush %s: a stopped write leaves no temporary file" % mode)


def test_stopped_report_whole_lines(binary, d, seqs, runs=12):
    """-showsets 4 prints lines of up to 7 megabytes (far more than a pipe
    takes at once, and more than the report's buffer); each run is stopped
    at another moment of its report."""
    torn = 0
    for k in range(runs):
        proc = subprocess.Popen([binary] + seqs + ["-minstrings", "300", "-maxlevel", "3",
                                                   "-showsets", "4"],
                                cwd=d, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        got = proc.stdout.read(200000 + 1500000 * k)
        proc.send_signal(signal.SIGTERM)
        rest = proc.stdout.read()
        proc.wait(timeout=120)
        out = got + rest
        if proc.returncode == -signal.SIGTERM and not out.endswith(b"\n"):
            torn += 1
    check(torn == 0, "a stopped report ends with a whole line (%d of %d runs did not)"
          % (torn, runs))


def test_names_escaped(binary, d):
    sub = os.path.join(d, "names")
    os.mkdir(sub)
    fasta = "t\tab\u00e9.fa".encode("utf-8")  # a tab and an e-acute in the file name
    with open(os.path.join(sub.encode(), fasta), "wb") as f:
        f.write(b">ctl\x01id\n" + b"ACGTAC\n" + b">caf\xc3\xa9\nACGTTT\n" + b">lat\xe9\nACGTAA\n")
    p = run(binary, ["-f", fasta.decode("utf-8"), "-format", "fasta", "-maxlevel", "2",
                     "-minstrings", "3", "-cf", "set.charclass", "-table", "t.tsv",
                     "-sites", "s.tsv", "-json", "r.json", "-html", "p.html"], sub)
    check(p.returncode == 0, "a run over odd names ends with status 0: %r" % p.stderr[-300:])
    table = open(os.path.join(sub, "t.tsv"), "rb").read().split(b"\n")[:-1]
    body = [l for l in table if not l.startswith(b"#")]
    check(body and all(l.count(b"\t") == body[0].count(b"\t") for l in body),
          "the table's lines outside its comment block all are rows of one width")
    check(any(b"t\\tab" in l for l in table if l.startswith(b"#")),
          "a tab in an input file's name is written \\t in the comment block")
    sites = open(os.path.join(sub, "s.tsv"), "rb").read().split(b"\n")[:-1]
    check(len(sites) > 1 and all(l.count(b"\t") == 6 for l in sites),
          "every sites row has 7 fields")
    check(any(b"ctl\\x01id" in l for l in sites), "a control byte of an identifier is escaped")
    check(any(b"caf\xc3\xa9" in l for l in sites), "UTF-8 identifiers are kept as they are")
    doc = json.loads(open(os.path.join(sub, "r.json"), "rb").read().decode("utf-8"))
    check(any("t\tab\u00e9.fa" in line for line in doc["provenance"]),
          "the JSON gives the file name back, e-acute and tab included")
    latin = os.path.join(sub.encode(), b"lat\xe9.fa")  # a Latin-1 byte, invalid UTF-8
    with open(latin, "wb") as f:
        f.write(b">a\nACGTAC\n>b\nACGTTT\n")
    p = subprocess.run([binary.encode(), b"-f", latin, b"-format", b"fasta", b"-maxlevel", b"2",
                        b"-minstrings", b"2", b"-cf", b"set.charclass", b"-html", b"p.html"],
                       cwd=sub, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, timeout=600)
    check(p.returncode == 0, "a run over a Latin-1 file name ends with status 0")
    try:
        open(os.path.join(sub, "p.html"), "rb").read().decode("utf-8")
        page_ok = True
    except UnicodeDecodeError:
        page_ok = False
    check(page_ok, "the page is valid UTF-8 though a name holds a Latin-1 byte")


def main():
    binary = paths()["binary"]
    with tempfile.TemporaryDirectory(prefix="morva_output_files_") as work:
        test_checked_before_search(binary, work)
        seqs = protein_file(work)
        test_stop_while_writing(binary, work, seqs)
        test_stopped_report_whole_lines(binary, work, seqs)
        test_names_escaped(binary, work)
    return summary()


if __name__ == "__main__":
    sys.exit(main())
