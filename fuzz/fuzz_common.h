#pragma once
// Shared pieces of the fuzz harnesses: quiet standard streams, a private
// scratch directory that every execution leaves empty, and fd bookkeeping.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace fuzz {

// The program reports on standard output and standard error at length; the
// fuzzer's own lines stay readable when both go to /dev/null. Standard
// output and input are redirected at the descriptor (so "-f -" reads an
// empty file instead of blocking); standard error only as the C stream the
// program writes through, because libFuzzer and the sanitizers report on
// descriptor 2 (libFuzzer holds the original stream, taken at start-up).
// MORVA_FUZZ_VERBOSE=1 in the environment keeps the program's messages.
inline void silence_standard_streams() {
  if (std::getenv("MORVA_FUZZ_VERBOSE") != nullptr) return;
  std::fflush(stdout);
  const int null_fd = open("/dev/null", O_RDWR);
  if (null_fd < 0) return;
  dup2(null_fd, STDIN_FILENO);
  dup2(null_fd, STDOUT_FILENO);
  close(null_fd);
  if (std::FILE* quiet = std::fopen("/dev/null", "w")) stderr = quiet;
}

// A directory of this process for the files one execution writes; the
// process works in it so that a default.charclass lands there too.
inline const std::string& scratch_dir() {
  static const std::string dir = [] {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") +
                          "/morva-fuzz-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) {
      std::perror("mkdtemp");
      std::abort();
    }
    return std::string(buffer.data());
  }();
  return dir;
}

// Removes every file the last execution left in the scratch directory, so
// that the next one starts from the same state (a generated -cf file would
// otherwise be read as a given one).
inline void clear_scratch_dir() {
  DIR* dir = opendir(scratch_dir().c_str());
  if (dir == nullptr) return;
  std::vector<std::string> names;
  while (dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  for (const std::string& name : names) unlink((scratch_dir() + "/" + name).c_str());
}

inline bool write_file(const std::string& path, const unsigned char* data, std::size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

// File descriptors open before an execution, so that descriptors the run
// leaves open on a fatal path (or hands to a stream it never closes) can be
// closed afterwards instead of running out after a few thousand inputs.
class FdWatch {
 public:
  FdWatch() {
    for (int fd = 0; fd < kLimit; ++fd) open_[fd] = fcntl(fd, F_GETFD) != -1;
  }
  void close_new() const {
    for (int fd = 3; fd < kLimit; ++fd)
      if (!open_[fd] && fcntl(fd, F_GETFD) != -1) close(fd);
  }

 private:
  static constexpr int kLimit = 256;
  bool open_[kLimit];
};

}  // namespace fuzz
