#pragma once
#include <string>
#include <utility>
#include <vector>

// Markup of the HTML report, inline SVG included: elements are opened and
// closed in order, every attribute value and text is escaped, and numbers
// are written short (the report holds thousands of them). No library: the
// report needs only a handful of elements.
class SvgWriter {
 public:
  using Attributes = std::vector<std::pair<std::string, std::string>>;

  // <tag a="v" ...>; closed by close().
  SvgWriter& open(const std::string& tag, const Attributes& attributes = {});
  // Closes the element opened last.
  SvgWriter& close();
  // <tag a="v" .../>
  SvgWriter& leaf(const std::string& tag, const Attributes& attributes);
  // <tag a="v" ...>text</tag>
  SvgWriter& element(const std::string& tag, const Attributes& attributes, const std::string& text);
  // Escaped text inside the element open now.
  SvgWriter& text(const std::string& text);
  // Markup written as it is (the caller's own, already escaped).
  SvgWriter& raw(const std::string& markup);

  int depth() const { return static_cast<int>(open_.size()); }
  // The markup, every element still open closed.
  std::string finish();
  const std::string& markup() const { return out_; }

 private:
  void start_tag(const std::string& tag, const Attributes& attributes);
  std::string out_;
  std::vector<std::string> open_;
};

// Text for an HTML or SVG attribute value or element content: & < > " '
// escaped, control bytes (other than tab and line ends) dropped, and each
// byte that starts no valid UTF-8 character replaced by U+FFFD.
std::string markup_escape(const std::string& text);

// A coordinate or size with at most `decimals` decimals and no trailing
// zeros ("12", "3.5", "-0.25"); never "-0".
std::string svg_number(double value, int decimals = 2);
