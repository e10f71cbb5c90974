// The report's pattern lines: the first sink, taking the patterns in the
// order the search accepts them. A line is
//   pattern [cost] seqs/positions class:seqs/positions ... [set] [R:ratio] [BP:tail]
// and the report is flushed after it, so that it survives a run cut short.
#include <cstdio>
#include <string>

#include "results/result_sink.h"
#include "run/progress.h"
#include "run/report_stream.h"

namespace {

class ReportSink : public ResultSink {
 public:
  SinkOrder order() const override { return SinkOrder::Search; }
  void begin(const RunInfo& info) override { info_ = &info; }

  void pattern(const PatternRecord& r) override {
    const int K = static_cast<int>(info_->classes.size());
    line_ = r.text;
    if (info_->line.cost) append(" %g", static_cast<double>(r.cost));
    append(" %d/%d ", r.seqs[K + 1], r.positions[K + 1]);
    if (K > 1) {
      for (int j = 0; j <= K; ++j)
        if (r.positions[j] != 0)
          append("%s:%d/%d ", j == 0 ? info_->unclassified.c_str() : info_->classes[j - 1].name.c_str(), r.seqs[j],
                 r.positions[j]);
    }
    line_ += r.shown_set;
    if (info_->line.ratio) append(" R:%g", static_cast<double>(r.line_ratio));
    if (info_->line.binomial) append(" BP:%g", r.line_bp);
    line_ += '\n';
    std::fwrite(line_.data(), 1, line_.size(), report_file());
    if (info_->progress != nullptr) info_->progress->reported();
    flush_report();
  }

 private:
  template <typename... Args>
  void append(const char* format, Args... args) {
    char text[512];
    const int n = std::snprintf(text, sizeof text, format, args...);
    if (n >= static_cast<int>(sizeof text)) {
      std::string longer(static_cast<std::size_t>(n) + 1, '\0');
      std::snprintf(&longer[0], longer.size(), format, args...);
      line_.append(longer.data(), static_cast<std::size_t>(n));
    } else if (n > 0) {
      line_.append(text, static_cast<std::size_t>(n));
    }
  }

  const RunInfo* info_ = nullptr;
  std::string line_;
};

}  // namespace

std::unique_ptr<ResultSink> make_report_sink(const SinkSetting&) { return std::make_unique<ReportSink>(); }
