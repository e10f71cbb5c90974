"""What the script tests share: checks that record a failure and go on, so
that one run lists every fault, and the summary that sets the exit status."""
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
