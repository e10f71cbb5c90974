#include "results/text_escape.h"

#include <cstdio>

std::size_t utf8_length(const unsigned char* s, std::size_t n) {
  if (n == 0) return 0;
  const unsigned char c = s[0];
  if (c < 0x80) return 1;
  std::size_t length;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (c >= 0xC2 && c <= 0xDF) {
    length = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    length = 3;
    if (c == 0xE0) low = 0xA0;   // no overlong form
    if (c == 0xED) high = 0x9F;  // no surrogate
  } else if (c >= 0xF0 && c <= 0xF4) {
    length = 4;
    if (c == 0xF0) low = 0x90;   // no overlong form
    if (c == 0xF4) high = 0x8F;  // nothing past U+10FFFF
  } else {
    return 0;
  }
  if (n < length || s[1] < low || s[1] > high) return 0;
  for (std::size_t i = 2; i < length; ++i)
    if (s[i] < 0x80 || s[i] > 0xBF) return 0;
  return length;
}

namespace {

bool tsv_special(unsigned char c) { return c < 0x20 || c == 0x7f || c == '\\'; }

}  // namespace

void append_tsv_field(std::string& out, const std::string& text) {
  std::size_t plain = 0;
  while (plain < text.size() && !tsv_special(static_cast<unsigned char>(text[plain]))) ++plain;
  if (plain == text.size()) {
    out += text;
    return;
  }
  out.append(text, 0, plain);
  for (std::size_t i = plain; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (!tsv_special(c)) {
      out += static_cast<char>(c);
      continue;
    }
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: {
        char esc[8];
        std::snprintf(esc, sizeof esc, "\\x%02X", c);
        out += esc;
      }
    }
  }
}

std::string tsv_field(const std::string& text) {
  std::string out;
  append_tsv_field(out, text);
  return out;
}

std::string blank_free_field(const std::string& text) {
  const std::string field = tsv_field(text);  // writes no blank of its own
  if (field.find(' ') == std::string::npos) return field;
  std::string out;
  for (const char c : field) {
    if (c == ' ')
      out += "\\x20";
    else
      out += c;
  }
  return out;
}

std::string json_string(const std::string& text) {
  std::string out = "\"";
  const unsigned char* s = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n;) {
    const unsigned char c = s[i];
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    const std::size_t length = c < 0x20 || c == 0x7f ? 0 : utf8_length(s + i, n - i);
    if (length == 0) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\u%04x", c);
      out += esc;
      ++i;
      continue;
    }
    out.append(text, i, length);
    i += length;
  }
  return out + "\"";
}
