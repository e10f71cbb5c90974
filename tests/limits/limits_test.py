#!/usr/bin/env python3
"""The limits of morva and its behaviour when the system says no.

Each case runs morva on inputs generated into a temporary directory, bounded
in time (and, where the case is about memory, in address space), and checks
the exit status, a message on standard error and standard output:

  * the input limits, each on both sides: sequences, input files, class
    names, line length (and no line limit in FASTA), the domain of the
    position sets, the codes of a character set;
  * running out of memory during the search (RLIMIT_AS): status 1, a message
    naming the shortage, and a report of complete lines only;
  * SIGTERM in the middle of a long run: complete lines only;
  * a report that cannot be written (/dev/full, a closed standard output, a
    reader that goes away): the run stops at once with status 1 and a
    message (or, for the pipe, dies of SIGPIPE as a filter should);
  * the file system: a character-set file in a missing directory, a
    directory given as input, a working directory that cannot be written;
  * an empty standard input.

Cases under an address-space limit skip themselves when the binary is built
with AddressSanitizer, whose shadow memory cannot be mapped below such a limit.

  limits_test.py --binary BUILD/morva [--only SUBSTRING] [-v]
"""
import argparse
import os
import random
import re
import resource
import signal
import subprocess
import sys
import tempfile
import time

PROTEIN = 'ACDEFGHIKLMNPQRSTVWY'
PROTEIN_WEIGHTS = [8, 1.4, 5.4, 6.7, 3.9, 7.1, 2.3, 5.9, 5.8, 9.7, 2.4, 4, 4.7, 3.9, 5.3, 6.6,
                   5.3, 6.9, 1.1, 2.9]

# The characters a character-set file can name as its alphabet: no blank, no
# '#' (which starts a comment), and the high bytes read as Latin-1.
ALPHABET_CHARS = (''.join(chr(c) for c in range(0x21, 0x7f) if chr(c) != '#') +
                  ''.join(chr(c) for c in range(0xa1, 0x100)))

WRITE_ERROR = 'Error: the report could not be written to standard output'
OUT_OF_MEMORY = re.compile(r"Out of memory|Memory allocation failed|[Cc]ouldn't allocate|"
                           r"Set out of memory")
SANITIZER = re.compile(rb'ERROR: AddressSanitizer|runtime error:|LeakSanitizer')


class Result:
    def __init__(self, status, out, err, elapsed, timed_out=False):
        self.status, self.out, self.err = status, out, err
        self.elapsed, self.timed_out = elapsed, timed_out

    @property
    def err_text(self):
        return self.err.decode('latin-1')


class Skip(Exception):
    pass


class Failure(Exception):
    pass


def address_space_limit(kib):
    def apply():
        resource.setrlimit(resource.RLIMIT_AS, (kib * 1024, kib * 1024))
    return apply


class Tester:
    def __init__(self, binary, work, verbose):
        self.binary, self.work, self.verbose = binary, work, verbose
        with open(binary, 'rb') as f:
            self.asan = b'__asan_init' in f.read()
        self.asan = self.asan or os.environ.get('MORVA_ASAN') == '1'
        self.slow = 4.0 if self.asan else 1.0  # time bounds of whole runs
        self.rows = []
        self._protein = None
        self._flush_modes = None

    # -- running -------------------------------------------------------------

    def run(self, args, cwd=None, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
            timeout=60, mem_kib=None, closed_stdout=False):
        start = time.monotonic()
        command = [self.binary] + [str(a) for a in args]
        if closed_stdout:
            command = ['sh', '-c', 'exec "$0" "$@" >&-'] + command
        try:
            proc = subprocess.run(command, cwd=cwd or self.work,
                                  stdin=stdin, stdout=stdout, stderr=subprocess.PIPE,
                                  timeout=timeout * self.slow,
                                  preexec_fn=address_space_limit(mem_kib) if mem_kib else None)
        except subprocess.TimeoutExpired as e:
            return Result(None, e.stdout or b'', e.stderr or b'', time.monotonic() - start, True)
        return Result(proc.returncode, proc.stdout or b'', proc.stderr, time.monotonic() - start)

    def path(self, name):
        return os.path.join(self.work, name)

    def write(self, name, text):
        with open(self.path(name), 'w', encoding='latin-1') as f:
            f.write(text)
        return name

    def protein_input(self):
        """About a megabyte of random protein sequences: with -minstrings 2,
        -groups protein and -maxgrp 1 the search runs for several seconds and
        writes millions of lines."""
        if self._protein is None:
            rng = random.Random(7)
            lines, size = [], 0
            while size < 1000000:
                n = rng.randint(100, 600)
                lines.append(''.join(rng.choices(PROTEIN, PROTEIN_WEIGHTS, k=n)))
                size += n + 1
            self.write('protein.txt', '\n'.join(lines) + '\n')
            # the character set is generated once, so that every long run
            # below starts its search at once
            r = self.run(['-f', 'protein.txt', '-groups', 'protein', '-cf', 'protein.charclass',
                          '-cfonly', '1'])
            self.expect_status(r, 0)
            self._protein = ['-f', 'protein.txt', '-cf', 'protein.charclass', '-minstrings', '2',
                             '-maxlevel', '12', '-maxgrp', '1']
        return list(self._protein)

    def flush_modes(self):
        """The report's flush modes this build knows ([] for its default alone)."""
        if self._flush_modes is None:
            self.write('tiny.txt', 'ACGT\nACGG\n')
            self.write('tiny.charclass', 'alphabet= ACGT\n')
            r = self.run(['-flush', 'block', '-f', 'tiny.txt', '-cf', 'tiny.charclass',
                          '-maxlevel', '1'])
            self._flush_modes = ['line', 'block'] if r.status == 0 else []
        return self._flush_modes

    # -- checks --------------------------------------------------------------

    def expect_status(self, r, status):
        if r.timed_out:
            raise Failure('did not end within the time bound (%.1f s)' % r.elapsed)
        if SANITIZER.search(r.err):
            raise Failure('sanitizer report:\n' + r.err_text[-3000:])
        if r.status != status:
            raise Failure('exit status %s, expected %s; standard error ends:\n%s'
                          % (r.status, status, r.err_text[-600:]))

    def expect_err(self, r, pattern):
        text = r.err_text
        found = re.search(pattern, text) if isinstance(pattern, re.Pattern) else pattern in text
        if not found:
            raise Failure('standard error lacks %r; it ends:\n%s'
                          % (getattr(pattern, 'pattern', pattern), text[-600:]))

    @staticmethod
    def expect_complete_lines(out):
        if out and not out.endswith(b'\n'):
            raise Failure('standard output ends in the middle of a line: %r' % out[-80:])

    @staticmethod
    def expect_out(out, pattern):
        if not re.search(pattern, out, re.M):
            raise Failure('standard output lacks %r' % pattern)

    # -- the table -------------------------------------------------------------

    def case(self, name, expected, body, only):
        if only and not any(o in name for o in only):
            return
        start = time.monotonic()
        try:
            note = body()
            outcome = 'ok' + (' (%s)' % note if note else '')
        except Skip as e:
            outcome = 'skipped: %s' % e
        except Failure as e:
            outcome = 'FAILED: %s' % e
        self.rows.append((name, expected, outcome))
        print('%-34s %-6.1fs %s' % (name, time.monotonic() - start, outcome.split('\n')[0]))
        if outcome.startswith('FAILED') and '\n' in outcome:
            print('    ' + outcome.split('\n', 1)[1].replace('\n', '\n    '))
        sys.stdout.flush()

    def failed(self):
        return [row for row in self.rows if row[2].startswith('FAILED')]


# ---------------------------------------------------------------------------
# Input limits


def edge(t, accepted, out, refused, err):
    """A limit from both sides: the run at the limit succeeds with `out` on
    standard output, the one past it ends with status 1 and `err`."""
    r = t.run(accepted)
    t.expect_status(r, 0)
    t.expect_out(r.out, out)
    r = t.run(refused)
    t.expect_status(r, 1)
    t.expect_err(r, err)


def sequences_limit(t):
    """Counts past 65,535 (once the most sequences a run took) are read and
    counted exactly, in one file and over several."""
    t.write('s65535.txt', 'AC\n' * 65535)
    t.write('s65536.txt', 'AC\n' * 65536)
    for name, n in (('s65535.txt', 65535), ('s65536.txt', 65536)):
        r = t.run(['-f', name, '-cf', 's65536.charclass', '-maxlevel', '1'])
        t.expect_status(r, 0)
        t.expect_out(r.out, ('^A %d/%d $' % (n, n)).encode())
    t.write('s32768.txt', 'AC\n' * 32768)
    t.write('s70000.txt', 'AC\n' * 70000)
    r = t.run(['-f', 's32768.txt', '-f', 's70000.txt', '-cf', 's65536.charclass', '-maxlevel', '1'])
    t.expect_status(r, 0)
    t.expect_out(r.out, rb'^A 102768/102768 1:32768/32768 2:70000/70000 $')


def files_limit(t):
    t.write('one.txt', 'AC\n')
    edge(t, ['-f', 'one.txt'] * 254 + ['-cf', 'files.charclass', '-maxlevel', '1'],
         rb'^A 254/254 1:1/1 .* 254:1/1 $',
         ['-f', 'one.txt'] * 255 + ['-cf', 'files.charclass', '-maxlevel', '1'],
         'Too many input files: at most 254 can be given with -f')


def classes_limit(t):
    t.write('c254.txt', ''.join('AC c%d\n' % i for i in range(254)))
    t.write('c255.txt', ''.join('AC c%d\n' % i for i in range(255)))
    edge(t, ['-f', 'c254.txt', '-cf', 'classes.charclass', '-maxlevel', '1'],
         rb'^A 254/254 c0:1/1 .* c253:1/1 $',
         ['-f', 'c255.txt', '-cf', 'classes.charclass', '-maxlevel', '1'],
         re.compile('The added classname c254 exceeds the number of allowed classes: 254\nCheck the input files\n'))
    # file numbers and names written in the files share the 254 classes
    t.write('named.txt', 'AC\nAC zz\n')
    t.write('one.txt', 'AC\n')
    r = t.run(['-f', 'named.txt'] + ['-f', 'one.txt'] * 253 + ['-cf', 'classes.charclass',
                                                               '-maxlevel', '1'])
    t.expect_status(r, 1)
    t.expect_err(r, 'exceeds the number of allowed classes: 254')


def line_limit(t):
    long_ok = 'A' * 2999999
    t.write('line_ok.txt', 'AC\n' + long_ok + '\n')
    t.write('line_long.txt', 'AC\n' + long_ok + 'A\n')
    r = t.run(['-f', 'line_ok.txt', '-cf', 'line.charclass', '-maxlevel', '1'])
    t.expect_status(r, 0)
    t.expect_out(r.out, rb'^A 2/3000000 $')
    r = t.run(['-f', 'line_long.txt', '-cf', 'line.charclass', '-maxlevel', '1'])
    t.expect_status(r, 1)
    t.expect_err(r, 'morva: warning: line_long.txt: line 2 is longer than 2999999 characters\n'
                    'Input file line_long.txthas too long input line 2\n'
                    'example-file has too long input line  2\n')
    if b'Patterns are ready' in r.out:
        raise Failure('the search ran after the refusal')


def fasta_no_line_limit(t):
    t.write('long.fa', '>a\nAC\n>b\n' + 'C' * 5000000 + '\n')
    r = t.run(['-format', 'fasta', '-f', 'long.fa', '-cf', 'fasta.charclass', '-maxlevel', '1'])
    t.expect_status(r, 0)
    t.expect_out(r.out, rb'^A 1/1 $')
    t.expect_out(r.out, rb'^C 2/5000001 $')


def domain_limit(t):
    """The joined input is 1 + the sum of (length + 1) over the sequences;
    59,999,999 positions were once the most the position sets took. Both
    sides of that old limit run now."""
    rng = random.Random(3)
    line = ''.join(rng.choice('ACGT') for _ in range(2999999))
    for name, last in (('domain_ok.txt', 2999997), ('domain_big.txt', 2999998)):
        with open(t.path(name), 'w') as f:
            for _ in range(19):
                f.write(line + '\n')
            f.write(line[:last] + '\n')
    args = ['-cf', 'domain.charclass', '-maxlevel', '1', '-minstrings', '1000']
    try:
        for name, domain in (('domain_ok.txt', 59999999), ('domain_big.txt', 60000000)):
            r = t.run(['-f', name] + args, timeout=60)
            t.expect_status(r, 0)
            t.expect_out(r.out, ('^# Set_of_Sets: Domain size is: %d ' % domain).encode())
            t.expect_out(r.out, rb'^# Patterns are ready$')
    finally:
        for name in ('domain_ok.txt', 'domain_big.txt'):
            os.remove(t.path(name))


def huge_record(t):
    """One FASTA record from a pipe that never ends, under an address-space
    limit: the reader ends the run with a message when memory runs out,
    instead of crashing."""
    if t.asan:
        raise Skip('AddressSanitizer build: its shadow memory cannot be mapped under RLIMIT_AS')
    feeder = subprocess.Popen(['sh', '-c', 'echo ">a"; yes ACGTACGTACGTACGTACGTACGTACGTACGTACGT'],
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    try:
        r = t.run(['-format', 'fasta', '-f', '-', '-maxlevel', '1'], stdin=feeder.stdout,
                  mem_kib=400000, timeout=60)
        t.expect_status(r, 1)
        t.expect_err(r, 'Allocation of new string failed')
    finally:
        feeder.kill()
        feeder.wait()
    # -cfonly needs no sets: the same stream reads on until memory runs out,
    # which ends the run with a message, not a crash
    feeder = subprocess.Popen(['sh', '-c', 'echo ">a"; yes ACGTACGTACGTACGTACGTACGTACGTACGTACGT'],
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    try:
        r = t.run(['-format', 'fasta', '-f', '-', '-cfonly', '1', '-cf', 'huge.charclass'],
                  stdin=feeder.stdout, mem_kib=300000, timeout=60)
        t.expect_status(r, 1)
        t.expect_err(r, 'Allocation of new string failed')
    finally:
        feeder.kill()
        feeder.wait()


def charset_codes_limit(t):
    t.write('two.txt', 'ACAC\nCA\n')
    # codes are alphabet characters plus groups: 127 either way
    alphabet = ALPHABET_CHARS[:127]
    t.write('a127.charclass', 'alphabet= %s\n' % alphabet)
    t.write('a128.charclass', 'alphabet= %s\n' % ALPHABET_CHARS[:128])
    groups = lambda n: 'alphabet= ACG\n' + ''.join('g= AC h%d\n' % i for i in range(n))
    t.write('g127.charclass', groups(124))
    t.write('g128.charclass', groups(125))
    r = t.run(['-f', 'two.txt', '-cf', 'a127.charclass', '-maxlevel', '1'])
    t.expect_status(r, 0)
    t.expect_out(r.out, rb'^C 2/3 $')
    r = t.run(['-f', 'two.txt', '-cf', 'g127.charclass', '-maxlevel', '1', '-maxgrp', '1'])
    t.expect_status(r, 0)
    t.expect_out(r.out, rb'^h123 2/6 $')  # the 127th code is searched for
    for name, extra in (('a128.charclass', []), ('g128.charclass', []),
                        ('g127.charclass', ['-wc', '1'])):  # the wildcard takes a code too
        r = t.run(['-f', 'two.txt', '-cf', name, '-maxlevel', '1'] + extra)
        t.expect_status(r, 1)
        t.expect_err(r, 'Character set file needs more than 127 codes (alphabet characters plus '
                        'groups): %s' % name)


# ---------------------------------------------------------------------------
# Memory, signals and a report that cannot be written


def out_of_memory(t):
    if t.asan:
        raise Skip('AddressSanitizer build: its shadow memory cannot be mapped under RLIMIT_AS')
    args = t.protein_input()
    notes = []
    # the limits fail at different places: the sets' free lists, the trie's
    # children blocks, the priority queue's growth
    # and with -threads, where a worker that runs out hands its node back to
    # the search, which meets the fault itself (or cannot even start a thread)
    modes = [[]] + [['-flush', m] for m in t.flush_modes() if m != 'line'] + [['-threads', '2']]
    for mode in modes:
        for kib in (35000, 65000, 150000):
            r = t.run(mode + args + ['-showsets', '1'], mem_kib=kib, timeout=30)
            label = 'RLIMIT_AS %d KiB%s' % (kib, ' ' + ' '.join(mode) if mode else '')
            try:
                t.expect_status(r, 1)
                t.expect_err(r, OUT_OF_MEMORY)
                if b'# Start the creation of patterns' not in r.out:
                    raise Failure('the input did not fit: the search never started')
                t.expect_complete_lines(r.out)
            except Failure as e:
                raise Failure('%s: %s' % (label, e))
            notes.append(OUT_OF_MEMORY.search(r.err_text).group(0))
    return 'failed at: ' + ', '.join(sorted(set(notes)))


def sigterm(t):
    """A run cut by SIGTERM leaves a report of complete lines; it must still
    be running when the signal comes, which also shows that the long run of
    the write cases below takes seconds."""
    args = t.protein_input()
    notes = []
    for mode in [[]] + [['-flush', m] for m in t.flush_modes()] + [['-threads', '2']]:
        for delay in (0.5, 2.0):
            with open(t.path('sigterm.out'), 'wb') as out:
                proc = subprocess.Popen([t.binary] + mode + args, cwd=t.work, stdout=out,
                                        stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
                time.sleep(delay)
                running = proc.poll() is None
                proc.send_signal(signal.SIGTERM)
                try:
                    status = proc.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    proc.kill()
                    proc.wait()
                    raise Failure('still running 10 s after SIGTERM')
            with open(t.path('sigterm.out'), 'rb') as f:
                report = f.read()
            if not running:
                raise Failure('the long run ended within %.1f s' % delay)
            if status != -signal.SIGTERM:
                raise Failure('status %s after SIGTERM, expected death by the signal' % status)
            t.expect_complete_lines(report)
            notes.append('%d lines' % report.count(b'\n'))
    return ', '.join(notes)


def write_modes(t):
    return [[]] + [['-flush', m] for m in t.flush_modes() if m != 'line']


def dev_full(t):
    """The long run (several seconds, see sigterm) must stop at the first
    write that fails."""
    args = t.protein_input()
    notes = []
    for mode in write_modes(t):
        with open('/dev/full', 'wb') as full:
            r = t.run(mode + args, stdout=full, timeout=30)
        t.expect_status(r, 1)
        t.expect_err(r, WRITE_ERROR)
        if r.elapsed > 1.0 * t.slow:
            raise Failure('%s: ended after %.2f s, not at once' % (' '.join(mode) or 'default',
                                                                   r.elapsed))
        notes.append('%.2f s' % r.elapsed)
    # a small run, all of whose report fits a buffer, still fails
    t.write('tiny.txt', 'ACGT\nACGG\n')
    t.write('tiny.charclass', 'alphabet= ACGT\n')
    for mode in write_modes(t):
        with open('/dev/full', 'wb') as full:
            r = t.run(mode + ['-f', 'tiny.txt', '-cf', 'tiny.charclass', '-maxlevel', '2'],
                      stdout=full)
        try:
            t.expect_status(r, 1)
            t.expect_err(r, WRITE_ERROR)
        except Failure as e:
            raise Failure('small run%s: %s' % (' ' + ' '.join(mode) if mode else '', e))
    return 'long run stopped after ' + ', '.join(notes)


def closed_stdout(t):
    args = t.protein_input()
    for mode in write_modes(t):
        r = t.run(mode + args, timeout=30, closed_stdout=True)
        try:
            t.expect_status(r, 1)
            t.expect_err(r, WRITE_ERROR)
        except Failure as e:
            raise Failure('%s: %s' % (' '.join(mode) or 'default', e))
        if r.elapsed > 1.0 * t.slow:
            raise Failure('ended after %.2f s, not at once' % r.elapsed)
        # a result file opened while standard output is closed takes its
        # descriptor: the report must not end up in it
        t.write('tiny.txt', 'ACGT\nACGG\nTTACG\n')
        t.write('tiny.charclass', 'alphabet= ACGT\n')
        table = t.path('closed.tsv')
        if os.path.exists(table):
            os.remove(table)
        r = t.run(mode + ['-f', 'tiny.txt', '-cf', 'tiny.charclass', '-maxlevel', '3', '-table',
                          'closed.tsv'], closed_stdout=True)
        try:
            t.expect_status(r, 1)
            t.expect_err(r, WRITE_ERROR)
        except Failure as e:
            raise Failure('small run with -table%s: %s' % (' ' + ' '.join(mode) if mode else '', e))
        if os.path.exists(table):
            with open(table, 'rb') as f:
                if b'# MORVA' in f.read():
                    raise Failure('the report was written into the -table file')


def closed_pipe(t):
    """The reader goes away after the first line (as with "| head -1"): the
    run ends at once, killed by SIGPIPE as a filter is, or with status 1 and
    the message."""
    args = t.protein_input()
    notes = []
    for mode in write_modes(t):
        proc = subprocess.Popen([t.binary] + mode + args, cwd=t.work, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, stdin=subprocess.DEVNULL)
        first = proc.stdout.readline()
        proc.stdout.close()
        closed = time.monotonic()
        try:
            _, err = proc.communicate(timeout=10 * t.slow)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.communicate()
            raise Failure('still running 10 s after its reader went away')
        took = time.monotonic() - closed
        if first != b'# \n':
            raise Failure('first line %r' % first)
        if SANITIZER.search(err):
            raise Failure('sanitizer report:\n' + err.decode('latin-1')[-3000:])
        if proc.returncode == 1:
            if WRITE_ERROR.encode() not in err:
                raise Failure('status 1 without the message')
        elif proc.returncode != -signal.SIGPIPE:
            raise Failure('status %s, expected SIGPIPE or 1' % proc.returncode)
        if took > 1.0 * t.slow:
            raise Failure('ended %.2f s after its reader went away' % took)
        notes.append('SIGPIPE' if proc.returncode < 0 else 'status 1')
    return ', '.join(notes)


# ---------------------------------------------------------------------------
# The file system and an empty standard input


def charset_in_missing_dir(t):
    t.write('three.txt', 'ACGTAC\nACGGT\nTTACG\n')
    r = t.run(['-f', 'three.txt', '-cf', 'no/such/dir/set.charclass', '-maxlevel', '2'])
    t.expect_status(r, 1)
    t.expect_err(r, "Couldn't open file  no/such/dir/set.charclass\n")


def directory_as_input(t):
    t.write('three.txt', 'ACGTAC\nACGGT\nTTACG\n')
    t.write('three.fa', '>a\nACGTAC\n>b\nACGGT\n')
    t.write('three.fq', '@a\nACGTAC\n+\nIIIIII\n')
    os.makedirs(t.path('adir'), exist_ok=True)
    for fmt, first in (('lines', 'three.txt'), ('fasta', 'three.fa'), ('fastq', 'three.fq'),
                       ('auto', 'three.fa')):
        for files in (['-f', 'adir'], ['-f', first, '-f', 'adir']):
            r = t.run(['-format', fmt] + files + ['-cf', 'dir.charclass', '-maxlevel', '2'])
            try:
                t.expect_status(r, 1)
                t.expect_err(r, "Can't open input file  adir")
            except Failure as e:
                raise Failure('-format %s %s: %s' % (fmt, ' '.join(files), e))
    # a directory as the character-set file is read and refused
    r = t.run(['-f', 'three.txt', '-cf', 'adir', '-maxlevel', '2'])
    t.expect_status(r, 1)
    t.expect_err(r, "Can't read the configuration file adir")


def unwritable_working_dir(t):
    """Without -cf the generated set cannot be saved: a warning, and the run
    goes on with the set it generated.  Root ignores permission bits, so it
    runs in /proc, where nobody can create a file."""
    t.write('three.txt', 'ACGTAC\nACGGT\nTTACG\n')
    if os.geteuid() == 0:
        cwd = '/proc'
    else:
        cwd = t.path('readonly')
        os.makedirs(cwd, exist_ok=True)
        os.chmod(cwd, 0o555)
    r = t.run(['-f', t.path('three.txt'), '-maxlevel', '3'], cwd=cwd)
    t.expect_status(r, 0)
    t.expect_err(r, re.compile(r'(?m)^morva: warning: could not write default\.charclass'))
    t.expect_out(r.out, rb'^ACG 3/3 $')
    return 'in ' + cwd


def empty_stdin(t):
    empty = 'morva: warning: input file - holds no sequence'
    # the character set generated from nothing cannot be used: refused
    r = t.run(['-f', '-', '-cf', 'empty.charclass', '-maxlevel', '2'])
    t.expect_status(r, 1 if r.status != 0 else 0)  # 0 or 1, not a crash
    t.expect_err(r, empty)
    t.expect_complete_lines(r.out)
    note = 'generated set: status %d' % r.status
    # with a given set the search runs over nothing, results included
    t.write('acgt.charclass', 'alphabet= ACGT\n')
    for fmt in ('lines', 'fasta', 'fastq', 'auto'):
        r = t.run(['-format', fmt, '-f', '-', '-cf', 'acgt.charclass', '-maxlevel', '2', '-wc', '1',
                   '-maxgrp', '1', '-max_gap_nr', '1', '-table', 'empty.tsv', '-sites',
                   'empty_sites.tsv', '-json', 'empty.json', '-maximal'])
        t.expect_status(r, 0)
        t.expect_err(r, empty)
        t.expect_out(r.out, rb'^<empty> 0/0 $')
    # against a class that has sequences, the comparison is refused
    t.write('three.txt', 'ACGTAC\nACGGT\nTTACG\n')
    r = t.run(['-f', '-', '-f', 'three.txt', '-cf', 'acgt.charclass', '-showratio', '1'])
    t.expect_status(r, 1)
    t.expect_err(r, 'input file - holds no sequence')
    return note


CASES = [
    ('sequences 65535 / 65536 / 102768', 'ok, counted exactly', sequences_limit),
    ('input files 254 / 255', 'ok; 1 "Too many input files: at most 254"', files_limit),
    ('class names 254 / 255', 'ok; 1 "The added classname c254 exceeds ... 254"', classes_limit),
    ('line 2,999,999 / 3,000,000', 'ok; 1 "example-file has too long input line  2"', line_limit),
    ('FASTA line of 5,000,000', 'ok, read whole', fasta_no_line_limit),
    ('joined input 59,999,999 / 60,000,000', 'ok, both run', domain_limit),
    ('FASTA record from a pipe that never ends', '1 "Allocation of new string failed"',
     huge_record),
    ('character set 127 / 128 codes', 'ok; 1 "needs more than 127 codes"', charset_codes_limit),
    ('out of memory (RLIMIT_AS)', '1, "Out of memory"-like message, complete lines',
     out_of_memory),
    ('SIGTERM mid-run', 'killed by SIGTERM, complete lines', sigterm),
    ('stdout on /dev/full', '1 "' + WRITE_ERROR + '", at once', dev_full),
    ('stdout closed', '1 "' + WRITE_ERROR + '", at once', closed_stdout),
    ('stdout pipe closed (| head -1)', 'SIGPIPE or 1 with the message, at once', closed_pipe),
    ('-cf in a missing directory', '1 "Couldn\'t open file  <name>"', charset_in_missing_dir),
    ('directory as input file', '1 "Can\'t open input file  adir"', directory_as_input),
    ('unwritable working directory', '0 "morva: warning: could not write default.charclass"',
     unwritable_working_dir),
    ('-f - with empty input', 'warning "holds no sequence", no crash', empty_stdin),
]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--binary', required=True)
    ap.add_argument('--only', action='append', default=[],
                    help='run the cases whose name holds this text')
    ap.add_argument('-v', '--verbose', action='store_true')
    opts = ap.parse_args()
    binary = os.path.abspath(opts.binary)
    with tempfile.TemporaryDirectory(prefix='morva_limits_') as work:
        t = Tester(binary, work, opts.verbose)
        if t.asan:
            print('AddressSanitizer build: time bounds x%g, memory-limit cases skipped' % t.slow)
        for name, expected, body in CASES:
            t.case(name, expected, lambda body=body: body(t), opts.only)
    failed = t.failed()
    print('%d cases, %d failed' % (len(t.rows), len(failed)))
    for name, expected, outcome in failed:
        print('FAILED %s (expected %s)' % (name, expected))
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
