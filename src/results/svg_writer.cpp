#include "results/svg_writer.h"

#include <cmath>
#include <cstdio>

#include "results/text_escape.h"

std::string markup_escape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  const unsigned char* s = reinterpret_cast<const unsigned char*>(text.data());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char ch = text[i];
    const unsigned char c = static_cast<unsigned char>(ch);
    // The page is declared UTF-8: a byte that starts no valid character
    // (a Latin-1 name, say) becomes U+FFFD rather than making it invalid.
    if (c >= 0x80) {
      const std::size_t length = utf8_length(s + i, text.size() - i);
      if (length == 0) {
        out += "\xEF\xBF\xBD";
      } else {
        out.append(text, i, length);
        i += length - 1;
      }
      continue;
    }
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default:
        // Control bytes are not allowed in XML; tab and line ends are.
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') break;
        if (c == 0x7f) break;
        out += ch;
    }
  }
  return out;
}

std::string svg_number(double value, int decimals) {
  if (!std::isfinite(value)) return "0";
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  std::string s = text;
  if (s.find('.') != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  if (s == "-0") s = "0";
  return s;
}

void SvgWriter::start_tag(const std::string& tag, const Attributes& attributes) {
  out_ += '<';
  out_ += tag;
  for (const auto& a : attributes) {
    out_ += ' ';
    out_ += a.first;
    out_ += "=\"";
    out_ += markup_escape(a.second);
    out_ += '"';
  }
}

SvgWriter& SvgWriter::open(const std::string& tag, const Attributes& attributes) {
  start_tag(tag, attributes);
  out_ += '>';
  open_.push_back(tag);
  return *this;
}

SvgWriter& SvgWriter::close() {
  if (open_.empty()) return *this;
  out_ += "</";
  out_ += open_.back();
  out_ += '>';
  open_.pop_back();
  return *this;
}

SvgWriter& SvgWriter::leaf(const std::string& tag, const Attributes& attributes) {
  start_tag(tag, attributes);
  out_ += "/>";
  return *this;
}

SvgWriter& SvgWriter::element(const std::string& tag, const Attributes& attributes, const std::string& text) {
  start_tag(tag, attributes);
  out_ += '>';
  out_ += markup_escape(text);
  out_ += "</";
  out_ += tag;
  out_ += '>';
  return *this;
}

SvgWriter& SvgWriter::text(const std::string& text) {
  out_ += markup_escape(text);
  return *this;
}

SvgWriter& SvgWriter::raw(const std::string& markup) {
  out_ += markup;
  return *this;
}

std::string SvgWriter::finish() {
  while (!open_.empty()) close();
  std::string done;
  done.swap(out_);
  return done;
}
