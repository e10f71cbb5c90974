// The sites of the rows kept: every occurrence with the sequence it lies
// in, its start and strand, and the text it matched, so that a motif can be
// checked against the sequences themselves.
#include <charconv>
#include <cstdio>
#include <optional>
#include <string>

#include "alphabet/charset.h"
#include "input/input_classes.h"
#include "input/input_string.h"
#include "results/result_sink.h"
#include "results/site_matcher.h"
#include "results/text_escape.h"

namespace {

class SitesSink : public FileSink {
 public:
  using FileSink::FileSink;
  long rows_with_sites() const override { return kAllRows; }

  void begin_file(const RunInfo& info) override {
    info_ = &info;
    matcher_.emplace(*info.input, info.min_gap, info.max_gap);
    std::fputs("pattern\tsequence\tfile\tclass\tstart\tstrand\tmatched\n", out());
    // Hundreds of thousands of lines: built in one buffer and written in
    // large blocks rather than formatted field by field.
    buffer_.reserve(1 << 17);
  }

  void pattern(const PatternRecord& r) override {
    const input_string& input = *info_->input;
    const CHARSET& charset = *info_->charset;
    char number[16];
    for (int end : r.ends) {
      if (!matcher_->locate(r.codes, end, site_)) continue;  // cannot happen for a set the search built
      const int k = site_.sequence;
      // Names and letters escaped as in the table (a control byte of an
      // identifier would otherwise go into the file raw).
      append_tsv_field(buffer_, r.text);
      buffer_ += '\t';
      id_.clear();
      input.seq_ids.append_to(id_, k);
      append_tsv_field(buffer_, id_);
      buffer_ += '\t';
      append_tsv_field(buffer_, info_->files[static_cast<std::size_t>(input.seq_file[k] - 1)]);
      buffer_ += '\t';
      append_tsv_field(buffer_, input.classes->class_name(input.class_of_seq[k]));
      buffer_ += '\t';
      buffer_.append(number, std::to_chars(number, number + sizeof number, site_.start).ptr);
      buffer_ += '\t';
      buffer_ += site_.strand;
      buffer_ += '\t';
      matched_.clear();
      for (int p = site_.first; p < end; ++p) matched_ += static_cast<char>(charset.code_to_char[input.coded[p]]);
      append_tsv_field(buffer_, matched_);
      buffer_ += '\n';
      if (buffer_.size() >= (1 << 16)) {
        std::fwrite(buffer_.data(), 1, buffer_.size(), out());
        buffer_.clear();
      }
    }
  }

  void end_file(const RunSummary&) override { std::fwrite(buffer_.data(), 1, buffer_.size(), out()); }

 private:
  const RunInfo* info_ = nullptr;
  std::optional<SiteMatcher> matcher_;
  Site site_;
  std::string buffer_;
  std::string id_, matched_;  // scratch, reused for every site
};

}  // namespace

std::unique_ptr<ResultSink> make_sites_sink(const SinkSetting& s) {
  return std::make_unique<SitesSink>(s.file, s.standard_output);
}
