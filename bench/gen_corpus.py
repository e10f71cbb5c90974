#!/usr/bin/env python3
"""Generate the synthetic protein-like corpora of the whole-run benchmarks.

Each corpus is two files, one example class each, in morva's input format (one
upper-case sequence per line):

    gen_<size>.pos.txt   sequences of which a share carries planted family motifs
    gen_<size>.neg.txt   background sequences with a rarer motif of their own

The residues are drawn independently from the amino-acid composition of the
10-megaresidue protein corpus of the shared data, sequence lengths are uniform in
100..500, and the residue budget of a size is split evenly between the two
classes. Independent residues alone would make long shared patterns far rarer
than in real proteins, so a few motifs with per-position alternatives (a P-loop
like G-x(4)-G-K-[ST], an ABC-signature like [LIVM]-S-G-G-Q and a zinc-finger like
C-x(2)-C-x(3)-[LIVMF]) are planted at random places, which gives the search a
realistic mix of frequent short and rarer long patterns.

Everything depends only on the seed and the size, so a corpus is the same on
every machine and whichever sizes are generated together. Files that exist with
a matching stamp are not written again.

Usage: gen_corpus.py --out DIR [--sizes 10k,100k,1M,10M] [--seed N]
"""

import argparse
import os
import random
import sys

GENERATOR_VERSION = 1
DEFAULT_SEED = 20240611
MIN_LEN = 100
MAX_LEN = 500

# Residue frequencies of the shared 10-megaresidue protein corpus (X included,
# the rarer ambiguity codes left out).
BACKGROUND = {
    "A": 0.0836079, "C": 0.0134819, "D": 0.0548453, "E": 0.0677006,
    "F": 0.0382734, "G": 0.0721066, "H": 0.0228683, "I": 0.0598838,
    "K": 0.0585032, "L": 0.0959121, "M": 0.0242784, "N": 0.0401066,
    "P": 0.0470105, "Q": 0.0389607, "R": 0.0555270, "S": 0.0644817,
    "T": 0.0533623, "V": 0.0695201, "W": 0.0106710, "Y": 0.0288483,
    "X": 0.0000427,
}

# A motif is a list of positions, each a string of allowed residues ("" = any).
P_LOOP = ["G", "", "", "", "", "G", "K", "ST"]
ABC_SIGNATURE = ["LIVM", "S", "G", "G", "Q"]
ZINC_FINGER = ["C", "", "", "C", "", "", "", "LIVMF"]

# (motif, share of the sequences of the class that carry it)
CLASS_MOTIFS = {
    "pos": [(P_LOOP, 0.40), (ABC_SIGNATURE, 0.30)],
    "neg": [(ZINC_FINGER, 0.10)],
}

SIZES = {"10k": 10_000, "100k": 100_000, "1M": 1_000_000, "10M": 10_000_000}


def parse_size(text):
    if text in SIZES:
        return SIZES[text]
    try:
        value = int(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"unknown corpus size: {text}")
    if value < 2 * MIN_LEN:
        raise argparse.ArgumentTypeError(f"corpus size too small: {text}")
    return value


class Generator:
    def __init__(self, rng):
        self.rng = rng
        self.letters = list(BACKGROUND)
        self.weights = [BACKGROUND[c] for c in self.letters]

    def background(self, n):
        return self.rng.choices(self.letters, weights=self.weights, k=n)

    def motif(self, positions):
        out = []
        for allowed in positions:
            out.append(self.rng.choice(allowed) if allowed
                       else self.background(1)[0])
        return out

    def sequence(self, length, motifs):
        seq = self.background(length)
        for positions, share in motifs:
            if self.rng.random() < share and len(positions) <= length:
                at = self.rng.randrange(length - len(positions) + 1)
                seq[at:at + len(positions)] = self.motif(positions)
        return "".join(seq)

    def lengths(self, budget):
        """Sequence lengths whose sum is the budget, give or take one short tail."""
        out = []
        left = budget
        while left >= MIN_LEN:
            n = min(self.rng.randint(MIN_LEN, MAX_LEN), left)
            out.append(n)
            left -= n
        return out


def corpus_paths(out_dir, label):
    return (os.path.join(out_dir, f"gen_{label}.pos.txt"),
            os.path.join(out_dir, f"gen_{label}.neg.txt"))


def generate(out_dir, label, residues, seed):
    """Write the corpus of one size unless it is there already; return its paths."""
    pos_path, neg_path = corpus_paths(out_dir, label)
    stamp_path = os.path.join(out_dir, f"gen_{label}.stamp")
    stamp = f"version={GENERATOR_VERSION} seed={seed} residues={residues}\n"
    if (os.path.exists(pos_path) and os.path.exists(neg_path)
            and os.path.exists(stamp_path)):
        with open(stamp_path) as f:
            if f.read() == stamp:
                return pos_path, neg_path
    os.makedirs(out_dir, exist_ok=True)
    # One stream per size and class, so that each file depends on nothing else.
    for index, (cls, path) in enumerate((("pos", pos_path), ("neg", neg_path))):
        gen = Generator(random.Random(f"{seed}/{residues}/{index}"))
        budget = residues // 2 + (residues % 2 if cls == "pos" else 0)
        tmp = path + ".tmp"
        with open(tmp, "w") as f:
            for n in gen.lengths(budget):
                f.write(gen.sequence(n, CLASS_MOTIFS[cls]))
                f.write("\n")
        os.replace(tmp, path)
    with open(stamp_path, "w") as f:
        f.write(stamp)
    return pos_path, neg_path


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--out", required=True, help="directory for the files")
    parser.add_argument("--sizes", default="10k,100k,1M,10M",
                        help="comma-separated sizes: 10k, 100k, 1M, 10M or a number")
    parser.add_argument("--seed", type=int, default=DEFAULT_SEED)
    args = parser.parse_args(argv)
    try:
        sizes = [(s, parse_size(s)) for s in args.sizes.split(",") if s]
    except argparse.ArgumentTypeError as e:
        parser.error(str(e))
    for label, residues in sizes:
        pos, neg = generate(args.out, label, residues, args.seed)
        print(f"{label}: {pos} {neg}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
