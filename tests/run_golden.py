#!/usr/bin/env python3
"""End-to-end golden tests for morva.

A case is a folder:
  args             the command line after the program name (shell words, one line)
  in/              files copied into a fresh temporary working directory
  stdin            optional: bytes given to the run on standard input
  expected.stdout  expected standard output
  expected.stderr  expected standard error
  expected.status  expected exit status
  expected.files/  optional: files the run must leave in the working directory

The program runs with argv[0] = "morva" so that help texts are stable.  The
banner's version line carries the build date and is the only thing masked.

  run_golden.py --binary PATH CASE...       run cases
  run_golden.py --binary PATH --update CASE regenerate expected files (review the diff!)
  run_golden.py --check-layout GOLDEN_DIR   report files that no case uses
  run_golden.py --binary PATH --prepend 'WORDS' CASE...
                                            run cases with WORDS before their own
                                            arguments, which must change nothing
                                            (-threads N): the words where a result
                                            file echoes the command, and the warning
                                            that names them, are taken out first
"""
import argparse
import difflib
import os
import shlex
import shutil
import subprocess
import sys
import tempfile

VERSION_PREFIX = b"# Version morva_0.1.05 translated "
KNOWN = {"args", "in", "stdin", "expected.stdout", "expected.stderr", "expected.status",
         "expected.files", "README"}


def mask(data: bytes) -> bytes:
    out = []
    for line in data.split(b"\n"):
        if line.startswith(VERSION_PREFIX):
            line = VERSION_PREFIX + b"<build date>"
        out.append(line)
    return b"\n".join(out)


def show_diff(what, expected: bytes, actual: bytes):
    exp = expected.decode("latin-1").splitlines(keepends=True)
    act = actual.decode("latin-1").splitlines(keepends=True)
    diff = list(difflib.unified_diff(exp, act, "expected " + what, "actual " + what, n=2))
    sys.stdout.write("".join(diff[:200]))
    if len(diff) > 200:
        sys.stdout.write("... (%d more diff lines)\n" % (len(diff) - 200))
    if not diff:
        sys.stdout.write("%s differs only in line ends or trailing bytes\n" % what)


def without_prepended(data: bytes, words) -> bytes:
    if not words:
        return data
    echoed = (" " + " ".join(words)).encode()
    lines = [line for line in data.split(b"\n")
             if not line.startswith(b"morva: warning: " + echoed[1:] + b":")]
    return b"\n".join(lines).replace(echoed, b"")


def run_case(binary, case, update, prepend=()):
    with open(os.path.join(case, "args"), encoding="utf-8") as f:
        args = list(prepend) + shlex.split(f.read())
    with tempfile.TemporaryDirectory(prefix="morva_golden_") as work:
        indir = os.path.join(case, "in")
        if os.path.isdir(indir):
            for name in os.listdir(indir):
                src = os.path.join(indir, name)
                if os.path.isdir(src):
                    shutil.copytree(src, os.path.join(work, name))
                else:
                    shutil.copy(src, os.path.join(work, name))
        stdin_path = os.path.join(case, "stdin")
        given = open(stdin_path, "rb").read() if os.path.exists(stdin_path) else b""
        proc = subprocess.run(["morva"] + args, executable=os.path.abspath(binary),
                              cwd=work, input=given,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=600)
        got = {"expected.stdout": mask(without_prepended(proc.stdout, prepend)),
               "expected.stderr": without_prepended(proc.stderr, prepend),
               "expected.status": b"%d\n" % proc.returncode}
        expdir = os.path.join(case, "expected.files")
        produced = {}
        if os.path.isdir(expdir):
            for name in os.listdir(expdir):
                path = os.path.join(work, name)
                produced[name] = (without_prepended(open(path, "rb").read(), prepend)
                                  if os.path.exists(path) else None)

    if update:
        for name, data in got.items():
            with open(os.path.join(case, name), "wb") as f:
                f.write(data)
        for name, data in produced.items():
            if data is not None:
                with open(os.path.join(expdir, name), "wb") as f:
                    f.write(data)
        return True

    ok = True
    for name, data in got.items():
        path = os.path.join(case, name)
        expected = open(path, "rb").read() if os.path.exists(path) else b""
        if name == "expected.stdout":
            expected = mask(expected)
        if expected != data:
            ok = False
            print("MISMATCH in %s of %s" % (name, case))
            show_diff(name, expected, data)
    for name, data in produced.items():
        expected = open(os.path.join(expdir, name), "rb").read()
        if data is None:
            ok = False
            print("MISSING output file %s" % name)
        elif data != expected:
            ok = False
            print("MISMATCH in output file %s" % name)
            show_diff(name, expected, data)
    return ok


def check_layout(golden_dir):
    ok = True
    for case in sorted(os.listdir(golden_dir)):
        path = os.path.join(golden_dir, case)
        if not os.path.isdir(path):
            print("stray file in golden folder:", case)
            ok = False
            continue
        names = set(os.listdir(path))
        for required in ("args", "expected.stdout", "expected.stderr", "expected.status"):
            if required not in names:
                print("%s: missing %s" % (case, required))
                ok = False
        for extra in sorted(names - KNOWN):
            print("%s: file %s is used by nothing (inputs belong in in/)" % (case, extra))
            ok = False
    return ok


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--binary")
    ap.add_argument("--update", action="store_true")
    ap.add_argument("--check-layout", action="store_true")
    ap.add_argument("--prepend", default="")
    ap.add_argument("cases", nargs="+")
    opts = ap.parse_args()
    if opts.check_layout:
        return 0 if all(check_layout(c) for c in opts.cases) else 1
    prepend = shlex.split(opts.prepend)
    if prepend and opts.update:
        ap.error("--update writes what a case expects, which --prepend must not change")
    ok = True
    for case in opts.cases:
        ok = run_case(opts.binary, case.rstrip("/"), opts.update, prepend) and ok
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
