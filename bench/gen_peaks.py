#!/usr/bin/env python3
"""Generate ChIP-seq-like DNA peak sets for the benchmarks.

A peak set is two FASTA files of equally long sequences, one record per line
pair, and a small sidecar saying what was planted:

    peaks_<N>.pos.fa     N peaks (>peak_1, ...), a share of them carrying a motif
    peaks_<N>.neg.fa     background sequences (>bg_1, ...), N unless --background
    peaks_<N>.truth.tsv  the motif, its reverse complement, the share, how many
                         peaks carry it on each strand, the seed, the version

The sequences come from a first-order (dinucleotide) Markov chain trained on the
shared fruit-fly upstream DNA (dna_1M.txt, pairs counted within its lines only)
and started in its stationary distribution, so every position of both classes
has the base and dinucleotide composition of that DNA. Windows cut out of the
real DNA would do that too, but its million bases cannot fill half a million
distinct 200-bp peaks: the copies would share long stretches, which a pattern
search would find as well as the planted motif. Both classes come from the same
chain on different random streams; only the peaks get the motif.

The chain is run four bases at a time: for each previous base, a table of 2^16
slots holds the 4-mers, each in proportion to its probability given that base
(rounded to whole slots: for the shipped DNA no 4-mer is more than 0.4 % off).
The tables also hold the table of the 4-mer's last base, so that
itertools.accumulate walks the chain in C over a batch of random 16-bit slots;
a per-base Python loop would take minutes for a million records.

A motif is a string of IUPAC codes or bracketed alternatives (GGGRNTTYCC,
TGA[CG]TCA); each planted copy takes one of the allowed bases at random for
every position and goes on the plus or the minus strand (reverse complement)
with equal probability, at a uniform position, over the chain's bases. Exactly
round(share * N) peaks, drawn at random, carry one copy.

Everything depends only on the seed, the arguments and the training DNA, so a
set is the same on every machine. Files that exist with a matching stamp are
not written again.

Usage: gen_peaks.py --out DIR [--peaks 50k] [--background M] [--length 200]
                    [--motif SEQ] [--share 0.3] [--seed N] [--dna PATH] [--gzip]
"""

import argparse
import array
import gzip
import hashlib
import itertools
import operator
import os
import random
import sys

GENERATOR_VERSION = 1
DEFAULT_SEED = 20240611
DEFAULT_PEAKS = "50k"
DEFAULT_LENGTH = 200
DEFAULT_SHARE = 0.3
# An NF-kB-like site; not a palindrome, so the strand of a copy shows.
DEFAULT_MOTIF = "GGGACTTTCC"
DEFAULT_DNA = os.path.join(os.path.dirname(os.path.abspath(__file__)),
                           "..", "..", "shared", "data", "dna_1M.txt")

BASES = "ACGT"
BLOCK = 4            # bases drawn per table lookup
SLOT_BITS = 16       # 2^16 slots per table: fits the cache, one random uint16 each
BATCH = 8192         # records generated, planted and written together
GZIP_LEVEL = 1       # a tenth bigger than level 6, in less than half the time

IUPAC = {
    "A": "A", "C": "C", "G": "G", "T": "T", "U": "T",
    "R": "AG", "Y": "CT", "S": "CG", "W": "AT", "K": "GT", "M": "AC",
    "B": "CGT", "D": "AGT", "H": "ACT", "V": "ACG", "N": "ACGT",
}
CODE_OF = {"".join(sorted(v)): k for k, v in IUPAC.items() if k != "U"}
COMPLEMENT = str.maketrans("ACGT", "TGCA")


def parse_count(text):
    """A positive count, with an optional k (thousands) or M (millions) suffix."""
    t = text.strip()
    scale = 1
    if t[-1:] in ("k", "K"):
        scale, t = 1000, t[:-1]
    elif t[-1:] == "M":
        scale, t = 1_000_000, t[:-1]
    try:
        value = int(t) * scale
    except ValueError:
        raise argparse.ArgumentTypeError(f"not a count: {text}")
    if value <= 0:
        raise argparse.ArgumentTypeError(f"count must be positive: {text}")
    return value


def count_label(n):
    if n % 1_000_000 == 0:
        return f"{n // 1_000_000}M"
    if n % 1000 == 0:
        return f"{n // 1000}k"
    return str(n)


def parse_motif(text):
    """Return the motif as a list of allowed-base strings, one per position."""
    positions = []
    t = text.upper()
    i = 0
    while i < len(t):
        c = t[i]
        if c == "[":
            end = t.find("]", i)
            if end < 0:
                raise ValueError(f"unclosed [ in motif {text}")
            allowed = set()
            for code in t[i + 1:end]:
                if code not in IUPAC:
                    raise ValueError(f"not a base in motif {text}: {code}")
                allowed.update(IUPAC[code])
            if not allowed:
                raise ValueError(f"empty [] in motif {text}")
            positions.append("".join(sorted(allowed)))
            i = end + 1
        elif c in IUPAC:
            positions.append(IUPAC[c])
            i += 1
        else:
            raise ValueError(f"not a base in motif {text}: {c}")
    if not positions:
        raise ValueError("empty motif")
    return positions


def reverse_positions(positions):
    return ["".join(sorted(p.translate(COMPLEMENT))) for p in reversed(positions)]


def iupac(positions):
    return "".join(CODE_OF[p] for p in positions)


def regex(positions):
    return "".join(p if len(p) == 1 else f"[{p}]" for p in positions)


def file_sha1(path):
    with open(path, "rb") as f:
        return hashlib.sha1(f.read()).hexdigest()


class Model:
    """The first-order chain of a DNA file and its 4-mer tables."""

    def __init__(self, path):
        counts = {a + b: 0 for a in BASES for b in BASES}
        with open(path) as f:
            for line in f:
                line = line.strip().upper()
                # Within a line only: its end and the next line's start are
                # not neighbours. Pairs with other letters are not counted.
                for pair in map(operator.add, line, line[1:]):
                    if pair in counts:
                        counts[pair] += 1
        self.transition = {}
        for a in BASES:
            total = sum(counts[a + b] for b in BASES)
            if total == 0:
                raise ValueError(f"{path}: no base follows {a}")
            self.transition[a] = {b: counts[a + b] / total for b in BASES}
        self.stationary = self._stationary()
        self.tables = self._tables()

    def _stationary(self):
        pi = dict.fromkeys(BASES, 0.25)
        for _ in range(200):
            pi = {b: sum(pi[a] * self.transition[a][b] for a in BASES) for b in BASES}
        return pi

    def _tables(self):
        """Per previous base, a list of 2 x 2^16 entries: in slot r the 4-mer
        drawn, in slot 2^16 + r the table of that 4-mer's last base."""
        size = 1 << SLOT_BITS
        kmers = ["".join(k) for k in itertools.product(BASES, repeat=BLOCK)]
        tables = {b: [] for b in BASES}
        ends = {}
        for prev in BASES:
            exact = []
            for kmer in kmers:
                p, last = 1.0, prev
                for c in kmer:
                    p *= self.transition[last][c]
                    last = c
                exact.append(p * size)
            slots = [int(x) for x in exact]
            # The slots left over go to the largest remainders, ties by 4-mer.
            short = size - sum(slots)
            for i in sorted(range(len(kmers)), key=lambda i: (slots[i] - exact[i], i))[:short]:
                slots[i] += 1
            ends[prev] = []
            for kmer, n in zip(kmers, slots):
                tables[prev].extend([kmer] * n)
                ends[prev].extend([kmer[-1]] * n)
        for prev in BASES:
            tables[prev].extend(tables[b] for b in ends[prev])
        return tables

    def batches(self, rng, count, length):
        """Yield the count sequences in lists of up to BATCH: consecutive
        windows of one run of the chain, started in its stationary state."""
        weights = [self.stationary[b] for b in BASES]
        state = self.tables[rng.choices(BASES, weights=weights)[0]]
        left = count
        while left:
            n = min(BATCH, left)
            blocks = -(-n * length // BLOCK)
            raw = rng.randbytes(2 * blocks)
            kmer_at = array.array("H", raw)
            # The same slots plus 2^16, as little-endian 32-bit words.
            wide = bytearray(4 * blocks)
            wide[0::4] = raw[0::2]
            wide[1::4] = raw[1::2]
            wide[2::4] = b"\x01" * blocks
            next_at = array.array(_U32, wide)
            if sys.byteorder == "big":
                kmer_at.byteswap()
                next_at.byteswap()
            states = itertools.accumulate(next_at, operator.getitem, initial=state)
            text = "".join(map(operator.getitem, states, kmer_at))
            state = self.tables[text[-1]]
            yield [text[i:i + length] for i in range(0, n * length, length)]
            left -= n


_U32 = next(t for t in "IL" if array.array(t).itemsize == 4)


def plant(batches, chosen, positions, rng, length, strands):
    """Put one copy of the motif into each chosen record (indices ascending);
    count the copies per strand in strands["+"] and strands["-"]."""
    width = len(positions)
    todo = iter(chosen)
    target = next(todo, None)
    first = 0
    for records in batches:
        end = first + len(records)
        while target is not None and target < end:
            site = "".join(p if len(p) == 1 else rng.choice(p) for p in positions)
            if rng.random() < 0.5:
                site = site.translate(COMPLEMENT)[::-1]
                strands["-"] += 1
            else:
                strands["+"] += 1
            at = rng.randrange(length - width + 1)
            seq = records[target - first]
            records[target - first] = seq[:at] + site + seq[at + width:]
            target = next(todo, None)
        first = end
        yield records


def write_fasta(path, prefix, batches, compress):
    tmp = path + ".tmp"
    with open(tmp, "wb") as raw:
        # No name or time in the gzip header: the same set, the same bytes.
        out = (gzip.GzipFile(filename="", mode="wb", fileobj=raw,
                             compresslevel=GZIP_LEVEL, mtime=0)
               if compress else raw)
        number = 0
        for records in batches:
            out.write("".join([f">{prefix}_{number + i}\n{seq}\n"
                               for i, seq in enumerate(records, 1)]).encode("ascii"))
            number += len(records)
        if compress:
            out.close()
    os.replace(tmp, path)


def set_paths(out_dir, peaks, compress):
    base = os.path.join(out_dir, f"peaks_{count_label(peaks)}")
    ext = ".fa.gz" if compress else ".fa"
    return {"pos": base + ".pos" + ext, "neg": base + ".neg" + ext,
            "truth": base + ".truth.tsv", "stamp": base + ".stamp"}


def generate(out_dir, peaks, seed=DEFAULT_SEED, length=DEFAULT_LENGTH,
             background=None, motif=DEFAULT_MOTIF, share=DEFAULT_SHARE,
             dna=DEFAULT_DNA, compress=False):
    """Write the peak set unless it is there already; return its paths."""
    if background is None:
        background = peaks
    positions = parse_motif(motif)
    if len(positions) > length:
        raise ValueError(f"motif of {len(positions)} bases longer than the sequences")
    if not 0 <= share <= 1:
        raise ValueError(f"share not in 0..1: {share}")
    paths = set_paths(out_dir, peaks, compress)
    sha1 = file_sha1(dna)
    stamp = (f"version={GENERATOR_VERSION} seed={seed} peaks={peaks} "
             f"background={background} length={length} motif={regex(positions)} "
             f"share={share} gzip={int(compress)} dna={sha1}\n")
    if all(os.path.exists(p) for p in paths.values()):
        with open(paths["stamp"]) as f:
            if f.read() == stamp:
                return paths
    os.makedirs(out_dir, exist_ok=True)
    model = Model(dna)
    # Separate streams: the chain of a class does not depend on the motif, the
    # share or the other class.
    plant_rng = random.Random(f"{seed}/motif")
    planted = int(share * peaks + 0.5)
    chosen = sorted(plant_rng.sample(range(peaks), planted))
    strands = {"+": 0, "-": 0}
    write_fasta(paths["pos"], "peak",
                plant(model.batches(random.Random(f"{seed}/peaks"), peaks, length),
                      chosen, positions, plant_rng, length, strands),
                compress)
    write_fasta(paths["neg"], "bg",
                model.batches(random.Random(f"{seed}/background"), background, length),
                compress)
    reverse = reverse_positions(positions)
    truth = [
        ("generator", f"gen_peaks.py version {GENERATOR_VERSION}"),
        ("seed", seed),
        ("peaks", peaks),
        ("background", background),
        ("length", length),
        ("motif", iupac(positions)),
        ("motif_regex", regex(positions)),
        ("reverse_complement", iupac(reverse)),
        ("reverse_complement_regex", regex(reverse)),
        ("share", share),
        ("planted", planted),
        ("plus_strand", strands["+"]),
        ("minus_strand", strands["-"]),
        ("dna", os.path.basename(dna)),
        ("dna_sha1", sha1),
        ("model", f"first-order Markov chain, {BLOCK}-mer tables of 2^{SLOT_BITS} slots"),
    ]
    with open(paths["truth"], "w") as f:
        f.writelines(f"{key}\t{value}\n" for key, value in truth)
    with open(paths["stamp"], "w") as f:
        f.write(stamp)
    return paths


def read_truth(path):
    with open(path) as f:
        return dict(line.rstrip("\n").split("\t", 1) for line in f)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--out", required=True, help="directory for the files")
    parser.add_argument("--peaks", type=parse_count, default=DEFAULT_PEAKS,
                        help="number of peaks: a number, 50k, 2M (default %(default)s)")
    parser.add_argument("--background", type=parse_count,
                        help="number of background sequences (default: as many as peaks)")
    parser.add_argument("--length", type=int, default=DEFAULT_LENGTH,
                        help="bases per sequence (default %(default)s)")
    parser.add_argument("--motif", default=DEFAULT_MOTIF,
                        help="IUPAC codes and [..] alternatives (default %(default)s)")
    parser.add_argument("--share", type=float, default=DEFAULT_SHARE,
                        help="share of the peaks carrying the motif (default %(default)s)")
    parser.add_argument("--seed", type=int, default=DEFAULT_SEED)
    parser.add_argument("--dna", default=DEFAULT_DNA,
                        help="DNA to train the chain on, one sequence per line")
    parser.add_argument("--gzip", action="store_true", help="write .fa.gz")
    args = parser.parse_args(argv)
    if args.length < 1:
        parser.error("--length must be positive")
    if not os.path.isfile(args.dna):
        parser.error(f"no DNA file at {args.dna}")
    try:
        paths = generate(args.out, args.peaks, args.seed, args.length, args.background,
                         args.motif, args.share, args.dna, args.gzip)
    except ValueError as e:
        parser.error(str(e))
    print(f"{count_label(args.peaks)}: {paths['pos']} {paths['neg']} {paths['truth']}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
