#!/usr/bin/env python3
"""How much work each of the four benchmark searches does, and what it costs.

The search expands every pattern it reports (below -maxlevel) by walking the
pattern's positions once, so the positions of the reported patterns, summed,
are the work of a search whatever the code does per position: no child is
found without visiting the positions it comes from. This script runs the
plain, grouped, two-gap and wildcard searches of the benchmark log on one
corpus, sums the positions from each report ("PATTERN S/P" lines), takes the
median CPU time (user + system) of a few runs and prints, per search:

- the positions walked and their ratio to the plain search's;
- the CPU time and its ratio to the plain search's;
- the CPU time per position walked, set-up excluded (a -maxlevel 0 run reads
  the input and builds the root without expanding anything);
- for a search with a target ratio to the plain search, the time per position
  that meeting the target would allow;
- with --bench-sets, a second table: the same time per position beside the
  bare distribution's cost at the search's own mix of set sizes (what
  `bench_sets` measures for reading each position's code and appending it to
  that code's list, sets of 4 K, 40 K and 400 K positions scattered over
  10 M), and whether it is within 1.5 times that; with --threads N also the
  wall time per position of the same searches at -threads N (set-up wall
  time excluded), beside the same bound.

Run on an idle machine; quote the ratios, not single times:

    python3 bench/search_work.py --binary build/morva --corpus protein_10M
"""

import argparse
import json
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from run_bench import GROUPS_FILE, TREE_LINE, Corpus, cut  # noqa: E402

PATTERN_LINE = re.compile(rb"^(\S+) (\d+)/(\d+)(?:\s|$)")

MAXLEVEL = 12
# name, extra arguments, target ratio of CPU time to the plain search's
SEARCHES = [
    ("plain", [], None),
    ("grouped", ["-cf", GROUPS_FILE, "-maxgrp", "2"], 2.0),
    ("two gaps", ["-max_gap_nr", "2", "-min_gap", "0", "-max_gap", "4", "-no_gap_len", "2",
                  "-init_gap_len", "1"], 4.0),
    ("wildcard", ["-wc", "2", "-maxwc", "3"], 8.0),
]


def report_work(lines):
    """Patterns, positions summed over them and the depth, from report lines (bytes)."""
    patterns = positions = 0
    depth = None
    for line in lines:
        match = PATTERN_LINE.match(line)
        if match:
            patterns += 1
            positions += int(match.group(3))
            continue
        match = TREE_LINE.search(line)
        if match:
            depth = int(match.group(1))
    return patterns, positions, depth


# Set sizes (a pattern's positions) by the bench_sets size that stands for them.
SIZE_BUCKETS = [(4_000, 4_000), (64_000, 40_000), (1_000_000, 400_000), (None, 400_000)]


def bucket_shares(lines):
    """The share of the walked positions in each SIZE_BUCKETS bucket, from report lines (bytes)."""
    walked = [0] * len(SIZE_BUCKETS)
    for line in lines:
        match = PATTERN_LINE.match(line)
        if not match:
            continue
        p = int(match.group(3))
        for i, (below, _) in enumerate(SIZE_BUCKETS):
            if below is None or p < below:
                walked[i] += p
                break
    total = sum(walked)
    return [w / total if total else 0.0 for w in walked]


def bare_costs(bench_sets, repeat):
    """ns a position per bench_sets size (median of repeat) of the bare distribution
    (DistributeList) and of the distribution with the least counting a child needs
    (DistributeCounted): two dicts."""
    out = subprocess.run([bench_sets, "--benchmark_filter=Distribute(List|Counted)/",
                          f"--benchmark_repetitions={repeat}", "--benchmark_format=json"],
                         capture_output=True, check=True, text=True).stdout
    costs = {"BM_DistributeList": {}, "BM_DistributeCounted": {}}
    for b in json.loads(out)["benchmarks"]:
        if b.get("aggregate_name") == "median":
            name, size = b["name"].split("/")[:2]
            costs[name][int(size.split("_")[0])] = 1e9 / b["items_per_second"]
    return costs["BM_DistributeList"], costs["BM_DistributeCounted"]


def per_position_table(setup, rows, costs, counted=None, threads=None):
    """ns a walked position against 1.5 times the bare distribution at the same set sizes
    (with counted: beside it, the distribution that counts each child's sequences)."""
    head = "| search | ns a walked position (CPU) | bare distribution at its set sizes (ns) | 1.5 x bare | within |"
    rule = "|---|---|---|---|---|"
    if counted:
        head += " counted distribution at its set sizes (ns) | / bare |"
        rule += "---|---|"
    if threads:
        head += f" wall ns a position at -threads {threads} | within |"
        rule += "---|---|"
    lines = [head, rule]

    def at_sizes(table, shares):
        return sum(share * table[n] for share, (_, n) in zip(shares, SIZE_BUCKETS))

    for r in rows:
        ns = 1e9 * (r["cpu"] - setup["cpu"]) / r["positions"] if r["positions"] else float("nan")
        bare = at_sizes(costs, r["shares"])
        line = (f"| {r['name']} | {ns:.1f} | {bare:.1f} | {1.5 * bare:.1f} | "
                f"{'yes' if ns <= 1.5 * bare else 'no'} |")
        if counted:
            least = at_sizes(counted, r["shares"])
            line += f" {least:.1f} | {least / bare:.2f} |"
        if threads:
            wall = 1e9 * (r["wall_threads"] - setup["wall"]) / r["positions"]
            line += f" {wall:.1f} | {'yes' if wall <= 1.5 * bare else 'no'} |"
        lines.append(line)
    return lines


def cpu_run(argv, report_path, wall=False):
    """CPU seconds (user + system) of one run whose report goes to report_path
    (with wall: its wall seconds instead)."""
    start = time.monotonic()
    with open(report_path, "wb") as out:
        proc = subprocess.Popen(argv, stdout=out, stderr=subprocess.DEVNULL)
        _, status, usage = os.wait4(proc.pid, 0)
    if status != 0:
        sys.exit(f"search_work: {' '.join(argv)} exited with status {status}")
    return time.monotonic() - start if wall else usage.ru_utime + usage.ru_stime


def measure(binary, corpus_file, repeat, threads=None):
    ms = cut(Corpus("", [corpus_file], "", 0, True).sequences())
    base = [binary, "-f", corpus_file, "-minstrings", str(ms)]
    rows = []
    with tempfile.TemporaryDirectory() as work:
        report = os.path.join(work, "report.txt")
        setup = {"cpu": statistics.median(cpu_run(base + ["-maxlevel", "0"], report) for _ in range(repeat)),
                 "wall": statistics.median(cpu_run(base + ["-maxlevel", "0"], report, True)
                                           for _ in range(repeat))}
        for name, extra, target in SEARCHES:
            argv = base + ["-maxlevel", str(MAXLEVEL)] + extra
            wall_threads = None
            if threads:
                wall_threads = statistics.median(cpu_run(argv + ["-threads", str(threads)], report, True)
                                                 for _ in range(repeat))
            times = [cpu_run(argv, report) for _ in range(repeat)]
            with open(report, "rb") as f:
                patterns, positions, depth = report_work(f)
            with open(report, "rb") as f:
                shares = bucket_shares(f)
            rows.append({"name": name, "target": target, "cpu": statistics.median(times),
                         "wall_threads": wall_threads,
                         "patterns": patterns, "positions": positions, "depth": depth,
                         "shares": shares})
    return ms, setup, rows


def table(setup, rows):
    """The printed table (a list of lines); rows[0] is the plain search."""
    plain = rows[0]
    lines = ["| search | patterns | positions walked (M) | / plain | CPU s | / plain | ns a position "
             "| ns a position at the target |",
             "|---|---|---|---|---|---|---|---|"]
    for r in rows:
        work = r["cpu"] - setup["cpu"]
        ns = 1e9 * work / r["positions"] if r["positions"] else float("nan")
        allowed = "-"
        if r["target"] is not None and r["positions"]:
            allowed = f"{1e9 * (r['target'] * plain['cpu'] - setup['cpu']) / r['positions']:.1f}"
        depth_note = "" if r["depth"] is None or r["depth"] < MAXLEVEL else " (some at -maxlevel)"
        lines.append(f"| {r['name']} | {r['patterns']} | {r['positions'] / 1e6:.1f}{depth_note} | "
                     f"{r['positions'] / plain['positions']:.2f} | {r['cpu']:.2f} | "
                     f"{r['cpu'] / plain['cpu']:.2f} | {ns:.1f} | {allowed} |")
    return lines


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--binary", required=True)
    parser.add_argument("--data", default="/work/shared/data")
    parser.add_argument("--corpus", default="protein_10M")
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--bench-sets", help="the bench_sets binary: add the per-position table")
    parser.add_argument("--threads", type=int, help="also the wall time per position at -threads N")
    args = parser.parse_args(argv)
    corpus_file = os.path.join(args.data, args.corpus + ".txt")
    ms, setup, rows = measure(os.path.abspath(args.binary), corpus_file, args.repeat, args.threads)
    print(f"{args.corpus}, -minstrings {ms} -maxlevel {MAXLEVEL}, median of {args.repeat} runs; "
          f"set-up (-maxlevel 0) {setup['cpu']:.2f} CPU s, {setup['wall']:.2f} wall s")
    print("\n".join(table(setup, rows)))
    if args.bench_sets:
        costs, counted = bare_costs(os.path.abspath(args.bench_sets), args.repeat)
        print()
        for what, table_ in (("bare distribution (bench_sets DistributeList", costs),
                             ("counted distribution (bench_sets DistributeCounted", counted)):
            print("%s, median of %d): %s" % (
                what, args.repeat, ", ".join(f"{n // 1000} K {c:.1f} ns" for n, c in sorted(table_.items()))))
        print("\n".join(per_position_table(setup, rows, costs, counted or None, args.threads)))


if __name__ == "__main__":
    main()
