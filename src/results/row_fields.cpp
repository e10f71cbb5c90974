#include "results/row_fields.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <set>

#include "input/input_classes.h"
#include "input/input_string.h"

namespace {

std::string number(const char* format, double value) {
  if (std::isnan(value)) return "";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace

std::string format_log10(double l) {
  char text[64];
  if (std::isnan(l)) return "";
  if (l == -std::numeric_limits<double>::infinity()) return "0";
  if (l > -300 && l < 300) {
    std::snprintf(text, sizeof text, "%.3g", std::pow(10.0, l));
    return text;
  }
  // Three significant digits of the mantissa, carried into the exponent
  // when they round up to 10.
  double e = std::floor(l);
  double m = std::round(std::pow(10.0, l - e) * 100.0) / 100.0;
  if (m >= 10.0) m /= 10.0, e += 1;
  std::snprintf(text, sizeof text, "%.3ge%+03d", m, static_cast<int>(e));
  return text;
}

std::vector<std::string> column_names(const input_string& input, const ResultOptions& options) {
  const SignificanceOptions& significance = options.significance;
  std::vector<std::string> names = {"rank", "pattern", "length", "seqs", "positions"};
  for (int j = 1; j <= input.classes->nr_classes; ++j) {
    const std::string c = input.classes->class_name(j);
    names.push_back(c + "_seqs");
    names.push_back(c + "_positions");
  }
  for (const char* n : {"ratio", "bp", "log10_bp", "log10_p", "evalue", "qvalue", "maximal", "log10_bg", "motif", "tarone_p"})
    names.emplace_back(n);
  if (options.prosite) names.emplace_back("prosite");
  if (significance.marks_rows()) names.emplace_back("significant");
  if (significance.permutations > 0) names.emplace_back("wy_p");
  if (significance.fdr > 0) names.emplace_back("fdr_significant");
  return names;
}

std::vector<std::string> row_fields(const PatternRecord& r, int K, const ResultOptions& options) {
  const SignificanceOptions& significance = options.significance;
  std::vector<std::string> f = {std::to_string(r.rank), r.text, std::to_string(r.length),
                                std::to_string(r.seqs[K + 1]), std::to_string(r.positions[K + 1])};
  for (int j = 1; j <= K; ++j) {
    f.push_back(std::to_string(r.seqs[j]));
    f.push_back(std::to_string(r.positions[j]));
  }
  f.push_back(number("%g", r.ratio));
  f.push_back(number("%g", r.bp));
  f.push_back(number("%.6g", r.log10_bp));
  f.push_back(number("%.6g", r.log10_p));
  f.push_back(format_log10(r.log10_e));
  f.push_back(format_log10(r.log10_q));
  f.push_back(r.maximal ? "1" : "0");
  f.push_back(number("%.6g", r.log10_bg));
  f.push_back(std::to_string(r.motif));
  f.push_back(format_log10(r.log10_tarone));
  if (options.prosite) f.push_back(r.prosite);
  auto mark = [](int v) { return v < 0 ? std::string() : std::to_string(v); };
  if (significance.marks_rows()) f.push_back(mark(r.significant));
  if (significance.permutations > 0) {
    char above[40];
    std::snprintf(above, sizeof above, ">%g", significance.alpha());
    f.push_back(std::isinf(r.log10_wy) && r.log10_wy > 0 ? std::string(above) : format_log10(r.log10_wy));
  }
  if (significance.fdr > 0) f.push_back(mark(r.fdr_significant));
  return f;
}

std::vector<ClassSource> class_sources(const input_string& input, const std::vector<std::string>& files) {
  const int K = input.classes->nr_classes;
  std::vector<std::set<int>> from(static_cast<std::size_t>(K) + 2);
  std::vector<ClassSource> all(static_cast<std::size_t>(K) + 2);
  for (int k = 1; k <= input.nr_sequences; ++k) {
    from[input.class_of_seq[k]].insert(input.seq_file[k]);
    ++all[input.class_of_seq[k]].sequences;
  }
  std::vector<ClassSource> classes;
  for (int j = 1; j <= K; ++j) {
    ClassSource c = all[static_cast<std::size_t>(j)];
    c.name = input.classes->class_name(j);
    for (int f : from[static_cast<std::size_t>(j)]) c.files.push_back(files[static_cast<std::size_t>(f - 1)]);
    classes.push_back(std::move(c));
  }
  return classes;
}

std::vector<std::string> provenance_lines(const RunInfo& info) {
  std::vector<std::string> lines = {"command: " + info.command};
  for (const ClassSource& c : info.classes) {
    std::string line = "class " + c.name + ": " + std::to_string(c.sequences) + " sequences from";
    for (const std::string& f : c.files) line += " " + f;
    lines.push_back(line);
  }
  if (info.classes.size() > 2)
    lines.push_back("compared: class " + info.classes[0].name + " against class " + info.classes[1].name +
                    " (ratio, bp, log10_bp, log10_p, evalue, qvalue, tarone_p)");
  lines.push_back("patterns tested: " + std::to_string(info.figures.tested));
  lines.push_back("patterns accepted: " + std::to_string(info.figures.accepted));
  lines.push_back("rows: " + std::to_string(info.figures.rows));
  for (const std::string& line : info.figures.significance) lines.push_back(line);
  return lines;
}
