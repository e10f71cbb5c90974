// The table of sinks and the file handling they share.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "results/result_sink.h"
#include "run/error.h"
#include "run/stop_signals.h"

// The makers, each in its sink's own file.
std::unique_ptr<ResultSink> make_report_sink(const SinkSetting& setting);
std::unique_ptr<ResultSink> make_table_sink(const SinkSetting& setting);
std::unique_ptr<ResultSink> make_json_sink(const SinkSetting& setting);
std::unique_ptr<ResultSink> make_sites_sink(const SinkSetting& setting);
std::unique_ptr<ResultSink> make_html_sink(const SinkSetting& setting);
std::unique_ptr<ResultSink> make_meme_sink(const SinkSetting& setting);

const std::vector<SinkKind>& sink_kinds() {
  static const std::vector<SinkKind> kinds = {
      {"report", nullptr, false, nullptr, nullptr, make_report_sink},
      {"table", "-table", true, "[-table FILE]", "tab-separated table of the patterns (- for standard output alone)",
       make_table_sink},
      {"json", "-json", true, "[-json FILE]", "the same rows as JSON", make_json_sink},
      {"sites", "-sites", true, "[-sites FILE]", "every occurrence of the rows kept", make_sites_sink},
      {"html", "-html", false, "[-html FILE]", "a self-contained HTML report with sequence logos", make_html_sink},
      {"meme", "-meme", false, "[-meme FILE]", "the rows' site matrices in the MEME motif format", make_meme_sink,
       false},
  };
  return kinds;
}

int sink_index(const char* option) {
  const std::vector<SinkKind>& kinds = sink_kinds();
  for (std::size_t i = 0; i < kinds.size(); ++i)
    if (kinds[i].option != nullptr && std::strcmp(kinds[i].option, option) == 0) return static_cast<int>(i);
  return -1;
}

namespace {

// The file's descriptor behind a stdio stream, so that every block stdio
// writes passes a stop point first: a stop during a long file removes it
// instead of waiting for its end.
ssize_t write_checked(void* cookie, const char* data, std::size_t size) {
  stop_point();
  const int fd = *static_cast<int*>(cookie);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = write(fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return done > 0 ? static_cast<ssize_t>(done) : -1;
    done += static_cast<std::size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

int close_checked(void* cookie) {
  int* fd = static_cast<int*>(cookie);
  const int status = close(*fd);
  delete fd;
  return status;
}

// A stream over a new descriptor, which it owns; null (errno set) on failure.
std::FILE* stream_over(int fd) {
  int* cookie = new (std::nothrow) int(fd);
  if (cookie == nullptr) {
    close(fd);
    errno = ENOMEM;
    return nullptr;
  }
  cookie_io_functions_t functions{};
  functions.write = write_checked;
  functions.close = close_checked;
  std::FILE* f = fopencookie(cookie, "w", functions);
  if (f == nullptr) {
    const int saved = errno;
    close_checked(cookie);
    errno = saved;
    return nullptr;
  }
  std::setvbuf(f, nullptr, _IOFBF, std::size_t{1} << 16);
  return f;
}

}  // namespace

FileSink::FileSink(std::string name, std::FILE* standard_output)
    : name_(std::move(name)), standard_output_(standard_output) {}

FileSink::~FileSink() {
  if (owned_ && out_ != nullptr) std::fclose(out_);
  if (!temp_name_.empty()) {
    unlink(temp_name_.c_str());
    drop_partial_file(partial_slot_);
  }
  if (holding_) release_stop_signals();
}

void FileSink::fail(int error_number) {
  if (owned_ && out_ != nullptr) std::fclose(out_);
  out_ = nullptr;
  owned_ = false;
  if (!temp_name_.empty()) {
    unlink(temp_name_.c_str());
    drop_partial_file(partial_slot_);
    temp_name_.clear();
  }
  fatal("cannot write %s: %s", name_.c_str(), std::strerror(error_number));
}

void FileSink::open_owned() {
  struct stat st;
  const bool exists = lstat(name_.c_str(), &st) == 0;
  if (exists && !S_ISREG(st.st_mode)) {
    const int fd = open(name_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0 || (out_ = stream_over(fd)) == nullptr) fail(errno);
    return;
  }
  for (int attempt = 0; attempt < 100 && temp_name_.empty(); ++attempt) {
    const std::string name = name_ + ".tmp" + std::to_string(static_cast<long>(getpid())) + "_" +
                             std::to_string(attempt);
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) fail(errno);
    temp_name_ = name;
    partial_slot_ = add_partial_file(temp_name_);
    // A file replaced keeps its permission bits (not set-ID ones, the new
    // file belonging to the runner).
    if (exists && fchmod(fd, st.st_mode & 0777) != 0) {
      const int saved = errno;
      close(fd);
      fail(saved);
    }
    if ((out_ = stream_over(fd)) == nullptr) fail(errno);
  }
  if (out_ == nullptr) fail(EEXIST);
}

void FileSink::begin(const RunInfo& info) {
  // A stop that came during the search or the ranking ends the run before
  // this file is begun.
  stop_point();
  hold_stop_signals();
  holding_ = true;
  out_ = standard_output_;
  owned_ = name_ != "-" || out_ == nullptr;
  if (owned_) {
    out_ = nullptr;
    open_owned();
  }
  begin_file(info);
}

void FileSink::end(const RunSummary& summary) {
  end_file(summary);
  // A full disk must not end a run with status 0.
  if (std::fflush(out_) != 0 || std::ferror(out_) != 0) fail(errno);
  stop_point();
  if (owned_) {
    std::FILE* f = out_;
    out_ = nullptr;
    owned_ = false;
    if (std::fclose(f) != 0) fail(errno);
    if (!temp_name_.empty()) {
      if (std::rename(temp_name_.c_str(), name_.c_str()) != 0) fail(errno);
      drop_partial_file(partial_slot_);
      temp_name_.clear();
    }
  }
  holding_ = false;
  release_stop_signals();
}
