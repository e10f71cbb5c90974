#!/usr/bin/env python3
"""Model check of flexible gaps, equal position sets, costs and set release.

A plain model of the search, written from the pattern language and the node
rules (not from the C++ sources), is run next to morva on random inputs made
with fixed seeds.  The model keeps every position set as a sorted Python list
and never releases anything; it follows:

  * expansion: distribution by the next character, group and wildcard sums,
    pruning by minpos, the node state (gap counter, wildcard runs, groups);
  * flexible gaps: after a node's occurrence p, every q in
    [p + min_gap, p + max_gap] such that p..q are all usable (inside a
    sequence, not a STOP character), each q once; gap groups merged from the
    gap character siblings; the limits max_gap_nr and no_gap_len;
  * costs (parent + cost[x]; through a gap parent - 3.0 + cost[x], evaluated
    in double precision and stored as a float);
  * equal sets (-abandonequal): registry slots keyed by the sequence count of
    the frequency class, the cheaper pattern keeps the set, subtrees moved
    with their costs raised, duplicates inside a moved subtree re-examined;
  * the priority queue's exact heap order (ties in the frequency orders);
  * progress marks on standard error: "-" per duplicate, "." per 1000 nodes,
    ":" per 1000 registered sets and the 0xAC byte per 1000 freed handles,
    counted on the release schedule of the search (own set after expansion,
    a block's sets after its last expanded child with groups or wildcards, a
    whole slot when the frequency falls in the most-frequent-first order).

For each run the report between the registry line and the closing tree line
(pattern lines, ABANDON and PROPAGATE lines, "# NR of sequences == " lines)
must equal the model's, and so must the progress marks.

  check_gaps_equal.py --binary PATH [--runs N] [--seed S]
  check_gaps_equal.py --golden CASE_DIR...   (model against expected.stdout)

Only the standard library is used.
"""
import argparse
import difflib
import math
import os
import random
import shlex
import struct
import subprocess
import sys
import tempfile


def f32(x):
    """Round a Python float to single precision."""
    return struct.unpack('f', struct.pack('f', x))[0]


def s8(v):
    """The value an 8-bit signed field keeps."""
    v &= 0xff
    return v - 256 if v >= 128 else v


def c_div(a, b):
    """Integer division that truncates toward zero, as C++ does."""
    q = abs(a) // abs(b)
    return q if (a >= 0) == (b > 0) else -q


class Charset:
    """The character-set file: codes, STOP flags, groups and costs."""

    def __init__(self, path, nr_wc):
        self.alphabet = None
        self.stop = set()
        prob = {}
        self.groups = []  # (members, name) in file order
        for line in open(path, encoding='latin-1').read().split('\n'):
            toks = []
            for t in line.split():
                if t.startswith('#'):
                    break
                toks.append(t)
            if not toks:
                continue
            if self.alphabet is None:
                if toks[0] == 'alphabet=':
                    self.alphabet = toks[1]
                continue
            if toks[0].startswith('STOP=') and len(toks) > 1:
                self.stop |= set(toks[1])
            elif toks[0].startswith('p='):
                prob[toks[1][0]] = f32(float(toks[2]))
            elif toks[0].startswith('g='):
                self.groups.append((toks[1], toks[2] if len(toks) > 2 else '[%s]' % toks[1]))
        if nr_wc:
            self.groups.append((''.join(c for c in self.alphabet if c not in self.stop), '.'))
        self.size = len(self.alphabet)
        self.code = {c: i + 1 for i, c in enumerate(self.alphabet)}
        self.total = self.size + len(self.groups)
        self.is_stop = [False] * 256
        for c in self.stop:
            self.is_stop[self.code[c]] = True
        # members[char] = groups holding it; members[group] = its characters
        self.members = [[] for _ in range(256)]
        for k, (chars, _) in enumerate(self.groups):
            g = self.size + 1 + k
            for x in sorted(self.code[c] for c in chars):
                self.members[x].append(g)
                self.members[g].append(x)
        self.wildcard_code = 0
        for g in range(self.size + 1, self.total + 1):
            if len(self.members[g]) == self.size:
                self.wildcard_code = g
        cost = [0.0] * 256
        for c, p in prob.items():
            cost[self.code.get(c, 0)] = p
        for g in range(self.size + 1, self.total + 1):
            for m in self.members[g]:
                cost[g] = f32(cost[g] + cost[m])
        log2 = math.log(2)
        for x in range(self.size + 1):
            p = cost[x]
            cost[x] = f32(-math.log(p) / log2) if 0 < p < 1 else -1.0
        for g in range(self.size + 1, self.total + 1):
            p = cost[g]
            cost[g] = (f32(-math.log(p) / log2 - math.log(len(self.groups) + 1) / log2)
                       if 0 < p < 1 else -2.0)
        self.cost = cost


class Handle:
    def __init__(self, positions):
        self.set = positions
        self.node = None
        self.counts = None


class Block:
    def __init__(self):
        self.parent = None
        self.kids = []
        self.unexpanded = 0


class Node:
    def __init__(self, block):
        self.block = block
        block.kids.append(self)
        self.code = 0
        self.level = 0
        self.gap_count = 0
        self.nr_groups = 0
        self.wc_left = 0
        self.wc_run = 0
        self.nr_seqs = 0
        self.freq = 0
        self.cost = 0.0
        self.children = None
        self.set_id = None


class Heap:
    """The search's binary heap with its exact tie behaviour (order MIN)."""

    def __init__(self):
        self.e = [None]

    def insert(self, item, priority):
        i = len(self.e)
        self.e.append(None)
        while i > 1 and priority < self.e[i // 2][1]:
            self.e[i] = self.e[i // 2]
            i //= 2
        self.e[i] = (item, priority)

    def pop(self):
        if len(self.e) == 1:
            return None
        top = self.e[1][0]
        last = len(self.e) - 1
        x = self.e.pop()
        i = 1
        while 2 * i < last:
            j = 2 * i
            if j + 1 < last and self.e[j + 1][1] < self.e[j][1]:
                j += 1
            if not self.e[j][1] < x[1]:
                break
            self.e[i] = self.e[j]
            i = j
        if last > 1:
            self.e[i] = x
        return top


DEFAULTS = dict(minpos=0, minstrings=0, maxpos=0, maxstrings=0, maxgrp=0, wc=0, maxwc=1,
                abandonequal=0, genorder=0, costf=0, min_gap=0, max_gap=2, max_gap_nr=0,
                no_gap_len=1, init_gap_len=0, maxlevel=20, minlevel=0, reportduplicates=1,
                showsets=0, onepos=0, onestr=0, freq_set=0, only_print_if_gap_allowed=0)


class Search:
    def __init__(self, seq_files, charset_file, options):
        o = dict(DEFAULTS)
        o.update(options)
        o['min_gap'], o['max_gap'] = max(o['min_gap'], 0), max(o['max_gap'], 0)
        if o['min_gap'] > o['max_gap']:
            o['min_gap'], o['max_gap'] = o['max_gap'], o['min_gap']
        o['no_gap_len'] = max(o['no_gap_len'], 1)
        o['minpos'] = max(o['minpos'], o['minstrings'])
        self.o = o
        self.cs = Charset(charset_file, o['wc'])
        self.read(seq_files)
        self.out = []
        self.marks = {'-': 0, 'sets': 0, 'freed': 0, 'nodes': 0}
        self.registry = {}  # (slot, positions) -> Handle, with -abandonequal

    def read(self, seq_files):
        names, classes, seqs = [], [], []
        for number, name in enumerate(seq_files, 1):
            for line in open(name, encoding='latin-1').read().split('\n'):
                if line == '' or line[0] in '# >':
                    continue
                words = line.split()
                seq = '' if line[0].isspace() else words[0]
                cls = words[1] if len(words) > 1 and not line[0].isspace() else str(number)
                if cls not in names:
                    names.append(cls)
                seqs.append(seq)
                classes.append(names.index(cls) + 1)
        self.class_names, self.nr_seqs = names, len(seqs)
        self.coded, self.seq_of_pos = [0], [0]
        for k, seq in enumerate(seqs, 1):
            for c in seq:
                self.coded.append(self.cs.code[c])
                self.seq_of_pos.append(k)
            self.coded.append(0)
            self.seq_of_pos.append(k)
        self.class_of_seq = [0] + classes
        self.K = len(names)

    # -- sets and counts -------------------------------------------------

    def count(self, positions):
        K = self.K
        pos, seq = [0] * (K + 2), [0] * (K + 2)
        last = 0
        for p in positions:
            s = self.seq_of_pos[p]
            pos[self.class_of_seq[s]] += 1
            if s != last:
                last = s
                seq[self.class_of_seq[s]] += 1
                seq[K + 1] += 1
        pos[K + 1] = len(positions)
        return seq, pos

    def register(self, positions, slot):
        if self.o['abandonequal']:
            key = (min(slot, self.nr_seqs), tuple(positions))
            handle = self.registry.get(key)
            if handle is None:
                handle = self.registry[key] = Handle(positions)
                self.marks['sets'] += 1
            return handle
        self.marks['sets'] += 1
        return Handle(positions)

    def merged(self, node):
        """A group node's set: the union of its member siblings' sets."""
        size = self.cs.size
        through_gap = self.o['max_gap_nr'] != 0 and node.code > 128
        base = node.code - 128 if through_gap else node.code
        result = []
        for k in node.block.kids:
            if through_gap and k.code > 128 and k.code - 128 <= size:
                c = k.code - 128
            elif not through_gap and k.code <= size:
                c = k.code
            else:
                continue
            if c in self.cs.members[base]:
                result += k.set_id.set
        return sorted(result)

    def node_set(self, node):
        return node.set_id.set if node.set_id is not None else self.merged(node)

    def node_counts(self, node):
        if node.set_id is None:
            return self.count(self.merged(node))
        if node.set_id.counts is None:
            node.set_id.counts = self.count(node.set_id.set)
        return node.set_id.counts

    # -- text ------------------------------------------------------------

    def pattern(self, node):
        o, cs = self.o, self.cs
        codes = []
        while node.block.parent is not None:
            codes.append(node.code)
            node = node.block.parent
        text = ''
        for code in reversed(codes):
            if code > 128:
                text += '.{%d,%d}' % (o['min_gap'], o['max_gap'])
                code -= 128
            text += cs.alphabet[code - 1] if code <= cs.size else cs.groups[code - cs.size - 1][1]
        return text or '<empty>'

    def holds(self, gap_count):
        return gap_count != 0 and gap_count % self.o['no_gap_len'] == 0

    def print_pattern(self, node):
        o, K = self.o, self.K
        seq, pos = self.node_counts(node)
        if pos[K + 1] < o['minpos']:
            return
        if o['minstrings'] and seq[K + 1] < o['minstrings']:
            return
        if (o['maxstrings'] and seq[K + 1] > o['maxstrings']) or \
                (o['maxpos'] and pos[K + 1] > o['maxpos']):
            return
        if o['only_print_if_gap_allowed'] and not self.holds(node.gap_count):
            return
        line = self.pattern(node)
        if o['costf']:
            line += ' %g' % node.cost
        line += ' %d/%d ' % (seq[K + 1], pos[K + 1])
        if K > 1:
            for j in range(K + 1):
                if pos[j]:
                    name = 'No_class' if j == 0 else self.class_names[j - 1]
                    line += '%s:%d/%d ' % (name, seq[j], pos[j])
        if o['showsets'] == 3:
            s = self.node_set(node)
            line += '%d<L:%s>' % (len(s), ''.join(',%d' % p for p in s))
        elif o['showsets'] == 5:
            line += 'Seq' + ''.join(':%d' % s for s in
                                    sorted(set(self.seq_of_pos[p] for p in self.node_set(node))))
        self.out.append(line)

    # -- expansion -------------------------------------------------------

    def usable(self, q):
        return q < len(self.coded) and self.coded[q] != 0 and not self.cs.is_stop[self.coded[q]]

    def gap_lists(self, positions):
        o = self.o
        found = set()
        for p in positions:
            q = p  # the gap covers p .. q-1, the next element stands at q
            while q <= p + o['max_gap'] and self.usable(q):
                if q >= p + o['min_gap']:
                    found.add(q)
                q += 1
        lists = {}
        for q in sorted(found):
            lists.setdefault(self.coded[q], []).append(q)
        return lists

    def surviving(self, char_counts, groups_from, groups_to):
        """Candidate counts: group sums, pruning, rare members kept for groups."""
        cs, minpos = self.cs, self.o['minpos']
        counts = [0] * (cs.total + 1)
        for x, n in char_counts.items():
            counts[x] = n
        for g in range(groups_from, groups_to + 1):
            total = sum(counts[m] for m in cs.members[g])
            counts[g] = total if total >= minpos else 0
        return counts

    def prune_chars(self, counts):
        cs, minpos = self.cs, self.o['minpos']
        for x in range(1, cs.size + 1):
            if counts[x] < minpos and not any(counts[g] for g in cs.members[x]):
                counts[x] = 0

    def expand(self, node, is_root):
        o, cs, K = self.o, self.cs, self.K
        positions = self.node_set(node)
        seq, pos = self.node_counts(node)
        if pos[K + 1] < o['minpos'] or (o['minstrings'] and seq[K + 1] < o['minstrings']):
            return None
        if pos[K + 1] == 1 and not (o['onepos'] and o['onestr']):
            return None
        if seq[K + 1] == 1 and not o['onestr']:
            return None
        lists = {}
        for p in positions:
            x = self.coded[p]
            if x != 0 and not cs.is_stop[x]:
                lists.setdefault(x, []).append(p)
        char_counts = {x: len(v) for x, v in lists.items()}
        if node.nr_groups >= o['maxgrp'] and node.wc_left == 0:
            counts = self.surviving(char_counts, 1, 0)
            for x in range(1, cs.size + 1):
                if counts[x] < o['minpos']:
                    counts[x] = 0
        else:
            first = cs.size + 1 if node.nr_groups < o['maxgrp'] else cs.total
            last = cs.total
            if o['wc'] and not (node.wc_left != 0 and self.holds(node.gap_count)):
                last = cs.total - 1
            counts = self.surviving(char_counts, first, last)
            if is_root:
                counts[cs.wildcard_code] = 0
                if o['wc']:
                    counts[cs.total] = 0
            self.prune_chars(counts)
        gap_counts, gap_lists = None, {}
        if o['max_gap_nr'] and self.holds(node.gap_count) and not is_root and \
                c_div(node.gap_count - 1, o['no_gap_len']) < o['max_gap_nr']:
            gap_lists = self.gap_lists(positions)
            gap_chars = {x: len(v) for x, v in gap_lists.items()}
            if node.nr_groups < o['maxgrp']:
                gap_counts = self.surviving(gap_chars, cs.size + 1, cs.total)
                self.prune_chars(gap_counts)
            else:
                gap_counts = self.surviving(gap_chars, 1, 0)
                for x in range(1, cs.size + 1):
                    if gap_counts[x] < o['minpos']:
                        gap_counts[x] = 0
        todo = [(x, False) for x in range(1, cs.total + 1) if counts[x] > 0]
        if gap_counts:
            todo += [(x, True) for x in range(1, cs.total + 1) if gap_counts[x] > 0]
        if not todo:
            return None
        block = Block()
        block.unexpanded = len(todo)
        for x, through_gap in todo:
            child = Node(block)
            child.level = node.level + 1
            if through_gap:
                self.fill_gap_child(node, child, x)
                source = gap_lists.get(x, [])
            else:
                self.fill_child(node, child, x)
                source = lists.get(x, [])
            if x <= cs.size:
                after = [p + 1 for p in source]
                seq2, pos2 = self.count(after)
                child.nr_seqs = seq2[K + 1] & 0xffff
                child.freq = seq2[self.freq_slot] & 0xffff
                child.set_id = self.register(after, child.freq)
                if child.set_id.node is None:
                    child.set_id.node = child
                    child.set_id.counts = (seq2, pos2)
        for child in block.kids:  # groups, merged once their members exist
            if child.set_id is None:
                seq2, _ = self.count(self.merged(child))
                child.nr_seqs = seq2[K + 1] & 0xffff
                child.freq = seq2[self.freq_slot] & 0xffff
        return block

    def fill_child(self, node, child, x):
        o, cs = self.o, self.cs
        g = node.gap_count
        child.code = x
        child.gap_count, child.nr_groups = g, node.nr_groups
        child.wc_left, child.wc_run = node.wc_left, node.wc_run
        if o['costf'] == 1:
            child.cost = f32(node.cost + cs.cost[x])
        if o['wc'] and x == cs.total:
            if node.wc_run + 1 < o['maxwc']:
                child.wc_run = node.wc_run + 1
            else:
                child.wc_run, child.wc_left, child.gap_count = 0, s8(node.wc_left - 1), s8(g + 1)
            return
        if x > cs.size:
            child.nr_groups += 1
        if node.wc_run != 0:
            child.wc_run, child.wc_left, child.gap_count = 0, s8(node.wc_left - 1), s8(g + 1)
        elif not self.holds(g):
            child.gap_count = s8(g + 1)

    def fill_gap_child(self, node, child, x):
        child.code = x + 128
        child.gap_count = s8(node.gap_count + 1)
        child.nr_groups = node.nr_groups + (1 if x > self.cs.size else 0)
        child.wc_left, child.wc_run = node.wc_left, 0
        if self.o['costf'] == 1:
            child.cost = f32(node.cost - 3.0 + self.cs.cost[x])

    # -- equal sets ------------------------------------------------------

    @staticmethod
    def is_duplicate(k):
        return k.set_id is not None and k.set_id.node is not k

    def abandon_line(self, first, verdict, second):
        self.out.append('\t# ABANDON: ' + self.pattern(first) + verdict + self.pattern(second))

    def propagate_cost(self, node, d):
        for k in node.children.kids:
            k.cost = f32(k.cost + d)
            if k.children is not None:
                self.propagate_cost(k, d)

    def propagate_best(self, node):
        for k in node.children.kids:
            if k.children is None and self.is_duplicate(k):
                self.handle_equal(k)
            if k.children is not None:
                self.out.append('# DEBUG: PROPAGATE Best_pat')
                self.propagate_best(k)

    def handle_equal(self, n):
        report = self.o['reportduplicates'] != 0
        owner = n.set_id.node
        if not owner.cost < n.cost:
            n.children = None
            if report:
                self.abandon_line(n, ' ==> and use old instead:  ', owner)
            return
        n.children = owner.children
        if n.children is not None:
            n.children.parent = n
            d = f32(n.cost - owner.cost)
            for k in n.children.kids:
                k.cost = f32(k.cost + d)
                if k.children is not None:
                    self.propagate_cost(k, d)
        if report:
            self.abandon_line(owner, ' ==> and use new instead: ', n)
        n.set_id.node = n
        if n.children is None:
            return
        if report:
            self.out.append('# ABANDON DURING PROPAGATE')
        self.propagate_best(n)
        if report:
            self.out.append('# END ABANDON DURING PROPAGATE')

    # -- the search loop ---------------------------------------------------

    def run(self):
        o = self.o
        self.freq_slot = o['freq_set'] if o['freq_set'] else self.K + 1
        root_block = Block()
        root_block.unexpanded = 1
        root = Node(root_block)
        root.gap_count = s8(o['init_gap_len'])
        root.wc_left = s8(o['wc'])
        root.set_id = self.register(list(range(1, len(self.coded))), self.nr_seqs)
        root.set_id.node = root
        seq, _ = self.node_counts(root)
        root.nr_seqs, root.freq = seq[self.K + 1], seq[self.freq_slot]
        order = o['genorder']
        counter = [0]

        def priority(node):
            if order in (0, 1):
                value = counter[0]
                counter[0] += 1 if order == 0 else -1
                return float(value)
            return float(-node.freq if order == 2 else node.freq)

        heap = Heap()
        heap.insert(root, 0.0 if order in (0, 1) else priority(root))
        last_freq, deepest = root.freq, 0
        hold_blocks = o['maxgrp'] != 0 or o['wc'] != 0
        while True:
            node = heap.pop()
            if node is None:
                break
            if order == 2 and node.freq < last_freq:
                for key in [k for k in self.registry if k[0] == last_freq]:
                    del self.registry[key]
                    self.marks['freed'] += 1
                last_freq = node.freq
                self.out += ['', '', '# NR of sequences == %d' % last_freq]
            if node.level >= o['minlevel']:
                self.print_pattern(node)
            deepest = max(deepest, node.level)
            self.marks['nodes'] += 1
            if node.level >= o['maxlevel']:
                continue
            block = self.expand(node, node is root)
            node.children = block
            if block is not None:
                block.parent = node
                for child in (reversed(block.kids) if order == 1 else block.kids):
                    if o['abandonequal'] and self.is_duplicate(child):
                        self.marks['-'] += 1
                        self.handle_equal(child)
                        continue
                    if child.nr_seqs != 0 and child.nr_seqs >= o['minstrings']:
                        heap.insert(child, priority(child))
            if not o['abandonequal']:
                if hold_blocks:
                    node.block.unexpanded -= 1
                    if node.block.unexpanded == 0:
                        self.marks['freed'] += sum(1 for k in node.block.kids if k.set_id)
                elif node.set_id is not None:
                    self.marks['freed'] += 1
        self.out += ['', '# Tree is ready. Maximum depth (levels): %d and treenodes: %d'
                     % (deepest, self.marks['nodes'])]


# ---------------------------------------------------------------------------

OPTION_WORDS = {'-minpos': 'minpos', '-minstrings': 'minstrings', '-maxpos': 'maxpos',
                '-maxstrings': 'maxstrings', '-maxgrp': 'maxgrp', '-wc': 'wc', '-maxwc': 'maxwc',
                '-abandonequal': 'abandonequal', '-genorder': 'genorder', '-costf': 'costf',
                '-min_gap': 'min_gap', '-max_gap': 'max_gap', '-max_gap_nr': 'max_gap_nr',
                '-no_gap_len': 'no_gap_len', '-init_gap_len': 'init_gap_len',
                '-maxlevel': 'maxlevel', '-minlevel': 'minlevel', '-showsets': 'showsets',
                '-reportduplicates': 'reportduplicates', '-freq_set': 'freq_set',
                '-only_print_if_gap_allowed': 'only_print_if_gap_allowed'}


def parse_args(words):
    files, charset, options = [], None, {}
    i = 0
    while i < len(words):
        word = words[i]
        if word == '-f':
            files.append(words[i + 1])
        elif word == '-cf':
            charset = words[i + 1]
        elif word == '-v':
            pass  # diagnostics only
        elif word in ('-onepos', '-onestr'):
            options[word[1:]] = 1
            i -= 1
        elif word in OPTION_WORDS:
            options[OPTION_WORDS[word]] = int(words[i + 1])
        else:
            raise SystemExit('the model does not know the option ' + word)
        i += 2
    return files, charset, options


def model_run(words, workdir):
    files, charset, options = parse_args(words)
    cwd = os.getcwd()
    os.chdir(workdir)
    try:
        search = Search(files, charset, options)
        search.run()
    finally:
        os.chdir(cwd)
    return search


def search_part(stdout_text):
    """The lines after the registry's line, up to the closing tree line."""
    lines = stdout_text.split('\n')
    start = next(i for i, l in enumerate(lines) if l.startswith('# Set_of_Sets:'))
    end = next(i for i, l in enumerate(lines) if l.startswith('# Tree is ready.'))
    return lines[start + 1:end + 1]


CHARSETS = [
    "alphabet= ACGT%\nSTOP= %\np= A 0.3\np= C 0.2\np= G 0.2\np= T 0.25\n",
    "alphabet= ACGT%\nSTOP= %\np= A 0.3\np= C 0.2\np= G 0.2\np= T 0.25\ng= AG pur\ng= CT pyr\n",
    "alphabet= ACGT\np= A 0.1\np= C 0.4\np= G 0.3\np= T 0.15\ng= AG pur\ng= ACT\n",
    "alphabet= ABCDE\np= A 0.1\np= B 0.15\np= C 0.2\np= D 0.25\np= E 0.3\n"
    "g= AB\ng= BCD bcd\ng= ABCDE all\n",
]


def random_case(rnd):
    """Input files and a command line; mostly tiny inputs, some larger ones
    whose runs register and free thousands of sets."""
    charset = rnd.randrange(len(CHARSETS))
    alphabet = CHARSETS[charset].split('\n')[0].split()[1]
    big = rnd.random() < 0.15
    files = []
    for _ in range(rnd.choice([1, 1, 2])):
        letters = alphabet[:rnd.choice([2, 3, len(alphabet)])]
        lines = [''.join(rnd.choice(letters) for _ in range(rnd.randint(0, 40 if big else 14)))
                 for _ in range(rnd.randint(20, 50) if big else rnd.randint(1, 6))]
        if rnd.random() < 0.3:
            lines.append(rnd.choice(lines))
        files.append('\n'.join(lines) + '\n')
    args = []
    for i in range(len(files)):
        args += ['-f', 's%d.txt' % i]
    args += ['-cf', 'cs.txt', '-minpos', str(rnd.choice([6, 10]) if big else rnd.choice([1, 2, 3]))]
    args += ['-maxlevel', str(rnd.choice([2, 3, 4]) if big else rnd.choice([2, 3, 4, 6, 20]))]
    if rnd.random() < 0.3:
        args += ['-minstrings', str(rnd.choice([1, 2]))]
    if rnd.random() < 0.85:
        args += ['-max_gap_nr', str(rnd.choice([1, 1, 2, 3])),
                 '-min_gap', str(rnd.choice([0, 1, 2])),
                 '-max_gap', str(rnd.choice([0, 1, 2, 3, 5]))]
        if rnd.random() < 0.4:
            args += ['-no_gap_len', str(rnd.choice([1, 2, 3]))]
        if rnd.random() < 0.3:
            args += ['-init_gap_len', str(rnd.choice([-2, -1, 1, 2, 126, 127]))]
    if charset > 0 and rnd.random() < 0.5:
        args += ['-maxgrp', str(rnd.choice([1, 2]))]
    if rnd.random() < 0.3:
        args += ['-wc', str(rnd.choice([1, 2])), '-maxwc', str(rnd.choice([1, 2, 3]))]
    if len(files) == 2 and rnd.random() < 0.3:
        args += ['-freq_set', str(rnd.choice([1, 2]))]
    if rnd.random() < 0.6:
        args += ['-abandonequal', str(rnd.choice([1, 2]))]
    if rnd.random() < 0.5:
        args += ['-costf', '1']
    if rnd.random() < 0.3:
        args += ['-reportduplicates', '0']
    args += ['-genorder', str(rnd.choice([0, 1, 2, 3]))]
    for flag in ('-onestr', '-onepos'):
        if rnd.random() < 0.2:
            args.append(flag)
    if rnd.random() < 0.5:
        args += ['-showsets', rnd.choice(['3', '5'])]
    return CHARSETS[charset], files, args


def check_binary(binary, runs, seed):
    failures = 0
    for run in range(runs):
        rnd = random.Random(seed * 1000003 + run)
        charset, files, args = random_case(rnd)
        with tempfile.TemporaryDirectory(prefix='morva_model_') as work:
            for i, text in enumerate(files):
                with open(os.path.join(work, 's%d.txt' % i), 'w') as f:
                    f.write(text)
            with open(os.path.join(work, 'cs.txt'), 'w') as f:
                f.write(charset)
            proc = subprocess.run(['morva'] + args, executable=binary, cwd=work,
                                  stdin=subprocess.DEVNULL, capture_output=True, timeout=300)
            model = model_run(args, work)
        label = 'run %d: morva %s' % (run, ' '.join(args))
        if proc.returncode != 0:
            failures += 1
            print('FAILED %s\n  exit status %d\n%s' % (label, proc.returncode,
                                                     proc.stderr[-1500:].decode('latin-1')))
            continue
        problems = []
        got = search_part(proc.stdout.decode('latin-1'))
        if got != model.out:
            diff = difflib.unified_diff(got, model.out, 'morva', 'model', lineterm='', n=1)
            problems.append('\n'.join(list(diff)[:30]))
        progress = proc.stderr.split(b'input_string OK\n', 1)[1]
        m = model.marks
        want = {b'-': m['-'], b'.': m['nodes'] // 1000, b':': m['sets'] // 1000,
                b'\xac': m['freed'] // 1000}
        have = {k: progress.count(k) for k in want}
        if have != want or len(progress) != sum(want.values()):
            problems.append('progress marks %r, the model expects %r' % (have, want))
        if problems:
            failures += 1
            print('FAILED %s' % label)
            for i, text in enumerate(files):
                print('--- s%d.txt\n%s' % (i, text), end='')
            print('\n'.join(problems))
    print('%d of %d random runs differ from the model' % (failures, runs))
    return failures == 0


def check_golden(cases):
    ok = True
    for case in cases:
        words = shlex.split(open(os.path.join(case, 'args')).read())
        model = model_run(words, os.path.join(case, 'in'))
        expected = search_part(open(os.path.join(case, 'expected.stdout'),
                                    encoding='latin-1').read())
        if expected != model.out:
            ok = False
            print('MODEL DIFFERS from %s/expected.stdout' % case)
            print('\n'.join(difflib.unified_diff(expected, model.out, 'expected', 'model',
                                                 lineterm='', n=1)))
    print('%d golden cases checked' % len(cases))
    return ok


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--binary')
    ap.add_argument('--runs', type=int, default=120)
    ap.add_argument('--seed', type=int, default=1)
    ap.add_argument('--golden', nargs='+')
    opts = ap.parse_args()
    ok = True
    if opts.golden:
        ok = check_golden(opts.golden) and ok
    if opts.binary:
        ok = check_binary(os.path.abspath(opts.binary), opts.runs, opts.seed) and ok
    return 0 if ok else 1


if __name__ == '__main__':
    sys.exit(main())
