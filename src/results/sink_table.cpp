// The table of sinks and the file handling they share.
#include <cerrno>
#include <cstring>

#include "results/result_sink.h"
#include "run/error.h"

// The makers, each in its sink's own file.
std::unique_ptr<ResultSink> make_report_sink(const SinkSetting& setting);
std::unique_ptr<ResultSink> make_table_sink(const SinkSetting& setting);
std::unique_ptr<ResultSink> make_json_sink(const SinkSetting& setting);
std::unique_ptr<ResultSink> make_sites_sink(const SinkSetting& setting);
std::unique_ptr<ResultSink> make_html_sink(const SinkSetting& setting);
std::unique_ptr<ResultSink> make_meme_sink(const SinkSetting& setting);

const std::vector<SinkKind>& sink_kinds() {
  static const std::vector<SinkKind> kinds = {
      {"report", nullptr, false, nullptr, nullptr, make_report_sink},
      {"table", "-table", true, "[-table FILE]", "tab-separated table of the patterns (- for standard output alone)",
       make_table_sink},
      {"json", "-json", true, "[-json FILE]", "the same rows as JSON", make_json_sink},
      {"sites", "-sites", true, "[-sites FILE]", "every occurrence of the rows kept", make_sites_sink},
      {"html", "-html", false, "[-html FILE]", "a self-contained HTML report with sequence logos", make_html_sink},
      {"meme", "-meme", false, "[-meme FILE]", "the rows' site matrices in the MEME motif format", make_meme_sink,
       false},
  };
  return kinds;
}

int sink_index(const char* option) {
  const std::vector<SinkKind>& kinds = sink_kinds();
  for (std::size_t i = 0; i < kinds.size(); ++i)
    if (kinds[i].option != nullptr && std::strcmp(kinds[i].option, option) == 0) return static_cast<int>(i);
  return -1;
}

FileSink::FileSink(std::string name, std::FILE* standard_output)
    : name_(std::move(name)), standard_output_(standard_output) {}

FileSink::~FileSink() {
  if (owned_ && out_ != nullptr) std::fclose(out_);
}

void FileSink::begin(const RunInfo& info) {
  out_ = standard_output_;
  owned_ = name_ != "-" || out_ == nullptr;
  if (owned_) {
    out_ = std::fopen(name_.c_str(), "w");
    if (out_ == nullptr) fatal("cannot write %s: %s", name_.c_str(), std::strerror(errno));
  }
  begin_file(info);
}

void FileSink::end(const RunSummary& summary) {
  end_file(summary);
  // A full disk must not end a run with status 0.
  if (std::fflush(out_) != 0 || std::ferror(out_) != 0)
    fatal("cannot write %s: %s", name_.c_str(), std::strerror(errno));
  if (owned_) {
    std::FILE* f = out_;
    out_ = nullptr;
    owned_ = false;
    if (std::fclose(f) != 0) fatal("cannot write %s: %s", name_.c_str(), std::strerror(errno));
  }
}
