#!/usr/bin/env python3
"""Checks of the benchmark scripts: python3 -m unittest bench/test_bench_scripts.py

The runner is exercised with a stand-in binary (a shell script) so that these
checks need no build and take a second.
"""

import collections
import gzip
import operator
import os
import re
import stat
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import family_ranks  # noqa: E402
import gen_corpus  # noqa: E402
import gen_peaks  # noqa: E402
import run_bench  # noqa: E402
import search_work  # noqa: E402


def read_lines(path):
    with open(path) as f:
        return f.read().splitlines()


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def read_fasta(path):
    """Headers and sequences of a FASTA file with one line per sequence."""
    opener = gzip.open if path.endswith(".gz") else open
    with opener(path, "rt") as f:
        lines = f.read().splitlines()
    return lines[0::2], lines[1::2]


def pair_shares(seqs):
    counts = collections.Counter()
    for s in seqs:
        counts.update(map(operator.add, s, s[1:]))
    total = sum(counts.values())
    return {pair: n / total for pair, n in counts.items()}


class GenCorpusTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)

    def test_corpus_shape(self):
        pos, neg = gen_corpus.generate(self.dir.name, "20k", 20_000, 7)
        alphabet = set(gen_corpus.BACKGROUND)
        total = 0
        for path in (pos, neg):
            lines = read_lines(path)
            self.assertTrue(lines)
            for line in lines:
                self.assertGreaterEqual(len(line), gen_corpus.MIN_LEN)
                self.assertLessEqual(len(line), gen_corpus.MAX_LEN)
                self.assertLessEqual(set(line), alphabet)
            total += sum(len(line) for line in lines)
        # Each class may fall short of its half by less than one shortest sequence.
        self.assertLessEqual(total, 20_000)
        self.assertGreater(total, 20_000 - 2 * gen_corpus.MIN_LEN)

    def test_motifs_are_planted_in_their_class(self):
        pos, neg = gen_corpus.generate(self.dir.name, "100k", 100_000, 7)
        signature = sum("SGGQ" in line for line in read_lines(pos))
        background = sum("SGGQ" in line for line in read_lines(neg))
        self.assertGreater(signature, 0.2 * len(read_lines(pos)))
        self.assertLess(background, signature / 10)

    def test_same_seed_same_bytes_and_stamp_reuse(self):
        first = gen_corpus.generate(self.dir.name, "10k", 10_000, 3)
        contents = [read_bytes(p) for p in first]
        mtimes = [os.stat(p).st_mtime_ns for p in first]
        again = gen_corpus.generate(self.dir.name, "10k", 10_000, 3)
        self.assertEqual([os.stat(p).st_mtime_ns for p in again], mtimes)
        other = tempfile.TemporaryDirectory()
        self.addCleanup(other.cleanup)
        fresh = gen_corpus.generate(other.name, "10k", 10_000, 3)
        self.assertEqual([read_bytes(p) for p in fresh], contents)
        # Another seed under the same name rewrites the files.
        reseeded = gen_corpus.generate(self.dir.name, "10k", 10_000, 4)
        self.assertNotEqual([read_bytes(p) for p in reseeded], contents)

    def test_size_names(self):
        self.assertEqual(gen_corpus.parse_size("1M"), 1_000_000)
        self.assertEqual(gen_corpus.parse_size("5000"), 5000)
        for bad in ("x", "10", "-5"):
            with self.assertRaises(Exception):
                gen_corpus.parse_size(bad)


class GenPeaksTest(unittest.TestCase):
    N = 2000
    MOTIF, REVERSE = "GGGACTTTCC", "GGAAAGTCCC"

    @classmethod
    def setUpClass(cls):
        if not os.path.isfile(gen_peaks.DEFAULT_DNA):
            raise unittest.SkipTest("the shared DNA file is not there")
        cls.dir = tempfile.TemporaryDirectory()
        cls.paths = gen_peaks.generate(cls.dir.name, cls.N, seed=5, motif=cls.MOTIF)
        cls.pos = read_fasta(cls.paths["pos"])[1]
        cls.neg = read_fasta(cls.paths["neg"])[1]
        cls.truth = gen_peaks.read_truth(cls.paths["truth"])

    @classmethod
    def tearDownClass(cls):
        cls.dir.cleanup()

    def test_records_and_same_bytes_for_the_same_seed(self):
        for path, name in ((self.paths["pos"], "peak"), (self.paths["neg"], "bg")):
            headers, seqs = read_fasta(path)
            self.assertEqual(headers, [f">{name}_{i}" for i in range(1, self.N + 1)])
            self.assertTrue(all(len(s) == 200 and set(s) <= set("ACGT") for s in seqs))
        mtime = os.stat(self.paths["pos"]).st_mtime_ns
        gen_peaks.generate(self.dir.name, self.N, seed=5, motif=self.MOTIF)
        self.assertEqual(os.stat(self.paths["pos"]).st_mtime_ns, mtime)
        # A fresh run, gzipped, holds the same records; gzipped twice, the same bytes.
        with tempfile.TemporaryDirectory() as other:
            packed = gen_peaks.generate(other, self.N, seed=5, compress=True)
            for kind in ("pos", "neg"):
                self.assertEqual(gzip.decompress(read_bytes(packed[kind])),
                                 read_bytes(self.paths[kind]))
            first = read_bytes(packed["pos"])
            os.remove(packed["stamp"])
            gen_peaks.generate(other, self.N, seed=5, compress=True)
            self.assertEqual(read_bytes(packed["pos"]), first)
            reseeded = gen_peaks.generate(other, self.N, seed=6)
            self.assertNotEqual(read_bytes(reseeded["pos"]), read_bytes(self.paths["pos"]))

    def test_motif_in_its_share_of_peaks_on_both_strands(self):
        planted = int(self.truth["planted"])
        self.assertEqual(planted, 0.3 * self.N)
        self.assertEqual(int(self.truth["plus_strand"]) + int(self.truth["minus_strand"]),
                         planted)
        self.assertEqual(self.truth["reverse_complement"], self.REVERSE)
        plus = sum(self.MOTIF in s for s in self.pos)
        minus = sum(self.REVERSE in s for s in self.pos)
        either = sum(self.MOTIF in s or self.REVERSE in s for s in self.pos)
        # A random 10-mer on either strand: about one peak in 3,000 by chance.
        self.assertGreaterEqual(either, planted)
        self.assertLessEqual(either, planted + 5)
        self.assertGreater(min(plus, minus), 0.4 * planted)
        self.assertLessEqual(sum(self.MOTIF in s or self.REVERSE in s for s in self.neg), 5)

    def test_classes_have_the_composition_of_the_real_dna(self):
        with open(gen_peaks.DEFAULT_DNA) as f:
            real = pair_shares(f.read().split())
        # Independent bases would put AA about 0.017 below the real DNA.
        for seqs, slack in ((self.neg, 0.003), (self.pos, 0.005)):
            shares = pair_shares(seqs)
            for pair, share in real.items():
                self.assertAlmostEqual(shares[pair], share, delta=slack, msg=pair)

    def test_degenerate_motif_resolved_per_copy(self):
        with tempfile.TemporaryDirectory() as other:
            paths = gen_peaks.generate(other, 1000, seed=5, length=40,
                                       motif="GGG[AG]NTTYCC", share=0.5)
            truth = gen_peaks.read_truth(paths["truth"])
            seqs = read_fasta(paths["pos"])[1]
        self.assertEqual(truth["motif"], "GGGRNTTYCC")
        self.assertEqual(truth["reverse_complement"], "GGRAANYCCC")
        plus = [m[1] for m in map(re.compile("GGG([AG])[ACGT]TT[CT]CC").search, seqs) if m]
        minus = [m[1] for m in map(re.compile("GG[AG]AA[ACGT]([CT])CCC").search, seqs) if m]
        self.assertGreaterEqual(len(plus) + len(minus), 500)
        self.assertEqual(set(plus), {"A", "G"})
        self.assertEqual(set(minus), {"C", "T"})

    def test_counts_and_motif_syntax(self):
        self.assertEqual([gen_peaks.parse_count(t) for t in ("50k", "2M", "7")],
                         [50_000, 2_000_000, 7])
        self.assertEqual(gen_peaks.count_label(500_000), "500k")
        for bad in ("0", "5x", "k", "-3"):
            with self.assertRaises(Exception):
                gen_peaks.parse_count(bad)
        for bad in ("TG[A", "TGZ", "[]A", ""):
            with self.assertRaises(ValueError):
                gen_peaks.parse_motif(bad)


STUB = """#!/bin/sh
# Stand-in for morva: behaviour chosen by the first argument.
case "$1" in
  ok)    printf '# banner\\n\\n# Tree is ready. Maximum depth (levels): 7 and treenodes: 1234\\n'
         printf '\\n\\n# Patterns are ready\\n# Input String not tested \\n'
         printf 'progress' >&2 ;;
  fail)  printf 'Some fatal message\\n' >&2; exit 1 ;;
  hang)  sleep 30 ;;
esac
"""


class RunnerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not os.access(run_bench.GNU_TIME, os.X_OK):
            raise unittest.SkipTest("GNU time is not installed")
        cls.dir = tempfile.TemporaryDirectory()
        cls.stub = os.path.join(cls.dir.name, "stub.sh")
        with open(cls.stub, "w") as f:
            f.write(STUB)
        os.chmod(cls.stub, os.stat(cls.stub).st_mode | stat.S_IXUSR)

    @classmethod
    def tearDownClass(cls):
        cls.dir.cleanup()

    def test_figures_of_a_finished_run(self):
        r = run_bench.run_once(self.stub, ["ok"], timeout=20, mem_limit=0)
        self.assertNotIn("failed", r)
        self.assertEqual((r["depth"], r["nodes"]), (7, 1234))
        self.assertGreater(r["rss_kb"], 0)
        self.assertGreater(r["wall"], 0)
        self.assertEqual(r["status"], 0)

    def test_failure_reports_status_and_last_message(self):
        r = run_bench.run_once(self.stub, ["fail"], timeout=20, mem_limit=0)
        self.assertEqual(r["failed"], "exit 1: Some fatal message")

    def test_timeout_kills_the_run(self):
        r = run_bench.run_once(self.stub, ["hang"], timeout=0.5, mem_limit=0)
        self.assertEqual(r["failed"], "timeout > 0.5 s")

    def test_tree_line_found_before_a_long_tail(self):
        path = os.path.join(self.dir.name, "report.txt")
        with open(path, "w") as f:
            f.write("x\n" * 10000)
            f.write("# Tree is ready. Maximum depth (levels): 3 and treenodes: 42\n")
            f.write("# Patterns are ready\n")
        self.assertEqual(run_bench.tree_line(path), (3, 42))
        with open(path, "w") as f:
            f.write("no closing line\n")
        self.assertEqual(run_bench.tree_line(path), (None, None))


class RecordTest(unittest.TestCase):
    def test_cut_is_five_percent_rounded_up_and_at_least_two(self):
        self.assertEqual(run_bench.cut(2681), 135)
        self.assertEqual(run_bench.cut(400), 20)
        self.assertEqual(run_bench.cut(10), 2)

    def test_results_log_gets_one_header_and_escaped_rows(self):
        corpus = run_bench.Corpus("c", ["/data/a.txt"], "f", 10, True)
        scenario = run_bench.SCENARIOS[0]
        done = {"wall": 0.5, "user": 0.25, "sys": 0.05, "rss_kb": 2048, "depth": 4,
                "nodes": 1000, "runs": 3, "out_mb": 0.1, "load": 1.5}
        rows = [run_bench.row_cells("d", "abc", corpus, scenario, "morva -f a|b", done),
                run_bench.row_cells("d", "abc", corpus, scenario, "morva", {"skipped": "why"})]
        self.assertEqual(rows[0][5:11], ["0.500", "0.30", "2.0", "4", "1000", "500000"])
        self.assertEqual(rows[0][11], "best of 3, report 0.1 MB, load 1.5")
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, "results.md")
            run_bench.append_results(path, rows)
            run_bench.append_results(path, rows[:1])
            lines = read_lines(path)
        self.assertEqual(sum(line.startswith("| date |") for line in lines), 1)
        table = [line for line in lines if line.startswith("| d |")]
        self.assertEqual(len(table), 3)
        self.assertIn("a\\|b", table[0])
        self.assertTrue(table[1].endswith("| why |"))

    def test_shown_command_uses_base_names(self):
        corpus = run_bench.Corpus("c", ["/x/a.txt", "/y/b.txt"], "f", 10, True)
        shown = run_bench.shown_command(["-cf", "/z/groups.charclass", "-maxgrp", "2"], corpus)
        self.assertEqual(shown, "morva -f a.txt -f b.txt -cf groups.charclass -maxgrp 2")


class SearchWorkTest(unittest.TestCase):
    REPORT = [
        b"# Set_of_Sets: Domain size is: 100 and nr. of set-collections is 3\n",
        b"<empty> 3/99 \n",
        b"A 3/20 \n",
        b"[ILV].{0,4}W 2/7 1.5 0.25\n",
        b"A..B 2/4\n",
        b"# NR of sequences == 2\n",
        b"not a pattern 2/3\n",
        b"\n",
        b"# Tree is ready. Maximum depth (levels): 4 and treenodes: 4\n",
    ]

    def test_positions_summed_over_pattern_lines_only(self):
        self.assertEqual(search_work.report_work(self.REPORT), (4, 130, 4))
        self.assertEqual(search_work.report_work([]), (0, 0, None))

    def test_table_ratios_and_allowed_cost(self):
        rows = [
            {"name": "plain", "target": None, "cpu": 1.0, "patterns": 10, "positions": 10_000_000,
             "depth": 5},
            {"name": "wildcard", "target": 8.0, "cpu": 10.0, "patterns": 90, "positions": 100_000_000,
             "depth": 12},
        ]
        lines = search_work.table({"cpu": 0.2, "wall": 0.2}, rows)
        self.assertEqual(len(lines), 4)
        # 0.8 s of search over 10 M positions; at the target, 8 s less the set-up over 100 M.
        self.assertEqual(lines[2], "| plain | 10 | 10.0 | 1.00 | 1.00 | 1.00 | 80.0 | - |")
        self.assertEqual(lines[3], "| wildcard | 90 | 100.0 (some at -maxlevel) | 10.00 | 10.00 | "
                                   "10.00 | 98.0 | 78.0 |")

    def test_shares_and_the_per_position_bound(self):
        # Patterns of 100 and 5,000 positions: 100 in the smallest bucket, 5,000 in the next.
        shares = search_work.bucket_shares([b"A 1/100", b"B 2/5000", b"# not a pattern 9/9"])
        self.assertAlmostEqual(shares[0], 100 / 5100)
        self.assertAlmostEqual(shares[1], 5000 / 5100)
        rows = [{"name": "wildcard", "cpu": 2.2, "positions": 100_000_000, "shares": [0.5, 0.5, 0, 0]}]
        costs = {4_000: 12.0, 40_000: 8.0, 400_000: 2.0}
        # 2 s over 100 M positions is 20 ns; the bare mix 10 ns allows 15; at
        # two threads 1.3 s of wall time less the set-up's 0.1 s is 12 ns.
        setup = {"cpu": 0.2, "wall": 0.1}
        self.assertEqual(search_work.per_position_table(setup, rows, costs)[2],
                         "| wildcard | 20.0 | 10.0 | 15.0 | no |")
        rows[0]["wall_threads"] = 1.3
        self.assertEqual(search_work.per_position_table(setup, rows, costs, threads=2)[2],
                         "| wildcard | 20.0 | 10.0 | 15.0 | no | 12.0 | yes |")
        # The counted distribution's mix beside it: (18 + 12) / 2 = 15, 1.5 x bare.
        counted = {4_000: 18.0, 40_000: 12.0, 400_000: 3.0}
        self.assertEqual(search_work.per_position_table(setup, rows, costs, counted, 2)[2],
                         "| wildcard | 20.0 | 10.0 | 15.0 | no | 15.0 | 1.50 | 12.0 | yes |")


class FamilyRanksTest(unittest.TestCase):
    def test_repeats_counted_overlapping(self):
        found = family_ranks.occurrences([("a", "xggmggmggm"), ("b", "GGM")], "GGMGGM")
        self.assertEqual(found, {"a": [(2, 7), (5, 10)]})

    def test_first_row_overlapping_half_the_holders(self):
        # The motif at 10..14 in four sequences; a site shares a position or misses.
        known = {s: [(10, 14)] for s in "abcd"}
        def site(pattern, seq, start, matched, cls="1"):
            return {"pattern": pattern, "sequence": seq, "class": cls, "start": str(start),
                    "matched": matched}
        sites = family_ranks.class1_sites([
            site("P1", "a", 12, "XX"),              # inside: one sequence only
            site("P1", "b", 15, "XXX"),             # starts just after
            site("P1", "c", 10, "XXX", cls="2"),    # class 2: not a member's site
            site("P2", "c", 7, "XXXX"),             # 7..10: touches the first position
            site("P2", "d", 14, "X"),               # the last position
        ])
        rows = [{"pattern": "P1"}, {"pattern": "P2"}]
        self.assertIs(family_ranks.first_overlapping_row(rows, sites, known), rows[1])
        self.assertIsNone(family_ranks.first_overlapping_row(rows[:1], sites, known))


if __name__ == "__main__":
    unittest.main(verbosity=2)
