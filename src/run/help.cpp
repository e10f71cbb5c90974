// --help and --version: the classic usage text is kept as users know it;
// the options added since follow it, told of by their rows of the option
// table, and then examples.
#include <htslib/hts.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "run/options.h"
#include "run/version.h"

namespace {

// The sections of "Further options" with the column their help starts at
// (after the tab); a longer synopsis keeps two blanks before its help, as
// -sort does.
struct FurtherSection {
  HelpSection section;
  const char* heading;
  std::size_t column;
};

constexpr std::array<FurtherSection, 5> kFurtherSections{{
    {HelpSection::Limits, "Limits and wildcard runs not listed above", 31},
    {HelpSection::Input, "Input", 34},
    {HelpSection::RankedResults, "Ranked results", 17},
    {HelpSection::Significance, "Significance (in the ranked rows; two classes)", 24},
    {HelpSection::ReportAndProgress, "Report and progress", 21},
}};

const char kExamples[] =
    "\n"
    "Examples:\n"
    "\n"
    "\t# A family's motifs: its members against a background (FASTA, gzip or not), one row\n"
    "\t# per motif, the best 10; -minstrings N about half the family's sequences\n"
    "\tmorva -format auto -f family.fa.gz -f background.fa.gz -groups protein -maxgrp 1 -wc 1 -maxwc 4 \\\n"
    "\t      -minstrings N -maxlevel 8 -trim_wc -maximal -distinct -table motifs.tsv -top 10 -html motifs.html\n"
    "\n"
    "\t# The same for DNA: both strands, the IUPAC two-base codes\n"
    "\tmorva -format auto -f promoters.fa -f background.fa -revcomp -groups dna -maxgrp 1 \\\n"
    "\t      -minstrings N -maxlevel 10 -distinct -table motifs.tsv -top 10\n"
    "\n"
    "\t# The classic report: motifs of a protein family (class 1) against unrelated proteins (class 2)\n"
    "\tmorva -f family.txt -ms 150 -f background.txt -maxlevel 10 -showratio 1 -binomial_prob 1e-20\n"
    "\n"
    "\t# Which rows are significant, the family-wise error held at 5 %: no support to guess, the\n"
    "\t# search raises its own floor (add -wy 1000 for permutations, -fdr 0.1 for a longer list)\n"
    "\tmorva -f family.txt -f background.txt -maxlevel 8 -fwer 0.05 -maximal -table rows.tsv\n"
    "\n"
    "\t# Compressed FASTA, ranked, the best 20 rows as a table on standard output\n"
    "\tmorva -format auto -f family.fa.gz -f background.fa.gz -minstrings 80 -table - -top 20\n"
    "\n";

// One line of a further section from the rows that give it.
std::string help_line(const std::vector<OptionHelpRow>& rows, const FurtherSection& section, int line) {
  std::string synopsis;
  const char* text = "";
  for (const OptionHelpRow& row : rows) {
    if (row.help.section != section.section || row.help.line != line) continue;
    if (row.help.synopsis != nullptr) {
      if (!synopsis.empty()) synopsis += ' ';
      synopsis += row.help.synopsis;
    }
    if (row.help.text != nullptr) text = row.help.text;
  }
  if (synopsis.empty()) return {};
  std::string out = "\t" + synopsis;
  out.append(synopsis.size() + 2 > section.column ? 2 : section.column - synopsis.size(), ' ');
  out += "# ";
  for (const char* p = text; *p != '\0'; ++p) {
    out += *p;
    // Later lines of the help stand under its first.
    if (*p == '\n') out += "\t" + std::string(section.column, ' ') + "# ";
  }
  out += '\n';
  return out;
}

}  // namespace

void print_help(std::FILE* stream) {
  print_usage(stream);
  const std::vector<OptionHelpRow> rows = option_help_rows();
  std::string text = "\nFurther options:\n";
  for (const FurtherSection& section : kFurtherSections) {
    text += "\n\t# ";
    text += section.heading;
    text += '\n';
    int last = 0;
    for (const OptionHelpRow& row : rows)
      if (row.help.section == section.section) last = std::max(last, row.help.line);
    for (int line = 1; line <= last; ++line) text += help_line(rows, section, line);
  }
  std::fputs(text.c_str(), stream);
  std::fputs(kExamples, stream);
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
