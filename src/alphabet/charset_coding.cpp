// The second half of the character set: codes of groups, the membership and
// superset rows, costs from probabilities, and coding and printing of text.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "alphabet/charset.h"
#include "run/error.h"
#include "run/globals.h"
#include "run/report_stream.h"

namespace {

void append(unsigned char* row, int value) {
  ++row[0];
  row[row[0]] = static_cast<unsigned char>(value);
}

// Counts and entries of the code rows are shown as signed bytes.
int as_signed(unsigned char b) { return static_cast<signed char>(b); }

void print_row_entries(const unsigned char* row) {
  for (int i = 1; i <= row[0]; ++i) std::fprintf(report_file(), "%d ", as_signed(row[i]));
}

}  // namespace

void CHARSET::derive_tables() {
  total_codes = alphabet_size + nr_groups;
  coded_alphabet = alphabet;
  mapstring(coded_alphabet.data());

  group_codes.assign(static_cast<std::size_t>(nr_groups), std::string());
  for (int k = 0; k < nr_groups; ++k) {
    group_codes[k] = group_members[k];
    if (mapstring(group_codes[k].data()) != 0) {
      std::fprintf(stderr, "Unrecognized characters in class %s\n", group_members[k].c_str());
      fatal_exit();
    }
  }

  for (int k = 0; k < nr_groups; ++k) {
    const int g = alphabet_size + 1 + k;
    std::array<bool, 256> mark{};
    for (char c : group_codes[k]) {
      const unsigned char u = static_cast<unsigned char>(c);
      if (mark[u]) error("Repeated character in class ", g);
      mark[u] = true;
    }
    for (int j = 0; j < 256; ++j) {
      if (!mark[j]) continue;
      append(members[j], g);
      append(members[g], j);
    }
  }

  for (int x = 0; x <= alphabet_size; ++x) std::memcpy(supersets[x], members[x], 256);

  for (int g = alphabet_size + 1; g <= total_codes; ++g) {
    const int count = members[g][0];
    if (count == alphabet_size) wildcard_code = g;  // the last such group wins
    std::array<bool, 256> mark{};
    for (int i = 1; i <= count; ++i) {
      mark[members[g][i]] = true;
      cost[g] += cost[members[g][i]];  // a group is as probable as its members together
    }
    for (int v = alphabet_size + 1; v <= total_codes; ++v) {
      if (v == g) continue;
      int shared = 0;
      for (int i = 1; i <= members[v][0]; ++i) shared += mark[members[v][i]] ? 1 : 0;
      if (count - shared == 0) append(supersets[g], v);
    }
  }

  if (verbose_level > 1) {
    std::fputs("\n Character class short test:\n-------------------\n", report_file());
    print_summary();
    for (int x = 0; x <= alphabet_size; ++x)
      if (stop_flag[x]) std::fprintf(report_file(), "STOP char: %c\n", code_to_char[x]);
  }
  derive_costs();
}

void CHARSET::print_summary() const {
  std::fprintf(report_file(), " Charset filename: %s\n", filename.c_str());
  std::fprintf(report_file(), " Charset size:     %d\n", alphabet_size);
  std::fprintf(report_file(), " NR. of classes:   %d\n", nr_groups);
  std::fprintf(report_file(), " Total nr :\t%d\n", total_codes);
  std::fprintf(report_file(), " Alphabet :\t%s\n", alphabet.c_str());
  std::fprintf(report_file(), " Wildcard char: %d\n", wildcard_code);
}

void CHARSET::derive_costs() {
  // Logarithms in extended precision, rounded once to the stored float.
  const long double ln2 = std::log(2.0L);
  for (int x = 0; x <= alphabet_size; ++x) {
    const float p = cost[x];
    cost[x] = (p > 0 && p < 1) ? static_cast<float>(-(std::log(static_cast<long double>(p)) / ln2))
                               : -1.0f;
    std::fprintf(report_file(), "# Char-pos %d = %g\n", x, static_cast<double>(cost[x]));
  }
  const long double group_bits = std::log(static_cast<long double>(nr_groups + 1)) / ln2;
  for (int g = alphabet_size + 1; g <= total_codes; ++g) {
    const float p = cost[g];
    cost[g] = (p > 0 && p < 1)
                  ? static_cast<float>(-(std::log(static_cast<long double>(p)) / ln2) - group_bits)
                  : -2.0f;
    std::fprintf(report_file(), "# Gap-Char-pos %d = %g\n", g, static_cast<double>(cost[g]));
  }

  if (verbose_level <= 1) return;
  std::fputs("\n# -log_2( Probabilities ) :\n", report_file());
  float sum = 0;
  for (int x = 0; x <= total_codes; ++x) {
    print(static_cast<char>(x));
    std::fprintf(report_file(), " %g\n", static_cast<double>(cost[x]));
    sum += cost[x];
    if (x == alphabet_size) std::fprintf(report_file(), "# SINGLETONS TOTAL: %g\n", static_cast<double>(sum));
  }
  std::fprintf(report_file(), "# ALL TOTAL: %g\n", static_cast<double>(sum));
}

int CHARSET::mapstring(char* text) {
  int bad = 0;
  for (unsigned char* p = reinterpret_cast<unsigned char*>(text); *p; ++p) {
    const unsigned char code = char_to_code[*p];
    if (code != 0) {
      *p = code;
    } else {
      std::fprintf(stderr, "Error: character %u not defined in input alphabet: %s\n", *p,
                   alphabet.c_str());
      bad = 1;
    }
  }
  return bad;
}

int CHARSET::mapstring(char* text, int n) {
  int bad = 0;
  unsigned char* t = reinterpret_cast<unsigned char*>(text);
  for (int i = 0; i < n; ++i) {
    const unsigned char b = t[i];
    const unsigned char code = char_to_code[b];  // 0 for the zero byte too
    if (code == 0 && b != 0) {
      std::fprintf(stderr,
                   "Error: character (at internal position %d) %u '%c' not defined in input "
                   "alphabet:: %s\n",
                   i, b, b, alphabet.c_str());
      bad = 1;
      continue;
    }
    t[i] = code;
  }
  return bad;
}

CHARSET::Element CHARSET::decode(unsigned char code) const {
  Element e;
  unsigned u = code;
  // Codes above the groups are 128 + x: a flexible gap, then code x.
  if (follows_gap(code)) {
    e.after_gap = true;
    u = (u + 128) % 256;
    if (u > static_cast<unsigned>(total_codes)) return e;
  }
  e.code = u;
  if (u == 0)
    e.kind = Kind::Separator;
  else if (u <= static_cast<unsigned>(alphabet_size))
    e.kind = Kind::Character;
  else if (static_cast<int>(u) == wildcard_code || (nr_wc_allowed != 0 && static_cast<int>(u) == total_codes))
    e.kind = Kind::Wildcard;  // the group of every character, or the automatic "." group
  else
    e.kind = Kind::Group;
  return e;
}

std::string CHARSET::label(unsigned u) const {
  if (u == 0) return "_";
  if (u <= static_cast<unsigned>(alphabet_size)) return std::string(1, static_cast<char>(code_to_char[u]));
  return group_names[u - alphabet_size - 1];
}

void CHARSET::print(char code) const {
  const Element e = decode(static_cast<unsigned char>(code));
  if (e.after_gap && max_gap_nr <= 0) {
    std::fprintf(stderr, "ERROR: [unknown] %c\n", code);
    std::fprintf(report_file(), "Unknown character %c\n", code);
    std::fputs("Character set file did not contain the character\n"
               "Check the input file(s) OR update the character set file\n\n",
               report_file());
    error("Don't want to use modified data: update char set file instead\n");
  }
  if (e.after_gap) std::fprintf(report_file(), ".{%d,%d}", min_gap, max_gap);
  if (e.kind == Kind::Invalid) error("Was supposed to be a flexible wildcard... but was not\n");
  std::fputs(label(e.code).c_str(), report_file());
}

void CHARSET::print(const char* text) const {
  if (*text == '\0') {
    std::fputs("<empty>", report_file());
    return;
  }
  for (; *text; ++text) print(*text);
}

void CHARSET::print(const char* text, int n) const {
  for (int i = 0; i < n; ++i) print(text[i]);
}

std::string CHARSET::spell(const std::string& codes) const {
  if (codes.empty()) return "<empty>";
  // Written straight into the text: every accepted pattern is spelled.
  std::string text;
  text.reserve(codes.size() + 8);
  for (char code : codes) {
    const Element e = decode(static_cast<unsigned char>(code));
    if (e.after_gap) text += ".{" + std::to_string(min_gap) + "," + std::to_string(max_gap) + "}";
    if (e.kind == Kind::Character)
      text += static_cast<char>(code_to_char[e.code]);
    else
      text += label(e.code);
  }
  return text;
}

void CHARSET::test() const {
  if (verbose_level <= 0) return;
  std::fputs("\n Character class test:\n-------------------\n", report_file());
  print_summary();
  for (int x = 0; x <= alphabet_size; ++x)
    if (stop_flag[x]) std::fprintf(report_file(), "STOP char: %c\n", code_to_char[x]);
  std::fputs("\n\n", report_file());

  std::fputs("Classes  :\n", report_file());
  for (int k = 0; k < nr_groups; ++k)
    std::fprintf(report_file(), "%s %s\n", group_members[k].c_str(), group_names[k].c_str());

  std::fputs("%--------------- Character Set ---------------\n", report_file());
  std::fputs("NR\tchar\tinhowmanygroups :\t groups, where char belongs \n\n", report_file());
  for (int x = 1; x <= total_codes; ++x) {
    if (x == alphabet_size + 1) {
      std::fputs("% --------------- Character classes ------------\n", report_file());
      std::fputs("NR\tclass\t\thowmanychars :\tcharacters in group\n\n", report_file());
    }
    std::fprintf(report_file(), "%d\t", x);
    if (x <= alphabet_size)
      std::fprintf(report_file(), "%c\t\t", code_to_char[x]);
    else
      std::fprintf(report_file(), "%s\t", group_names[x - alphabet_size - 1].c_str());
    std::fprintf(report_file(), "%d : ", as_signed(members[x][0]));
    print_row_entries(members[x]);
    std::fputc('\n', report_file());
  }

  if (verbose_level > 5) {
    std::fputs("\n----------------------------------------------------------\nnr\tSigma\tAlpha\n",
               report_file());
    for (int i = 1; i < 256; ++i)
      if (char_to_code[i] != 0 || code_to_char[i] != 0)
        std::fprintf(report_file(), "%d\t%d\t%u\n", i, as_signed(char_to_code[i]), code_to_char[i]);
    std::fputs("\n----------------------------------\n\n", report_file());
  }

  std::fputs("SUPERSETS for every character and char group are:\n", report_file());
  std::fputs("NR :  superset_NR-s\n", report_file());
  for (int x = 0; x <= total_codes; ++x) {
    std::fprintf(report_file(), "%d :\t", x);
    print_row_entries(supersets[x]);
    std::fputc('\n', report_file());
  }
}
