// The line format: one sequence per line, an optional class name after it,
// comment, header and blank lines skipped.
#include <array>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "alphabet/line_reader.h"
#include "input/reading.h"
#include "run/error.h"

namespace {

// isspace as a table: the scan for the end of a sequence runs over every
// input character.
struct SpaceTable {
  std::array<bool, 256> space{};
  SpaceTable() {
    for (int c = 0; c < 256; ++c) space[c] = std::isspace(c) != 0;
  }
};
const SpaceTable kSpaces;

bool is_space(char c) { return kSpaces.space[static_cast<unsigned char>(c)]; }

// Index of the first white-space byte of s[0..n), or n. Every white-space
// byte is below 0x21, so words without such a byte are passed over eight
// bytes at a time (the test is exact for "some byte is below 0x21").
std::size_t first_space(const char* s, std::size_t n) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint64_t w;
    std::memcpy(&w, s + i, 8);
    if (((w - kOnes * 0x21) & ~w & kHighs) != 0) break;
  }
  for (; i < n; ++i)
    if (is_space(s[i])) return i;
  return n;
}

// Signs that a file is in another format than lines: a header followed by
// more than one sequence line (multi-line FASTA), or a first line starting
// with '@' whose third line starts with '+' (FASTQ). Both are read wrongly
// as lines, without an error, so the user is told once.
class FormatSigns {
 public:
  void see(const char* line, std::size_t n, std::size_t line_number) {
    if (n == 0) return;
    if (first_line_ == 0) {
      first_line_ = line_number;
      fastq_start_ = line[0] == '@';
    } else if (fastq_start_ && line_number == first_line_ + 2 && line[0] == '+') {
      fastq_ = true;
    }
    if (line[0] == '>') {
      lines_after_header_ = 0;
      in_record_ = true;
    } else if (in_record_ && line[0] != '#' && ++lines_after_header_ == 2) {
      multi_line_fasta_ = true;
    }
  }
  void report(const char* name) const {
    if (fastq_)
      warning("%s looks like FASTQ: each of its lines is read as a sequence (-format fastq "
              "reads it as FASTQ)",
              name);
    else if (multi_line_fasta_)
      warning("%s looks like multi-line FASTA: each of its lines is read as a sequence of its "
              "own (-format fasta reads it as FASTA)",
              name);
  }

 private:
  std::size_t first_line_ = 0;
  bool fastq_start_ = false, fastq_ = false;
  bool in_record_ = false, multi_line_fasta_ = false;
  int lines_after_header_ = 0;
};

}  // namespace

void read_line_file(ReadState& state, FileRead& file, SequenceSource& source) {
  LineReader reader(
      [&source](char* block, std::size_t size) { return source.read(block, size); },
      input_string::kMaxLineLength);
  FormatSigns signs;
  for (;;) {
    const LineReader::Status status = reader.next();
    if (status == LineReader::kEnd) break;
    if (status == LineReader::kTooLong) {
      // The classic lines below run the name into the text and count
      // sequences, not lines; the line before them names file and line.
      warning("%s: line %zu is longer than %zu characters", file.name, reader.line_number() + 1,
              input_string::kMaxLineLength);
      std::fprintf(stderr, "Input file %shas too long input line %d\n", file.name, state.sequences + 1);
      error("example-file has too long input line ", state.sequences + 1);
    }
    if (status == LineReader::kReadError) {
      warning("%s: %s", file.name, source.failure().c_str());
      error("Can't read input file", file.name);
    }

    char* line = reader.line();
    const std::size_t n = reader.size();
    signs.see(line, n, reader.line_number());
    if (n == 0 || line[0] == '#' || line[0] == '>' || line[0] == ' ') continue;
    // A zero byte is the separator of the joined string; inside a
    // sequence it would split it silently.
    if (std::memchr(line, '\0', n) != nullptr) {
      std::fprintf(stderr, "Input file %s has a zero byte in line %zu\n", file.name,
                   reader.line_number());
      fatal_exit();
    }

    const std::size_t seq_len = first_space(line, n);
    // A line that begins with white space other than a blank (a tab, the
    // carriage return of a blank CR LF line) holds no sequence; as an empty
    // sequence it would enter every class total.
    if (seq_len == 0) {
      ++file.empty;
      continue;
    }
    std::size_t p = seq_len;
    while (p < n && is_space(line[p])) ++p;
    const std::size_t class_start = p;
    while (p < n && !is_space(line[p])) ++p;
    const char* class_text = file.file_class;
    if (p > class_start) {
      line[p] = '\0';  // the reader leaves room after the line
      class_text = line + class_start;
    }
    add_sequence(state, file, line, seq_len, class_text, nullptr, reader.line_number());
  }
  signs.report(file.name);
}
