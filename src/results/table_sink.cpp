// The table and its JSON twin: provenance comment lines, one header line of
// stable lower-case names, one row per pattern in rank order.
#include <cstdio>

#include "input/input_classes.h"
#include "input/input_string.h"
#include "results/result_sink.h"
#include "results/row_fields.h"
#include "results/text_escape.h"

namespace {

// Each field escaped, so that a name holding a tab or a line end cannot
// shift the columns or start a line of its own.
void write_fields(std::FILE* out, const std::vector<std::string>& fields) {
  std::string line;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line += '\t';
    append_tsv_field(line, fields[i]);
  }
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), out);
}

// Whether a field is a number as JSON writes one (no infinities, no NaN).
bool is_json_number(const std::string& value) {
  if (value.empty()) return true;  // written as null
  std::size_t i = value[0] == '-' ? 1 : 0;
  auto digits = [&] {
    const std::size_t start = i;
    while (i < value.size() && value[i] >= '0' && value[i] <= '9') ++i;
    return i > start;
  };
  if (!digits()) return false;
  if (i < value.size() && value[i] == '.' && (++i, !digits())) return false;
  if (i < value.size() && (value[i] == 'e' || value[i] == 'E')) {
    ++i;
    if (i < value.size() && (value[i] == '+' || value[i] == '-')) ++i;
    if (!digits()) return false;
  }
  return i == value.size();
}

class TableSink : public FileSink {
 public:
  using FileSink::FileSink;
  void begin_file(const RunInfo& info) override {
    nr_classes_ = static_cast<int>(info.classes.size());
    options_ = info.options;
    // Escaped like the fields: a line end inside a name would end the comment.
    for (const std::string& line : provenance_lines(info))
      std::fprintf(out(), "# %s\n", tsv_field(line).c_str());
    write_fields(out(), info.columns);
  }
  void pattern(const PatternRecord& r) override { write_fields(out(), row_fields(r, nr_classes_, options_)); }

 private:
  int nr_classes_ = 0;
  ResultOptions options_;
};

class JsonSink : public FileSink {
 public:
  using FileSink::FileSink;
  void begin_file(const RunInfo& info) override {
    nr_classes_ = static_cast<int>(info.classes.size());
    options_ = info.options;
    names_ = info.columns;
    std::fputs("{\n  \"provenance\": [", out());
    const std::vector<std::string> lines = provenance_lines(info);
    for (std::size_t i = 0; i < lines.size(); ++i)
      std::fprintf(out(), "%s\n    %s", i ? "," : "", json_string(lines[i]).c_str());
    std::fputs("\n  ],\n  \"rows\": [", out());
  }
  void pattern(const PatternRecord& r) override {
    const std::vector<std::string> f = row_fields(r, nr_classes_, options_);
    std::fprintf(out(), "%s\n    {", rows_++ ? "," : "");
    for (std::size_t i = 0; i < f.size(); ++i) {
      // Numbers stay numbers and the text columns strings; a value that is
      // undefined (an empty field) or not a finite number (an infinite ratio
      // or log10 of a zero tail, a wy_p only known to exceed alpha) is null.
      std::string value = f[i];
      if (names_[i] == "prosite" && value.empty())
        value = "null";  // a pattern PROSITE cannot spell
      else if (names_[i] == "pattern" || names_[i] == "prosite")
        value = json_string(value);
      else if (value.empty() || !is_json_number(value))
        value = "null";
      std::fprintf(out(), "%s%s: %s", i ? ", " : "", json_string(names_[i]).c_str(), value.c_str());
    }
    std::fputc('}', out());
  }
  void end_file(const RunSummary&) override { std::fputs("\n  ]\n}\n", out()); }

 private:
  int nr_classes_ = 0;
  ResultOptions options_;
  long rows_ = 0;
  std::vector<std::string> names_;
};

}  // namespace

std::unique_ptr<ResultSink> make_table_sink(const SinkSetting& s) {
  return std::make_unique<TableSink>(s.file, s.standard_output);
}

std::unique_ptr<ResultSink> make_json_sink(const SinkSetting& s) {
  return std::make_unique<JsonSink>(s.file, s.standard_output);
}
