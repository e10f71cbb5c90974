#!/usr/bin/env python3
"""Rebuilds the seed corpora under fuzz/corpus/ from the golden test cases.

fuzz_charset: the character-set files of the cases; fuzz_input: their
sequence files behind a flags byte (format, -revcomp, gzip, ...);
fuzz_options: their command lines; fuzz_run: command line and files in the
form fuzz_run.cpp reads, plus runs that write every result file (and name
an input or one file twice, which must be refused) and runs of every option
no golden case gives (-meme, -flank, -mask, -threads, ...); fuzz_reader: the FASTA
and FASTQ forms the strict reader accepts and refuses. Cases are taken in
name order, spread over the subsystems, and only small ones, so that the
corpus stays small.
"""
import hashlib
import pathlib
import shutil

ROOT = pathlib.Path(__file__).resolve().parent.parent
GOLDEN = ROOT / "tests" / "golden"
OUT = ROOT / "fuzz" / "corpus"
PER_TARGET = 40
RUN_LIMIT = 3000


# Runs with the result files; fuzz_run.cpp maps their names into its
# scratch directory (a name equal to an input file's becomes that file).
RESULT_RUNS = [
    b"-f a.txt -minstrings 2 -maxlevel 3 -table t.tsv -json r.json -sites s.tsv -html p.html\n"
    b"%%% a.txt\nACGTAC\nACGTTT\nTACGTA\n",
    b"-f a.fa -format fasta -minstrings 2 -top 3 -trim_wc -wc 1 -table t.tsv -sites s.tsv\n"
    b"%%% a.fa\n>x\\ty\nACGTAC\n>caf\xc3\xa9\nACGTTT\n>lat\xe9\nGACGT\n",
    b"-f a.txt -f b.txt -minstrings 2 -maximal -distinct -json r.json -html p.html -showratio 1\n"
    b"%%% a.txt\nACGTAC\nACGTTT\n%%% b.txt\nTTTT\nACGA\n",
    b"-f a.txt -minstrings 2 -table a.txt\n%%% a.txt\nACGTAC\nACGTTT\n",
    b"-f a.txt -minstrings 2 -table s -json s -flush block\n%%% a.txt\nACGTAC\nACGTTT\n",    b"-f a.txt -f b.txt -minstrings 1 -maxlevel 4 -fwer 0.05 -wy 50 -seed 3 -fdr 0.1 -prosite -table t.tsv -json r.json\n"
    b"%%% a.txt\nACGTAC\nACGTTT\nTACGTA\nCCGTAA\n%%% b.txt\nTTTT\nACGA\nGGCA\n",
    b"-f a.txt -f b.txt -revcomp -minstrings 2 -fwer_distinct -alternative two-sided -top 4 -table t.tsv -sites s.tsv\n"
    b"%%% a.txt\nACGTAC\nAACGTT\nGATC\n%%% b.txt\nTTTT\nACGA\n",
]

# The options added after the first seeds: -meme with -flank (and the page's
# logos), -mask, -threads, -progress, -quiet, -version, and the classic
# options no golden case gives.
OPTION_RUNS = [
    b"-f a.fa -f b.fa -format fasta -minstrings 2 -maxlevel 4 -meme m.meme -flank 3 -html p.html\n"
    b"%%% a.fa\n>a1\nTTACGTACGG\n>a2\nCCACGTACTT\n>a3\nGACGTACA\n%%% b.fa\n>b1\nTTTTGGGG\n>b2\nCACA\n",
    b"-f a.txt -revcomp -minstrings 2 -maxlevel 3 -meme m.meme -flank 40 -table t.tsv -sites s.tsv\n"
    b"%%% a.txt\nACGTNNACGT\nGGACGTCC\nTTTACGTA\n",
    b"-f a.txt -minstrings 2 -min_gap 1 -max_gap 3 -max_gap_nr 1 -meme m.meme -flank 2\n"
    b"%%% a.txt\nMKVLAGQ\nMKAAVLGQ\nMKXVLOGQ\n",
    b"-f a.fa -format fasta -mask X* -minstrings 2 -maxlevel 3 -table t.tsv\n"
    b"%%% a.fa\n>p1\nMKX*LLA\n>p2\nMKVXLLA*\n>p3\nAXXMK\n",
    b"-f a.fa -format auto -mask nN -groups dna -dedup -minstrings 2 -maxlevel 3\n"
    b"%%% a.fa\n>d1\nACGTNNACGT\n>d2\nACGTNNACGT\n>d3\nacgtnacg\n",
    b"-f a.txt -f b.txt -threads 2 -minstrings 2 -maxlevel 5 -showratio 1 -progress -table t.tsv\n"
    b"%%% a.txt\nACGTACGT\nTACGTACG\nGTACGTAC\n%%% b.txt\nTTTTAAAA\nACGTTTTT\n",
    b"-f a.txt -f b.txt -threads 2 -fdr 0.1 -minstrings 2 -maxlevel 4 -quiet -json r.json\n"
    b"%%% a.txt\nACGTAC\nACGTTT\nTACGTA\n%%% b.txt\nGGGCCA\nTTGACA\n",
    b"-version -f a.txt\n%%% a.txt\nACGT\n",
    b"-f a.txt -minstrings 2 -maxstrings 3 -onepos -onestr -reportduplicates 1 -freq_set 1 "
    b"-init_gap_len 1 -wildcards 1 -maxlevel 4\n"
    b"%%% a.txt\nACGTAC\nACGTTT\nTACGTA\nACGTAC\n",
]

# The strict record reader (first byte: 0 FASTA, 1 FASTQ).
READER_SEEDS = [
    b"\x00>a desc\nACGTac\ngt-.NN\n\n>b\nMKV\n>c\n",
    b"\x00  \n>x\nAC\n+\n@GG\n>y\r\nTT\r\n",
    b"\x00no header\n>a\nA\n",
    b"\x00>z\x00y\nA\x00C\n",
    b"\x01@r1\nACGT\n+\nIIII\n@r2\nAC\nGT\n+r2\nII\nII\n\n@r3\n\n+\n\n",
    b"\x01@a\nACGT\nIIII\n@b\nACGA\n+\nIIII\n",
    b"\x01@a\nACGT\n+\nIIIII\n",
    b"\x01@a\nACGTAC\n+\nII\n",
    b"\x01@a\nAC\n+\n@I\n@b\nG\n+\n+\n",
    # FASTQ appended to FASTA, and '@' and '+' lines FASTA reads as sequence.
    b"\x00>a\nACGT\n@r1\nACGT\n+\nIIII\n",
    b"\x00>a\n@C\n\n+\n>b\n@A\n@C\n+G\n>c\n@T\n>d\n+\n",
]


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
    for text in spread(run_cases, PER_TARGET) + RESULT_RUNS + OPTION_RUNS:
        store("fuzz_run", text)
    for data in READER_SEEDS:
        store("fuzz_reader", data)


if __name__ == "__main__":
    main()
