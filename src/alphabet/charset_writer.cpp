// Generation of a default character-set file from the byte frequencies of
// the input. The file is written under a temporary name in the same
// directory and renamed into place only when complete, so that a failed run
// never leaves a truncated file that a later run would read as valid.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "alphabet/charset.h"
#include "run/error.h"

namespace {

const char kClosingText[] =
    "\n\n# STOP character list\n# List of STOP characters (members of alphabet)\n"
    "# STOP= %?!  # Patterns do not cross over these stop characters\n\n"
    "# Character groups\n# g= ILE [hydro_fob]\n"
    "# g= AT              # If no group name, then [AT] will be used automatically\n# \n";

// Creates a fresh file next to `filename`, mode 0664 before the umask.
std::FILE* create_temp(const std::string& filename, std::string& temp_name) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp_name = filename + ".tmp" + std::to_string(static_cast<long>(getpid())) + "_" +
                std::to_string(attempt);
    const int fd = open(temp_name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0664);
    if (fd >= 0) {
      std::FILE* f = fdopen(fd, "w");
      if (!f) {
        close(fd);
        unlink(temp_name.c_str());
      }
      return f;
    }
    if (errno != EEXIST) return nullptr;
  }
  return nullptr;
}

bool write_contents(std::FILE* f, const ByteCounts& counts, int length) {
  std::fputs("# Default character class file for data\n\n", f);
  std::fputs("alphabet= ", f);
  for (int j = 1; j < 256; ++j)
    if (counts[j] != 0) std::fputc(j, f);
  std::fputs("\n\n# Character probabilities based on occurrence frequency\n", f);
  float total = 0;
  for (int j = 0; j < 256; ++j) {
    if (counts[j] == 0) continue;
    const double p = static_cast<double>(counts[j]) / length;
    std::fprintf(f, "p= %c %g\n", j == 0 ? '_' : j, p);
    total = static_cast<float>(total + p);
  }
  std::fprintf(f, "# TOTAL: %g\n", static_cast<double>(total));
  std::fputs(kClosingText, f);
  return std::ferror(f) == 0;
}

}  // namespace

ByteCounts count_bytes(const unsigned char* text, std::size_t n) {
  ByteCounts counts{};
  for (std::size_t i = 0; i < n; ++i) ++counts[text[i]];
  return counts;
}

void write_charset_file(const char* filename, const ByteCounts& counts, int length) {
  std::printf("# Open %s\n\n", filename);
  std::string temp_name;
  std::FILE* f = create_temp(filename, temp_name);
  if (!f) error("Couldn't open file", filename);
  const bool written = write_contents(f, counts, length);
  const bool closed = std::fclose(f) == 0;
  if (!written || !closed || std::rename(temp_name.c_str(), filename) != 0) {
    unlink(temp_name.c_str());
    error("Couldn't open file", filename);
  }
}
