#include "results/prosite.h"

#include <string>
#include <vector>

#include "alphabet/charset.h"

namespace {

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
      parts.emplace_back(1, static_cast<char>(charset.code_to_char[e.code]));
    } else if (e.kind == CHARSET::Kind::Group) {
      std::string group = "[";
      const unsigned char* row = charset.members[e.code];
      for (int k = 1; k <= row[0]; ++k) group += static_cast<char>(charset.code_to_char[row[k]]);
      parts.push_back(group + "]");
    } else {
      parts.push_back(charset.label(e.code));
    }
  }
  end_run();
  std::string text;
  for (std::size_t i = 0; i < parts.size(); ++i) text += (i ? "-" : "") + parts[i];
  return text;
}
