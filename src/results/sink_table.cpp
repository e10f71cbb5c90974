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
#include "run/paths.h"
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
      {"sites", "-sites", true, "[-sites FILE]", "every occurrence of the rows kept", make_sites_sink, true,
       {false, true, false}},
      {"html", "-html", false, "[-html FILE]", "a self-contained HTML report with sequence logos", make_html_sink,
       true, {true, true, true}},
      {"meme", "-meme", false, "[-meme FILE]", "the rows' site matrices in the MEME motif format", make_meme_sink,
       false, {true, false, true}},
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
  // Looked at now, not only before the search: in a shared directory
  // another user may have planted a link or a FIFO under this name since.
  const WriteTarget target = examine_write_target(name_);
  if (target.route == WriteTarget::kRefused) fatal("cannot write %s: %s", name_.c_str(), target.why.c_str());
  std::string why;
  // Through a link, or into a FIFO or device, the file is written where it
  // is; a regular file is written beside itself and renamed into place, so
  // that a failed run leaves the older file whole.
  if (target.route == WriteTarget::kInPlace || target.through_link) {
    const int fd = open_in_place(target, why);
    if (fd < 0) fatal("cannot write %s: %s", name_.c_str(), why.c_str());
    if ((out_ = stream_over(fd)) == nullptr) fail(errno);
    return;
  }
  const int fd = create_temp_beside(name_, 0666, temp_name_, why);
  if (fd < 0) fatal("cannot write %s: %s", name_.c_str(), why.c_str());
  partial_slot_ = add_partial_file(temp_name_);
  if (keeps_mode(target) && fchmod(fd, target.st.st_mode & 0777) != 0) {
    const int saved = errno;
    close(fd);
    fail(saved);
  }
  if ((out_ = stream_over(fd)) == nullptr) fail(errno);
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
      std::string why;
      if (!replace_with(temp_name_, name_, why)) {
        unlink(temp_name_.c_str());
        drop_partial_file(partial_slot_);
        temp_name_.clear();
        fatal("cannot write %s: %s", name_.c_str(), why.c_str());
      }
      drop_partial_file(partial_slot_);
      temp_name_.clear();
    }
  }
  holding_ = false;
  release_stop_signals();
}
