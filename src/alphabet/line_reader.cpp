#include "alphabet/line_reader.h"

#include <cstring>
#include <utility>

namespace {
constexpr std::size_t kBlockSize = 1 << 16;
}

LineReader::LineReader(std::FILE* file, std::size_t max_length)
    : LineReader(
          [file](char* block, std::size_t size) -> std::ptrdiff_t {
            const std::size_t n = std::fread(block, 1, size, file);
            if (n == 0 && std::ferror(file)) return -1;
            return static_cast<std::ptrdiff_t>(n);
          },
          max_length) {}

LineReader::LineReader(BlockSource source, std::size_t max_length)
    : source_(std::move(source)), max_length_(max_length), block_(kBlockSize), buffer_(2, '\0') {}

bool LineReader::refill() {
  block_pos_ = 0;
  block_end_ = 0;
  const std::ptrdiff_t n = source_(block_.data(), block_.size());
  if (n < 0) {
    read_error_ = true;
    return false;
  }
  block_end_ = static_cast<std::size_t>(n);
  return block_end_ > 0;
}

// The buffer grows with the longest line seen, never past max_length + 2.
bool LineReader::append(const char* data, std::size_t n) {
  if (n > max_length_ - size_) return false;
  if (size_ + n + 2 > buffer_.size()) buffer_.resize(size_ + n + 2);
  std::memcpy(buffer_.data() + size_, data, n);
  size_ += n;
  return true;
}

LineReader::Status LineReader::next() {
  size_ = 0;
  bool any = false;
  for (;;) {
    if (block_pos_ == block_end_ && !refill()) {
      if (read_error_) return kReadError;
      if (!any) return kEnd;
      break;  // last line without a newline
    }
    any = true;
    const char* start = block_.data() + block_pos_;
    const std::size_t avail = block_end_ - block_pos_;
    const void* nl = std::memchr(start, '\n', avail);
    const std::size_t take = nl ? static_cast<const char*>(nl) - start : avail;
    if (!append(start, take)) return kTooLong;
    block_pos_ += take;
    if (nl) {
      ++block_pos_;
      break;
    }
  }
  buffer_[size_] = '\0';
  buffer_[size_ + 1] = '\0';
  ++line_number_;
  return kLine;
}
