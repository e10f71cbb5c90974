#include "input/sequence_source.h"
#include "run/word_choice.h"

#include <htslib/bgzf.h>
#include <htslib/hfile.h>
#include <htslib/hts.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

namespace {

constexpr std::size_t kHeadSize = 1 << 16;

// htslib writes its own diagnostics to standard error; the input stage
// reports failures in its own words, once.
void silence_htslib() {
  static const bool done = [] {
    hts_set_log_level(HTS_LOG_OFF);
    return true;
  }();
  (void)done;
}

}  // namespace

// Closing what was opened must not lose the reason it could not be used.
std::unique_ptr<SequenceSource> SequenceSource::failed_open(std::unique_ptr<SequenceSource> source) {
  const int saved = errno;
  source.reset();
  errno = saved;
  return nullptr;
}

// A compressed file is read through BGZF (which inflates gzip and BGZF
// alike); a plain one straight from its hFILE, which reads large requests
// directly into the caller's buffer rather than copying them block by block.
struct SequenceSource::Handle {
  hFILE* plain = nullptr;
  BGZF* compressed = nullptr;
  ~Handle() {
    if (compressed != nullptr)
      bgzf_close(compressed);
    else if (plain != nullptr)
      hclose_abruptly(plain);
  }
  ssize_t read(void* buffer, std::size_t size) {
    return compressed != nullptr ? bgzf_read(compressed, buffer, size) : hread(plain, buffer, size);
  }
};

bool parse_input_format(const char* text, InputFormat& format) {
  static const std::pair<const char*, InputFormat> kFormats[] = {
      {"lines", InputFormat::Lines}, {"fasta", InputFormat::Fasta}, {"fastq", InputFormat::Fastq},
      {"auto", InputFormat::Auto}};
  return choose_word(text, kFormats, format);
}

std::unique_ptr<SequenceSource> SequenceSource::open(const char* name, int* error_number) {
  errno = 0;
  std::unique_ptr<SequenceSource> source = open_source(name);
  if (error_number != nullptr) *error_number = source ? 0 : errno;
  return source;
}

std::unique_ptr<SequenceSource> SequenceSource::open_source(const char* name) {
  silence_htslib();
  std::unique_ptr<SequenceSource> source(new SequenceSource());
  source->handle_ = std::make_unique<Handle>();
  Handle& handle = *source->handle_;
  handle.plain = hopen(name, "r");
  if (handle.plain == nullptr) return failed_open(std::move(source));
  unsigned char magic[2] = {0, 0};
  const ssize_t peeked = hpeek(handle.plain, magic, sizeof magic);
  if (peeked < 0) return failed_open(std::move(source));
  if (peeked == 2 && magic[0] == 0x1f && magic[1] == 0x8b) {
    handle.compressed = bgzf_hopen(handle.plain, "r");
    if (handle.compressed == nullptr) return failed_open(std::move(source));
    // A gzip file cut inside its header is not taken as compressed, and
    // would be served as it is, header bytes (zero bytes among them)
    // included: it is a stream that cannot be read.
    if (bgzf_compression(handle.compressed) == no_compression) {
      source->failed_ = true;
      return source;
    }
    // A file that can be sought is checked now, from its last bytes; a pipe
    // by the last block read, once it has been read to the end.
    if (bgzf_compression(handle.compressed) == bgzf) {
      const int eof = bgzf_check_EOF(handle.compressed);
      source->eof_check_ = eof == 0 ? EofCheck::kMissing : eof == 1 ? EofCheck::kPresent
                                                                     : EofCheck::kAtEnd;
    }
  }
  // Read ahead until the block is full or the file ends (a pipe may hand
  // over less at a time).
  source->head_.resize(kHeadSize);
  std::size_t have = 0;
  while (have < kHeadSize) {
    const ssize_t n = handle.read(&source->head_[have], kHeadSize - have);
    if (n < 0) {
      source->failed_ = true;
      source->read_errno_ = errno;
      break;
    }
    if (n == 0) break;
    have += static_cast<std::size_t>(n);
  }
  source->head_.resize(have);
  return source;
}

SequenceSource::~SequenceSource() = default;

std::ptrdiff_t SequenceSource::read(char* buffer, std::size_t size) {
  if (head_pos_ < head_.size()) {
    const std::size_t n = std::min(size, head_.size() - head_pos_);
    std::memcpy(buffer, head_.data() + head_pos_, n);
    head_pos_ += n;
    if (head_pos_ == head_.size()) std::string().swap(head_);
    if (head_.empty()) head_pos_ = 0;
    return static_cast<std::ptrdiff_t>(n);
  }
  if (failed_) return -1;
  const ssize_t n = handle_->read(buffer, size);
  if (n < 0) {
    failed_ = true;
    read_errno_ = errno;
    return -1;
  }
  return static_cast<std::ptrdiff_t>(n);
}

// A gzip stream that ends early is an I/O error to htslib as much as a
// damaged one is, and the system's error number is not set for it: any
// failure of a compressed stream is told as the likely cause.
std::string SequenceSource::failure() const {
  if (handle_->compressed != nullptr) return "the gzip stream is truncated or corrupt";
  if (read_errno_ != 0) return std::strerror(read_errno_);
  return "the file cannot be read";
}

bool SequenceSource::missing_eof_marker() const {
  if (eof_check_ == EofCheck::kAtEnd)
    return !failed_ && handle_->compressed != nullptr && handle_->compressed->last_block_eof == 0;
  return eof_check_ == EofCheck::kMissing;
}

InputFormat SequenceSource::detect() const {
  const char* p = head();
  const char* end = p + head_size();
  while (p < end && std::isspace(static_cast<unsigned char>(*p))) ++p;
  if (p == end) return InputFormat::Lines;
  if (*p == '>') return InputFormat::Fasta;
  if (*p == '@') return InputFormat::Fastq;
  return InputFormat::Lines;
}
