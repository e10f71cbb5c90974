// FASTA and FASTQ records: a record's sequence may span any number of lines
// of any length. The reader is strict where a lenient one would read
// silently wrong sequences: in FASTA only '>' begins a record (a line that
// begins with '@' or '+' is sequence text, except that an '@' line, a
// sequence line and a '+' line in a row are a FASTQ record and refused), and
// a FASTQ record needs its '+' line and as many quality letters as sequence
// letters. A record is
// checked against the room left in the reading table as it is read, so a
// huge record ends the run at its first letter past the limit instead of
// after it has been held in memory.
#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "input/reading.h"
#include "run/error.h"

namespace {

// Sequence letters as the search should see them: white space left inside
// a record (blanks, carriage returns) dropped, lower case (soft-masked
// regions) folded to upper case, and alignment gaps ('-' and '.') dropped,
// so that an aligned family is read as its ungapped sequences: a gap is no
// residue, and runs of gaps would otherwise come out as patterns.
struct FoldTable {
  std::array<unsigned char, 256> to{};
  std::array<bool, 256> drop{};
  std::array<unsigned char, 256> gap{};
  std::array<bool, 256> space{};
  FoldTable() {
    for (int c = 0; c < 256; ++c) {
      to[c] = static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 32 : c);
      gap[c] = c == '-' || c == '.';
      space[c] = std::isspace(c) != 0;
      drop[c] = space[c] || gap[c] != 0;
    }
  }
};
const FoldTable kFold;

bool is_space(int c) { return c >= 0 && kFold.space[static_cast<unsigned char>(c)]; }

// Folds s[0..n) in place; returns the new length and adds the gap
// characters dropped to `gaps`.
std::size_t fold_in_place(char* s, std::size_t n, long& gaps) {
  std::size_t out = 0;
  long dropped_gaps = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (kFold.drop[c]) {
      dropped_gaps += kFold.gap[c];
      continue;
    }
    s[out++] = static_cast<char>(kFold.to[c]);
  }
  gaps += dropped_gaps;
  return out;
}

bool only_white_space(const char* s, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    if (!is_space(static_cast<unsigned char>(s[i]))) return false;
  return true;
}

// The source in blocks, served a line at a time in pieces, so that no line
// is ever held whole: a sequence line of any length costs one block.
class LineScanner {
 public:
  explicit LineScanner(SequenceSource& source) : source_(source), block_(1 << 16) {}

  // The next byte without taking it; -1 at the end of the file (or when
  // reading failed, which the caller asks the source about).
  int peek() {
    if (pos_ == end_ && !refill()) return -1;
    return static_cast<unsigned char>(block_[pos_]);
  }
  void take() {
    if (peek() == '\n') ++line_;
    ++pos_;
  }
  // Hands the rest of the current line to piece(data, n) in one or more
  // pieces (the buffer may be changed in place), takes its newline, and
  // returns the line's length and in `last` its last byte (-1 if empty).
  template <class Piece>
  std::size_t take_line(Piece&& piece, int& last) {
    std::size_t length = 0;
    last = -1;
    while (peek() != -1) {
      char* start = block_.data() + pos_;
      const std::size_t avail = end_ - pos_;
      char* nl = static_cast<char*>(std::memchr(start, '\n', avail));
      const std::size_t n = nl != nullptr ? static_cast<std::size_t>(nl - start) : avail;
      if (n > 0) last = static_cast<unsigned char>(start[n - 1]);
      pos_ += n;
      length += n;
      if (n > 0) piece(start, n);
      if (nl != nullptr) {
        ++pos_;
        ++line_;
        break;
      }
    }
    return length;
  }
  // Lines taken so far, plus one: the number of the line being read.
  std::size_t line_number() const { return line_ + 1; }

 private:
  bool refill() {
    pos_ = end_ = 0;
    const std::ptrdiff_t n = source_.read(block_.data(), block_.size());
    if (n <= 0) return false;
    end_ = static_cast<std::size_t>(n);
    return true;
  }

  SequenceSource& source_;
  std::vector<char> block_;
  std::size_t pos_ = 0, end_ = 0;
  std::size_t line_ = 0;
};

// The length of a line's text without the carriage return of a CR LF end.
std::size_t text_length(std::size_t length, int last) { return last == '\r' ? length - 1 : length; }

// Reads the rest of a header line: the identifier is its first word.
void read_header(LineScanner& in, const FileRead& file, std::string& id) {
  id.clear();
  bool in_id = true;
  int last;
  in.take_line(
      [&](char* s, std::size_t n) {
        if (!in_id) return;
        std::size_t k = 0;
        while (k < n && !is_space(static_cast<unsigned char>(s[k]))) ++k;
        if (k > input_string::kMaxLineLength - id.size())
          fatal("%s: line %zu: a record's identifier is longer than %zu characters", file.name,
                in.line_number(), input_string::kMaxLineLength);
        id.append(s, k);
        in_id = k == n;
      },
      last);
}

// The reading state of one record file.
class RecordReader {
 public:
  RecordReader(ReadState& state, FileRead& file, SequenceSource& source, bool fastq)
      : state_(state), file_(file), in_(source), fastq_(fastq) {}

  void read() {
    const char marker = fastq_ ? '@' : '>';
    while (is_space(in_.peek())) in_.take();
    if (in_.peek() == -1) return;
    // Text before the first header means the file is in another format.
    if (in_.peek() != marker)
      fatal("%s is not in %s format: its first character is not '%c'", file_.name,
            fastq_ ? "FASTQ" : "FASTA", marker);
    while (in_.peek() != -1) {
      in_.take();  // the marker
      read_header(in_, file_, id_);
      sequence_.clear();
      room_ = state_.table.room();
      if (fastq_)
        read_fastq_rest();
      else
        read_fasta_rest();
      add_record();
    }
  }

 private:
  // One line of sequence text folded onto the record; returns its length
  // without the carriage return of a CR LF end.
  // `blank`, when given, is cleared if the line holds anything but white
  // space.
  std::size_t read_sequence_line(bool* blank = nullptr) {
    int last;
    const std::size_t length = in_.take_line(
        [this, blank](char* s, std::size_t n) {
          if (blank != nullptr && *blank) *blank = only_white_space(s, n);
          const std::size_t kept = fold_in_place(s, n, file_.gaps);
          if (kept > room_ - sequence_.size())
            state_.table.too_long((sequence_.size() + kept + 1) *
                                  static_cast<std::size_t>(state_.table.strands));
          try {
            // Grown by doubling, but never past the room left: a record near
            // the limit does not hold twice its size.
            const std::size_t need = sequence_.size() + kept;
            if (need > sequence_.capacity())
              sequence_.reserve(std::min(room_, std::max(need, 2 * sequence_.capacity())));
            sequence_.append(s, kept);
          } catch (const std::bad_alloc&) {
            error("Allocation of new string failed");
          }
        },
        last);
    return text_length(length, last);
  }

  // After the header: sequence lines up to the next header. FASTQ records
  // appended to a FASTA file (cat a.fa b.fq) would otherwise become letters
  // of the last FASTA record, identifier, '+' and quality included; the
  // three lines that open a FASTQ record are refused rather than guessed at.
  // No protein or DNA sequence line begins with '@' or '+', and a blank
  // line between them does not count as the sequence line.
  void read_fasta_rest() {
    std::size_t at_line = 0;  // the line of an '@' line just before, or 0
    bool after_at = false;    // the line before this one was that '@' line
    bool sequence_after_at = false;  // ... and a sequence line followed it
    while (in_.peek() != -1 && in_.peek() != '>') {
      const int first = in_.peek();
      const std::size_t line = in_.line_number();
      if (first == '+' && sequence_after_at)
        fatal("%s: line %zu: a FASTQ record ('@' line, sequence line, '+' line) inside FASTA "
              "input; FASTQ records are read from a file of their own with -format fastq (or "
              "-format auto)",
              file_.name, at_line);
      sequence_after_at = false;
      bool blank = true;
      read_sequence_line(&blank);
      if (after_at && !blank && first != '@' && first != '+') sequence_after_at = true;
      after_at = first == '@';
      if (after_at) at_line = line;
    }
  }

  // After the header: sequence lines up to the '+' line, then quality lines
  // until they hold as many letters as the sequence lines.
  void read_fastq_rest() {
    std::size_t letters = 0;
    for (;;) {
      const int c = in_.peek();
      if (c == '+') break;
      if (c == -1 || c == '@')
        fatal("%s: the FASTQ record %s has no '+' line after its sequence (line %zu)", file_.name,
              id_.c_str(), in_.line_number());
      letters += read_sequence_line();
    }
    int last;
    in_.take_line([](char*, std::size_t) {}, last);
    std::size_t quality = 0;
    while (quality < letters) {
      if (in_.peek() == -1)
        fatal("%s: the FASTQ record %s is cut short: its quality line is missing or shorter than "
              "its sequence",
              file_.name, id_.c_str());
      quality += text_length(in_.take_line([](char*, std::size_t) {}, last), last);
    }
    if (quality != letters)
      fatal("%s: the FASTQ record %s has %zu quality letters for %zu sequence letters",
            file_.name, id_.c_str(), quality, letters);
    // Up to the next record only blank lines may follow.
    for (int c = in_.peek(); c != -1 && c != '@'; c = in_.peek()) {
      const std::size_t line = in_.line_number();
      bool blank = true;
      in_.take_line([&blank](char* s, std::size_t n) { blank = blank && only_white_space(s, n); },
                    last);
      if (!blank)
        fatal("%s: line %zu: text after the quality of the FASTQ record %s where a record "
              "beginning with '@' should be",
              file_.name, line, id_.c_str());
    }
  }

  void add_record() {
    const std::size_t n = sequence_.size();
    if (n == 0) {
      ++file_.empty;
      return;
    }
    if (std::memchr(sequence_.data(), '\0', n) != nullptr)
      fatal("%s: the sequence of record %s holds a zero byte", file_.name, id_.c_str());
    add_sequence(state_, file_, sequence_.data(), n, file_.file_class, id_.c_str(), 0);
  }

  ReadState& state_;
  FileRead& file_;
  LineScanner in_;
  const bool fastq_;
  std::string id_, sequence_;
  std::size_t room_ = 0;  // letters the current record may have
};

}  // namespace

void read_record_file(ReadState& state, FileRead& file, SequenceSource& source, InputFormat format) {
  RecordReader(state, file, source, format == InputFormat::Fastq).read();
  if (file.gaps > 0)
    warning("%s: %ld alignment gap %s (- and .) dropped", file.name, file.gaps,
            file.gaps == 1 ? "character" : "characters");
}
