// The table and its JSON twin: provenance comment lines, one header line of
// stable lower-case names, one row per pattern in rank order. A two-class
// column is empty where the run has one class; nothing underflows, since
// every probability is carried as its log10.
#include <cmath>
#include <cstdio>
#include <limits>
#include <set>

#include "input/input_classes.h"
#include "input/input_string.h"
#include "results/results.h"

namespace {

std::string number(const char* format, double value) {
  if (std::isnan(value)) return "";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string json_string(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7f) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\u%04x", c);
      out += esc;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

}  // namespace

std::vector<std::string> Results::column_names() const {
  std::vector<std::string> names = {"rank", "pattern", "length", "seqs", "positions"};
  for (int j = 1; j <= nr_classes_; ++j) {
    const std::string c = input_.classes->class_name(j);
    names.push_back(c + "_seqs");
    names.push_back(c + "_positions");
  }
  for (const char* n : {"ratio", "bp", "log10_bp", "log10_p", "evalue", "qvalue", "maximal"})
    names.emplace_back(n);
  return names;
}

std::vector<std::string> Results::row_fields(const PatternRecord& r, long rank, double log10_q) const {
  const int K = nr_classes_;
  std::vector<std::string> f = {std::to_string(rank), r.text, std::to_string(r.length),
                                std::to_string(r.seqs[K + 1]), std::to_string(r.positions[K + 1])};
  for (int j = 1; j <= K; ++j) {
    f.push_back(std::to_string(r.seqs[j]));
    f.push_back(std::to_string(r.positions[j]));
  }
  f.push_back(number("%g", r.ratio));
  f.push_back(number("%g", r.bp));
  f.push_back(number("%.6g", r.log10_bp));
  f.push_back(number("%.6g", r.log10_p));
  f.push_back(std::isnan(r.log10_p) ? "" : format_log10(r.log10_p + std::log10(static_cast<double>(tested_))));
  f.push_back(format_log10(log10_q));
  f.push_back(is_maximal(r) ? "1" : "0");
  return f;
}

std::vector<Results::ClassSource> Results::class_sources() const {
  const int K = nr_classes_;
  std::vector<std::set<int>> files(static_cast<std::size_t>(K) + 2);
  std::vector<ClassSource> sources(static_cast<std::size_t>(K) + 2);
  for (int k = 1; k <= input_.nr_sequences; ++k) {
    files[input_.class_of_seq[k]].insert(input_.seq_file[k]);
    ++sources[input_.class_of_seq[k]].sequences;
  }
  for (std::size_t j = 0; j < sources.size(); ++j) sources[j].files.assign(files[j].begin(), files[j].end());
  return sources;
}

std::vector<std::string> Results::provenance() const {
  std::vector<std::string> lines = {"command: " + command_};
  const std::vector<ClassSource> sources = class_sources();
  for (int j = 1; j <= nr_classes_; ++j) {
    std::string line = "class " + std::string(input_.classes->class_name(j)) + ": " +
                       std::to_string(sources[static_cast<std::size_t>(j)].sequences) + " sequences from";
    for (int f : sources[static_cast<std::size_t>(j)].files) line += " " + files_[static_cast<std::size_t>(f - 1)];
    lines.push_back(line);
  }
  lines.push_back("patterns tested: " + std::to_string(tested_));
  lines.push_back("patterns accepted: " + std::to_string(accepted_));
  lines.push_back("rows: " + std::to_string(rows_.size()));
  return lines;
}

void Results::write_table(std::FILE* out, const std::vector<double>& q) const {
  for (const std::string& line : provenance()) std::fprintf(out, "# %s\n", line.c_str());
  const std::vector<std::string> names = column_names();
  for (std::size_t i = 0; i < names.size(); ++i)
    std::fprintf(out, "%s%s", i ? "\t" : "", names[i].c_str());
  std::fputc('\n', out);
  for (std::size_t r = 0; r < rows_.size(); ++r) {
    const std::vector<std::string> f = row_fields(rows_[r], static_cast<long>(r) + 1, q[r]);
    for (std::size_t i = 0; i < f.size(); ++i) std::fprintf(out, "%s%s", i ? "\t" : "", f[i].c_str());
    std::fputc('\n', out);
  }
}

void Results::write_json(std::FILE* out, const std::vector<double>& q) const {
  std::fputs("{\n  \"provenance\": [", out);
  const std::vector<std::string> lines = provenance();
  for (std::size_t i = 0; i < lines.size(); ++i)
    std::fprintf(out, "%s\n    %s", i ? "," : "", json_string(lines[i]).c_str());
  std::fputs("\n  ],\n  \"rows\": [", out);
  const std::vector<std::string> names = column_names();
  for (std::size_t r = 0; r < rows_.size(); ++r) {
    const std::vector<std::string> f = row_fields(rows_[r], static_cast<long>(r) + 1, q[r]);
    std::fprintf(out, "%s\n    {", r ? "," : "");
    for (std::size_t i = 0; i < f.size(); ++i) {
      // Numbers stay numbers; an empty field is null, and the text columns
      // (and the infinities JSON has no word for) are strings.
      std::string value = f[i];
      const bool text = names[i] == "pattern" || value == "-inf" || value == "inf";
      if (value.empty())
        value = "null";
      else if (text)
        value = json_string(value);
      std::fprintf(out, "%s%s: %s", i ? ", " : "", json_string(names[i]).c_str(), value.c_str());
    }
    std::fputc('}', out);
  }
  std::fputs("\n  ]\n}\n", out);
}
