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
#include "run/stop_signals.h"

namespace {

const char kStopSection[] =
    "\n\n# STOP character list\n# List of STOP characters (members of alphabet)\n"
    "# STOP= %?!  # Patterns do not cross over these stop characters\n";
const char kGroupSection[] =
    "\n# Character groups\n# g= ILE [hydro_fob]\n"
    "# g= AT              # If no group name, then [AT] will be used automatically\n# \n";

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
  // An existing symbolic link is written through to its target, so that a
  // link a user made keeps pointing at the file that is rewritten; one that
  // is not trusted, or leads nowhere, is refused (a dangling one would make
  // this run create a file where the link's author chose).
  const WriteTarget target = examine_write_target(filename);
  if (target.route == WriteTarget::kRefused) {
    why = target.why;
    if (target.dangling) return StoreResult::kDangling;
    return target.distrusted ? StoreResult::kRefused : StoreResult::kFailed;
  }
  // Held while the file exists under its temporary name, which a stop
  // (or a closed terminal) then removes.
  hold_stop_signals();
  std::string temp_name;
  const bool in_place = target.route == WriteTarget::kInPlace;
  const int fd = in_place ? open_in_place(target, why) : create_temp_beside(target.path, 0664, temp_name, why);
  if (fd < 0) {
    release_stop_signals();
    return StoreResult::kFailed;
  }
  const int slot = in_place ? -1 : add_partial_file(temp_name);
  // The runner's own file keeps its permission bits, but never set-user-ID,
  // set-group-ID or sticky bits: a copied set-ID bit would make it run as
  // the runner. Bits of another user's file are not taken.
  bool ok = write_all(fd, text) && (!keeps_mode(target) || fchmod(fd, target.st.st_mode & 0777) == 0);
  int saved = errno;
  if (close(fd) != 0 && ok) ok = false, saved = errno;
  if (!ok) why = std::strerror(saved);
  if (ok && !in_place && !replace_with(temp_name, target.path, why)) ok = false;
  if (!ok && !in_place) unlink(temp_name.c_str());
  drop_partial_file(slot);
  release_stop_signals();
  return ok ? StoreResult::kStored : StoreResult::kFailed;
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
