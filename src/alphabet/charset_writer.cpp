// Generation of a default character-set file from the byte frequencies of
// the input. The text is made in memory first: the run reads its character
// set from that text, never back from the file, so two runs in one
// directory cannot read each other's file, and a directory that cannot be
// written does not stop a run that did not ask for a file. The file is
// written under a temporary name next to its target and renamed into place
// only when complete, so a failed run never leaves a truncated file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "alphabet/charset.h"
#include "run/error.h"
#include "run/report_stream.h"

namespace {

const char kStopSection[] =
    "\n\n# STOP character list\n# List of STOP characters (members of alphabet)\n"
    "# STOP= %?!  # Patterns do not cross over these stop characters\n";
const char kGroupSection[] =
    "\n# Character groups\n# g= ILE [hydro_fob]\n"
    "# g= AT              # If no group name, then [AT] will be used automatically\n# \n";

std::string directory_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a name finally stands for: an existing symbolic link is written
// through to its target (also a target that does not exist yet), so that a
// link a user made keeps pointing at the file that is rewritten.
std::string write_target(const std::string& name) {
  std::string path = name;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::string target(PATH_MAX, '\0');
    const ssize_t n = readlink(path.c_str(), &target[0], target.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= target.size()) return path;
    target.resize(static_cast<std::size_t>(n));
    path = target[0] == '/' ? target : directory_of(path) + "/" + target;
  }
  return path;
}

// Creates a fresh file next to `target`, mode 0664 before the umask.
int create_temp(const std::string& target, std::string& temp_name) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp_name = target + ".tmp" + std::to_string(static_cast<long>(getpid())) + "_" +
                std::to_string(attempt);
    const int fd = open(temp_name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0664);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

bool write_all(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

ByteCounts count_bytes(const unsigned char* text, std::size_t n) {
  ByteCounts counts{};
  for (std::size_t i = 0; i < n; ++i) ++counts[text[i]];
  return counts;
}

std::string charset_file_text(const ByteCounts& counts, int length, const std::string& groups,
                              const std::string& stops) {
  std::string text = "# Default character class file for data\n\nalphabet= ";
  for (int j = 1; j < 256; ++j)
    if (counts[j] != 0) text.push_back(static_cast<char>(j));
  text += "\n\n# Character probabilities based on occurrence frequency\n";
  float total = 0;
  char line[64];
  for (int j = 0; j < 256; ++j) {
    if (counts[j] == 0) continue;
    const double p = static_cast<double>(counts[j]) / length;
    std::snprintf(line, sizeof line, "p= %c %g\n", j == 0 ? '_' : j, p);
    text += line;
    total = static_cast<float>(total + p);
  }
  std::snprintf(line, sizeof line, "# TOTAL: %g\n", static_cast<double>(total));
  text += line;
  text += kStopSection;
  if (!stops.empty()) text += "STOP= " + stops + "\n";
  text += kGroupSection;
  text += groups;
  return text;
}

bool store_charset_text(const char* filename, const std::string& text, std::string& why) {
  const std::string target = write_target(filename);
  // An existing file keeps its permission bits.
  struct stat st;
  const bool keep_mode = stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  std::string temp_name;
  const int fd = create_temp(target, temp_name);
  if (fd < 0) {
    why = std::strerror(errno);
    return false;
  }
  bool ok = write_all(fd, text) && (!keep_mode || fchmod(fd, st.st_mode & 07777) == 0);
  int saved = errno;
  if (close(fd) != 0 && ok) ok = false, saved = errno;
  if (ok && std::rename(temp_name.c_str(), target.c_str()) != 0) ok = false, saved = errno;
  if (!ok) {
    unlink(temp_name.c_str());
    why = std::strerror(saved);
  }
  return ok;
}

void write_charset_file(const char* filename, const ByteCounts& counts, int length) {
  std::fprintf(report_file(), "# Open %s\n\n", filename);
  std::string why;
  if (!store_charset_text(filename, charset_file_text(counts, length, ""), why))
    error("Couldn't open file ", filename);
}
