#!/usr/bin/env python3
"""The run on a machine shared with other users, tried as one of them would.

The runner and another user are two unprivileged ids (through setpriv when
the test is root; without root those parts are skipped). Whatever the other
user plants is planted while the run is blocked reading its standard input,
after its result names were checked, so nothing here waits on a clock:

  - in a sticky world-writable directory a link or a FIFO planted under a
    result name is refused when the file is written (status 1, the reason),
    and the file behind the link stays as it was;
  - temporary names cannot be guessed: files pre-made under the names a run
    of that process id would have used do not stop it;
  - a replaced file keeps the runner's own mode bits, never another user's;
  - a write-protected result file is refused before the search, as '>' would;
  - a name near the length limit is written, one past it refused before the
    search; -meme default.charclass without -cf is refused;
  - under -flush block, a stop signal acts while a pipe's input is read;
  - under an address-space limit, -threads 256 gives the report -threads 1
    gives (not under sanitizers, which reserve terabytes at start).

  shared_machine_test.py --binary PATH --examples DIR
"""
import os
import resource
import signal
import stat
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from checks import check, paths, run, summary  # noqa: E402

RUNNER, OTHER = 1000, 2000
SEARCH = ["-minstrings", "150", "-maxlevel", "4"]


class Blocked:
    """A run reading its input from a pipe this test holds: `plant` runs once
    the run has checked its names and waits for input."""

    def __init__(self, binary, cwd, args, as_runner=True):
        prefix = ["setpriv", "--reuid=%d" % RUNNER, "--regid=%d" % RUNNER,
                  "--clear-groups"] if as_runner else []
        self.proc = subprocess.Popen(prefix + [binary, "-f", "-"] + args, cwd=cwd,
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE)
        self.err = b""
        # The names are checked before the input files are echoed.
        while b"Input file nr 1" not in self.err:
            line = self.proc.stderr.readline()
            if not line:
                break
            self.err += line

    def finish(self, data, timeout=120):
        out, err = self.proc.communicate(data, timeout=timeout)
        self.err += err
        return self.proc.returncode, out, self.err


def owned(path, uid, mode=None):
    os.chown(path, uid, uid, follow_symlinks=False)
    if mode is not None:
        os.chmod(path, mode)


def test_planted_while_running(binary, work, seqs):
    shared = os.path.join(work, "shared")
    victim = os.path.join(work, "victim")
    os.mkdir(shared, 0o1777)
    os.chmod(shared, 0o1777)
    os.mkdir(victim)
    owned(victim, RUNNER, 0o755)
    v3 = os.path.join(victim, "v3.txt")
    with open(v3, "w") as f:
        f.write("keep\n")
    owned(v3, RUNNER, 0o644)

    # A link to a file of the runner's, and one to a file yet to be made.
    for name, target in (("out.tsv", v3), ("out.json", os.path.join(victim, "new.json"))):
        option = "-table" if name.endswith("tsv") else "-json"
        run_ = Blocked(binary, shared, SEARCH + ["-cf", "s.cc", option, name])
        link = os.path.join(shared, name)
        os.symlink(target, link)
        owned(link, OTHER)
        rc, _, err = run_.finish(seqs)
        check(rc == 1 and (b"morva: error: cannot write %s: it is a symbolic link owned by another "
                           b"user in a shared directory" % name.encode()) in err,
              "a link planted during the run is refused when %s is written (status %d)" % (name, rc))
        os.unlink(link)
    check(open(v3).read() == "keep\n", "the runner's file behind a planted link is left alone")
    check(not os.path.exists(os.path.join(victim, "new.json")),
          "no file is created behind a planted link")

    # Another user's FIFO: refused at once, neither fed nor waited on.
    run_ = Blocked(binary, shared, SEARCH + ["-cf", "s.cc", "-table", "out.tsv"])
    fifo = os.path.join(shared, "out.tsv")
    os.mkfifo(fifo, 0o666)
    owned(fifo, OTHER, 0o666)
    try:
        rc, _, err = run_.finish(seqs, timeout=60)
    except subprocess.TimeoutExpired:
        run_.proc.kill()
        rc, err = None, b""
    check(rc == 1 and b"cannot write out.tsv: it is a FIFO owned by another user" in err,
          "a FIFO planted during the run is refused without blocking (status %s)" % rc)
    os.unlink(fifo)

    # Every name of the old pattern for this process id, made in advance.
    run_ = Blocked(binary, shared, SEARCH + ["-cf", "s.cc", "-table", "out.tsv"])
    pid = run_.proc.pid
    for k in range(100):
        made = os.path.join(shared, "out.tsv.tmp%d_%d" % (pid, k))
        open(made, "w").close()
        owned(made, OTHER, 0o644)
    rc, _, err = run_.finish(seqs)
    check(rc == 0 and os.path.getsize(os.path.join(shared, "out.tsv")) > 0,
          "pre-made temporary names do not stop the run (status %d: %s)" % (rc, err[-200:]))
    check(not [n for n in os.listdir(shared) if n.startswith("out.tsv.tmp-")],
          "the run leaves no temporary file of its own")


def test_modes(binary, work, seqs):
    # A directory both users may write, not sticky: another user's file can
    # be replaced, but its permission bits must not come with it.
    common = os.path.join(work, "common")
    os.mkdir(common)
    os.chmod(common, 0o777)
    for name in ("out.tsv", "default.charclass"):
        path = os.path.join(common, name)
        with open(path, "w") as f:
            f.write("theirs\n")
        owned(path, OTHER, 0o666)
    rc, _, err = Blocked(binary, common, SEARCH + ["-table", "out.tsv"]).finish(seqs)
    check(rc == 0, "the run replaces another user's files in a common directory (%s)" % err[-200:])
    for name in ("out.tsv", "default.charclass"):
        st = os.stat(os.path.join(common, name))
        check(st.st_uid == RUNNER and stat.S_IMODE(st.st_mode) & 0o022 == 0,
              "%s replaced is the runner's, not writable by others (mode %o)"
              % (name, stat.S_IMODE(st.st_mode)))

    # The runner's own write-protected file, refused before the search.
    protected = os.path.join(common, "ro.tsv")
    with open(protected, "w") as f:
        f.write("older\n")
    owned(protected, RUNNER, 0o444)
    rc, out, err = Blocked(binary, common, SEARCH + ["-cf", "s.cc", "-table", "ro.tsv"]).finish(seqs)
    check(rc == 1 and b"cannot write ro.tsv: Permission denied" in err
          and b"Start the creation" not in out,
          "a write-protected result file is refused before the search (status %d)" % rc)
    check(open(protected).read() == "older\n", "the write-protected file is left as it was")


def test_names(binary, work, seqs):
    d = os.path.join(work, "names")
    os.mkdir(d)
    near = "n" * 246 + ".tsv"
    rc, _, err = Blocked(binary, d, SEARCH + ["-cf", "s.cc", "-table", near],
                         as_runner=False).finish(seqs)
    check(rc == 0 and os.path.getsize(os.path.join(d, near)) > 0,
          "a 250-character result name is written (status %d: %s)" % (rc, err[-200:]))
    past = "p" * 252 + ".tsv"
    p = run(binary, ["-f", "-", "-cf", "s.cc", "-table", past] + SEARCH, cwd=d, stdin=seqs)
    check(p.returncode == 1 and b"File name too long" in p.stderr and b"Start the creation" not in p.stdout,
          "a 256-character result name is refused before the search")
    p = run(binary, ["-f", "-", "-meme", "default.charclass"] + SEARCH, cwd=d, stdin=seqs)
    check(p.returncode == 1 and b"it is the character-set file default.charclass" in p.stderr,
          "-meme default.charclass without -cf is refused")


def test_stop_while_reading(binary, work, seqs):
    for mode in ("line", "block"):
        run_ = Blocked(binary, work, SEARCH + ["-cf", "s.cc", "-flush", mode], as_runner=False)
        run_.proc.send_signal(signal.SIGTERM)
        try:
            run_.proc.wait(timeout=60)
        except subprocess.TimeoutExpired:
            run_.proc.kill()
        run_.proc.stdin.close()
        check(run_.proc.wait() == -signal.SIGTERM,
              "-flush %s: SIGTERM ends a run that waits for its input" % mode)


def test_threads_under_limit(binary, examples):
    args = ["-f", os.path.join(examples, "abc_atpase.pos.txt"), "-f",
            os.path.join(examples, "abc_atpase.neg.txt"), "-wc", "1", "-maxwc", "4",
            "-minstrings", "80", "-maxlevel", "8", "-cf", "abc.cc"]
    with tempfile.TemporaryDirectory() as d:
        run(binary, args, cwd=d)  # the character set, read by the runs compared
        one = run(binary, args + ["-threads", "1"], cwd=d)

        def limit():
            resource.setrlimit(resource.RLIMIT_AS, (1000000 * 1024, 1000000 * 1024))
        for threads in ("256", "16"):
            many = subprocess.run([binary] + args + ["-threads", threads], cwd=d, capture_output=True,
                                  preexec_fn=limit, timeout=600)
            check(many.returncode == 0 and many.stdout == one.stdout,
                  "-threads %s under a 1 GB address-space limit gives the report of -threads 1 "
                  "(status %d: %s)" % (threads, many.returncode, many.stderr[-200:]))


def main():
    given = paths("examples")
    binary, examples = given["binary"], given["examples"]
    with open(os.path.join(examples, "abc_atpase.pos.txt"), "rb") as f:
        seqs = f.read()
    with open(binary, "rb") as f:
        sanitized = any(name in f.read() for name in (b"__asan_init", b"__tsan_init"))
    os.umask(0o022)
    with tempfile.TemporaryDirectory(prefix="morva_shared_") as work:
        os.chmod(work, 0o755)
        # -cf s.cc in the names directory, read back by the runs after the first.
        test_names(binary, work, seqs)
        test_stop_while_reading(binary, work, seqs)
        second_user = os.geteuid() == 0 and subprocess.run(
            ["setpriv", "--version"], capture_output=True).returncode == 0
        if second_user:
            test_planted_while_running(binary, work, seqs)
            test_modes(binary, work, seqs)
        else:
            print("skipped: a second user needs root and setpriv")
    if sanitized:
        print("skipped: address-space limits under a sanitizer")
    else:
        test_threads_under_limit(binary, examples)
    return summary()


if __name__ == "__main__":
    sys.exit(main())
