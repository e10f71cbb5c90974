// --help and --version: the classic usage text is kept as users know it;
// the options added since, and examples, follow it here.
#include <htslib/hts.h>

#include <cstdio>

#include "run/options.h"
#include "run/version.h"

namespace {

const char kFurtherOptions[] =
    "\n"
    "Further options:\n"
    "\n"
    "\t# Limits and wildcard runs not listed above\n"
    "\t[-maxpos nr] [-maxstrings nr]  # at most so many positions / sequences (default 0: no limit)\n"
    "\t[-minwc nr]                    # shortest wildcard run (default 1); -wildcards nr is -wc nr\n"
    "\n"
    "\t# Input\n"
    "\t[-format lines|fasta|fastq|auto]  # how the files are laid out (default lines);\n"
    "\t                                  # gzip and bgzip files read alike, -f - reads standard input\n"
    "\t[-revcomp]                        # search both strands of DNA\n"
    "\t[-groups protein|dna|none]        # groups added to a generated character set (default none)\n"
    "\n"
    "\t# Ranked results\n"
    "\t[-table FILE]    # tab-separated table of the patterns (- for standard output alone)\n"
    "\t[-json FILE]     # the same rows as JSON\n"
    "\t[-sites FILE]    # every occurrence of the rows kept\n"
    "\t[-html FILE]     # a self-contained HTML report with sequence logos\n"
    "\t[-sort pvalue|ratio|support|pattern]  # order of the rows (default pvalue)\n"
    "\t[-top N]         # keep the first N rows (default all; 50 on the HTML page)\n"
    "\t[-maximal]       # leave out patterns a longer one holds with the same counts\n"
    "\t[-trim_wc]       # leave out patterns that end in a wildcard\n"
    "\n"
    "\t# Report and progress\n"
    "\t[-flush line|block]  # flush the report per line (default) or through a large buffer\n"
    "\t[-progress]          # a progress line on standard error about every second\n"
    "\t[--help]             # this text, exit status 0\n"
    "\t[--version]          # version and build, exit status 0\n"
    "\n"
    "Examples:\n"
    "\n"
    "\t# Motifs of a protein family (class 1) against unrelated proteins (class 2)\n"
    "\tmorva -f family.txt -ms 150 -f background.txt -maxlevel 10 -showratio 1 -binomial_prob 1e-20\n"
    "\n"
    "\t# The same from compressed FASTA, ranked, the best 20 rows as a table\n"
    "\tmorva -format auto -f family.fa.gz -f background.fa.gz -minstrings 80 -table - -top 20\n"
    "\n"
    "\t# Amino-acid groups and wildcard runs (finds G....GK[ST], the Walker A motif)\n"
    "\tmorva -f family.txt -f background.txt -groups protein -maxgrp 1 -wc 1 -maxwc 4 \\\n"
    "\t      -minstrings 80 -maxlevel 8 -trim_wc -maximal -table motifs.tsv -html motifs.html\n"
    "\n"
    "\t# Both strands of DNA with the IUPAC two-base codes\n"
    "\tmorva -format fasta -f promoters.fa -revcomp -groups dna -maxgrp 1 -minstrings 20 -maxlevel 8\n"
    "\n";

}  // namespace

void print_help(std::FILE* stream) {
  print_usage(stream);
  std::fputs(kFurtherOptions, stream);
}

void print_version(std::FILE* stream) {
#ifdef __clang__
  const char* compiler = "clang";
#else
  const char* compiler = "g++";
#endif
  std::fprintf(stream, "morva " MORVA_VERSION "\nbuilt with %s %s and htslib %s\n", compiler, __VERSION__,
               hts_version());
}
