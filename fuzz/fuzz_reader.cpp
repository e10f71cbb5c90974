// The FASTA/FASTQ reader against a reference parse written from the rules
// the README gives, over every container the reader accepts: the same text
// plain, with CR LF line ends, gzip-compressed and BGZF-compressed must give
// the same records (identifiers and folded sequences) as the reference, or
// be refused by both.
//
// First byte: bit 0 the format (FASTA, FASTQ); the rest is the file's text.
#include <htslib/bgzf.h>
#include <zlib.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_common.h"
#include "input/input_classes.h"
#include "input/reading.h"
#include "run/error.h"
#include "run/globals.h"

namespace {

struct Record {
  std::string id, sequence;
  bool operator==(const Record& o) const { return id == o.id && sequence == o.sequence; }
};

struct Parse {
  bool refused = false;
  std::vector<Record> records;
};

// ---------------------------------------------------------------------------
// The reference: whole lines, as a reader of the README would parse them.

bool space(unsigned char c) { return std::isspace(c) != 0; }

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t nl = text.find('\n', at);
    if (nl == std::string::npos) nl = text.size();
    lines.push_back(text.substr(at, nl - at));
    at = nl + 1;
  }
  return lines;
}

std::string fold(const std::string& line) {
  std::string out;
  for (unsigned char c : line) {
    if (space(c) || c == '-' || c == '.') continue;
    out += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  }
  return out;
}

// The identifier is kept as a C string: it ends at a zero byte too.
std::string first_word(const std::string& header) {
  std::size_t k = 1;
  while (k < header.size() && !space(static_cast<unsigned char>(header[k])) && header[k] != '\0') ++k;
  return header.substr(1, k - 1);
}

std::size_t without_cr(const std::string& line) {
  return !line.empty() && line.back() == '\r' ? line.size() - 1 : line.size();
}

bool blank(const std::string& line) {
  for (unsigned char c : line)
    if (!space(c)) return false;
  return true;
}

Parse reference(const std::string& text, bool fastq) {
  Parse parse;
  // White space before the first header, then the header's marker.
  std::size_t start = 0;
  while (start < text.size() && space(static_cast<unsigned char>(text[start]))) ++start;
  if (start == text.size()) return parse;
  const char marker = fastq ? '@' : '>';
  if (text[start] != marker) return Parse{true, {}};
  const std::vector<std::string> lines = lines_of(text.substr(start));
  std::size_t i = 0;
  auto add = [&parse](const std::string& id, const std::string& sequence) {
    if (sequence.empty()) return true;
    if (sequence.find('\0') != std::string::npos) return false;
    parse.records.push_back(Record{id, sequence});
    return true;
  };
  while (i < lines.size()) {
    const std::string id = first_word(lines[i++]);
    std::string sequence;
    if (!fastq) {
      const std::size_t first = i;
      while (i < lines.size() && (lines[i].empty() || lines[i][0] != '>')) sequence += fold(lines[i++]);
      // An '@' line, a sequence line (not blank, not '@' or '+') and a '+'
      // line in one record are a FASTQ record inside FASTA: refused.
      for (std::size_t j = first; j + 2 < i; ++j) {
        const std::string& middle = lines[j + 1];
        if (!lines[j].empty() && lines[j][0] == '@' && !blank(middle) && middle[0] != '@' &&
            middle[0] != '+' && !lines[j + 2].empty() && lines[j + 2][0] == '+')
          return Parse{true, {}};
      }
      if (!add(id, sequence)) return Parse{true, {}};
      continue;
    }
    std::size_t letters = 0;
    while (i < lines.size() && (lines[i].empty() || lines[i][0] != '+')) {
      if (!lines[i].empty() && lines[i][0] == '@') return Parse{true, {}};
      letters += without_cr(lines[i]);
      sequence += fold(lines[i++]);
    }
    if (i == lines.size()) return Parse{true, {}};
    ++i;  // the '+' line
    std::size_t quality = 0;
    while (quality < letters) {
      if (i == lines.size()) return Parse{true, {}};
      quality += without_cr(lines[i++]);
    }
    if (quality != letters) return Parse{true, {}};
    while (i < lines.size() && (lines[i].empty() || lines[i][0] != '@')) {
      if (!blank(lines[i])) return Parse{true, {}};
      ++i;
    }
    if (!add(id, sequence)) return Parse{true, {}};
  }
  return parse;
}

// ---------------------------------------------------------------------------
// The reader under test, on one stored file.

Parse read_file(const std::string& path, bool fastq) {
  Parse parse;
  SequenceTable table;
  input_classes classes;
  InputOptions options;
  ReadState state{table, classes, options, 0, {}, {}};
  FileRead file{path.c_str(), 1, {'1', '\0'}, 0, 0};
  try {
    std::unique_ptr<SequenceSource> source = SequenceSource::open(path.c_str());
    if (!source) __builtin_trap();  // the harness wrote it
    read_record_file(state, file, *source, fastq ? InputFormat::Fastq : InputFormat::Fasta);
    if (source->failed()) __builtin_trap();  // a file the harness compressed itself
  } catch (const FatalError&) {
    parse.refused = true;
    return parse;
  }
  // The joined layout: a separator first, then each sequence and its own.
  std::size_t at = 1;
  for (int k = 0; k < table.count(); ++k) {
    std::size_t end = at;
    while (end < table.text.size() && table.text[end] != 0) ++end;
    if (end == table.text.size()) __builtin_trap();
    parse.records.push_back(Record{table.ids[k + 1],
                                   std::string(table.text.begin() + static_cast<std::ptrdiff_t>(at),
                                               table.text.begin() + static_cast<std::ptrdiff_t>(end))});
    at = end + 1;
  }
  if (at != table.text.size()) __builtin_trap();
  return parse;
}

bool write_gzip(const std::string& path, const std::string& text) {
  gzFile gz = gzopen(path.c_str(), "wb");
  if (gz == nullptr) return false;
  const int written = text.empty() ? 0 : gzwrite(gz, text.data(), static_cast<unsigned>(text.size()));
  return gzclose(gz) == Z_OK && static_cast<std::size_t>(written) == text.size();
}

bool write_bgzf(const std::string& path, const std::string& text) {
  BGZF* out = bgzf_open(path.c_str(), "w");
  if (out == nullptr) return false;
  const bool ok = bgzf_write(out, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  return bgzf_close(out) == 0 && ok;
}

void same(const Parse& a, const Parse& b) {
  if (a.refused != b.refused) __builtin_trap();
  if (!a.refused && !(a.records == b.records)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::silence_standard_streams();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1 || size > 16 * 1024) return 0;
  const bool fastq = (data[0] & 1) != 0;
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  // Bytes that open as gzip are the compressed targets' business.
  if (text.size() >= 2 && static_cast<unsigned char>(text[0]) == 0x1f &&
      static_cast<unsigned char>(text[1]) == 0x8b)
    return 0;
  set_default_settings();
  verbose_level = 0;
  const Parse expected = reference(text, fastq);

  const std::string dir = fuzz::scratch_dir();
  const fuzz::FdWatch fds;
  std::vector<std::string> paths;
  const std::string plain = dir + "/plain";
  if (fuzz::write_file(plain, data + 1, size - 1)) paths.push_back(plain);
  // CR LF only where the text has no carriage return of its own (a CR
  // before a line end would be doubled, and counted, in a quality line).
  if (text.find('\r') == std::string::npos) {
    std::string crlf;
    for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const std::string path = dir + "/crlf";
    if (fuzz::write_file(path, reinterpret_cast<const unsigned char*>(crlf.data()), crlf.size()))
      paths.push_back(path);
  }
  if (write_gzip(dir + "/gzip", text)) paths.push_back(dir + "/gzip");
  if (write_bgzf(dir + "/bgzf", text)) paths.push_back(dir + "/bgzf");
  for (const std::string& path : paths) same(expected, read_file(path, fastq));
  fds.close_new();
  fuzz::clear_scratch_dir();
  return 0;
}
