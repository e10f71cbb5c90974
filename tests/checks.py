"""What the script tests share: checks that record a failure and go on, so
that one run lists every fault, and the summary that sets the exit status."""
import argparse
import os
import subprocess

FAILURES = []


def check(condition, what):
    if not condition:
        FAILURES.append(what)
        print("FAILED:", what)


def run(binary, args, cwd=None, stdin=None):
    return subprocess.run([binary] + args, cwd=cwd, input=stdin, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, timeout=600)


def summary():
    print("%d failures" % len(FAILURES))
    return 1 if FAILURES else 0


def paths(*names):
    """The command line of a script test: --binary and the given --NAME
    options, each made an absolute path."""
    ap = argparse.ArgumentParser()
    for name in ("binary",) + names:
        ap.add_argument("--" + name, required=True)
    return {k: os.path.abspath(v) for k, v in vars(ap.parse_args()).items()}
