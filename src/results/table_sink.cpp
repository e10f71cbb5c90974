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

class TableSink : public FileSink {
 public:
  using FileSink::FileSink;
  void begin_file(const RunInfo& info) override {
    nr_classes_ = static_cast<int>(info.classes.size());
    // Escaped like the fields: a line end inside a name would end the comment.
    for (const std::string& line : provenance_lines(info))
      std::fprintf(out(), "# %s\n", tsv_field(line).c_str());
    write_fields(out(), info.columns);
  }
  void pattern(const PatternRecord& r) override { write_fields(out(), row_fields(r, nr_classes_)); }

 private:
  int nr_classes_ = 0;
};

class JsonSink : public FileSink {
 public:
  using FileSink::FileSink;
  void begin_file(const RunInfo& info) override {
    nr_classes_ = static_cast<int>(info.classes.size());
    names_ = info.columns;
    std::fputs("{\n  \"provenance\": [", out());
    const std::vector<std::string> lines = provenance_lines(info);
    for (std::size_t i = 0; i < lines.size(); ++i)
      std::fprintf(out(), "%s\n    %s", i ? "," : "", json_string(lines[i]).c_str());
    std::fputs("\n  ],\n  \"rows\": [", out());
  }
  void pattern(const PatternRecord& r) override {
    const std::vector<std::string> f = row_fields(r, nr_classes_);
    std::fprintf(out(), "%s\n    {", rows_++ ? "," : "");
    for (std::size_t i = 0; i < f.size(); ++i) {
      // Numbers stay numbers; an empty field is null, and the text columns
      // (and the infinities JSON has no word for) are strings.
      std::string value = f[i];
      const bool text = names_[i] == "pattern" || value == "-inf" || value == "inf";
      if (value.empty())
        value = "null";
      else if (text)
        value = json_string(value);
      std::fprintf(out(), "%s%s: %s", i ? ", " : "", json_string(names_[i]).c_str(), value.c_str());
    }
    std::fputc('}', out());
  }
  void end_file(const RunSummary&) override { std::fputs("\n  ]\n}\n", out()); }

 private:
  int nr_classes_ = 0;
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
