#!/usr/bin/env python3
"""Naive oracle for morva's pattern search.

A plain model of the search, written from the pattern language and the node
rules, runs next to morva on small random inputs made with fixed seeds, each
under all four expansion orders.  The report between the registry's line and
the closing tree line (pattern lines with costs, counts, class pieces, sets
and ratios; ABANDON, PROPAGATE and "# NR of sequences == " lines) and the
progress marks on standard error must equal the model's.  The model
  * takes every occurrence set from the pattern itself on the joined string
    (an element matches the non-STOP characters it names; a gap .{min,max}
    before it skips min..max usable characters), never from the trie's
    distribution or merges, so all counts are brute force;
  * grows the trie by the node rules (expansion gate, minpos pruning, groups
    and wildcards where the node state allows them and never first, members
    kept for a live group, gaps by max_gap_nr and no_gap_len, queueing by
    minstrings, level and print limits) in the exact order of the search's
    heap, ties included;
  * follows -abandonequal (registry slots by frequency class, the pattern of
    higher cost takes the set and subtree, costs propagated, duplicates in a
    moved subtree re-examined) and the release schedule behind the marks.
It also checks itself: with plain characters its patterns must equal a closed
form over substrings, and breadth- and depth-first reports must come level by
level and in preorder.

  oracle.py --binary PATH --mode plain|groups|wildcards|gaps_equal [--seeds N]
  oracle.py --golden CASE_DIR...     (the model against expected.stdout)
"""
import argparse
import difflib
import itertools
import math
import os
import random
import re
import shlex
import struct
import subprocess
import sys
import tempfile


def f32(v):
    return struct.unpack('f', struct.pack('f', v))[0]


def s8(v):
    """The value an 8-bit signed field keeps."""
    return (v + 128) % 256 - 128


def up(g):
    """The position count of the next position: it stops at 127."""
    return min(g + 1, 127)


class Charset:
    """Codes, STOP characters, groups (with the "." group of -wc) and costs."""

    def __init__(self, text, wc):
        alphabet, stops, prob, groups = None, set(), {}, []
        for line in text.split('\n'):
            toks = list(itertools.takewhile(lambda t: not t.startswith('#'), line.split()))
            if not toks:
                continue
            if alphabet is None:
                alphabet = toks[1] if toks[0] == 'alphabet=' else None
            elif toks[0].startswith('STOP=') and len(toks) > 1:
                stops |= set(toks[1])
            elif toks[0].startswith('p='):
                prob[toks[1][0]] = f32(float(toks[2]))
            elif toks[0].startswith('g='):
                groups.append((toks[1], toks[2] if len(toks) > 2 else '[%s]' % toks[1]))
        if wc:
            groups.append((''.join(c for c in alphabet if c not in stops), '.'))
        self.size, self.total = len(alphabet), len(alphabet) + len(groups)
        self.code = {c: i + 1 for i, c in enumerate(alphabet)}
        self.name = [''] + list(alphabet) + [name for _, name in groups]
        stop_codes = {self.code[c] for c in stops}
        self.matches = [set()] + [{x} - stop_codes for x in range(1, self.size + 1)]
        self.groups_of = [[] for _ in range(self.size + 1)]
        self.wildcard_code = 0  # the last group holding every character
        cost = [0.0] * (self.total + 1)
        for c, p in prob.items():
            cost[self.code.get(c, 0)] = p
        for g, (chars, _) in enumerate(groups, self.size + 1):
            members = sorted({self.code[c] for c in chars})
            self.matches.append(set(members) - stop_codes)
            for x in members:
                self.groups_of[x].append(g)
                cost[g] = f32(cost[g] + cost[x])
            if len(members) == self.size:
                self.wildcard_code = g
        shift = math.log(len(groups) + 1) / math.log(2)
        for x in range(self.total + 1):
            p, group = cost[x], x > self.size
            cost[x] = (f32(-math.log(p) / math.log(2) - (shift if group else 0))
                       if 0 < p < 1 else (-2.0 if group else -1.0))
        self.cost = cost


class Heap:
    """The search's MIN heap with its exact tie behaviour (entry 0 unused)."""

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
        top, x = self.e[1][0], self.e.pop()
        last, i = len(self.e), 1
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


class Handle:
    node = None  # the node that owns the set


class Block:
    def __init__(self, parent):
        self.parent, self.kids, self.unexpanded = parent, [], 0


class Node:
    def __init__(self, block, codes, state):
        self.block, self.codes = block, codes  # a moved subtree keeps its old codes
        block.kids.append(self)
        self.code = codes[-1] if codes else 0
        self.gap_count, self.nr_groups, self.wc_left, self.wc_run = state
        self.cost, self.children, self.set_id = 0.0, None, None


DEFAULTS = dict(minpos=0, minstrings=0, maxpos=0, maxstrings=0, maxgrp=0, wc=0, maxwc=1,
                abandonequal=0, genorder=0, costf=0, min_gap=0, max_gap=2, max_gap_nr=0,
                no_gap_len=1, init_gap_len=0, maxlevel=20, minlevel=0, reportduplicates=1,
                showsets=0, onepos=0, onestr=0, freq_set=0, only_print_if_gap_allowed=0,
                showratio=0, goodratio=0.0, minclass=0, ms=0, v=0)


class Model:
    def __init__(self, words, workdir, node_limit=None):
        o, files, cf, i = dict(DEFAULTS), [], None, 0
        while i < len(words):
            word, value = words[i][1:], words[i + 1] if i + 1 < len(words) else None
            i += 2
            if word in ('onepos', 'onestr'):
                o[word], i = 1, i - 1
            elif word == 'f':
                files.append(os.path.join(workdir, value))
            elif word == 'cf':
                cf = os.path.join(workdir, value)
            elif word == 'ms':
                o['minclass'], o['ms'] = len(files), int(value)
            elif word in DEFAULTS:
                o[word] = f32(float(value)) if word == 'goodratio' else int(value)
            else:
                raise SystemExit('the model does not know the option -' + word)
        # the fixes morva makes after reading the options
        if len(files) < 2:
            o['showratio'] = 0
        o['min_gap'], o['max_gap'] = sorted((max(o['min_gap'], 0), max(o['max_gap'], 0)))
        o['no_gap_len'] = max(o['no_gap_len'], 1)
        o['minstrings'] = max(o['minstrings'], o['ms'])
        o['minpos'] = max(o['minpos'], o['minstrings'])
        self.o = o
        self.cs = Charset(open(cf, encoding='latin-1').read(), o['wc'])
        names, classes, self.coded, self.seq_of_pos, self.seq_end = [], [0], [0], [0], [0]
        for number, name in enumerate(files, 1):
            for line in open(name, encoding='latin-1').read().split('\n'):
                if line == '' or line[0] in '# >':
                    continue
                seq, cls = re.match(r'([^ \t\r\v\f]*)[ \t\r\v\f]*([^ \t\r\v\f]*)', line).groups()
                if seq == '':  # a tab or CR line holds no sequence and names no class
                    continue
                cls = cls or str(number)
                if cls not in names:
                    names.append(cls)
                classes.append(names.index(cls) + 1)
                self.coded += [self.cs.code[c] for c in seq] + [0]
                self.seq_of_pos += [len(classes) - 1] * (len(seq) + 1)
                self.seq_end.append(len(self.coded) - 1)
        self.class_names, self.class_of_seq, self.K = names, classes, len(names)
        self.nr_seqs = len(classes) - 1
        self.memo = {(): list(range(1, len(self.coded)))}
        self.out, self.printed_codes, self.registry = [], [], {}
        # progress marks: '-' per duplicate; '.', ':' and 0xAC per 1000 nodes, sets, freed handles
        self.marks = {'-': 0, 'sets': 0, 'freed': 0, 'nodes': 0}
        self.freq_slot = o['freq_set'] or self.K + 1
        self.node_limit = node_limit
        self.search()

    # -- occurrence sets, from the pattern itself ------------------------

    def usable(self, q):
        return q < len(self.coded) and bool(self.cs.matches[self.coded[q]])

    def occ(self, codes):
        """Sorted positions just after each occurrence (code + 128: after a gap)."""
        if codes not in self.memo:
            starts, code = self.occ(codes[:-1]), codes[-1]
            if code > 128:
                key = codes[:-1] + (128,)
                if key not in self.memo:
                    found = set()
                    for p in starts:  # the gap covers p..q-1, the element stands at q
                        q = p
                        while q <= p + self.o['max_gap'] and self.usable(q):
                            if q >= p + self.o['min_gap']:
                                found.add(q)
                            q += 1
                    self.memo[key] = sorted(found)
                starts, code = self.memo[key], code - 128
            allowed = self.cs.matches[code]
            self.memo[codes] = [q + 1 for q in starts if self.coded[q] in allowed]
        return self.memo[codes]

    def counts(self, codes):
        """Sequences and positions per class slot (0, 1..K, K+1 = total)."""
        key = ('counts',) + codes
        if key not in self.memo:
            K = self.K
            seq, pos, last = [0] * (K + 2), [0] * (K + 2), 0
            for p in self.occ(codes):
                s = self.seq_of_pos[p]
                pos[self.class_of_seq[s]] += 1
                if s != last:
                    last = s
                    seq[self.class_of_seq[s]] += 1
            seq[K + 1], pos[K + 1] = sum(seq), sum(pos)
            self.memo[key] = seq, pos
        return self.memo[key]

    # -- the node rules --------------------------------------------------

    def holds(self, gap_count):
        return gap_count > 0 and gap_count % self.o['no_gap_len'] == 0

    def frequent(self, seq, pos):
        o = self.o
        return pos[-1] >= o['minpos'] and not (o['minstrings'] and (
            seq[-1] < o['minstrings'] or seq[o['minclass']] < o['ms']))

    def may_expand(self, codes):
        o = self.o
        seq, pos = self.counts(codes)
        return (self.frequent(seq, pos) and (pos[-1] != 1 or (o['onepos'] and o['onestr']))
                and (seq[-1] != 1 or o['onestr']))

    def printed(self, codes, gap_count):
        o = self.o
        seq, pos = self.counts(codes)
        return (len(codes) >= o['minlevel'] and self.frequent(seq, pos)
                and not (o['maxstrings'] and seq[-1] > o['maxstrings'])
                and not (o['maxpos'] and pos[-1] > o['maxpos'])
                and not (o['only_print_if_gap_allowed'] and not self.holds(gap_count))
                and not (o['showratio'] and self.ratio(seq) < o['goodratio']))

    def ratio(self, seq):
        """Class 1 against class 2, in sequences per input sequence."""
        total = self.counts(())[0]
        r2 = seq[2] / total[2]
        return 1e6 if r2 == 0 else seq[1] / total[1] / r2

    def live(self, codes, groups, gap):
        """Children codes of one kind: groups over minpos, characters over
        minpos or members of a live group."""
        cs, minpos = self.cs, self.o['minpos']
        n = {x: len(self.occ(codes + (x + gap,))) for x in list(range(1, cs.size + 1)) + groups}
        alive = {g for g in groups if 0 < n[g] >= minpos}
        return [x + gap for x in range(1, cs.total + 1) if x in alive or x <= cs.size and 0 < n[x]
                and (n[x] >= minpos or any(g in alive for g in cs.groups_of[x]))]

    def expand(self, node):
        o, cs, g = self.o, self.cs, node.gap_count
        if not self.may_expand(node.codes):
            return None
        groups_ok = node.nr_groups < o['maxgrp']
        wc_ok = o['wc'] and node.wc_left != 0 and self.holds(g)
        never = (cs.wildcard_code, cs.total if o['wc'] else 0) if not node.codes else ()
        todo = self.live(node.codes, [x for x in range(cs.size + 1, cs.total + 1) if x not in never
                                      and (wc_ok if o['wc'] and x == cs.total else groups_ok)], 0)
        # gap children: not at the root, and int() truncates toward zero as C++ does
        if (o['max_gap_nr'] and node.codes and self.holds(g)
                and int((g - 1) / o['no_gap_len']) < o['max_gap_nr']):
            todo += self.live(node.codes, list(range(cs.size + 1, cs.total + 1)) if groups_ok else [], 128)
        if not todo:
            return None
        block = Block(node)
        block.unexpanded = len(todo)
        for x in todo:
            child = Node(block, node.codes + (x,), self.child_state(node, x))
            if o['costf'] == 1:
                child.cost = (f32(node.cost - 3.0 + cs.cost[x - 128]) if x > 128
                              else f32(node.cost + cs.cost[x]))
            seq, _ = self.counts(child.codes)
            child.nr_seqs, child.freq = seq[-1] & 0xffff, seq[self.freq_slot] & 0xffff
            if x & 127 <= cs.size:
                child.set_id = self.register(child.codes, child.freq)
                if child.set_id.node is None:
                    child.set_id.node = child
        return block

    def child_state(self, node, x):
        o, cs = self.o, self.cs
        g, grp, left, run = node.gap_count, node.nr_groups, node.wc_left, node.wc_run
        if x > 128:
            return up(g), grp + (x - 128 > cs.size), left, 0
        if o['wc'] and x == cs.total:
            return (g, grp, left, run + 1) if run + 1 < o['maxwc'] else (up(g), grp, s8(left - 1), 0)
        grp += x > cs.size
        if run != 0:  # the wildcard run ends here
            return up(g), grp, s8(left - 1), 0
        return (g if self.holds(g) else up(g)), grp, left, run

    def register(self, codes, slot):
        if not self.o['abandonequal']:
            self.marks['sets'] += 1
            return Handle()
        key = (min(slot, self.nr_seqs), tuple(self.occ(codes)))
        if key not in self.registry:
            self.registry[key] = Handle()
            self.marks['sets'] += 1
        return self.registry[key]

    # -- the report ------------------------------------------------------

    def text(self, node):
        o, words = self.o, []
        while node.block.parent is not None:
            x = node.code
            words.append(('.{%d,%d}' % (o['min_gap'], o['max_gap']) if x > 128 else '')
                         + self.cs.name[x & 127])
            node = node.block.parent
        return ''.join(reversed(words)) or '<empty>'

    def set_text(self, node):
        mode, pos, D = self.o['showsets'], self.occ(node.codes), len(self.coded)
        if mode == 4:
            return 'Pos:Str:%d<%s>' % (len(pos), ''.join(
                ',%d:%d' % (p - self.seq_end[self.seq_of_pos[p] - 1], self.seq_of_pos[p]) for p in pos))
        if mode == 5:
            return 'Seq' + ''.join(':%d' % s for s in sorted({self.seq_of_pos[p] for p in pos}))
        if mode >= 6:
            return ''
        # the stored form: a list when short or merged for a group, else bits
        if node.set_id is None or len(pos) < D // 32 or mode == 3:
            return '%d<L:%s>' % (len(pos), ''.join(',%d' % p for p in pos) if mode > 1 else '')
        if mode <= 1:
            return '%d<B:>' % len(pos)
        words = [0] * (D // 32 + 1)
        for p in pos:
            words[p // 32] |= 1 << (p % 32)
        return '%d<B:%s>' % (len(pos), ''.join(',%d' % (w - (1 << 32) if w >= 1 << 31 else w)
                                                 for w in words))

    def print_pattern(self, node):
        o, K = self.o, self.K
        if not self.printed(node.codes, node.gap_count):
            return
        seq, pos = self.counts(node.codes)
        line = self.text(node) + (' %g' % node.cost if o['costf'] else '')
        line += ' %d/%d ' % (seq[-1], pos[-1])
        if K > 1:
            line += ''.join('%s:%d/%d ' % ((['No_class'] + self.class_names)[j], seq[j], pos[j])
                            for j in range(K + 1) if pos[j])
        if o['showsets']:
            line += self.set_text(node)
        if o['showratio']:
            line += ' R:%g' % f32(self.ratio(seq))
        self.out.append(line)
        self.printed_codes.append(node.codes)

    # -- equal sets ------------------------------------------------------

    @staticmethod
    def is_duplicate(k):
        return k.set_id is not None and k.set_id.node is not k

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
        report, owner = self.o['reportduplicates'] != 0, n.set_id.node
        if not owner.cost < n.cost:
            n.children = None
            if report:
                self.out.append('\t# ABANDON: %s ==> and use old instead:  %s'
                                % (self.text(n), self.text(owner)))
            return
        n.children = owner.children
        if n.children is not None:
            n.children.parent = n
            self.propagate_cost(n, f32(n.cost - owner.cost))
        if report:
            self.out.append('\t# ABANDON: %s ==> and use new instead: %s'
                            % (self.text(owner), self.text(n)))
        n.set_id.node = n
        if n.children is not None:
            self.out += ['# ABANDON DURING PROPAGATE'] * report
            self.propagate_best(n)
            self.out += ['# END ABANDON DURING PROPAGATE'] * report

    # -- the search loop -------------------------------------------------

    def search(self):
        o, order = self.o, self.o['genorder']
        root = Node(Block(None), (), (s8(o['init_gap_len']), 0, s8(o['wc']), 0))
        root.block.unexpanded = 1
        root.set_id = self.register((), self.nr_seqs)
        root.set_id.node = root
        seq = self.counts(())[0]
        root.nr_seqs, root.freq = seq[-1], seq[self.freq_slot]
        counter = [0]

        def priority(node):
            if order in (0, 1):
                counter[0] += 1 if order == 0 else -1
                return float(counter[0])
            return float(-node.freq if order == 2 else node.freq)

        heap = Heap()
        heap.insert(root, priority(root))
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
            self.print_pattern(node)
            deepest = max(deepest, len(node.codes))
            self.marks['nodes'] += 1
            if self.node_limit and self.marks['nodes'] > self.node_limit:
                raise OverflowError('the tree grows too large to check quickly')
            if len(node.codes) >= o['maxlevel']:
                continue
            node.children = block = self.expand(node)
            for child in (reversed(block.kids) if order == 1 else block.kids) if block else []:
                if o['abandonequal'] and self.is_duplicate(child):
                    self.marks['-'] += 1
                    self.handle_equal(child)
                elif child.nr_seqs != 0 and child.nr_seqs >= o['minstrings']:
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

    # -- the model against itself ----------------------------------------

    def self_check(self):
        o, cs, problems = self.o, self.cs, []
        got = self.printed_codes
        if not o['abandonequal']:
            if o['genorder'] == 0 and got != sorted(got, key=lambda c: (len(c), c)):
                problems.append('model: breadth-first lines are not level by level')
            if o['genorder'] == 1 and got != sorted(got):
                problems.append('model: depth-first lines are not in preorder')
        if cs.total > cs.size or o['max_gap_nr'] or o['abandonequal']:
            return problems
        # plain characters: every substring whose proper prefixes may be
        # expanded and whose prefixes are queued, filtered by the print limits
        found = set()
        for k in range(1, self.nr_seqs + 1):
            seq = self.coded[self.seq_end[k - 1] + 1:self.seq_end[k]]
            for i in range(len(seq)):
                for j in range(i + 1, min(len(seq), i + o['maxlevel']) + 1):
                    if not cs.matches[seq[j - 1]]:
                        break
                    found.add(tuple(seq[i:j]))
        closed = set()
        for w in found | {()}:
            g, ok = s8(o['init_gap_len']), True
            for i in range(1, len(w) + 1):
                seq, pos = self.counts(w[:i])
                ok = ok and self.may_expand(w[:i - 1]) and pos[-1] >= o['minpos'] and \
                    seq[-1] & 0xffff >= max(1, o['minstrings'])
                g = g if self.holds(g) else up(g)
            if ok and self.printed(w, g):
                closed.add(w)
        if closed != set(got):
            problems.append('model: %d patterns, the closed form over substrings %d'
                            % (len(got), len(closed)))
        return problems


def search_part(stdout_text):
    """The lines after the registry's line, up to the closing tree line."""
    lines = stdout_text.split('\n')
    start = next(i for i, l in enumerate(lines) if l.startswith('# Set_of_Sets:'))
    end = next(i for i, l in enumerate(lines) if l.startswith('# Tree is ready.'))
    return lines[start + 1:end + 1]


def differences(expected, model, what):
    return '\n'.join(list(difflib.unified_diff(expected, model, what, 'model', lineterm='', n=1))[:30])


# ---------------------------------------------------------------------------
# Random cases


def random_files(rng, mode):
    """Character-set text, sequence file texts, number of classes, and whether big."""
    letters = ''.join(rng.sample('ACGT', 4) if rng.random() < 0.5 else rng.sample('KDEQRS', 6))
    stop = rng.choice('%X') if rng.random() < (0.3 if mode == 'plain' else 0.6) else ''
    text = 'alphabet= %s\n' % (letters + stop)
    text += ''.join('p= %s %g\n' % (c, rng.choice([0.05, 0.1, 0.15, 0.25, 0.3, 0.4]))
                    for c in letters if rng.random() < 0.9)
    text += 'STOP= %s\n' % stop if stop else ''
    if mode != 'plain':
        for _ in range(rng.randint(0 if mode == 'gaps_equal' else 1, 3)):
            members = ''.join(sorted(rng.sample(letters, rng.randint(2, 3)), key=letters.index))
            members += stop if stop and rng.random() < 0.3 else ''  # never matches
            text += 'g= %s%s\n' % (members, rng.choice(['', ' grp%d' % rng.randint(1, 9)]))
        if rng.random() < 0.3:  # a group of every character
            text += 'g= %s all\n' % (letters + stop)
    big = mode == 'gaps_equal' and rng.random() < 0.15
    files = []
    for _ in range(1 if rng.random() < 0.2 else 2):
        lines = []
        for _ in range(rng.randint(20, 50) if big else rng.randint(2, 6)):
            length = rng.randint(0, 40) if big else (
                rng.choice([0, 1, 2, 5, 8, 12, 20, 30]) if rng.random() < 0.3 else rng.randint(3, 15))
            lines.append(''.join(rng.choice(letters + stop) if rng.random() < 0.15
                                 else rng.choice(letters[:3]) for _ in range(length)))
        files.append(lines)
    for _ in range(rng.randint(1, 3)):  # some sequences twice, in one file or both
        rng.choice(files).append(rng.choice(sum(files, [])))
    named, classes = rng.random() < 0.3, set()
    for f, lines in enumerate(files, 1):
        if not any(lines):  # a file without a sequence would shift the classes
            lines.append(rng.choice(letters[:3]) * 3)
        for i, seq in enumerate(lines):  # a tab line must add nothing
            name = rng.choice(['x', 'yy']) if named and rng.random() < 0.3 else ''
            if seq:
                classes.add(name or str(f))
            lines[i] = (seq or '\t') + (' ' + name if name else '')
    return text, ['\n'.join(lines) + '\n' for lines in files], len(classes), big


def random_args(rng, mode, genorder, nr_files, nr_classes, big):
    pick, gaps = rng.choice, mode == 'gaps_equal'
    ms = (pick([1, 2]), pick([1, 2])) if nr_classes == nr_files == 2 and rng.random() < 0.25 else (0, 0)
    a = []
    for f in range(1, nr_files + 1):
        a += ['-f', 's%d.txt' % f] + ['-ms', ms[1]] * (ms[0] == f)
    maxlevel = pick({'plain': [2, 3, 4, 5], 'gaps_equal': [2, 3, 4] if big else [2, 3, 4, 6, 20]}
                    .get(mode, [2, 3, 3, 4]))
    minpos, minstrings = pick([6, 10] if big else [0, 1, 2, 2, 3, 4]), pick([0, 0, 1, 2, 3])
    floor = max(minpos, minstrings, ms[1])  # limits below the minimums are refused
    a += ['-cf', 'cs.txt', '-genorder', genorder, '-minpos', minpos, '-minstrings', minstrings,
          '-maxlevel', maxlevel, '-minlevel', pick([0, 0, 0, 1, 2]),
          '-showsets', pick([0, 0, 1, 2, 3, 4, 5, 6, -1])]
    wildcards = 1 if mode == 'wildcards' else 0.3 * gaps
    for chance, option, values in (
            (1 if genorder >= 2 else 0.3 * gaps, '-freq_set', [0, 0, 0, 1, 2]),
            (0.2, '-maxpos', [x for x in (0, 4, 8, 15) if x >= floor] or [0]),
            (0.2, '-maxstrings', [x for x in (0, 3, 5) if x >= floor] or [0]),
            (0.25, '-showratio', [1]), (0.3, '-goodratio', [0.0, 0.5, 1.5]),
            (0.5 if gaps else 0.3, '-costf', [1]), (0.2, '-only_print_if_gap_allowed', [1]),
            (0.5, '-no_gap_len', [1, 1, 2, 3]),
            (1 if mode == 'wildcards' else 0.3, '-init_gap_len', [-3, -2, -1, 0, 1, 2, 126, 127]),
            (mode != 'plain', '-maxgrp', [0, 1, 1, 2]),
            (wildcards, '-wc', [1, 1, 2]), (wildcards, '-maxwc', [1, 1, 2, 3]),
            (0.85 * gaps, '-max_gap_nr', [1, 1, 2, 3]), (gaps, '-min_gap', [0, 1, 2]),
            (gaps, '-max_gap', [0, 1, 2, 3, 5]), (0.6 * gaps, '-abandonequal', [1, 2]),
            (0.3 * gaps, '-reportduplicates', [0]), (0.2, '-onepos', []), (0.3, '-onestr', [])):
        if rng.random() < chance:
            a += [option] + ([pick(values)] if values else [])
    return [str(w) for w in a]


def check_random(binary, mode, seeds, first_seed, threads=1):
    runs = failures = 0
    for seed in range(first_seed, first_seed + seeds):
        rng = random.Random('%s-%d' % (mode, seed))
        charset, files, nr_classes, big = random_files(rng, mode)
        inputs = [('cs.txt', charset)] + [('s%d.txt' % f, t) for f, t in enumerate(files, 1)]
        for genorder in range(4):
            with tempfile.TemporaryDirectory(prefix='morva_oracle_') as work:
                for name, text in inputs:
                    with open(os.path.join(work, name), 'w', encoding='latin-1') as f:
                        f.write(text)
                while True:  # a few settings explode the tree: they are drawn again
                    args = random_args(rng, mode, genorder, len(files), nr_classes, big)
                    try:  # the limit also keeps the queue below its first size
                        model = Model(args, work, node_limit=30000)
                        break
                    except OverflowError:
                        pass
                # The model knows nothing of threads: the search must not either.
                extra = ['-threads', str(threads)] if threads > 1 else []
                proc = subprocess.run(['morva'] + extra + args, executable=binary, cwd=work,
                                      stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
            runs += 1
            problems = model.self_check()
            if proc.returncode != 0:
                problems.append('exit status %d\n%s' % (proc.returncode, proc.stderr[-1500:].decode('latin-1')))
            else:
                got = search_part(proc.stdout.decode('latin-1'))
                if got != model.out:
                    problems.append(differences(got, model.out, 'morva'))
                progress = proc.stderr.split(b'input_string OK\n', 1)[1]
                m = model.marks
                want = {b'-': m['-'], b'.': m['nodes'] // 1000, b':': m['sets'] // 1000,
                        b'\xac': m['freed'] // 1000}
                have = {k: progress.count(k) for k in want}
                if have != want or len(progress) != sum(want.values()):
                    problems.append('progress marks %r, the model expects %r' % (have, want))
            if problems:
                failures += 1
                print('FAILED seed %d: morva %s' % (seed, ' '.join(args)))
                for name, text in inputs:
                    print('--- %s\n%s' % (name, text), end='')
                print('\n'.join(problems))
    print('%s: %d runs, %d differ from the model' % (mode, runs, failures))
    return failures == 0


def check_golden(cases):
    ok = True
    for case in cases:
        model = Model(shlex.split(open(os.path.join(case, 'args')).read()), os.path.join(case, 'in'))
        expected = search_part(open(os.path.join(case, 'expected.stdout'), encoding='latin-1').read())
        if expected != model.out:
            ok = False
            print('MODEL DIFFERS from %s/expected.stdout\n%s' % (case, differences(expected, model.out, 'expected')))
    print('%d golden cases checked' % len(cases))
    return ok


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--binary')
    ap.add_argument('--mode', choices=['plain', 'groups', 'wildcards', 'gaps_equal'], default='plain')
    ap.add_argument('--seeds', type=int, default=40)
    ap.add_argument('--first-seed', type=int, default=1)
    ap.add_argument('--golden', nargs='+', default=[])
    ap.add_argument('--threads', type=int, default=1)
    opts = ap.parse_args()
    ok = check_golden(opts.golden) if opts.golden else True
    if opts.binary:
        ok = check_random(os.path.abspath(opts.binary), opts.mode, opts.seeds, opts.first_seed,
                          opts.threads) and ok
    return 0 if ok else 1


if __name__ == '__main__':
    sys.exit(main())
