#pragma once
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The identifiers of the sequences, numbered as the sequences from 1: the
// first word of a FASTA/FASTQ header, or the line number in the line
// format. Names share one text buffer and line numbers are kept as numbers,
// so reading costs no allocation per sequence.
class SequenceIds {
 public:
  void add(const char* id, std::size_t n) {
    text_.append(id, n);
    ends_.push_back(text_.size());
    numbers_.push_back(0);
  }
  void add_number(std::uint32_t line) {
    ends_.push_back(text_.size());
    numbers_.push_back(line);
  }
  // Sequence k's identifier (k = 1..count()); entry 0 is empty.
  std::string operator[](int k) const {
    const std::size_t i = static_cast<std::size_t>(k);
    if (numbers_[i] != 0) return std::to_string(numbers_[i]);
    return text_.substr(ends_[i], ends_[i + 1] - ends_[i]);
  }
  // Appends sequence k's identifier to `out` (no string made on the way).
  void append_to(std::string& out, int k) const {
    const std::size_t i = static_cast<std::size_t>(k);
    if (numbers_[i] == 0) {
      out.append(text_, ends_[i], ends_[i + 1] - ends_[i]);
      return;
    }
    char digits[16];
    const auto done = std::to_chars(digits, digits + sizeof digits, numbers_[i]);
    out.append(digits, done.ptr);
  }
  int count() const { return static_cast<int>(numbers_.size()) - 1; }

 private:
  std::string text_;
  std::vector<std::size_t> ends_{0, 0};  // a name k spans ends_[k] .. ends_[k + 1]
  std::vector<std::uint32_t> numbers_{0};  // a line number, or 0 for a name
};
