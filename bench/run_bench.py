#!/usr/bin/env python3
"""Whole-run benchmarks of morva's search.

Runs an already built morva binary over the real sequence files of the shared
data and over the synthetic corpora of gen_corpus.py, in a fresh temporary
working directory per run with the report written to a file there, and prints
for every corpus and scenario the wall time, the peak resident set size (from
GNU time), the search's node count and depth (from its closing line
"# Tree is ready. Maximum depth (levels): D and treenodes: N") and the wall time
per node. Each run is also appended as a row to bench/results.md, the committed
log of benchmark runs, with the date, the git commit and the command.

A scenario is skipped on a larger corpus of a family when a smaller one timed
out, or when scaling the smaller one's time by the size ratio predicts more than
the time limit; the table says so.

Needs /usr/bin/time (Debian package "time"). Builds nothing itself:

    cmake -S . -B build -DMORVA_BENCH=OFF && cmake --build build -j2
    python3 bench/run_bench.py --binary build/morva
"""

import argparse
import datetime
import math
import os
import re
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)
sys.path.insert(0, HERE)
import gen_corpus  # noqa: E402

GNU_TIME = "/usr/bin/time"
TREE_LINE = re.compile(
    rb"# Tree is ready\. Maximum depth \(levels\): (\d+) and treenodes: (\d+)")
GROUPS_FILE = os.path.join(HERE, "amino_groups.charclass")


class Corpus:
    def __init__(self, name, files, family, residues, protein):
        self.name = name
        self.files = files
        self.family = family      # corpora of one family differ only in size
        self.residues = residues
        self.protein = protein    # the amino-acid groups apply

    def sequences(self):
        n = 0
        for path in self.files:
            with open(path, "rb") as f:
                n += sum(1 for line in f if line.strip())
        return n


class Scenario:
    def __init__(self, name, args, protein_only=False):
        self.name = name
        self.args = args          # function(corpus, five_percent) -> argument list
        self.protein_only = protein_only


def cut(n_seqs):
    """Five per cent of the sequences, at least 2."""
    return max(2, math.ceil(0.05 * n_seqs))


SCENARIOS = [
    Scenario("plain", lambda c, m: ["-minstrings", str(m), "-maxlevel", "12"]),
    Scenario("ms2", lambda c, m: ["-minstrings", "2", "-maxlevel", "12"]),
    Scenario("grouped", lambda c, m: ["-minstrings", str(m), "-maxlevel", "12",
                                      "-cf", GROUPS_FILE, "-maxgrp", "2"],
             protein_only=True),
    Scenario("wildcard", lambda c, m: ["-minstrings", str(m), "-maxlevel", "12",
                                       "-wc", "2", "-maxwc", "3"]),
    Scenario("gap", lambda c, m: ["-minstrings", str(m), "-maxlevel", "12",
                                  "-max_gap_nr", "1", "-min_gap", "1", "-max_gap", "3"]),
    Scenario("abandon", lambda c, m: ["-minstrings", str(m), "-maxlevel", "12",
                                      "-abandonequal", "1", "-genorder", "2", "-costf", "1"]),
]


def corpora(data_dir, cache_dir, sizes):
    def real(name, files, family, residues, protein):
        paths = [os.path.join(data_dir, f) for f in files]
        return Corpus(name, paths, family, residues, protein)

    out = [
        real("abc_atpase", ["abc_atpase.pos.txt", "abc_atpase.neg.txt"],
             "abc", 165_717, True),
        real("protein_1M", ["protein_1M.txt"], "protein", 1_000_246, True),
        real("protein_10M", ["protein_10M.txt"], "protein", 10_000_135, True),
        real("dna_1M", ["dna_1M.txt"], "dna", 1_000_200, False),
    ]
    for label in sizes:
        residues = gen_corpus.parse_size(label)
        pos, neg = gen_corpus.generate(cache_dir, label, residues,
                                       gen_corpus.DEFAULT_SEED)
        out.append(Corpus(f"gen_{label}", [pos, neg], "gen", residues, True))
    return out


def git_commit():
    """HEAD's short hash, marked -dirty when the sources that make the binary
    differ from it (the binary is assumed to be built from this work tree)."""
    try:
        rev = subprocess.run(["git", "-C", REPO, "rev-parse", "--short", "HEAD"],
                             capture_output=True, text=True, check=True).stdout.strip()
        dirty = subprocess.run(["git", "-C", REPO, "status", "--porcelain",
                                "--untracked-files=no", "--", "src", "CMakeLists.txt"],
                               capture_output=True, text=True).stdout.strip()
        return rev + ("-dirty" if dirty else "")
    except (OSError, subprocess.CalledProcessError):
        return "unknown"


def parse_gnu_time(path):
    figures = {}
    with open(path, errors="replace") as f:
        for line in f:
            key, _, value = line.strip().rpartition(": ")
            if key == "Maximum resident set size (kbytes)":
                figures["rss_kb"] = int(value)
            elif key == "User time (seconds)":
                figures["user"] = float(value)
            elif key == "System time (seconds)":
                figures["sys"] = float(value)
            elif key == "Exit status":
                figures["status"] = int(value)
    return figures


def tree_line(path):
    """Depth and node count from the closing line of a report file."""
    with open(path, "rb") as f:
        f.seek(0, os.SEEK_END)
        f.seek(max(0, f.tell() - 4096))
        tail = f.read()
    match = None
    for match in TREE_LINE.finditer(tail):
        pass
    return (int(match.group(1)), int(match.group(2))) if match else (None, None)


def limit_memory(limit_bytes):
    def apply():
        if limit_bytes:
            resource.setrlimit(resource.RLIMIT_AS, (limit_bytes, limit_bytes))
    return apply


def run_once(binary, args, timeout, mem_limit):
    """One run in a fresh working directory; a dict of figures or of the failure."""
    with tempfile.TemporaryDirectory(prefix="morva-bench-") as work:
        out_path = os.path.join(work, "report.txt")
        err_path = os.path.join(work, "stderr.txt")
        time_path = os.path.join(work, "time.txt")
        cmd = [GNU_TIME, "-v", "-o", time_path, binary] + args
        with open(out_path, "wb") as out, open(err_path, "wb") as err:
            start = time.perf_counter()
            proc = subprocess.Popen(cmd, cwd=work, stdout=out, stderr=err,
                                    stdin=subprocess.DEVNULL, start_new_session=True,
                                    preexec_fn=limit_memory(mem_limit))
            # A blocking wait: Popen.wait(timeout=...) polls with sleeps of up
            # to 50 ms, which would round every short run up to the next poll.
            timed_out = threading.Event()

            def kill():
                timed_out.set()
                os.killpg(proc.pid, signal.SIGKILL)

            timer = threading.Timer(timeout, kill)
            timer.start()
            try:
                proc.wait()
            finally:
                timer.cancel()
            wall = time.perf_counter() - start
            if timed_out.is_set():
                return {"failed": f"timeout > {timeout:g} s"}
        figures = parse_gnu_time(time_path) if os.path.exists(time_path) else {}
        status = figures.get("status", proc.returncode)
        if status != 0:
            with open(err_path, "rb") as f:
                lines = f.read().decode("utf-8", "replace").strip().splitlines()
            last = lines[-1][-120:] if lines else ""
            return {"failed": f"exit {status}: {last}"}
        depth, nodes = tree_line(out_path)
        figures.update(wall=wall, depth=depth, nodes=nodes,
                       out_mb=os.path.getsize(out_path) / 1e6)
        return figures


def run_scenario(binary, args, timeout, repeat, mem_limit):
    """Best of up to `repeat` runs; runs that take over two seconds are not repeated."""
    best = None
    load = os.getloadavg()[0]
    for i in range(repeat):
        result = run_once(binary, args, timeout, mem_limit)
        if "failed" in result:
            return result
        if best is None or result["wall"] < best["wall"]:
            best = result
        if result["wall"] > 2.0:
            break
    best["runs"] = i + 1
    best["load"] = load
    return best


def shown_command(args, corpus):
    """The command as recorded: file arguments by their base names."""
    words = ["morva"]
    for path in corpus.files:
        words += ["-f", os.path.basename(path)]
    words += [os.path.basename(a) if os.path.isabs(a) else a for a in args]
    return " ".join(words)


def fmt(value, digits):
    return "-" if value is None else f"{value:.{digits}f}"


def row_cells(date, commit, corpus, scenario, command, r):
    if "failed" in r or "skipped" in r:
        note = r.get("failed") or r.get("skipped")
        return [date, commit, corpus.name, scenario.name, f"`{command}`",
                "-", "-", "-", "-", "-", "-", note]
    ns = r["wall"] * 1e9 / r["nodes"] if r.get("nodes") else None
    return [date, commit, corpus.name, scenario.name, f"`{command}`",
            fmt(r["wall"], 3), fmt(r.get("user", 0) + r.get("sys", 0), 2),
            fmt(r.get("rss_kb", 0) / 1024, 1), str(r["depth"]), str(r["nodes"]),
            fmt(ns, 0), f"best of {r['runs']}, report {r['out_mb']:.1f} MB, load {r['load']:.1f}"]


RESULTS_HEADER = """# Whole-run benchmark log

Rows are appended by `bench/run_bench.py` (see its docstring); each row is one
run of the release binary on a 2-core machine, report written to a file. Wall
time is the best of up to three runs (runs over 2 s once); "cpu s" is user +
system time of that run; peak RSS from GNU time; ns/node = wall time / nodes
taken by the search; "load" is the one-minute load average when the runs
began (other work on the machine slows the runs it overlaps). Corpora: the
shared data files and the synthetic `gen_<size>` corpora of
`bench/gen_corpus.py` (two classes). The 5% cut is `-minstrings` =
ceil(5% of the sequences).

| date | commit | corpus | scenario | command | wall s | cpu s | peak RSS MB | depth | nodes | ns/node | note |
|---|---|---|---|---|---|---|---|---|---|---|---|
"""


def append_results(path, rows):
    new = not os.path.exists(path)
    with open(path, "a") as f:
        if new:
            f.write(RESULTS_HEADER)
        for cells in rows:
            f.write("| " + " | ".join(c.replace("|", "\\|") for c in cells) + " |\n")


def check_targets(results):
    """The performance targets, as (description, verdict) pairs."""
    def get(corpus, scenario):
        r = results.get((corpus, scenario))
        return r if r and "wall" in r else None

    lines = []
    for c1, c10 in (("protein_1M", "protein_10M"), ("gen_1M", "gen_10M")):
        plain = get(c1, "plain")
        if plain:
            ok = plain["wall"] <= 0.1 and plain["rss_kb"] < 40 * 1024
            lines.append((f"{c1} plain (5%) <= 0.1 s and RSS < 40 MB",
                          f"{plain['wall']:.3f} s, {plain['rss_kb'] / 1024:.1f} MB: "
                          + ("met" if ok else "MISSED")))
        ms2 = get(c1, "ms2")
        if ms2:
            lines.append((f"{c1} -minstrings 2 <= 1 s",
                          f"{ms2['wall']:.3f} s: " + ("met" if ms2["wall"] <= 1 else "MISSED")))
        big = get(c10, "plain")
        if plain and big:
            ratio = big["wall"] / plain["wall"]
            lines.append((f"{c10} plain <= 12 x {c1} plain",
                          f"{ratio:.1f} x: " + ("met" if ratio <= 12 else "MISSED")))
    return lines


def main(argv=None):
    parser = argparse.ArgumentParser(
        description="Whole-run benchmarks of morva (see the module docstring).")
    parser.add_argument("--binary", default=os.path.join(REPO, "build", "morva"),
                        help="morva binary to run (default: build/morva)")
    parser.add_argument("--data", default=os.path.join(os.path.dirname(REPO), "shared", "data"),
                        help="directory of the real sequence files")
    parser.add_argument("--cache", default=os.path.join(tempfile.gettempdir(),
                                                        "morva-bench-corpus"),
                        help="directory for the generated corpora (not committed)")
    parser.add_argument("--sizes", default="10k,100k,1M,10M",
                        help="sizes of the generated corpora")
    parser.add_argument("--corpora", help="comma-separated corpus names to run (default all)")
    parser.add_argument("--scenarios", help="comma-separated scenario names to run (default all): "
                        + ",".join(s.name for s in SCENARIOS))
    parser.add_argument("--timeout", type=float, default=300.0,
                        help="seconds a single run may take (default 300)")
    parser.add_argument("--repeat", type=int, default=3,
                        help="runs of a short scenario, the best counts (default 3)")
    parser.add_argument("--mem-limit-gb", type=float, default=16.0,
                        help="address-space limit of a run, 0 for none, as sanitizer builds need (default 16)")
    parser.add_argument("--results", default=os.path.join(HERE, "results.md"),
                        help="log to append to (default bench/results.md)")
    parser.add_argument("--no-record", action="store_true",
                        help="print the figures only, append nothing")
    parser.add_argument("--commit",
                        help="commit to record, when the binary was not built from this work tree")
    args = parser.parse_args(argv)

    binary = os.path.abspath(args.binary)
    if not os.access(binary, os.X_OK):
        parser.error(f"no executable morva at {binary}; build it first")
    if not os.access(GNU_TIME, os.X_OK):
        parser.error(f"{GNU_TIME} missing; install Debian's package 'time'")
    sizes = [s for s in args.sizes.split(",") if s]
    def select(items, names, kind):
        if not names:
            return items
        wanted = names.split(",")
        unknown = set(wanted) - {i.name for i in items}
        if unknown:
            parser.error(f"unknown {kind}: " + ", ".join(sorted(unknown)))
        return [i for i in items if i.name in wanted]

    all_corpora = select(corpora(args.data, args.cache, sizes), args.corpora, "corpus")
    scenarios = select(SCENARIOS, args.scenarios, "scenario")
    for corpus in all_corpora:
        for path in corpus.files:
            if not os.path.exists(path):
                parser.error(f"missing corpus file {path}")

    date = datetime.datetime.now().strftime("%Y-%m-%d %H:%M")
    commit = args.commit or git_commit()
    mem_limit = int(args.mem_limit_gb * (1 << 30))
    print(f"# {date}  commit {commit}  binary {binary}")
    header = (f"{'corpus':<12} {'scenario':<9} {'wall s':>8} {'cpu s':>7} {'RSS MB':>7} "
              f"{'depth':>5} {'nodes':>10} {'ns/node':>8}  note")
    print(header)

    results = {}
    rows = []
    # By family and increasing size, so that a smaller corpus's time can rule
    # out a hopeless larger run.
    ordered = sorted(all_corpora, key=lambda c: (c.family, c.residues))
    for scenario in scenarios:
        last_in_family = {}
        for corpus in ordered:
            if scenario.protein_only and not corpus.protein:
                continue
            n_seqs = corpus.sequences()
            run_args = [a for f in corpus.files for a in ("-f", f)]
            run_args += scenario.args(corpus, cut(n_seqs))
            command = shown_command(run_args[2 * len(corpus.files):], corpus)
            prev = last_in_family.get(corpus.family)
            result = None
            if prev is not None:
                prev_corpus, prev_result = prev
                if "failed" in prev_result or "skipped" in prev_result:
                    result = {"skipped": f"skipped: {prev_corpus.name} did not finish"}
                else:
                    estimate = prev_result["wall"] * corpus.residues / prev_corpus.residues
                    if estimate > args.timeout:
                        result = {"skipped": f"skipped: estimated {estimate:.0f} s "
                                             f"> {args.timeout:g} s from {prev_corpus.name}"}
            if result is None:
                result = run_scenario(binary, run_args, args.timeout, args.repeat, mem_limit)
            last_in_family[corpus.family] = (corpus, result)
            results[(corpus.name, scenario.name)] = result
            cells = row_cells(date, commit, corpus, scenario, command, result)
            rows.append(cells)
            print(f"{corpus.name:<12} {scenario.name:<9} {cells[5]:>8} {cells[6]:>7} "
                  f"{cells[7]:>7} {cells[8]:>5} {cells[9]:>10} {cells[10]:>8}  {cells[11]}",
                  flush=True)

    targets = check_targets(results)
    if targets:
        print("\nTargets:")
        for what, verdict in targets:
            print(f"  {what}: {verdict}")
    if not args.no_record:
        append_results(args.results, rows)
        print(f"\nAppended {len(rows)} rows to {args.results}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
