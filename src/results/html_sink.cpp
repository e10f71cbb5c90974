// The HTML page as a sink: the first rows with the data of their logos (from
// the sites), class shares and start positions, and the run's figures.
#include <algorithm>
#include <optional>
#include <set>

#include "alphabet/charset.h"
#include "input/input_string.h"
#include "results/html_report.h"
#include "results/result_sink.h"
#include "results/row_fields.h"
#include "results/site_matcher.h"
#include "results/site_matrix.h"
#include "run/version.h"

namespace {

// The version the banner prints.
constexpr char kVersion[] = MORVA_VERSION_TAG;

class HtmlSink : public FileSink {
 public:
  HtmlSink(const SinkSetting& s) : FileSink(s.file, s.standard_output), rows_(s.page_rows), flank_(s.flank) {}
  long rows_with_sites() const override { return rows_; }
  long rows_written() const override { return rows_; }

  void begin_file(const RunInfo& info) override {
    info_ = &info;
    const CHARSET& charset = *info.charset;
    const input_string& input = *info.input;
    page_.command = info.command;
    page_.version = kVersion;
    for (const ClassSource& c : info.classes) page_.inputs.push_back(HtmlInputClass{c.name, c.sequences, c.files});
    page_.charset_file = charset.filename;
    page_.alphabet = charset.alphabet;
    for (int g = 0; g < charset.nr_groups; ++g)
      page_.groups.emplace_back(charset.group_names[static_cast<std::size_t>(g)],
                                charset.group_members[static_cast<std::size_t>(g)]);
    // N of the logos: the letters the input holds.
    page_.alphabet_letters = std::max(1, static_cast<int>(info.letters.size()));
    page_.nucleotide = info.nucleotide;
    page_.tested = info.figures.tested;
    page_.accepted = info.figures.accepted;
    page_.significance = info.figures.significance;
    page_.table_rows = info.figures.rows;
    page_.seconds = info.figures.seconds;
    page_.columns = info.columns;
    matcher_.emplace(input, info.min_gap, info.max_gap);
    builder_.emplace(input, info.min_gap, info.max_gap, flank_);
  }

  void pattern(const PatternRecord& r) override {
    if (static_cast<long>(page_.motifs.size()) >= rows_) return;
    HtmlMotif m;
    m.fields = row_fields(r, static_cast<int>(info_->classes.size()), info_->options);
    m.pattern = r.text;
    m.motif = r.motif;
    m.lead = r.motif == 0 || leads_.insert(r.motif).second;
    // The logos are drawn from the site matrices: class 1's, and class 2's
    // (the background) when the run has one.
    builder_->build_class1(r, matrix_);
    m.elements = logo_elements(r, matrix_);
    m.sites = matrix_.sites;
    m.sites_class = info_->classes.empty() ? "1" : info_->classes[0].name;
    if (info_->classes.size() >= 2 && r.seqs.size() > 2 && r.positions[2] >= kLeastBackgroundSites) {
      builder_->build(r, 2, matrix_);
      m.background = logo_elements(r, matrix_);
      m.background_sites = matrix_.sites;
      m.background_class = info_->classes[1].name;
    }
    for (int end : r.ends) {
      if (!matcher_->locate(r.codes, end, site_)) continue;  // cannot happen for a set the search built
      m.starts.push_back(site_.sequence_length > 0
                             ? static_cast<double>(site_.start - 1) / site_.sequence_length
                             : 0.0);
    }
    for (std::size_t j = 0; j < info_->classes.size(); ++j)
      m.classes.push_back(HtmlClassShare{info_->classes[j].name, r.seqs[j + 1], info_->classes[j].sequences});
    page_.motifs.push_back(std::move(m));
  }

  // One logo column per pattern element (the gap lengths class 1's sites
  // show before it), and the flank columns each side, from `matrix`.
  std::vector<LogoElement> logo_elements(const PatternRecord& r, const SiteMatrix& matrix) const {
    const CHARSET& charset = *info_->charset;
    std::vector<LogoElement> elements;
    for (const MatrixSegment& s : matrix.segments) {
      for (int c = 0; c < s.width(); ++c) {
        LogoElement e;
        if (s.is_flank(c)) {
          e.kind = ElementKind::Flank;
          e.label = c < s.left ? std::to_string(c - s.left) : "+" + std::to_string(c - s.left - s.elements + 1);
        } else {
          const int k = s.first_element + c - s.left;
          const CHARSET::Element d = charset.decode(static_cast<unsigned char>(r.codes[static_cast<std::size_t>(k)]));
          e.kind = d.kind == CHARSET::Kind::Character ? ElementKind::Character
                   : d.kind == CHARSET::Kind::Wildcard ? ElementKind::Wildcard
                                                       : ElementKind::Group;
          e.label = charset.label(d.code);
          e.gap_before = d.after_gap;
          if (e.gap_before && c == s.left) {
            std::size_t lo = 0;
            while (lo < s.gaps.size() && s.gaps[lo] == 0) ++lo;
            if (lo < s.gaps.size()) {
              e.gap_min = static_cast<int>(lo);
              e.gap_max = static_cast<int>(s.gaps.size()) - 1;
            }
          }
        }
        for (int x = 1; x < matrix.stride; ++x) {
          const long n = matrix.count(s, c, x);
          if (n > 0) e.counts.emplace_back(static_cast<char>(charset.code_to_char[static_cast<std::size_t>(x)]), n);
        }
        elements.push_back(std::move(e));
      }
    }
    return elements;
  }

  void end_file(const RunSummary&) override {
    const std::string html = html_report_page(page_);
    std::fwrite(html.data(), 1, html.size(), out());
  }

 private:
  long rows_;
  const RunInfo* info_ = nullptr;
  HtmlReport page_;
  std::set<long> leads_;  // the motifs whose lead row is shown
  int flank_;
  std::optional<SiteMatcher> matcher_;
  std::optional<SiteMatrixBuilder> builder_;
  SiteMatrix matrix_;
  Site site_;
};

}  // namespace

std::unique_ptr<ResultSink> make_html_sink(const SinkSetting& s) { return std::make_unique<HtmlSink>(s); }
