#!/usr/bin/env python3
"""The HTML report in a real browser: the README example with -html, opened
by headless Chromium. The rendered DOM must hold the rows -table writes for
the same run (the first 50, as -html shows without -top), one logo per row
with one column per pattern position, and a working sort; no script may
raise an error. Exits 77 (skipped) when Chromium is missing or cannot start.

Script errors are read from Chromium's own log (--enable-logging=stderr),
where every console message and uncaught exception appears as a CONSOLE
line; the page itself writes none, so any such line is a fault. A page with
a deliberate error is loaded first to prove the log is read correctly."""
import argparse
import html.parser
import os
import re
import shutil
import subprocess
import sys
import tempfile

SKIP = 77
README_ARGS = ["-groups", "protein", "-maxgrp", "1", "-wc", "1", "-maxwc", "4", "-minstrings", "80",
               "-maxlevel", "8", "-trim_wc", "-maximal"]
SHOWN = 50


class Dom(html.parser.HTMLParser):
    """The rows of table#patterns and the columns of each svg.logo."""

    def __init__(self):
        super().__init__()
        self.rows = []       # (data-pattern, [cell texts])
        self.logos = []      # (data-pattern, columns)
        self.sortable = False
        self.attrs_of = {}   # id -> attributes, for elements with an id
        self._in_table = False
        self._cell = None
        self._stack = []
        self._in_logo = False
        self._wildcard = False
        self.background_logos = 0   # svg.logo-background: class 2's sites
        self.wildcard_letters = 0   # letters drawn in the logos' wildcard columns

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if "id" in a:
            self.attrs_of[a["id"]] = a
        if tag == "table" and a.get("id") == "patterns":
            self._in_table = True
            self.sortable = a.get("data-sortable") == "1"
        elif tag == "tr" and self._in_table and "data-pattern" in a:
            self.rows.append((a["data-pattern"], []))
        elif tag == "td" and self._in_table and self.rows:
            self._cell = ""
        elif tag == "svg":
            classes = a.get("class", "").split()
            self._in_logo = "logo" in classes
            if self._in_logo:
                self.logos.append((a.get("data-pattern"), 0))
            elif "logo-background" in classes:
                self.background_logos += 1
        elif tag == "g" and "column" in a.get("class", "").split() and self.logos and self._in_logo:
            p, n = self.logos[-1]
            self.logos[-1] = (p, n + 1)
            self._wildcard = "wildcard" in a.get("class", "").split()
        elif tag == "text" and self._in_logo and self._wildcard and "scale(" in a.get("transform", ""):
            self.wildcard_letters += 1

    def handle_endtag(self, tag):
        if tag == "svg":
            self._in_logo = False
        elif tag == "g":
            self._wildcard = False
        if tag == "table" and self._in_table:
            self._in_table = False
        elif tag == "td" and self._cell is not None:
            self.rows[-1][1].append(self._cell)
            self._cell = None

    def handle_data(self, data):
        if self._cell is not None:
            self._cell += data


def chromium_command(chromium, profile, *extra):
    return [chromium, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
            "--disable-background-networking", "--disable-component-update", "--disable-sync",
            "--user-data-dir=" + profile, "--enable-logging=stderr", "--v=0", *extra]


def run_chromium(chromium, work, url, *extra):
    profile = tempfile.mkdtemp(prefix="profile", dir=work)
    try:
        p = subprocess.run(chromium_command(chromium, profile, *extra, url), capture_output=True, text=True, errors="replace",
                           timeout=120)
    finally:
        shutil.rmtree(profile, ignore_errors=True)
    return p


def script_errors(log):
    return [line for line in log.splitlines() if ":CONSOLE" in line or "Uncaught" in line]


def dump(chromium, work, path):
    p = run_chromium(chromium, work, "file://" + path, "--dump-dom")
    if p.returncode != 0:
        raise SystemExit("FAIL: chromium --dump-dom %s: status %d\n%s" % (path, p.returncode, p.stderr[-2000:]))
    dom = Dom()
    dom.feed(p.stdout)
    return dom, script_errors(p.stderr), p.stdout


def with_script(page, path, script):
    """A copy of the page with a script run after its own."""
    with open(path, "w", encoding="utf-8") as f:
        f.write(page.replace("</body>", "<script>" + script + "</script></body>"))


def table_rows(tsv):
    lines = [l for l in open(tsv, encoding="utf-8").read().splitlines() if not l.startswith("#")]
    header = lines[0].split("\t")
    return header, [l.split("\t") for l in lines[1:]]


def number_key(text):
    """The sort order the page promises: numbers as numbers, empty last."""
    if text == "":
        return (3, 0.0)
    if text in ("inf", "-inf"):
        return (2, float(text)) if text == "inf" else (0, float(text))
    v = float(text)
    return (0, v) if v < 0 else (1, v) if v == 0 else (2, v)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--binary", required=True)
    ap.add_argument("--examples", required=True)
    ap.add_argument("--chromium", default=os.environ.get("CHROMIUM", "/usr/bin/chromium"))
    ap.add_argument("--keep-screenshot", help="also copy the screenshot here")
    args = ap.parse_args()
    args.binary = os.path.abspath(args.binary)
    args.examples = os.path.abspath(args.examples)
    failures = []

    if not (os.path.isfile(args.chromium) and os.access(args.chromium, os.X_OK)):
        print("SKIP: %s not found; install Debian's chromium package to run this test" % args.chromium)
        return SKIP

    work = tempfile.mkdtemp(prefix="morva_html")
    try:
        # Can the browser start at all, and is a script error seen in its log?
        probe = os.path.join(work, "probe.html")
        with open(probe, "w") as f:
            f.write("<!DOCTYPE html><html><body><p id='x'>ok</p><script>no_such_function();</script></body></html>")
        try:
            p = run_chromium(args.chromium, work, "file://" + probe, "--dump-dom")
        except (OSError, subprocess.TimeoutExpired) as e:
            print("SKIP: chromium cannot start: %s" % e)
            return SKIP
        if p.returncode != 0 or "id=\"x\"" not in p.stdout:
            print("SKIP: chromium cannot start (status %d):\n%s" % (p.returncode, p.stderr[-2000:]))
            return SKIP
        if not script_errors(p.stderr):
            print("FAIL: a script error does not show in chromium's log; the error check would see nothing")
            return 1

        page_path = os.path.join(work, "abc.html")
        tsv_path = os.path.join(work, "abc.tsv")
        cmd = [args.binary, "-f", os.path.join(args.examples, "abc_atpase.pos.txt"),
               "-f", os.path.join(args.examples, "abc_atpase.neg.txt"), *README_ARGS,
               "-html", page_path, "-table", tsv_path]
        r = subprocess.run(cmd, cwd=work, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True, errors="replace", timeout=600)
        if r.returncode != 0:
            print("FAIL: morva exited %d\n%s" % (r.returncode, r.stderr[-2000:]))
            return 1
        size = os.path.getsize(page_path)
        if size >= 1 << 20:
            failures.append("the page has %d bytes, above 1 MB" % size)
        header, rows = table_rows(tsv_path)
        if len(rows) <= SHOWN:
            failures.append("the example gives %d rows; the test needs more than %d" % (len(rows), SHOWN))

        dom, errors, _ = dump(args.chromium, work, page_path)
        failures += ["script error: " + e for e in errors]
        if not dom.sortable:
            failures.append("the sorting script did not run (no data-sortable on table#patterns)")
        expected = rows[:SHOWN]
        if [c for c, _ in dom.rows] != [row[1] for row in expected]:
            failures.append("table#patterns rows %s... differ from the table's first %d %s..."
                            % ([c for c, _ in dom.rows][:5], SHOWN, [row[1] for row in expected][:5]))
        for (pattern, cells), row in zip(dom.rows, expected):
            if cells != row:
                failures.append("row of %s: page %s, table %s" % (pattern, cells, row))
                break
        # One logo per row, one column per pattern position (a flexible gap
        # and its element are one): the table's length. Each motif's lead
        # comes first, the other rows of its motif folded under it, so the
        # logos go by motif, then by rank.
        length = header.index("length")
        motif = header.index("motif")
        grouped = sorted(expected, key=lambda row: int(row[motif]))
        if [p for p, _ in dom.logos] != [row[1] for row in grouped]:
            failures.append("logos %s... are not the rows' patterns by motif" % [p for p, _ in dom.logos][:5])
        for (pattern, columns), row in zip(dom.logos, grouped):
            if columns != int(row[length]):
                failures.append("logo of %s has %d columns, the pattern %s positions" % (pattern, columns, row[length]))

        # Sorting: a click on "ratio" orders the rows by the number (not the
        # text: 1e+06 above 98.5), a second click reverses it.
        col = header.index("ratio")
        sorted_path = os.path.join(work, "sorted.html")
        with_script(open(page_path, encoding="utf-8").read(), sorted_path,
                    "var t=document.getElementById('patterns'),h=t.tHead.rows[0].cells[%d];"
                    "function order(){return Array.prototype.map.call(t.tBodies[0].rows,"
                    "function(r){return r.cells[%d].textContent}).join(' ')}"
                    "h.click();var up=order();h.click();"
                    "document.body.insertAdjacentHTML('beforeend','<p id=\"up\" data-v=\"'+up+'\"></p>"
                    "<p id=\"down\" data-v=\"'+order()+'\"></p>');" % (col, col))
        dom2, errors2, _ = dump(args.chromium, work, sorted_path)
        failures += ["script error after sorting: " + e for e in errors2]
        values = [row[col] for row in expected]
        up = dom2.attrs_of.get("up", {}).get("data-v", "").split(" ")
        down = dom2.attrs_of.get("down", {}).get("data-v", "").split(" ")
        if up != sorted(values, key=number_key):
            failures.append("ascending sort by ratio gives %s" % up[:8])
        if down != sorted(values, key=number_key, reverse=True):
            failures.append("descending sort by ratio gives %s" % down[:8])

        # A wildcard column shows the letters the sites hold there.
        if any("." in p for p, _ in dom.logos) and dom.wildcard_letters == 0:
            failures.append("no letter is drawn in any wildcard column")

        # Every logo is built from all of its row's class-1 occurrences, also
        # without -maximal, where only the rows that can end among the first
        # 50 keep their sites during the search; the background's own small
        # logo where class 2 holds at least 5 of them.
        for extra, name in ((README_ARGS, "abc.html"), (README_ARGS[:-2], "plain.html")):
            path = os.path.join(work, name)
            tsv = os.path.join(work, name + ".tsv")
            if name != "abc.html":
                subprocess.run(cmd[:5] + extra + ["-html", path, "-table", tsv], cwd=work, check=True,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=600)
            else:
                tsv = tsv_path
            h, rs = table_rows(tsv)
            text = open(path).read()
            sites = [int(n) for n in re.findall(r'<figcaption class="sites" data-sites="(\d+)">\1 sites in class 1<', text)]
            background = [int(n) for n in re.findall(r'<figcaption class="sites" data-sites="(\d+)">\1 sites in class 2<',
                                                     text)]
            by_motif = sorted(rs[:SHOWN], key=lambda row: int(row[h.index("motif")]))
            positions = [int(row[h.index("1_positions")]) for row in by_motif]
            if sites != positions:
                failures.append("%s: logo sites %s differ from the rows' class-1 positions %s" %
                                (name, sites[:8], positions[:8]))
            in_background = [int(row[h.index("2_positions")]) for row in by_motif]
            if background != [n for n in in_background if n >= 5]:
                failures.append("%s: background logos of %s sites, the rows' class-2 positions %s" %
                                (name, background[:8], in_background[:8]))

        shot = os.path.join(work, "abc.png")
        p = run_chromium(args.chromium, work, "file://" + page_path, "--screenshot=" + shot, "--window-size=1200,2000")
        if p.returncode != 0 or not os.path.isfile(shot) or os.path.getsize(shot) < 10000:
            failures.append("no screenshot (status %d)" % p.returncode)
        elif args.keep_screenshot:
            shutil.copyfile(shot, args.keep_screenshot)
        failures += ["script error in the screenshot run: " + e for e in script_errors(p.stderr)]
    finally:
        shutil.rmtree(work, ignore_errors=True)

    for f in failures:
        print("FAIL:", f)
    if not failures:
        print("OK: %d rows, %d logos (%d of the background), page of %d bytes" %
              (len(dom.rows), len(dom.logos), dom.background_logos, size))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
