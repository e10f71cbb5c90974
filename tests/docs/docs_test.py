#!/usr/bin/env python3
"""Keeps the documentation in doc/ from drifting away from the program.

Usage: docs_test.py --binary PATH --root REPO

1. Worked examples. In every doc/*.md, a fenced ```sh block that is followed
   (after prose, if any, but before the next ```sh block) by one or more
   fenced ```text blocks is an example: the sh block holds one command
   (backslash line continuations allowed, no pipes or redirections), the text
   blocks excerpts of its output. A text block whose info string says
   `file=build/NAME` is an excerpt of that file, else of standard output.
   The command is run with the repository root as working directory, the word
   `build/morva` replaced by the binary and every other word (or `-opt=`
   value) beginning with `build/` sent into a fresh temporary directory. It
   must exit with status 0, and every non-blank excerpt line other than `...`
   must be a line of the output (blanks and tabs compared as one blank; the
   temporary directory is written back as `build/` before comparing).
   doc/examples.md must hold at least three examples.
2. The man page: `groff -man -ww -z doc/morva.1` prints nothing and exits 0
   (skipped with a message if groff is missing). That every option word of
   the option table is documented in it is checked by the unit test
   tests/unit/option_table_help_test.cpp, which reads the table itself.
"""
import argparse
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile

FENCE = re.compile(r"^```(\S*)[ \t]*(.*)$")


def blocks_of(text):
    """Yields (language, info, body_lines, first_line_number) of fenced blocks."""
    lines = text.split("\n")
    i = 0
    while i < len(lines):
        m = FENCE.match(lines[i])
        if not m:
            i += 1
            continue
        lang, info, start = m.group(1), m.group(2), i + 1
        body = []
        i += 1
        while i < len(lines) and lines[i].rstrip() != "```":
            body.append(lines[i])
            i += 1
        if i >= len(lines):
            raise SystemExit("unclosed fenced block at line %d" % start)
        i += 1
        yield lang, info, body, start


def examples_of(path):
    """Pairs each ```sh block with the ```text blocks that follow it."""
    with open(path, encoding="utf-8") as f:
        text = f.read()
    examples = []
    current = None
    for lang, info, body, line in blocks_of(text):
        if lang == "sh":
            current = {"command": body, "line": line, "excerpts": []}
            examples.append(current)
        elif lang == "text" and current is not None:
            m = re.search(r"\bfile=(\S+)", info)
            current["excerpts"].append((m.group(1) if m else None, body, line))
    return [e for e in examples if e["excerpts"]]


def command_words(body):
    joined = ""
    for line in body:
        stripped = line.strip()
        if not stripped or stripped.startswith("#"):
            continue
        if stripped.endswith("\\"):
            joined += stripped[:-1] + " "
        else:
            joined += stripped + " "
    words = shlex.split(joined)
    for w in words:
        if w in ("|", ">", ">>", "<", "&&", ";") or w.startswith((">", "<", "|")):
            raise ValueError("only a single command is supported, found %r" % w)
    return words


def localise(word, binary, scratch):
    if word == "build/morva":
        return binary
    if word.startswith("build/"):
        return os.path.join(scratch, word[len("build/"):])
    return word


def normalise(line):
    return " ".join(line.split())


def check_example(path, example, binary, root, failures):
    where = "%s:%d" % (os.path.relpath(path, root), example["line"])
    try:
        words = command_words(example["command"])
    except ValueError as e:
        failures.append("%s: %s" % (where, e))
        return
    if not words or words[0] != "build/morva":
        failures.append("%s: an example command must start with build/morva" % where)
        return
    scratch = tempfile.mkdtemp(prefix="morva_docs_")
    try:
        argv = [localise(w, binary, scratch) for w in words]
        run = subprocess.run(argv, cwd=root, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                             timeout=300)
        if run.returncode != 0:
            failures.append("%s: exit status %d\n  command: %s\n  stderr: %s" % (
                where, run.returncode, " ".join(words),
                run.stderr.decode("utf-8", "replace")[-2000:]))
            return
        for name, body, line in example["excerpts"]:
            if name is None:
                output = run.stdout.decode("utf-8", "replace")
                source = "standard output"
            else:
                file_path = localise(name, binary, scratch)
                if not os.path.exists(file_path):
                    failures.append("%s: the command wrote no %s" % (where, name))
                    continue
                with open(file_path, encoding="utf-8", errors="replace") as f:
                    output = f.read()
                source = name
            output = output.replace(scratch + "/", "build/")
            have = set(normalise(l) for l in output.split("\n"))
            for offset, excerpt_line in enumerate(body, start=1):
                wanted = normalise(excerpt_line)
                if not wanted or wanted == "...":
                    continue
                if wanted not in have:
                    failures.append("%s:%d: not in %s of `%s`:\n  %s" % (
                        os.path.relpath(path, root), line + offset, source, " ".join(words),
                        excerpt_line))
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


def check_man_page(root, failures):
    page = os.path.join(root, "doc", "morva.1")
    if not os.path.exists(page):
        failures.append("doc/morva.1 is missing")
        return
    if shutil.which("groff") is None:
        print("groff not found: the man page is not rendered (skipped)")
    else:
        run = subprocess.run(["groff", "-man", "-ww", "-z", page], stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT)
        said = run.stdout.decode("utf-8", "replace")
        if run.returncode != 0 or said.strip():
            failures.append("groff -man -ww -z doc/morva.1 (status %d):\n%s" % (run.returncode, said))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--binary", required=True)
    parser.add_argument("--root", required=True)
    args = parser.parse_args()
    binary = os.path.abspath(args.binary)
    root = os.path.abspath(args.root)
    failures = []

    doc = os.path.join(root, "doc")
    counts = {}
    for name in sorted(os.listdir(doc)):
        if not name.endswith(".md"):
            continue
        path = os.path.join(doc, name)
        examples = examples_of(path)
        counts[name] = len(examples)
        for example in examples:
            check_example(path, example, binary, root, failures)
    if counts.get("examples.md", 0) < 3:
        failures.append("doc/examples.md holds %d examples, fewer than 3" % counts.get("examples.md", 0))

    check_man_page(root, failures)

    for name, n in counts.items():
        print("doc/%s: %d example(s) run" % (name, n))
    if failures:
        print("\n".join("FAIL " + f for f in failures))
        return 1
    print("docs: ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())
