#pragma once
#include <cstddef>
#include <memory>
#include <string>

// The input formats a sequence file can be read in.
enum class InputFormat { Lines, Fasta, Fastq, Auto };

// Parses the value of -format; false for a word that names no format.
bool parse_input_format(const char* text, InputFormat& format);

// A sequence file opened through htslib, so that plain, gzip and BGZF files
// read alike and "-" is standard input. The first block is read ahead at
// opening, to decide the format and see a byte-order mark; read() serves it
// before the rest of the file.
class SequenceSource {
 public:
  // Null when the file cannot be opened, with the system's error number in
  // `*error_number` when given (0 when the system gave none).
  static std::unique_ptr<SequenceSource> open(const char* name, int* error_number = nullptr);
  ~SequenceSource();
  SequenceSource(const SequenceSource&) = delete;
  SequenceSource& operator=(const SequenceSource&) = delete;

  // Up to `size` bytes into `buffer`: their number, 0 at the end of the
  // file, -1 when reading failed (a damaged compressed file, an I/O error).
  std::ptrdiff_t read(char* buffer, std::size_t size);

  // The bytes read ahead and not yet served.
  const char* head() const { return head_.data() + head_pos_; }
  std::size_t head_size() const { return head_.size() - head_pos_; }
  // Drops the first n bytes read ahead (a byte-order mark).
  void skip(std::size_t n) { head_pos_ += n < head_size() ? n : head_size(); }
  bool failed() const { return failed_; }
  // Why reading failed, for the line before the classic message: a damaged
  // compressed stream, or the system's error.
  std::string failure() const;
  // A BGZF file read to its end that lacks the empty block BGZF writers end
  // every file with: it was most likely cut short at a block boundary,
  // where it still inflates without an error.
  bool missing_eof_marker() const;

  // The format a file of these first bytes is in: '>' FASTA, '@' FASTQ,
  // anything else (or nothing but white space) the line format.
  InputFormat detect() const;

 private:
  SequenceSource() = default;
  static std::unique_ptr<SequenceSource> open_source(const char* name);
  static std::unique_ptr<SequenceSource> failed_open(std::unique_ptr<SequenceSource> source);
  struct Handle;
  std::unique_ptr<Handle> handle_;
  std::string head_;
  std::size_t head_pos_ = 0;
  bool failed_ = false;
  int read_errno_ = 0;  // the system's error when a plain read failed
  enum class EofCheck { kNone, kPresent, kMissing, kAtEnd };
  EofCheck eof_check_ = EofCheck::kNone;  // kNone: not a BGZF file
};
