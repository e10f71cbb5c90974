#!/usr/bin/env python3
"""Write the reference table of the log-tail tests (src/specfns/logtail.h).

Run by hand from the project root:

    python3 tools/gen_logtail_reference.py

It rewrites tests/data/logtail_reference.txt.  Needs mpmath (Debian:
python3-mpmath).  The sample is pseudo-random with a fixed seed, so the
output is reproducible; it takes a minute or two.

Every reference is the natural logarithm of the exact tail for the given
arguments (a probability p is the exact value of its double):

  * binomial tails are summed term by term in mpmath at 60 digits, each
    term's start from the exact integer C(n, x); only the tail away from the
    mode is summed (outward, until the terms stop counting at 1e-70), the
    other is its complement, and a logarithm near 0 is taken as log1p of the
    small tail.  For n <= 150 both tails are also summed exactly in rationals
    and must agree;
  * Fisher tails are exact integer sums of C(a+b, x) C(n1+n2-a-b, n1-x) over
    C(n1+n2, n1), again summed from the side away from the mode (cut once a
    term is below 1e-80 of the sum) with the complement taken exactly; for
    n1 + n2 <= 300 the full sum is also done and must agree.

The sample covers small n, n up to 65535, tails at the mode, deep tails far
below 1e-308, tails within 1e-100 of 1, tiny p and p near 1, tables with
b = 0, the arguments the pattern search produces (k = s1 - 1, n = t1,
p = s2/t2), and the conventions at the ends of the domain.

Line format (whitespace separated, '#' starts a comment):
    log_bdtrc  k n p      reference        ln P[X > k],  X ~ Binomial(n, p)
    log_bdtr   k n p      reference        ln P[X <= k]
    log_fisher a n1 b n2  reference        ln P[X >= a], X hypergeometric
A reference is a decimal with 25 significant digits, 0 or -inf.
"""

import math
import os
import random
from fractions import Fraction

import mpmath as mp

mp.mp.dps = 60

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "tests", "data", "logtail_reference.txt")

rng = random.Random(20240917)
CUT = mp.mpf(10) ** -70


def num(v):
    if v == 0:
        return "0"
    if v == mp.ninf:
        return "-inf"
    return mp.nstr(v, 25, min_fixed=1, max_fixed=0)


def agree(x, y, what):
    if x == y:
        return
    if abs(x - y) > mp.mpf(10) ** -30 * abs(y):
        raise SystemExit("reference disagrees with itself: %s: %s %s" % (what, x, y))


# ---------------------------------------------------------------- binomial

def binomial_side(start, n, P, Q, step):
    """Sum of the binomial terms from `start` outward (step +1 or -1) while
    they count; the terms must fall in that direction."""
    t = mp.mpf(math.comb(n, start)) * P ** start * Q ** (n - start)
    s = mp.mpf(0)
    x = start
    while 0 <= x <= n:
        s += t
        if t < CUT * s:
            break
        if step > 0:
            t = t * (n - x) / (x + 1) * P / Q
        else:
            t = t * x / (n - x + 1) * Q / P
        x += step
    return s


def log_of(side, other):
    """ln of a tail given it and its complement, whichever is accurate."""
    return mp.log(side) if side < 0.5 else mp.log1p(-other)


def binomial_ref(k, n, p):
    """(ln P[X > k], ln P[X <= k]) for 0 <= k < n, 0 < p < 1."""
    P = mp.mpf(p)
    Q = 1 - P
    mode = math.floor((n + 1) * Fraction(p))
    if k + 1 > mode:
        upper = binomial_side(k + 1, n, P, Q, +1)
        lower = 1 - upper
    else:
        lower = binomial_side(k, n, P, Q, -1)
        upper = 1 - lower
    assert upper > 0 and lower > 0
    res = log_of(upper, lower), log_of(lower, upper)
    if n <= 150:
        fp = Fraction(p)
        fq = 1 - fp
        terms = [math.comb(n, j) * fp ** j * fq ** (n - j) for j in range(n + 1)]
        up, lo = sum(terms[k + 1:]), sum(terms[:k + 1])
        for r, a, b in ((res[0], up, lo), (res[1], lo, up)):
            exact = (mp.log(mp.mpf(a.numerator) / a.denominator) if a < Fraction(1, 2)
                     else mp.log1p(-mp.mpf(b.numerator) / b.denominator))
            agree(r, exact, "binomial %d %d %r" % (k, n, p))
    return res


def pick_p():
    r = rng.random()
    if r < 0.35:
        return rng.random()
    if r < 0.55:
        return 10.0 ** rng.uniform(-300, -1)
    if r < 0.7:
        return 1.0 - 10.0 ** rng.uniform(-15, -1)
    if r < 0.85:  # a class frequency s2/t2, as the search passes it
        t = rng.randint(1, 65535)
        return rng.randint(1, t) / t
    return rng.choice([0.5, 0.25, 0.1, 0.9, 1 / 3])


def pick_k(n, p):
    mean = n * p
    sd = math.sqrt(n * p * (1 - p))
    c = rng.random()
    if c < 0.3:  # about the mode
        k = mean + rng.uniform(-3, 3) * (sd + 1)
    elif c < 0.6:  # out in either tail
        k = mean + rng.uniform(-40, 40) * (sd + 1)
    elif c < 0.75:  # at the ends
        k = rng.choice([0, 1, n - 2, n - 1])
    else:
        k = rng.randint(0, n - 1)
    return min(max(int(round(k)), 0), n - 1)


def binomial_cases():
    cases = []
    ns = list(range(1, 13)) + [20, 50, 100, 150, 151, 500, 1000, 5000, 20000,
                                65534, 65535]
    ns += [rng.randint(13, 300) for _ in range(10)]
    ns += [rng.randint(300, 65535) for _ in range(25)]
    for n in ns:
        for _ in range(9):
            p = pick_p()
            cases.append((pick_k(n, p), n, p))
    # The search's own arguments: class 2 frequency as p, class 1 counts,
    # from no enrichment to a pattern in every class 1 sequence.
    for _ in range(120):
        t1 = rng.choice([rng.randint(1, 50), rng.randint(1, 65535)])
        t2 = rng.choice([rng.randint(1, 50), rng.randint(1, 65535)])
        s2 = rng.randint(1, t2) if rng.random() < 0.7 else rng.randint(1, max(1, t2 // 1000))
        exp1 = t1 * s2 / t2
        s1 = rng.choice([t1, rng.randint(1, t1),
                         min(t1, max(1, int(exp1 + rng.uniform(0, 8) * math.sqrt(exp1 + 1))))])
        cases.append((s1 - 1, t1, s2 / t2))
    # Deep tails and tails near 1 at the largest n.
    for k in (0, 1, 100, 30000, 32000, 32767, 32768, 33500, 40000, 65000, 65533, 65534):
        cases.append((k, 65535, 0.5))
    for k in (0, 1, 2, 5, 20):
        cases.append((k, 65535, 1e-300))
        cases.append((65534 - k, 65535, 1.0 - 2.0 ** -52))
    out = []
    for k, n, p in cases:
        if not 0.0 < p < 1.0:
            continue
        up, lo = binomial_ref(k, n, p)
        out.append("log_bdtrc %d %d %r %s" % (k, n, p, num(up)))
        out.append("log_bdtr %d %d %r %s" % (k, n, p, num(lo)))
    return out


def edge_cases():
    out = []
    for n, p in ((0, 0.5), (1, 0.5), (10, 0.0), (10, 1.0), (65535, 0.0), (65535, 1.0),
                 (7, 0.3)):
        for k in (-5, -1, 0, n - 1, n, n + 3):
            if p == 0.0:
                up = mp.ninf if k >= 0 else 0
            elif p == 1.0:
                up = 0 if k < n else mp.ninf
            else:
                up = 0 if k < 0 else mp.ninf if k >= n else None
            lo = (mp.ninf if k < 0 else 0 if k >= n or p == 0.0 else
                  mp.ninf if p == 1.0 else None)
            if up is not None:
                out.append("log_bdtrc %d %d %r %s" % (k, n, p, num(up)))
            if lo is not None:
                out.append("log_bdtr %d %d %r %s" % (k, n, p, num(lo)))
    return out


# ---------------------------------------------------------------- Fisher

def fisher_side(start, stop, step, K, N, n1):
    """Exact sum of C(K, x) C(N-K, n1-x) from `start` toward `stop`; the terms
    must fall in that direction."""
    n2 = N - n1
    t = math.comb(K, start) * math.comb(N - K, n1 - start)
    s = 0
    x = start
    while True:
        s += t
        if x == stop or t * 10 ** 80 < s:
            return s
        if step > 0:
            t = t * (K - x) * (n1 - x) // ((x + 1) * (n2 - K + x + 1))
        else:
            t = t * x * (n2 - K + x) // ((K - x + 1) * (n1 - x + 1))
        x += step


def fisher_ref(a, n1, b, n2):
    K, N = a + b, n1 + n2
    lo, hi = max(0, K - n2), min(K, n1)
    if a <= lo:
        return mp.mpf(0)
    total = math.comb(N, n1)
    mode = (n1 + 1) * (K + 1) // (N + 2)
    if a > mode:
        upper = fisher_side(a, hi, +1, K, N, n1)
        lower = total - upper
    else:
        lower = fisher_side(a - 1, lo, -1, K, N, n1)
        upper = total - lower
    ref = (mp.log(mp.mpf(upper)) - mp.log(mp.mpf(total)) if 2 * upper < total
           else mp.log1p(-mp.mpf(lower) / mp.mpf(total)))
    if N <= 300:
        full = sum(math.comb(K, x) * math.comb(N - K, n1 - x) for x in range(a, hi + 1))
        agree(ref, mp.log(mp.mpf(full) / total) if 2 * full < total
              else mp.log1p(-mp.mpf(total - full) / total), "fisher %d %d %d %d" % (a, n1, b, n2))
    return ref


def fisher_cases():
    cases = []
    # Present in every class 1 sequence, absent from class 2.
    for n1, n2 in ((200, 200), (1, 1), (5, 3), (1, 65535), (65535, 1), (1000, 1000),
                   (65535, 65535), (40000, 65535), (65535, 300), (3, 65535)):
        cases.append((n1, n1, 0, n2))
    for _ in range(40):
        n1, n2 = rng.randint(1, 65535), rng.randint(1, 65535)
        cases.append((n1, n1, 0, n2))
        cases.append((rng.randint(1, n1), n1, 0, n2))
    # Small tables, all of them plausible.
    for _ in range(150):
        n1, n2 = rng.randint(0, 12), rng.randint(0, 12)
        cases.append((rng.randint(0, n1), n1, rng.randint(0, n2), n2))
    # Random margins of every size; a from far below the mean to far above.
    for _ in range(330):
        big = rng.random() < 0.6
        n1 = rng.randint(1, 65535 if big else 400)
        n2 = rng.randint(1, 65535 if big else 400)
        K = rng.randint(1, n1 + n2 - 1)
        lo, hi = max(0, K - n2), min(K, n1)
        mean = n1 * K / (n1 + n2)
        sd = math.sqrt(mean * (n2 / (n1 + n2)) * ((n1 + n2 - K) / max(1, n1 + n2 - 1))) + 1
        c = rng.random()
        if c < 0.4:
            a = mean + rng.uniform(-3, 3) * sd
        elif c < 0.8:
            a = mean + rng.uniform(-50, 50) * sd
        else:
            a = rng.randint(lo, hi)
        a = min(max(int(round(a)), lo), hi)
        cases.append((a, n1, K - a, n2))
    cases += [(0, 0, 0, 0), (0, 0, 5, 9), (0, 5, 0, 0), (3, 10, 5, 5), (2, 2, 7, 7),
              (1, 1, 65535, 65535), (65535, 65535, 65535, 65535), (0, 65535, 0, 65535),
              (32768, 65535, 32767, 65535), (32767, 65535, 32768, 65535)]
    return ["log_fisher %d %d %d %d %s" % (a, n1, b, n2, num(fisher_ref(a, n1, b, n2)))
            for a, n1, b, n2 in cases]


def main():
    lines = edge_cases() + binomial_cases() + fisher_cases()
    os.makedirs(os.path.dirname(OUT), exist_ok=True)
    with open(OUT, "w") as f:
        f.write("# Generated by tools/gen_logtail_reference.py; do not edit.\n")
        f.write("# Natural logarithms of exact tails (mpmath, 60 digits; see the script).\n")
        for line in lines:
            f.write(line + "\n")
    print("%d lines, %d bytes -> %s" % (len(lines), os.path.getsize(OUT), OUT))


if __name__ == "__main__":
    main()
