#!/usr/bin/env python3
"""Rebuilds the seed corpora under fuzz/corpus/ from the golden test cases.

fuzz_charset: the character-set files of the cases; fuzz_input: their
sequence files behind a flags byte (format, -revcomp, gzip, ...);
fuzz_options: their command lines; fuzz_run: command line and files in the
form fuzz_run.cpp reads. Cases are taken in name order, spread over the
subsystems, and only small ones, so that the corpus stays small.
"""
import hashlib
import pathlib
import shutil

ROOT = pathlib.Path(__file__).resolve().parent.parent
GOLDEN = ROOT / "tests" / "golden"
OUT = ROOT / "fuzz" / "corpus"
PER_TARGET = 40
RUN_LIMIT = 3000


def store(target, data):
    directory = OUT / target
    directory.mkdir(parents=True, exist_ok=True)
    (directory / hashlib.sha1(data).hexdigest()[:16]).write_bytes(data)


def spread(items, n):
    if len(items) <= n:
        return items
    step = len(items) / n
    return [items[int(i * step)] for i in range(n)]


def main():
    if OUT.exists():
        shutil.rmtree(OUT)
    cases = sorted(p for p in GOLDEN.iterdir() if (p / "args").is_file())

    charsets, sequences = [], []
    for case in cases:
        for f in sorted((case / "in").glob("*")) if (case / "in").is_dir() else []:
            data = f.read_bytes()
            if len(data) > 8000:
                continue
            if f.suffix in (".cf", ".charclass"):
                charsets.append(data)
            else:
                sequences.append((f, data))
    for data in spread(sorted(set(charsets)), PER_TARGET):
        store("fuzz_charset", data)

    # The flags byte: bits 0-1 format by file name, then a varying mix of
    # -revcomp, gzip, groups, two files and compared classes.
    chosen = spread(sequences, PER_TARGET)
    for i, (f, data) in enumerate(chosen):
        name = f.name
        if name.endswith(".gz"):
            fmt = 3  # auto over the compressed bytes as they are
        elif f.suffix == ".fa":
            fmt = 1
        elif f.suffix == ".fq":
            fmt = 2
        else:
            fmt = 0 if i % 3 else 3
        extra = [0, 4, 8, 16, 32, 64, 128, 64 | 128][i % 8]
        store("fuzz_input", bytes([fmt | extra]) + data)

    for case in spread(cases, PER_TARGET):
        store("fuzz_options", (case / "args").read_bytes())

    run_cases = []
    for case in cases:
        text = (case / "args").read_bytes().split(b"\n")[0] + b"\n"
        for f in sorted((case / "in").glob("*")) if (case / "in").is_dir() else []:
            text += b"%%% " + f.name.encode() + b"\n" + f.read_bytes()
            if not text.endswith(b"\n"):
                text += b"\n"
        if len(text) <= RUN_LIMIT:
            run_cases.append(text)
    for text in spread(run_cases, PER_TARGET):
        store("fuzz_run", text)


if __name__ == "__main__":
    main()
