// Reading a character-set file: the alphabet line first, then STOP, p= and
// g= lines. The derived tables are built in charset_coding.cpp.
#include "alphabet/charset.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "alphabet/line_reader.h"
#include "alphabet/tokens.h"
#include "run/error.h"
#include "run/globals.h"
#include "run/report_stream.h"

namespace {

constexpr std::size_t kMaxCharsetLine = 9999;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Reads the next line and cuts it into tokens; false at the end of the file.
bool next_token_line(LineReader& reader, const std::string& filename, char*& first) {
  switch (reader.next()) {
    case LineReader::kEnd:
      return false;
    case LineReader::kTooLong:
      error("Character-file has too long line");
    case LineReader::kReadError:
      error("Can't read the configuration file", filename.c_str());
    case LineReader::kLine:
      break;
  }
  // A zero byte would silently cut the line short; a text file has none.
  if (std::memchr(reader.line(), '\0', reader.size()) != nullptr) {
    std::fprintf(stderr, "Character-file %s has a zero byte in line %zu\n", filename.c_str(),
                 reader.line_number());
    fatal_exit();
  }
  first = tokens(reader.line());
  return true;
}

// strtod's result narrowed to float without leaving float's range.
float to_probability(const char* text) {
  const double v = std::strtod(text, nullptr);
  if (v > FLT_MAX) return HUGE_VALF;
  if (v < -FLT_MAX) return -HUGE_VALF;
  return static_cast<float>(v);
}

}  // namespace

CHARSET::CHARSET(const char* name) : filename(newstring(name)) { build(nullptr); }

CHARSET::CHARSET(const char* name, const std::string& text) : filename(newstring(name)) {
  build(&text);
}

void CHARSET::build(const std::string* text) {
  if (text != nullptr) {
    // fmemopen wants a non-empty buffer it may treat as writable; a copy is
    // small and keeps the caller's text untouched.
    std::string copy = text->empty() ? std::string("\n") : *text;
    FilePtr file(fmemopen(&copy[0], copy.size(), "r"));
    if (!file) error("Couldn't allocate memory for the character set of", filename.c_str());
    read_file(file.get());
  } else {
    FilePtr file(std::fopen(filename.c_str(), "rb"));
    if (!file) error("Can't open the configuration file ", filename.c_str());
    read_file(file.get());
  }
  if (nr_wc_allowed != 0) {
    // The wildcard group: every character a pattern may cross.
    std::string all;
    for (int c = 1; c <= alphabet_size; ++c)
      if (stop_flag[c] == 0) all.push_back(static_cast<char>(code_to_char[c]));
    add_group(all.c_str(), ".");
  }
  derive_tables();
  std::fflush(stderr);
}

void CHARSET::add_group(const char* member_chars, const char* name) {
  if (alphabet_size + nr_groups + 1 > kMaxCodes)
    error("Character set file needs more than 127 codes (alphabet characters plus groups):",
          filename.c_str());
  group_members[nr_groups] = newstring(member_chars);
  group_names[nr_groups] = newstring(name);
  ++nr_groups;
}

void CHARSET::read_file(std::FILE* file) {
  LineReader reader(file, kMaxCharsetLine);
  char* t1 = nullptr;

  // Everything before the first "alphabet=" line is ignored.
  for (;;) {
    if (!next_token_line(reader, filename, t1))
      error("Config file doesn't have alphabet line at all!\n");
    if (std::strcmp(t1, "alphabet=") != 0) continue;
    const char* letters = next_token(t1);
    if (*letters == '\0') {
      std::fputs("Error: alphabet is missing from alphabet line...\n", stderr);
      fatal_exit();
    }
    alphabet = newstring(letters);
    break;
  }
  if (verbose_level > 0) std::fprintf(report_file(), "# Alphabet from charset file: %s\n", alphabet.c_str());

  for (char ch : alphabet) {
    const unsigned char u = static_cast<unsigned char>(ch);
    if (char_to_code[u] != 0) error("Repeated character ", static_cast<int>(static_cast<signed char>(ch)));
    ++alphabet_size;
    char_to_code[u] = static_cast<unsigned char>(alphabet_size);
    code_to_char[alphabet_size] = u;
  }
  if (alphabet_size > kMaxCodes)
    error("Character set file needs more than 127 codes (alphabet characters plus groups):",
          filename.c_str());

  while (next_token_line(reader, filename, t1)) {
    if (*t1 == '\0') continue;
    const char* t2 = next_token(t1);
    const char* t3 = next_token(t2);
    if (std::strncmp(t1, "STOP=", 5) == 0) {
      if (*t2 == '\0') std::fputs("Warning: STOP character list was empty!\n", stderr);
      for (const char* p = t2; *p; ++p) {
        const unsigned char code = char_to_code[static_cast<unsigned char>(*p)];
        if (code != 0)
          stop_flag[code] = 1;
        else
          std::fprintf(stderr, "Warning: the character %c in STOP list is missing from Alphabet\n\n", *p);
      }
    } else if (std::strncmp(t1, "p=", 2) == 0) {
      if (verbose_level > 2) std::fprintf(report_file(), "# %s %s %s\n", t1, t2, t3);
      // A character outside the alphabet (the separator's '_') addresses code 0.
      cost[char_to_code[static_cast<unsigned char>(*t2)]] = to_probability(t3);
    } else if (std::strncmp(t1, "g=", 2) == 0) {
      if (*t3 != '\0') {
        if (char_to_code[static_cast<unsigned char>(*t3)] != 0)
          std::fprintf(stderr, "Warning: Isn't the class name a valid input character? %s\n", t3);
        add_group(t2, t3);
      } else {
        add_group(t2, ("[" + std::string(t2) + "]").c_str());
      }
    }
  }
}
