#include "results/prosite.h"

#include <string>
#include <vector>

#include "alphabet/charset.h"

namespace {

bool residue_letter(unsigned char c) { return c >= 'A' && c <= 'Z'; }

std::string wildcards(int from, int to) {
  if (from == to) return from == 1 ? "x" : "x(" + std::to_string(from) + ")";
  return "x(" + std::to_string(from) + "," + std::to_string(to) + ")";
}

}  // namespace

std::string prosite_spelling(const CHARSET& charset, const std::string& codes, int min_gap, int max_gap) {
  std::vector<std::string> parts;
  // A run of wildcards, with the gaps inside it, as its least and most length.
  int run_min = 0, run_max = 0;
  auto end_run = [&] {
    if (run_max > 0) parts.push_back(wildcards(run_min, run_max));
    run_min = run_max = 0;
  };
  for (char c : codes) {
    const CHARSET::Element e = charset.decode(static_cast<unsigned char>(c));
    if (e.after_gap) run_min += min_gap, run_max += max_gap;
    if (e.kind == CHARSET::Kind::Wildcard) {
      ++run_min, ++run_max;
      continue;
    }
    end_run();
    if (e.kind == CHARSET::Kind::Character) {
      const unsigned char letter = charset.code_to_char[e.code];
      if (!residue_letter(letter)) return "";
      parts.emplace_back(1, static_cast<char>(letter));
    } else if (e.kind == CHARSET::Kind::Group) {
      std::string group = "[";
      const unsigned char* row = charset.members[e.code];
      for (int k = 1; k <= row[0]; ++k) {
        const unsigned char letter = charset.code_to_char[row[k]];
        if (!residue_letter(letter)) return "";
        group += static_cast<char>(letter);
      }
      parts.push_back(group + "]");
    } else {
      return "";  // no residue and no group: nothing PROSITE can say
    }
  }
  end_run();
  std::string text;
  for (std::size_t i = 0; i < parts.size(); ++i) text += (i ? "-" : "") + parts[i];
  return text;
}
