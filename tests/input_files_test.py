#!/usr/bin/env python3
"""What the input stage does to the file system and across formats, beyond
what one golden case can show:

  - a run that cannot write default.charclass goes on with the set in memory;
    a -cf or -cfonly file that cannot be written stays fatal;
  - -cfonly rewrites a file through its symbolic link and keeps its mode
    bits (never a set-ID bit);
  - in a shared sticky directory a link planted by another user is refused,
    and a dangling link is never followed to create a file;
  - runs started together in one directory each use their own character set;
  - a BGZF file cut at a block boundary (no end-of-file marker) is named in
    a warning, read from a file or a pipe;
  - a whole family as multi-line (gzip) FASTA reports the same patterns as
    its one-sequence-per-line form.

  input_files_test.py --binary PATH --examples DIR
"""
import gzip
import os
import struct
import stat
import subprocess
import sys
import tempfile
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from checks import check, paths, run, summary  # noqa: E402



def report_body(stdout):
    """The report without the lines that name the input files."""
    return [l for l in stdout.decode("latin-1").split("\n")
            if not l.startswith("# Version") and not l.startswith("# Input file")
            and "-ms:" not in l]


def unwritable_directory(work):
    """A working directory where no file can be created, even by root."""
    if os.geteuid() == 0:
        return "/proc"
    path = os.path.join(work, "readonly")
    os.mkdir(path)
    os.chmod(path, 0o555)
    return path


def test_unwritable_directory(binary, work):
    seqs = os.path.join(work, "ro.txt")
    with open(seqs, "w") as f:
        f.write("ACGTAC\nACGTTT\nTACGTA\n")
    cwd = unwritable_directory(work)
    p = run(binary, ["-f", seqs, "-minstrings", "3", "-maxlevel", "3"], cwd)
    check(p.returncode == 0, "a run in an unwritable directory ends with status 0")
    check(b"morva: warning: could not write default.charclass (" in p.stderr,
          "the unwritable default.charclass is reported as a warning")
    check(b"ACG 3/3" in p.stdout, "the run in an unwritable directory still reports ACG")
    for args in (["-cf", "named.charclass"], ["-cfonly", "1"]):
        p = run(binary, ["-f", seqs] + args, cwd)
        check(p.returncode == 1 and b"Couldn't open file  " in p.stderr,
              "an unwritable file asked for with %s is fatal" % args[0])


def test_cfonly_through_link(binary, work):
    d = os.path.join(work, "link")
    os.makedirs(os.path.join(d, "sets"))
    with open(os.path.join(d, "seq.txt"), "w") as f:
        f.write("MKV\n")
    target = os.path.join(d, "sets", "real.charclass")
    with open(target, "w") as f:
        f.write("alphabet= X\n")
    os.chmod(target, 0o640)
    os.symlink("sets/real.charclass", os.path.join(d, "my.charclass"))
    p = run(binary, ["-f", "seq.txt", "-cfonly", "1", "-cf", "my.charclass"], d)
    check(p.returncode == 0, "-cfonly through a link ends with status 0")
    check(os.path.islink(os.path.join(d, "my.charclass")), "-cfonly keeps the symbolic link")
    check(b"alphabet= KMV" in open(target, "rb").read(), "-cfonly writes the link's target")
    check(stat.S_IMODE(os.stat(target).st_mode) == 0o640, "-cfonly keeps the file's mode")
    os.chmod(target, 0o6775)
    p = run(binary, ["-f", "seq.txt", "-cfonly", "1", "-cf", "my.charclass"], d)
    check(stat.S_IMODE(os.stat(target).st_mode) == 0o775,
          "-cfonly drops the set-ID bits of the file it replaces")
    check(sorted(os.listdir(os.path.join(d, "sets"))) == ["real.charclass"],
          "-cfonly leaves no temporary file")


def test_planted_links(binary, work):
    """Run as an unprivileged user (through setpriv when the test is root) in
    a sticky world-writable directory where another user planted links."""
    if os.geteuid() != 0 or subprocess.run(["setpriv", "--version"],
                                           capture_output=True).returncode != 0:
        print("skipped: planted links need root and setpriv")
        return
    runner, other = 1000, 2000
    shared = os.path.join(work, "shared")
    victim = os.path.join(work, "victim")
    os.mkdir(shared)
    os.chmod(shared, 0o1777)
    os.mkdir(victim)
    own = os.path.join(victim, "own.txt")
    with open(own, "w") as f:
        f.write("keep\n")
    for path in (victim, own):
        os.chown(path, runner, runner)
    os.chmod(work, 0o755)
    with open(os.path.join(shared, "s.txt"), "w") as f:
        f.write("ACGT\nACGA\n")
    os.chmod(os.path.join(shared, "s.txt"), 0o644)

    def as_runner(args):
        return run("setpriv", ["--reuid=%d" % runner, "--regid=%d" % runner, "--clear-groups",
                               binary, "-f", "s.txt", "-minstrings", "2", "-maxlevel", "2"] + args,
                   shared)

    planted = os.path.join(shared, "default.charclass")
    os.symlink(own, planted)
    os.chown(planted, other, other, follow_symlinks=False)
    p = as_runner([])
    check(p.returncode == 1 and b"morva: error: not writing default.charclass" in p.stderr,
          "a link another user planted in a shared directory is refused")
    check(open(own).read() == "keep\n", "the file behind a planted link is left alone")
    os.rename(planted, os.path.join(shared, "t.tsv"))
    p = as_runner(["-cf", "set.charclass", "-table", "t.tsv"])
    check(p.returncode == 1 and b"t.tsv: it is a symbolic link owned by another user" in p.stderr,
          "a result file through a link another user planted is refused")
    check(open(own).read() == "keep\n", "the file behind a planted result link is left alone")
    os.unlink(os.path.join(shared, "t.tsv"))

    dangling = os.path.join(shared, "dang.charclass")
    os.symlink(os.path.join(victim, "new.txt"), dangling)
    os.chown(dangling, runner, runner, follow_symlinks=False)
    p = as_runner(["-cf", "dang.charclass"])
    check(p.returncode == 1 and b"does not exist, and is not followed" in p.stderr,
          "-cf naming a dangling link is fatal, with the reason")
    os.rename(dangling, planted)
    p = as_runner([])
    check(p.returncode == 0 and b"morva: warning: could not write default.charclass" in p.stderr,
          "a dangling default.charclass link is a warning")
    check(not os.path.exists(os.path.join(victim, "new.txt")),
          "a dangling link is never followed to create a file")


BGZF_EOF = bytes.fromhex("1f8b08040000000000ff0600424302001b0003000000000000000000")


def bgzf_block(data):
    """One BGZF block: a gzip member whose extra field holds its size."""
    raw = zlib.compressobj(6, zlib.DEFLATED, -15)
    body = raw.compress(data) + raw.flush()
    size = 18 + len(body) + 8
    header = b"\x1f\x8b\x08\x04\0\0\0\0\0\xff\x06\0BC\x02\0" + struct.pack("<H", size - 1)
    return header + body + struct.pack("<II", zlib.crc32(data), len(data))


def test_bgzf_without_eof(binary, work):
    d = os.path.join(work, "bgzf")
    os.mkdir(d)
    records = [b">s%d\nACGTTGCA%s\n" % (i, b"ACGT"[i % 4:i % 4 + 1]) for i in range(300)]
    blocks = [bgzf_block(b"".join(records[i:i + 100])) for i in range(0, 300, 100)]
    whole = b"".join(blocks) + BGZF_EOF
    with open(os.path.join(d, "whole.fa.gz"), "wb") as f:
        f.write(whole)
    with open(os.path.join(d, "cut.fa.gz"), "wb") as f:
        f.write(b"".join(blocks[:2]))
    args = ["-format", "fasta", "-maxlevel", "1", "-cf", "set.charclass"]
    warned = b"morva: warning: %s: the BGZF file has no end-of-file marker"
    p = run(binary, ["-f", "whole.fa.gz"] + args, d)
    check(p.returncode == 0 and b"BGZF" not in p.stderr and b"Read in total 300 " in p.stderr,
          "a whole BGZF file reads without a warning")
    p = run(binary, ["-f", "cut.fa.gz"] + args, d)
    check(warned % b"cut.fa.gz" in p.stderr, "a BGZF file cut at a block boundary is warned of")
    p = run(binary, ["-f", "-"] + args, d, stdin=whole)
    check(p.returncode == 0 and b"BGZF" not in p.stderr, "a whole BGZF stream reads without a warning")
    p = run(binary, ["-f", "-"] + args, d, stdin=b"".join(blocks[:2]))
    check(warned % b"-" in p.stderr, "a cut BGZF stream is warned of")
    p = run(binary, ["-f", "-"] + args, d, stdin=gzip.compress(b"".join(records)))
    check(p.returncode == 0 and b"BGZF" not in p.stderr, "plain gzip needs no end-of-file marker")


def test_fastq_inside_fasta(binary, work):
    d = os.path.join(work, "fastq_in_fasta")
    os.mkdir(d)
    fasta = b">a first\nACGTAC\nGGTACC\n"
    fastq = b"@r1\nACGT\n+\nIIII\n@r2\nACGA\n+r2\n!!!!\n"
    with open(os.path.join(d, "ab.fa"), "wb") as f:
        f.write(fasta + fastq)
    with gzip.open(os.path.join(d, "ab.fa.gz"), "wb") as f:
        f.write(fasta.replace(b"\n", b"\r\n") + fastq.replace(b"\n", b"\r\n"))
    for name, fmt in (("ab.fa", "fasta"), ("ab.fa.gz", "auto")):
        p = run(binary, ["-f", name, "-format", fmt, "-maxlevel", "1", "-cf", "s.charclass"], d)
        check(p.returncode == 1 and
              b"morva: error: %s: line 4: a FASTQ record ('@' line, sequence line, '+' line) "
              b"inside FASTA input" % name.encode() in p.stderr and
              b"Patterns" not in p.stdout,
              "FASTQ appended to FASTA (%s) is refused at its '@' line" % name)
    # '@' and '+' lines that do not make the three lines of a FASTQ record
    # stay sequence text, as before.
    legit = (b">a\n@CCCC\n>b\n+ACGT\n>c\nAC\n@\n\n+\n>d\nGG\n@A\n@C\n+\n"
             b">e\n@T\n>f\nA+\n+G\n")
    with open(os.path.join(d, "legit.fa"), "wb") as f:
        f.write(legit)
    p = run(binary, ["-f", "legit.fa", "-format", "fasta", "-maxlevel", "1", "-cf", "l.charclass"], d)
    check(p.returncode == 0 and b"Read in total 6 examples" in p.stderr,
          "'@' and '+' lines outside that order are read as sequence")


def test_many_copies(binary, work):
    d = os.path.join(work, "copies")
    os.mkdir(d)
    lines = []
    for i in range(3000):
        lines.append("ACGTACGT %s\n" % ("a" if i % 3 else "b"))
        lines.append("%s a\n" % "".join("ACGT"[(i >> (2 * k)) & 3] for k in range(8)))
    with open(os.path.join(d, "copies.txt"), "w") as f:
        f.write("".join(lines))
    args = ["-f", "copies.txt", "-maxlevel", "1", "-cf", "c.charclass"]
    p = run(binary, args, d)
    # The distinct lines spell i < 3000 in base 4, never ACGTACGT (i = 0xE4E4 in
    # that spelling), so class a has 2000 lines of it (1999 copies) and b 1000.
    check(p.returncode == 0 and
          b"class a: 1999 sequences are copies of others in the class" in p.stderr and
          b"class b: 999 sequences are copies of others in the class" in p.stderr,
          "thousands of copies are counted once each, per class")
    p = run(binary, args + ["-dedup"], d)
    check(p.returncode == 0 and b"Read in total 3002 examples" in p.stderr and
          b"class a: -dedup dropped 1999 copies" in p.stderr,
          "-dedup keeps one of each of thousands of copies")


def test_messages_name_the_reason(binary, work):
    """The classic fatal lines stay as they are; a warning line before them
    says why, and no raw control byte of an argument is echoed."""
    d = os.path.join(work, "reasons")
    os.mkdir(d)
    with open(os.path.join(d, "a.txt"), "w") as f:
        f.write("ACGTAC\nACGTTT\n" * 200)
    # A full file system, as the file-size limit gives it: the charset
    # file cannot be written.
    def small_files():
        import resource
        import signal
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        resource.setrlimit(resource.RLIMIT_FSIZE, (64, 64))
    p = subprocess.run([binary, "-f", "a.txt", "-cf", "new.cc"], cwd=d, stdout=subprocess.PIPE,
                       stderr=subprocess.PIPE, preexec_fn=small_files, timeout=60)
    check(p.returncode == 1 and
          b"morva: warning: cannot write new.cc: File too large\nCouldn't open file  new.cc\n"
          in p.stderr, "a charset file that cannot be written is refused with the reason")
    # A gzip file cut inside its header, and one cut inside its data.
    packed = gzip.compress(open(os.path.join(d, "a.txt"), "rb").read())
    for cut in (12, len(packed) - 9):
        with open(os.path.join(d, "cut.gz"), "wb") as f:
            f.write(packed[:cut])
        p = run(binary, ["-f", "cut.gz", "-cf", "c.cc"], d)
        check(p.returncode == 1 and
              b"morva: warning: cut.gz: the gzip stream is truncated or corrupt\n"
              b"Can't read input file cut.gz\n" in p.stderr and b"zero byte" not in p.stderr,
              "a gzip file cut after %d bytes is said to be truncated" % cut)
    p = run(binary, ["-f", "a.txt", "-mask", "X\x01\x1b[2J"], d)
    check(p.returncode == 1 and b'-mask "X\\x01\\x1B[2J": the character \\x01 cannot' in p.stderr
          and b"\x1b" not in p.stderr, "-mask is echoed with its control bytes escaped")


def test_concurrent_runs(binary, work, rounds=20):
    d = os.path.join(work, "together")
    os.mkdir(d)
    inputs = {"dna.txt": "ACGTACGT\nACGTTTGA\nGGACGTA\n",
              "protein.txt": "MKVLAW\nMKVQQW\nPMKVEE\n"}
    for name, text in inputs.items():
        with open(os.path.join(d, name), "w") as f:
            f.write(text)
    args = ["-minstrings", "3", "-maxlevel", "4"]
    alone = {}
    for name in inputs:
        solo = os.path.join(work, "solo_" + name)
        os.mkdir(solo)
        alone[name] = report_body(run(binary, ["-f", os.path.join(d, name)] + args, solo).stdout)
    bad = 0
    for _ in range(rounds):
        procs = {name: subprocess.Popen([binary, "-f", name] + args, cwd=d, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE) for name in inputs}
        for name, proc in procs.items():
            out, _ = proc.communicate(timeout=600)
            if proc.returncode != 0 or report_body(out) != alone[name]:
                bad += 1
    check(bad == 0, "runs started together in one directory use their own character sets "
                    "(%d of %d runs differed)" % (bad, 2 * rounds))


def test_fasta_equals_lines(binary, work, examples):
    d = os.path.join(work, "family")
    os.mkdir(d)
    names = []
    for part in ("pos", "neg"):
        src = os.path.abspath(os.path.join(examples, "abc_atpase.%s.txt" % part))
        seqs = [l.split()[0] for l in open(src) if l.strip()]
        records = []
        for i, s in enumerate(seqs, 1):
            records.append(">%s_%d\n" % (part, i))
            records += [s[j:j + 60] + "\n" for j in range(0, len(s), 60)]
        with gzip.open(os.path.join(d, part + ".fa.gz"), "wt") as f:
            f.write("".join(records))
        names.append(src)
    args = ["-minstrings", "60", "-maxlevel", "8", "-showratio", "1", "-binomial_prob", "1e-5"]
    lines = run(binary, ["-f", names[0], "-f", names[1]] + args, d)
    fasta = run(binary, ["-f", "pos.fa.gz", "-f", "neg.fa.gz", "-format", "auto"] + args, d)
    check(lines.returncode == 0 and fasta.returncode == 0, "both forms of the family run")
    check(report_body(lines.stdout) == report_body(fasta.stdout),
          "multi-line gzip FASTA and the line format give the same report")
    check(b"LSGGQ" in fasta.stdout, "the ABC signature is found in the FASTA form")


def main():
    given = paths("examples")
    binary = given["binary"]
    with tempfile.TemporaryDirectory(prefix="morva_input_files_") as work:
        test_unwritable_directory(binary, work)
        test_cfonly_through_link(binary, work)
        test_planted_links(binary, work)
        test_bgzf_without_eof(binary, work)
        test_fastq_inside_fasta(binary, work)
        test_many_copies(binary, work)
        test_messages_name_the_reason(binary, work)
        test_concurrent_runs(binary, work)
        test_fasta_equals_lines(binary, work, given["examples"])
        ro = os.path.join(work, "readonly")
        if os.path.isdir(ro):
            os.chmod(ro, 0o755)
    return summary()


if __name__ == "__main__":
    sys.exit(main())
