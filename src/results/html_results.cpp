// The Results side of the HTML report: which rows need their sites, and the
// page's data from the rows kept, their sites and the run's figures.
#include <algorithm>
#include <array>
#include <cstring>

#include "alphabet/charset.h"
#include "input/input_classes.h"
#include "input/input_string.h"
#include "results/html_report.h"
#include "results/results.h"
#include "results/site_matcher.h"
#include "run/version.h"
#include "run/globals.h"

namespace {

// The version the banner prints.
constexpr char kVersion[] = MORVA_VERSION_TAG;

}  // namespace

// With -top (or -maximal, which keeps every row until the end) the rows that
// would be kept are the candidates; without -top the table keeps every row
// but the page shows only the first kHtmlRows, so a small heap of the best
// rows so far decides, and the sets of the other patterns are never copied.
bool Results::html_wants_sites(const PatternRecord& record) {
  if (options_.top > 0 || options_.maximal) return would_keep(record);
  const auto bound = static_cast<std::size_t>(options_.html_rows());
  auto worse_first = [this](const PatternRecord& a, const PatternRecord& b) { return better(a, b); };
  if (html_best_.size() < bound) {
    html_best_.push_back(record);
    std::push_heap(html_best_.begin(), html_best_.end(), worse_first);
    return true;
  }
  if (!better(record, html_best_.front())) return false;
  std::pop_heap(html_best_.begin(), html_best_.end(), worse_first);
  html_best_.back() = record;
  std::push_heap(html_best_.begin(), html_best_.end(), worse_first);
  return true;
}

void Results::write_html(std::FILE* out, const std::vector<double>& q) const {
  HtmlReport page;
  page.command = command_;
  page.version = kVersion;
  const std::vector<ClassSource> sources = class_sources();
  for (int j = 1; j <= nr_classes_; ++j) {
    HtmlInputClass c;
    c.name = input_.classes->class_name(j);
    c.sequences = sources[static_cast<std::size_t>(j)].sequences;
    for (int f : sources[static_cast<std::size_t>(j)].files) c.files.push_back(files_[static_cast<std::size_t>(f - 1)]);
    page.inputs.push_back(c);
  }

  page.charset_file = charset_.filename;
  page.alphabet = charset_.alphabet;
  for (int g = 0; g < charset_.nr_groups; ++g)
    page.groups.emplace_back(charset_.group_names[static_cast<std::size_t>(g)],
                             charset_.group_members[static_cast<std::size_t>(g)]);
  // N of the logos: the alphabet characters the input holds, STOP
  // characters left out, so that a protein run is near 20 and DNA 4.
  std::array<bool, 256> used{};
  for (int p = 0; p < input_.length; ++p) used[input_.coded[p]] = true;
  std::string letters;
  for (int c = 1; c <= charset_.alphabet_size; ++c)
    if (used[static_cast<std::size_t>(c)] && charset_.stop_flag[static_cast<std::size_t>(c)] == 0)
      letters += static_cast<char>(charset_.code_to_char[static_cast<std::size_t>(c)]);
  page.alphabet_letters = std::max(1, static_cast<int>(letters.size()));
  page.nucleotide = !letters.empty() && letters.find_first_not_of("ACGTUNacgtun") == std::string::npos;

  page.tested = tested_;
  page.accepted = accepted_;
  page.table_rows = static_cast<long>(rows_.size());
  page.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  page.columns = column_names();

  const SiteMatcher matcher(charset_, input_.coded, input_.length, min_gap, max_gap);
  const std::size_t shown = std::min(rows_.size(), static_cast<std::size_t>(options_.html_rows()));
  std::vector<int> at;
  for (std::size_t i = 0; i < shown; ++i) {
    const PatternRecord& r = rows_[i];
    HtmlMotif m;
    m.fields = row_fields(r, static_cast<long>(i) + 1, q[i]);
    m.pattern = r.text;
    for (char code : r.codes) {
      unsigned u = static_cast<unsigned char>(code);
      LogoElement e;
      e.gap_before = u > static_cast<unsigned>(charset_.total_codes);
      if (e.gap_before) u = (u + 128) % 256;
      const bool wildcard = (u != 0 && static_cast<int>(u) == charset_.wildcard_code) ||
                            (nr_wc_allowed != 0 && static_cast<int>(u) == charset_.total_codes);
      if (u <= static_cast<unsigned>(charset_.alphabet_size)) {
        e.kind = ElementKind::Character;
        e.label = std::string(1, static_cast<char>(charset_.code_to_char[u]));
      } else {
        e.kind = wildcard ? ElementKind::Wildcard : ElementKind::Group;
        e.label = charset_.group_names[u - static_cast<unsigned>(charset_.alphabet_size) - 1];
      }
      e.gap_min = max_gap + 1;
      m.elements.push_back(e);
    }
    for (int end : r.ends) {
      if (!matcher.place(r.codes, end, at)) continue;  // cannot happen for a set the search built
      for (std::size_t k = 0; k < at.size(); ++k) {
        LogoElement& e = m.elements[k];
        e.letters += static_cast<char>(charset_.code_to_char[input_.coded[at[k]]]);
        if (e.gap_before && k > 0) {
          const int gap = at[k] - at[k - 1] - 1;
          e.gap_min = std::min(e.gap_min, gap);
          e.gap_max = std::max(e.gap_max, gap);
        }
      }
      const SiteCoordinates site = site_coordinates(input_, at[0], end);
      m.starts.push_back(site.sequence_length > 0
                             ? static_cast<double>(site.start - 1) / site.sequence_length
                             : 0.0);
    }
    for (LogoElement& e : m.elements)
      if (e.gap_min > e.gap_max) e.gap_min = e.gap_max = 0;
    for (int j = 1; j <= nr_classes_; ++j)
      m.classes.push_back(HtmlClassShare{input_.classes->class_name(j), r.seqs[static_cast<std::size_t>(j)],
                                         sources[static_cast<std::size_t>(j)].sequences});
    page.motifs.push_back(std::move(m));
  }
  const std::string html = html_report_page(page);
  std::fwrite(html.data(), 1, html.size(), out);
}
