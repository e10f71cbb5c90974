#!/usr/bin/env python3
"""Naive oracle for morva's pattern search.

Random small inputs (two sequence files, a character-set file) are made with
fixed seeds, morva is run on them under every expansion order, and its report
is checked against a deliberately simple model of the pattern language:

  * an element of a pattern is a character, a character group (any member that
    is not a STOP character) or the wildcard (the "." group of every non-STOP
    character); a pattern matches at a place when every element matches the
    character there, so occurrences may overlap and never span a sequence end
    or a STOP character;
  * a pattern's occurrence set holds the position just after each occurrence
    in the joined string (separator 0 at position 0 and after each sequence);
  * which patterns exist follows the trie's rules: the expansion gate, pruning
    by minpos, groups and wildcards only where the node state allows them,
    queueing by minstrings, the level limits, and the print limits.

Checked for every run: (a) the counts (and, when shown, the occurrence sets)
of every reported line against brute-force matching; (b) the set of reported
patterns against the set the rules define (for plain characters also against
a closed-form definition over substrings); (c) the order of the lines:
level by level for breadth-first, preorder for depth-first, and for the
frequency orders the exact order of a simulation of the search's heap, with
its "# NR of sequences == " lines; and the closing tree line.

Usage: check_patterns.py --binary PATH --mode plain|groups|wildcards [--seeds N]
Only the standard library is used.
"""
import argparse
import math
import os
import random
import re
import struct
import subprocess
import sys
import tempfile


def f32(v):
    """v rounded to single precision."""
    return struct.unpack("f", struct.pack("f", v))[0]

# ---------------------------------------------------------------------------
# Input model


class Charset:
    """Alphabet in code order, STOP characters, groups (members, name)."""

    def __init__(self, letters, stops="", groups=(), wildcard=False):
        self.letters = letters
        self.stops = set(stops)
        self.groups = list(groups)
        if wildcard:  # the automatic group appended when wildcards are on
            self.groups.append(("".join(c for c in letters if c not in self.stops), "."))
        self.wildcard = wildcard
        self.size = len(letters)
        self.total = self.size + len(self.groups)
        self.wildcard_code = 0  # last group holding every alphabet character
        for k, (members, _) in enumerate(self.groups):
            if set(members) == set(letters):
                self.wildcard_code = self.size + 1 + k

    def matches(self, code):
        """Characters a pattern element of this code matches."""
        if code <= self.size:
            chars = {self.letters[code - 1]}
        else:
            chars = set(self.groups[code - self.size - 1][0])
        return chars - self.stops

    def groups_of(self, ch):
        return [self.size + 1 + k for k, (m, _) in enumerate(self.groups) if ch in m]

    def text(self, code):
        if code <= self.size:
            return self.letters[code - 1]
        return self.groups[code - self.size - 1][1]

    def probability(self, ch):
        return (self.letters.index(ch) + 1) / 16.0  # exact in binary

    def cost(self, code):
        """Cost of one code from the probabilities of the file."""
        if code <= self.size:
            p, shift, none = self.probability(self.letters[code - 1]), 0.0, -1.0
        else:
            p = 0.0
            for ch in sorted(set(self.groups[code - self.size - 1][0]), key=self.letters.index):
                p = f32(p + self.probability(ch))
            shift, none = math.log2(len(self.groups) + 1), -2.0
        return f32(-math.log2(p) - shift) if 0 < p < 1 else none

    def file_text(self):
        lines = ["# charset of the oracle", "alphabet= " + self.letters]
        for c in self.letters:
            lines.append("p= %s %g" % (c, self.probability(c)))
        if self.stops:
            lines.append("STOP= " + "".join(sorted(self.stops)))
        for members, name in self.groups:
            if name != ".":
                lines.append("g= %s %s" % (members, name))
        return "\n".join(lines) + "\n"


class Input:
    """Sequences with their class names, and the joined-string geometry."""

    def __init__(self, files):
        self.files = files  # list of lists of (sequence, class name or None)
        self.seqs, self.class_of = [], []
        self.class_names = []
        for f, lines in enumerate(files, start=1):
            for seq, name in lines:
                name = name if name is not None else str(f)
                if name not in self.class_names:
                    self.class_names.append(name)
                self.seqs.append(seq)
                self.class_of.append(self.class_names.index(name) + 1)
        self.K = len(self.class_names)
        self.seq_end = [0]
        for s in self.seqs:
            self.seq_end.append(self.seq_end[-1] + len(s) + 1)
        self.length = self.seq_end[-1] + 1

    def write(self, workdir):
        names = []
        for f, lines in enumerate(self.files, start=1):
            name = "seqs%d.txt" % f
            with open(os.path.join(workdir, name), "w") as out:
                for seq, cls in lines:
                    # an empty sequence needs a line that starts with a tab
                    text = seq if seq else "\t"
                    out.write(text + (" " + cls if cls else "") + "\n")
            names.append(name)
        return names


def occurrences(inp, cs, pattern):
    """Brute force: (sequence number, position after the occurrence) pairs."""
    if not pattern:
        return [(k, p) for k in range(1, len(inp.seqs) + 1)
                for p in range(inp.seq_end[k - 1] + 1, inp.seq_end[k] + 1)]
    allowed = [cs.matches(c) for c in pattern]
    found = []
    for k, s in enumerate(inp.seqs, start=1):
        for i in range(len(s) - len(pattern) + 1):
            if all(s[i + j] in allowed[j] for j in range(len(pattern))):
                found.append((k, inp.seq_end[k - 1] + 1 + i + len(pattern)))
    return found


class Counts:
    """Positions and distinct sequences per class slot (0, 1..K, K+1 = total)."""

    def __init__(self, inp, occ):
        K = inp.K
        self.pos = [0] * (K + 2)
        self.seq = [0] * (K + 2)
        seen = set()
        for k, _ in occ:
            c = inp.class_of[k - 1]
            self.pos[c] += 1
            if k not in seen:
                seen.add(k)
                self.seq[c] += 1
        self.pos[K + 1] = len(occ)
        self.seq[K + 1] = len(seen)
        self.positions = sorted(p for _, p in occ)
        self.seq_numbers = sorted(seen)


# ---------------------------------------------------------------------------
# The trie's rules


def s8(v):
    return (v + 128) % 256 - 128


class Settings:
    """The options of one run, after morva's own fixes."""

    def __init__(self, **kw):
        self.minpos = self.minstrings = self.maxpos = self.maxstrings = 0
        self.minlevel, self.maxlevel = 0, 20
        self.onepos = self.onestr = 0
        self.maxgrp = self.wc = 0
        self.maxwc = 1
        self.no_gap_len, self.init_gap_len = 1, 0
        self.only_gap = 0
        self.genorder = 0
        self.freq_set = 0
        self.showsets = 0
        self.ms = None  # (file number, minimum)
        self.showratio, self.goodratio = 0, 0.0
        self.costf = 0
        self.nr_files = 2
        self.__dict__.update(kw)
        # the ratio needs two input files; morva drops it silently otherwise
        self.ratio_on = self.showratio if self.nr_files >= 2 else 0
        self.minclass, self.minstringsinclass = self.ms if self.ms else (0, 0)
        # the option fixes that happen after parsing
        self.minstrings = max(self.minstrings, self.minstringsinclass)
        self.minpos = max(self.minpos, self.minstrings)

    def args(self, files, cf):
        a = []
        for f, name in enumerate(files, start=1):
            a += ["-f", name]
            if self.ms and self.ms[0] == f:
                a += ["-ms", str(self.ms[1])]
        a += ["-cf", cf]
        for opt, val in (("-minpos", self.minpos), ("-minstrings", self.minstrings),
                         ("-maxpos", self.maxpos), ("-maxstrings", self.maxstrings),
                         ("-minlevel", self.minlevel), ("-maxlevel", self.maxlevel),
                         ("-maxgrp", self.maxgrp), ("-wc", self.wc), ("-maxwc", self.maxwc),
                         ("-no_gap_len", self.no_gap_len), ("-init_gap_len", self.init_gap_len),
                         ("-only_print_if_gap_allowed", self.only_gap),
                         ("-genorder", self.genorder), ("-freq_set", self.freq_set),
                         ("-showsets", self.showsets), ("-showratio", self.showratio),
                         ("-goodratio", self.goodratio), ("-costf", self.costf)):
            a += [opt, str(val)]
        if self.onepos:
            a.append("-onepos")
        if self.onestr:
            a.append("-onestr")
        return a


class Node:
    """A trie node: its pattern, its state bytes and its counts."""

    def __init__(self, pattern, state, counts, freq):
        self.pattern = pattern  # tuple of codes
        self.gap_count, self.nr_groups, self.wc_left, self.wc_run = state
        self.counts = counts
        self.freq = freq
        self.level = len(pattern)
        self.nr_seqs = counts.seq[-1] % 65536


class Model:
    def __init__(self, inp, cs, st):
        self.inp, self.cs, self.st = inp, cs, st
        self.freq_slot = st.freq_set if st.freq_set else inp.K + 1
        self._cache = {}
        self.root_counts = self.counts(())

    def counts(self, pattern):
        if pattern not in self._cache:
            self._cache[pattern] = Counts(self.inp, occurrences(self.inp, self.cs, pattern))
        return self._cache[pattern]

    def node(self, pattern, state):
        c = self.counts(pattern)
        return Node(pattern, state, c, c.seq[self.freq_slot] % 65536)

    def root(self):
        st = self.st
        return self.node((), (s8(st.init_gap_len), 0, st.wc, 0))

    def gap_ok(self, g):
        return g != 0 and g % self.st.no_gap_len == 0

    def may_expand(self, n):
        st, c = self.st, n.counts
        P, S = c.pos[-1], c.seq[-1]
        if P < st.minpos:
            return False
        if st.minstrings and (S < st.minstrings or c.seq[st.minclass] < st.minstringsinclass):
            return False
        if P == 1 and not (st.onepos and st.onestr):
            return False
        if S == 1 and not st.onestr:
            return False
        return True

    def child_state(self, n, code):
        """Node state after appending code (characters, groups, wildcard)."""
        cs, st = self.cs, self.st
        g, grp, left, run = n.gap_count, n.nr_groups, n.wc_left, n.wc_run
        if st.wc and code == cs.total:
            if run + 1 < st.maxwc:
                return (g, grp, left, run + 1)
            return (s8(g + 1), grp, s8(left - 1), 0)
        if code > cs.size:
            grp += 1
        if run != 0:  # the wildcard run ends here
            return (s8(g + 1), grp, s8(left - 1), 0)
        return (g if self.gap_ok(g) else s8(g + 1), grp, left, run)

    def children(self, n):
        """The children of a node in block order, or [] when it gets none."""
        cs, st = self.cs, self.st
        if not self.may_expand(n):
            return []
        count = {x: self.counts(n.pattern + (x,)).pos[-1] for x in range(1, cs.total + 1)}
        groups_allowed = n.nr_groups < st.maxgrp
        wildcard_allowed = st.wc and n.wc_left != 0 and self.gap_ok(n.gap_count)
        live = {}
        for x in range(cs.size + 1, cs.total + 1):
            is_wc = st.wc and x == cs.total
            ok = wildcard_allowed if is_wc else groups_allowed
            if not n.pattern and (x == cs.wildcard_code or is_wc):
                ok = False  # no pattern starts with a wildcard
            live[x] = ok and count[x] > 0 and count[x] >= st.minpos
        for x in range(1, cs.size + 1):
            needed = any(live[g] for g in cs.groups_of(cs.letters[x - 1]))
            live[x] = count[x] > 0 and (count[x] >= st.minpos or needed)
        return [self.node(n.pattern + (x,), self.child_state(n, x))
                for x in range(1, cs.total + 1) if live[x]]

    def printed(self, n):
        st, c = self.st, n.counts
        if n.level < st.minlevel:
            return False
        P, S = c.pos[-1], c.seq[-1]
        if P < st.minpos:
            return False
        if st.minstrings and (S < st.minstrings or c.seq[st.minclass] < st.minstringsinclass):
            return False
        if st.maxstrings and S > st.maxstrings:
            return False
        if st.maxpos and P > st.maxpos:
            return False
        if st.only_gap and st.no_gap_len and not self.gap_ok(n.gap_count):
            return False
        if st.ratio_on and self.ratio(n) < st.goodratio:
            return False
        return True

    def ratio(self, n):
        """Class 1 against class 2, in sequences per input sequence."""
        T = self.root_counts.seq
        r2 = n.counts.seq[2] / T[2]
        r1 = n.counts.seq[1] / T[1]
        return 1e6 if r2 == 0 else r1 / r2

    def search(self):
        """Simulates the search loop: the report events and the closing numbers."""
        st = self.st
        root = self.root()
        heap = Heap()
        counter = 0.0

        def priority(n):
            nonlocal counter
            if st.genorder == 0:
                counter += 1
                return counter - 1
            if st.genorder == 1:
                counter -= 1
                return counter + 1
            return -n.freq if st.genorder == 2 else n.freq

        heap.insert(root, priority(root))
        last_freq, events, taken, deepest = root.freq, [], 0, 0
        while True:
            n = heap.del_top()
            if n is None:
                break
            if st.genorder == 2 and n.freq < last_freq:
                last_freq = n.freq
                events.append(("freq", n.freq))
            if self.printed(n):
                events.append(("line", n))
            taken += 1
            deepest = max(deepest, n.level)
            if n.level >= st.maxlevel:
                continue
            kids = self.children(n)
            for k in (reversed(kids) if st.genorder == 1 else kids):
                if k.nr_seqs != 0 and k.nr_seqs >= st.minstrings:
                    heap.insert(k, priority(k))
        return events, deepest, taken


class Heap:
    """The search's MIN heap, with its tie behaviour (entry 0 unused)."""

    def __init__(self):
        self.e = [None]

    def insert(self, item, pri):
        self.e.append(None)
        i = len(self.e) - 1
        while i > 1 and pri < self.e[i // 2][1]:
            self.e[i] = self.e[i // 2]
            i //= 2
        self.e[i] = (item, pri)

    def del_top(self):
        if len(self.e) == 1:
            return None
        top = self.e[1][0]
        x = self.e.pop()
        last = len(self.e)  # entries 1 .. last-1 remain
        i = 1
        while 2 * i < last:
            j = 2 * i
            if j + 1 < last and self.e[j + 1][1] < self.e[j][1]:
                j += 1  # on equal priorities the left child is taken
            if not self.e[j][1] < x[1]:
                break
            self.e[i] = self.e[j]
            i = j
        if last > 1:
            self.e[i] = x
        return top


def plain_patterns(model):
    """Closed form for patterns of plain characters: every substring whose
    every proper prefix may be expanded and whose prefixes are frequent enough
    to be queued, filtered by the print limits."""
    inp, cs, st = model.inp, model.cs, model.st
    subs = set()
    for s in inp.seqs:
        for i in range(len(s)):
            for j in range(i + 1, min(len(s), i + st.maxlevel) + 1):
                if any(ch in cs.stops for ch in s[i:j]):
                    break
                subs.add(tuple(cs.letters.index(ch) + 1 for ch in s[i:j]))
    result = set()
    root = model.root()
    for w in subs | {()}:
        nodes = [model.node(w[:i], root_state_plain(root, i, st)) for i in range(len(w) + 1)]
        if not all(model.may_expand(p) for p in nodes[:-1]):
            continue
        if not all(p.counts.pos[-1] >= st.minpos and p.nr_seqs >= max(1, st.minstrings)
                   for p in nodes[1:]):
            continue
        if model.printed(nodes[-1]):
            result.add(w)
    return result


def root_state_plain(root, level, st):
    g = root.gap_count
    for _ in range(level):
        if not (g != 0 and g % st.no_gap_len == 0):
            g = s8(g + 1)
    return (g, 0, root.wc_left, 0)


# ---------------------------------------------------------------------------
# Running morva and reading its report


def run_morva(binary, inp, cs, st, workdir):
    files = inp.write(workdir)
    with open(os.path.join(workdir, "oracle.cf"), "w") as f:
        f.write(cs.file_text())
    args = st.args(files, "oracle.cf")
    proc = subprocess.run([binary] + args, cwd=workdir, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, stdin=subprocess.DEVNULL, timeout=120)
    return args, proc


def report_events(stdout):
    text = stdout.decode("latin-1")
    start = text.index("# Start the creation of patterns:")
    end_match = re.search(r"\n# Tree is ready\. Maximum depth \(levels\): (\d+) and treenodes: (\d+)\n",
                          text)
    body = text[start:end_match.start()]
    events = []
    for line in body.split("\n")[1:]:
        if not line or line.startswith("# Set_of_Sets:"):
            continue
        m = re.match(r"# NR of sequences == (\d+)$", line)
        if m:
            events.append(("freq", int(m.group(1))))
        else:
            events.append(("line", line))
    return events, int(end_match.group(1)), int(end_match.group(2))


def tokenize(cs, text):
    """Pattern text back to codes; group names are distinct tokens here."""
    if text == "<empty>":
        return ()
    names = sorted(((cs.text(c), c) for c in range(1, cs.total + 1)), key=lambda t: -len(t[0]))
    codes, i = [], 0
    while i < len(text):
        for name, code in names:
            if text.startswith(name, i):
                codes.append(code)
                i += len(name)
                break
        else:
            raise ValueError("cannot read pattern text %r" % text)
    return tuple(codes)


# pattern [cost] seqs/positions class:seqs/positions... [set] [ R:ratio]
LINE = re.compile(r"^(?P<pat>\S+)(?: (?P<cost>[^ /]+))? (?P<S>\d+)/(?P<P>\d+) "
                  r"(?P<pieces>(?:[^ :/]+:\d+/\d+ )*)(?P<set>\S*)(?: R:(?P<R>\S+))?$")


def expected_set_text(model, counts, st, is_group):
    """Text of the occurrence set in the chosen showsets form."""
    inp, mode = model.inp, st.showsets
    pos = counts.positions
    if mode == 4:
        seq_of = {}
        for k in range(1, len(inp.seqs) + 1):
            for p in range(inp.seq_end[k - 1] + 1, inp.seq_end[k] + 1):
                seq_of[p] = k
        return "Pos:Str:%d<%s>" % (len(pos), "".join(
            ",%d:%d" % (p - inp.seq_end[seq_of[p] - 1], seq_of[p]) for p in pos))
    if mode == 5:
        return "Seq" + "".join(":%d" % k for k in counts.seq_numbers)
    if mode >= 6:
        return ""
    # modes 3 and below: the stored representation; a group's set is merged as a list
    D = inp.length
    as_list = is_group or len(pos) < D // 32
    if as_list:
        items = "".join(",%d" % p for p in pos) if mode > 1 else ""
        return "%d<L:%s>" % (len(pos), items)
    if mode <= 1:
        return "%d<B:>" % len(pos)
    if mode == 3:
        return "%d<L:%s>" % (len(pos), "".join(",%d" % p for p in pos))
    words = [0] * (D // 32 + 1)
    for p in pos:
        words[p // 32] |= 1 << (p % 32)
    return "%d<B:%s>" % (len(pos), "".join(",%d" % (w - (1 << 32) if w >= 1 << 31 else w)
                                             for w in words))


def line_patterns(cs, events):
    """The pattern of each report line (None for other events)."""
    return [tokenize(cs, e[1].split(" ", 1)[0]) if e[0] == "line" else None for e in events]


def check_run(model, stdout, label):
    """Returns a list of failure messages for one run."""
    inp, cs, st = model.inp, model.cs, model.st
    errors = []
    events, depth, nodes = report_events(stdout)
    want_events, want_depth, want_nodes = model.search()

    got_lines = [e[1] for e in events if e[0] == "line"]
    got_patterns = []
    # (a) counts of every reported line, from brute force
    for line in got_lines:
        m = LINE.match(line)
        if not m:
            errors.append("%s: unreadable line %r" % (label, line))
            continue
        pattern = tokenize(cs, m.group("pat"))
        got_patterns.append(pattern)
        c = model.counts(pattern)
        K = inp.K
        want = "%d/%d" % (c.seq[K + 1], c.pos[K + 1])
        if "%s/%s" % (m.group("S"), m.group("P")) != want:
            errors.append("%s: %s has totals %s/%s, brute force %s"
                          % (label, m.group("pat"), m.group("S"), m.group("P"), want))
        if st.costf:
            cost = 0.0
            for code in pattern:
                cost = f32(cost + cs.cost(code))
            if m.group("cost") != "%g" % cost:
                errors.append("%s: %s has cost %s, expected %g"
                              % (label, m.group("pat"), m.group("cost"), cost))
        elif m.group("cost") is not None:
            errors.append("%s: %s shows a cost" % (label, m.group("pat")))
        pieces = ""
        if K > 1:
            names = ["No_class"] + inp.class_names
            pieces = "".join("%s:%d/%d " % (names[j], c.seq[j], c.pos[j])
                             for j in range(K + 1) if c.pos[j])
        if m.group("pieces") != pieces:
            errors.append("%s: %s has class pieces %r, brute force %r"
                          % (label, m.group("pat"), m.group("pieces"), pieces))
        if st.showsets:
            is_group = bool(pattern) and pattern[-1] > cs.size
            want_set = expected_set_text(model, c, st, is_group)
            if m.group("set") != want_set:
                errors.append("%s: %s shows set %r, expected %r"
                              % (label, m.group("pat"), m.group("set"), want_set))
        if st.ratio_on:
            r = model.ratio(model.node(pattern, (0, 0, 0, 0)))
            if m.group("R") is None or abs(float(m.group("R")) - r) > 1e-5 * max(1.0, r):
                errors.append("%s: %s has ratio %s, expected %g"
                              % (label, m.group("pat"), m.group("R"), r))
        elif m.group("R") is not None:
            errors.append("%s: %s shows a ratio" % (label, m.group("pat")))

    # (b) completeness: the reported patterns are exactly those the rules define
    want_lines = [e[1] for e in want_events if e[0] == "line"]
    want_patterns = [n.pattern for n in want_lines]
    def text(p):
        return "".join(cs.text(c) for c in p) or "<empty>"
    missing = set(want_patterns) - set(got_patterns)
    extra = set(got_patterns) - set(want_patterns)
    if missing:
        errors.append("%s: missing patterns %s" % (label, sorted(text(p) for p in missing)[:10]))
    if extra:
        errors.append("%s: unexpected patterns %s" % (label, sorted(text(p) for p in extra)[:10]))
    if len(set(got_patterns)) != len(got_patterns):
        errors.append("%s: a pattern is reported twice" % label)
    if not cs.groups:
        closed = plain_patterns(model)
        if closed != set(want_patterns):
            errors.append("%s: oracle disagrees with itself (substring definition)" % label)

    # (c) order of the lines
    if not missing and not extra:
        if st.genorder == 0:
            key = sorted(got_patterns, key=lambda p: (len(p), p))
            if key != got_patterns:
                errors.append("%s: breadth-first lines are not level by level in code order" % label)
        elif st.genorder == 1:
            if sorted(got_patterns) != got_patterns:
                errors.append("%s: depth-first lines are not in preorder" % label)
        got_seq = [("freq", v) if kind == "freq" else ("line", p)
                    for (kind, v), p in zip(events, line_patterns(cs, events))]
        want_seq = [("line", e[1].pattern) if e[0] == "line" else e for e in want_events]
        if got_seq != want_seq:
            for i, (a, b) in enumerate(zip(got_seq, want_seq + [None] * len(got_seq))):
                if a != b:
                    errors.append("%s: report event %d is %s, expected %s" % (label, i, a, b))
                    break
            else:
                errors.append("%s: %d report events, expected %d" % (label, len(got_seq), len(want_seq)))
    if (depth, nodes) != (want_depth, want_nodes):
        errors.append("%s: tree line says depth %d, %d nodes; expected %d, %d"
                      % (label, depth, nodes, want_depth, want_nodes))
    return errors


# ---------------------------------------------------------------------------
# Random cases


def random_input(rng, letters, stops, with_names):
    pool = "".join(letters) + stops
    files = []
    for _ in range(1 if rng.random() < 0.15 else 2):
        lines = []
        for _ in range(rng.randint(2, 6)):
            length = rng.choice([0, 1, 2, 5, 8, 12, 20, 30]) if rng.random() < 0.3 else rng.randint(3, 15)
            seq = "".join(rng.choice(pool) if rng.random() < 0.15 else rng.choice(letters[:3])
                          for _ in range(length))
            lines.append([seq, None])
        files.append(lines)
    # some sequences appear twice, in the same file or in the other one
    for _ in range(rng.randint(1, 3)):
        src = rng.choice(sum(files, []))
        rng.choice(files).append([src[0], None])
    if with_names:
        for lines in files:
            for line in lines:
                if rng.random() < 0.3:
                    line[1] = rng.choice(["x", "yy"])
    return Input([[tuple(line) for line in lines] for lines in files])


def random_settings(rng, mode, genorder, inp):
    kw = dict(genorder=genorder, nr_files=len(inp.files),
              minpos=rng.choice([0, 1, 2, 2, 3, 4]),
              minstrings=rng.choice([0, 0, 1, 2, 3]),
              maxlevel=rng.choice([2, 3, 4, 5] if mode == "plain" else [2, 3, 3, 4]),
              minlevel=rng.choice([0, 0, 0, 1, 2]),
              onepos=rng.random() < 0.2, onestr=rng.random() < 0.3,
              showsets=rng.choice([0, 0, 1, 2, 3, 4, 5, 6, -1]),
              freq_set=rng.choice([0, 0, 0, 1, 2]) if genorder >= 2 else 0)
    if rng.random() < 0.2:
        kw["maxpos"] = rng.choice([4, 8, 15])
    if rng.random() < 0.2:
        kw["maxstrings"] = rng.choice([3, 5])
    if inp.K == len(inp.files) == 2 and rng.random() < 0.25:
        kw["ms"] = (rng.choice([1, 2]), rng.choice([1, 2]))
    if rng.random() < 0.25:
        kw["showratio"] = 1
        kw["goodratio"] = rng.choice([0.0, 0.5, 1.5])
    if rng.random() < 0.3:
        kw["costf"] = 1
    if rng.random() < 0.2:
        kw["only_gap"] = 1
        kw["no_gap_len"] = rng.choice([1, 2, 3])
    if mode in ("groups", "wildcards"):
        kw["maxgrp"] = rng.choice([0, 1, 1, 2])
    if mode == "wildcards":
        kw["wc"] = rng.choice([1, 1, 2])
        kw["maxwc"] = rng.choice([1, 1, 2, 3])
        kw["no_gap_len"] = rng.choice([1, 1, 2, 3])
        kw["init_gap_len"] = rng.choice([0, 0, 1, 2, 127, 200])  # the last two wrap in 8 bits
    st = Settings(**kw)
    if (st.maxpos and st.maxpos < st.minpos) or (st.maxstrings and st.maxstrings < st.minstrings):
        st.maxpos = st.maxstrings = 0  # morva refuses these; not what is tested here
    return st


def make_case(rng, mode):
    if rng.random() < 0.5:
        letters = "".join(rng.sample("ACGT", 4))
    else:
        letters = "".join(rng.sample("KDEQRS", 6))
    stops = ""
    groups = []
    if mode != "plain":
        if rng.random() < 0.6:
            stops = rng.choice("%X")
            letters += stops
        plain = [c for c in letters if c not in stops]
        for _ in range(rng.randint(1, 3)):
            members = "".join(sorted(rng.sample(plain, rng.randint(2, 3)), key=letters.index))
            if rng.random() < 0.3 and stops:
                members += stops  # a group may name a STOP character, which never matches
            if members not in [m for m, _ in groups]:
                groups.append((members, "[%s]" % members))
        if rng.random() < 0.3:  # a user group holding every character
            groups.append((letters, "[all]"))
    elif rng.random() < 0.3:
        stops = rng.choice("%X")
        letters += stops
    cs = Charset(letters, stops, groups, wildcard=False)
    inp = random_input(rng, [c for c in letters if c not in stops], stops,
                       with_names=rng.random() < 0.3)
    return inp, cs


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--binary", required=True)
    ap.add_argument("--mode", choices=["plain", "groups", "wildcards"], required=True)
    ap.add_argument("--seeds", type=int, default=12)
    ap.add_argument("--first-seed", type=int, default=1)
    ap.add_argument("--verbose", action="store_true")
    opts = ap.parse_args()
    binary = os.path.abspath(opts.binary)
    failures = 0
    runs = 0
    for seed in range(opts.first_seed, opts.first_seed + opts.seeds):
        rng = random.Random("%s-%d" % (opts.mode, seed))
        inp, cs = make_case(rng, opts.mode)
        for genorder in range(4):
            st = random_settings(rng, opts.mode, genorder, inp)
            run_cs = Charset(cs.letters, "".join(cs.stops), cs.groups, wildcard=st.wc != 0)
            with tempfile.TemporaryDirectory(prefix="morva_oracle_") as work:
                args, proc = run_morva(binary, inp, run_cs, st, work)
                label = "seed %d genorder %d (%s)" % (seed, genorder, " ".join(args))
                runs += 1
                if proc.returncode != 0:
                    print("%s: exit status %d\n%s" % (label, proc.returncode,
                                                       proc.stderr.decode("latin-1")[-500:]))
                    failures += 1
                    continue
                errors = check_run(Model(inp, run_cs, st), proc.stdout, label)
                if errors:
                    failures += 1
                    print("\n".join(errors[:8]))
                    print("  input files:")
                    for f, lines in enumerate(inp.files, start=1):
                        print("   file %d: %s" % (f, lines))
                    print("  charset:\n" + "".join("    " + l + "\n" for l in run_cs.file_text().splitlines()))
                elif opts.verbose:
                    print("ok " + label)
    print("%d runs, %d failed" % (runs, failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
