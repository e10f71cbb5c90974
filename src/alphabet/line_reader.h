#pragma once
#include <cstddef>
#include <cstdio>
#include <functional>
#include <vector>

// Reads a text file line by line through one reused buffer, in blocks, so
// that a line costs no allocation and a file of any size is read in linear
// time. A line is the text up to (not including) its '\n'; a last line
// without a newline is a line too. Bytes are passed on as they are (a
// carriage return stays part of the line, a zero byte is counted in size()).
class LineReader {
 public:
  enum Status { kLine, kEnd, kTooLong, kReadError };
  // Fills a block: returns the number of bytes read, 0 at the end, or a
  // negative number when reading failed.
  using BlockSource = std::function<std::ptrdiff_t(char* block, std::size_t size)>;

  // `max_length` is the longest line accepted, without its newline.
  LineReader(std::FILE* file, std::size_t max_length);
  LineReader(BlockSource source, std::size_t max_length);

  // Reads the next line. After kLine, line() holds it followed by two zero
  // bytes (room for `tokens`), size() its length. After kTooLong the line
  // was longer than max_length; reading should stop there.
  Status next();

  char* line() { return buffer_.data(); }
  std::size_t size() const { return size_; }
  // Number of lines returned so far (1 after the first line).
  std::size_t line_number() const { return line_number_; }

 private:
  bool refill();
  bool append(const char* data, std::size_t n);

  BlockSource source_;
  std::size_t max_length_;
  std::vector<char> block_;
  std::size_t block_pos_ = 0, block_end_ = 0;
  std::vector<char> buffer_;
  std::size_t size_ = 0;
  std::size_t line_number_ = 0;
  bool read_error_ = false;
};
