#include "results/logo.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cctype>
#include <cstring>

#include "results/svg_writer.h"

namespace {

// Geometry of a logo, in pixels: log2 N bits fill kBitsHeight.
constexpr double kColumnWidth = 24;
constexpr double kBitsHeight = 100;
constexpr double kLeft = 34, kTop = 8, kBottom = 34;
// Letters are set in a bold monospace face at kFontSize; its capitals are
// about kCapHeight high and kAdvance wide, which the scaling undoes so that
// a letter fills its box.
constexpr double kFontSize = 20;
constexpr double kCapHeight = 0.73 * kFontSize;
constexpr double kAdvance = 0.6 * kFontSize;
// Letters lower than this are left out: they cannot be seen and cost bytes.
constexpr double kLeastHeight = 0.4;

std::string gap_text(const LogoElement& e) {
  if (e.gap_min == e.gap_max) return "+" + std::to_string(e.gap_min);
  return "+" + std::to_string(e.gap_min) + "-" + std::to_string(e.gap_max);
}

}  // namespace

ColumnProfile column_profile(const std::string& letters, int alphabet_letters) {
  std::array<long, 256> counts{};
  for (char c : letters) ++counts[static_cast<unsigned char>(c)];
  std::vector<std::pair<char, long>> seen;
  for (int c = 0; c < 256; ++c)
    if (counts[static_cast<std::size_t>(c)] != 0) seen.emplace_back(static_cast<char>(c), counts[static_cast<std::size_t>(c)]);
  return column_profile(seen, alphabet_letters);
}

ColumnProfile column_profile(const std::vector<std::pair<char, long>>& counts, int alphabet_letters) {
  ColumnProfile profile;
  long total = 0;
  int distinct = 0;
  for (const auto& c : counts) {
    if (c.second <= 0) continue;
    total += c.second;
    ++distinct;
  }
  if (total == 0) return profile;
  const double n = static_cast<double>(total);
  double entropy = 0;
  for (const auto& c : counts) {
    if (c.second <= 0) continue;
    const double f = static_cast<double>(c.second) / n;
    entropy -= f * std::log2(f);
  }
  // A letter outside the N counted would make IC negative; N is at least
  // the letters seen.
  const int N = std::max(alphabet_letters, distinct);
  profile.information = std::max(0.0, std::log2(static_cast<double>(N)) - entropy);
  for (const auto& c : counts) {
    if (c.second <= 0) continue;
    const double f = static_cast<double>(c.second) / n;
    profile.letters.push_back(LetterHeight{c.first, f, f * profile.information});
  }
  std::stable_sort(profile.letters.begin(), profile.letters.end(),
                   [](const LetterHeight& a, const LetterHeight& b) { return a.frequency < b.frequency; });
  return profile;
}

const char* letter_colour(char letter, bool nucleotide) {
  const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  if (nucleotide) {
    switch (c) {
      case 'A': return "#109648";
      case 'C': return "#255c99";
      case 'G': return "#f7a21b";
      case 'T':
      case 'U': return "#d62839";
      default: return "#888888";
    }
  }
  if (c != '\0' && std::strchr("GSTYC", c)) return "#109648";  // polar
  if (c != '\0' && std::strchr("NQ", c)) return "#8e44ad";     // amides
  if (c != '\0' && std::strchr("KRH", c)) return "#255c99";    // basic
  if (c != '\0' && std::strchr("DE", c)) return "#d62839";     // acidic
  if (c != '\0' && std::strchr("AVLIPWFM", c)) return "#222222";  // hydrophobic
  return "#888888";
}

void draw_logo(SvgWriter& svg, const std::string& pattern, const std::vector<LogoElement>& elements,
               int alphabet_letters, bool nucleotide, const char* css_class, double scale) {
  const double max_bits = std::log2(static_cast<double>(std::max(alphabet_letters, 2)));
  const double per_bit = kBitsHeight / max_bits;
  const double width = kLeft + kColumnWidth * static_cast<double>(elements.size()) + 6;
  const double height = kTop + kBitsHeight + kBottom;
  const double base = kTop + kBitsHeight;
  svg.open("svg", {{"class", css_class},
                   {"data-pattern", pattern},
                   {"xmlns", "http://www.w3.org/2000/svg"},
                   {"width", svg_number(width * scale)},
                   {"height", svg_number(height * scale)},
                   {"viewBox", "0 0 " + svg_number(width) + " " + svg_number(height)},
                   {"font-family", "DejaVu Sans Mono, Menlo, Consolas, monospace"},
                   {"font-weight", "bold"},
                   {"font-size", svg_number(kFontSize)},
                   {"text-anchor", "middle"}});
  svg.element("title", {}, "Logo of " + pattern);
  // The axis: bits from 0 to log2 N, a tick per bit.
  svg.open("g", {{"class", "axis"}, {"font-size", "9"}, {"font-weight", "normal"}, {"fill", "#555"}});
  svg.leaf("path", {{"d", "M" + svg_number(kLeft - 4) + " " + svg_number(kTop) + "V" + svg_number(base)},
                    {"stroke", "#555"}});
  for (int bit = 0; bit <= static_cast<int>(max_bits); ++bit) {
    const double y = base - bit * per_bit;
    svg.element("text", {{"x", svg_number(kLeft - 10)}, {"y", svg_number(y + 3)}}, std::to_string(bit));
  }
  svg.element("text", {{"transform", "translate(8," + svg_number(kTop + kBitsHeight / 2) + ") rotate(-90)"}},
              "bits");
  svg.close();

  const double sx = (kColumnWidth - 2) / kAdvance;
  // The frame around the pattern's own columns, the flanks left outside it.
  std::size_t first = elements.size(), last = 0;
  for (std::size_t i = 0; i < elements.size(); ++i)
    if (elements[i].kind != ElementKind::Flank) first = std::min(first, i), last = i;
  if (first < elements.size() && (first > 0 || last + 1 < elements.size()))
    svg.leaf("rect", {{"class", "frame"},
                      {"x", svg_number(kLeft + kColumnWidth * static_cast<double>(first))},
                      {"y", svg_number(kTop - 2)},
                      {"width", svg_number(kColumnWidth * static_cast<double>(last + 1 - first))},
                      {"height", svg_number(kBitsHeight + 4)},
                      {"fill", "none"},
                      {"stroke", "#999"}});
  for (std::size_t i = 0; i < elements.size(); ++i) {
    const LogoElement& e = elements[i];
    const ColumnProfile profile =
        e.counts.empty() ? column_profile(e.letters, alphabet_letters) : column_profile(e.counts, alphabet_letters);
    const bool flank = e.kind == ElementKind::Flank;
    std::string classes = flank ? "flank" : "column";
    if (e.kind == ElementKind::Wildcard) classes += " wildcard";
    if (e.kind == ElementKind::Group) classes += " group";
    if (e.gap_before) classes += " gapped";
    const double x = kLeft + kColumnWidth * static_cast<double>(i);
    SvgWriter::Attributes group = {{"class", classes},
                                   {"data-element", e.label},
                                   {"data-bits", svg_number(profile.information, 3)},
                                   {"transform", "translate(" + svg_number(x) + ",0)"}};
    if (flank) group.emplace_back("opacity", "0.35");
    svg.open("g", group);
    std::string tip = (flank ? "flank " + e.label : std::to_string(i + 1 - first) + ": " +
                                                        (e.gap_before ? "gap " + gap_text(e) + ", " : "") + e.label) +
                      ", " + svg_number(profile.information, 2) + " bits";
    for (auto it = profile.letters.rbegin(); it != profile.letters.rend(); ++it)
      tip += "; " + std::string(1, it->letter) + " " + svg_number(it->frequency, 3);
    svg.element("title", {}, tip);
    const double cx = kColumnWidth / 2;
    // Any letter may stand at a wildcard: a grey ground says so, and the
    // letters the sites hold there are stacked on it.
    if (e.kind == ElementKind::Wildcard)
      svg.leaf("rect", {{"x", "1"}, {"y", svg_number(kTop)}, {"width", svg_number(kColumnWidth - 2)},
                        {"height", svg_number(kBitsHeight)}, {"fill", "#f0f0f0"}});
    double y = base;
    for (const LetterHeight& l : profile.letters) {
      const double h = l.bits * per_bit;
      if (h < kLeastHeight) continue;
      svg.element("text",
                  {{"transform", "translate(" + svg_number(cx) + "," + svg_number(y) + ") scale(" +
                                     svg_number(sx, 3) + "," + svg_number(h / kCapHeight, 3) + ")"},
                   {"fill", letter_colour(l.letter, nucleotide)}},
                  std::string(1, l.letter));
      y -= h;
    }
    if (e.gap_before) {
      // A flexible gap before the element: a dashed rule and its lengths.
      svg.leaf("path", {{"d", "M0 " + svg_number(kTop) + "V" + svg_number(base)},
                        {"stroke", "#aaa"},
                        {"stroke-dasharray", "3 2"}});
      svg.element("text", {{"x", "0"}, {"y", svg_number(height - 3)}, {"font-size", "8"},
                           {"font-weight", "normal"}, {"fill", "#777"}},
                  gap_text(e));
    }
    const double label_size = e.label.size() <= 2 ? 11 : std::max(6.0, 22.0 / static_cast<double>(e.label.size()) * 1.6);
    svg.element("text", {{"x", svg_number(cx)}, {"y", svg_number(base + 14)}, {"font-size", svg_number(label_size, 1)},
                         {"font-weight", "normal"}, {"fill", "#333"}},
                e.label);
    svg.close();
  }
  svg.close();
}
