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
#include "run/paths.h"
#include "run/report_stream.h"

namespace {

const char kStopSection[] =
    "\n\n# STOP character list\n# List of STOP characters (members of alphabet)\n"
    "# STOP= %?!  # Patterns do not cross over these stop characters\n";
const char kGroupSection[] =
    "\n# Character groups\n# g= ILE [hydro_fob]\n"
    "# g= AT              # If no group name, then [AT] will be used automatically\n# \n";

// The file a name finally stands for: an existing symbolic link is written
// through to its target, so that a link a user made keeps pointing at the
// file that is rewritten. A link that is not trusted, or that leads nowhere
// (it would make this run create a file where the link's author chose), is
// refused with the reason in `why`.
StoreResult write_target(const std::string& name, std::string& path, std::string& why) {
  path = name;
  bool through_link = false;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) {
      if (errno == ENOENT && through_link) {
        why = "it is a symbolic link to a file that does not exist, and is not followed";
        return StoreResult::kDangling;
      }
      return StoreResult::kStored;
    }
    if (!S_ISLNK(st.st_mode)) return StoreResult::kStored;
    if (!trusted_link(path, st)) {
      why = path + " is a symbolic link owned by another user in a shared directory, and is "
                   "not followed";
      return StoreResult::kRefused;
    }
    std::string target(PATH_MAX, '\0');
    const ssize_t n = readlink(path.c_str(), &target[0], target.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= target.size()) {
      why = path + " is a symbolic link that cannot be read";
      return StoreResult::kRefused;
    }
    target.resize(static_cast<std::size_t>(n));
    path = target[0] == '/' ? target : directory_of(path) + "/" + target;
    through_link = true;
  }
  why = "too many levels of symbolic links";
  return StoreResult::kRefused;
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

StoreResult store_charset_text(const char* filename, const std::string& text, std::string& why) {
  std::string target;
  const StoreResult resolved = write_target(filename, target, why);
  if (resolved != StoreResult::kStored) return resolved;
  // An existing file keeps its permission bits, but never set-user-ID,
  // set-group-ID or sticky bits: the new file belongs to the runner, and a
  // copied set-ID bit would make it run as the runner.
  struct stat st;
  const bool keep_mode = stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  std::string temp_name;
  const int fd = create_temp(target, temp_name);
  if (fd < 0) {
    why = std::strerror(errno);
    return StoreResult::kFailed;
  }
  bool ok = write_all(fd, text) && (!keep_mode || fchmod(fd, st.st_mode & 0777) == 0);
  int saved = errno;
  if (close(fd) != 0 && ok) ok = false, saved = errno;
  if (ok && std::rename(temp_name.c_str(), target.c_str()) != 0) ok = false, saved = errno;
  if (!ok) {
    unlink(temp_name.c_str());
    why = std::strerror(saved);
    return StoreResult::kFailed;
  }
  return StoreResult::kStored;
}

void write_charset_file(const char* filename, const ByteCounts& counts, int length) {
  std::fprintf(report_file(), "# Open %s\n\n", filename);
  std::string why;
  const StoreResult stored = store_charset_text(filename, charset_file_text(counts, length, ""), why);
  if (stored == StoreResult::kRefused) fatal("not writing %s: %s", filename, why.c_str());
  if (stored != StoreResult::kStored) {
    // The classic message gives no reason; the line before it does.
    warning("cannot write %s: %s", filename, why.c_str());
    error("Couldn't open file ", filename);
  }
}
