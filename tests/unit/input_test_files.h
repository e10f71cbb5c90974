#pragma once
// Scratch files for the input and character-set tests: each test gets a
// fresh directory under the system's temporary directory.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "input/input_string.h"

#include "run/globals.h"

class ScratchDir {
 public:
  ScratchDir() {
    char tmpl[] = "/tmp/morva_input_test_XXXXXX";
    const char* made = mkdtemp(tmpl);
    path_ = made ? made : "/tmp";
  }
  ~ScratchDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }

  std::string file(const std::string& name) const { return path_ + "/" + name; }

  // Writes `content` (binary safe) and returns the full name.
  std::string write(const std::string& name, const std::string& content) const {
    std::ofstream out(file(name), std::ios::binary);
    out << content;
    return file(name);
  }

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Every test starts from the documented settings, quietly.
inline void reset_settings() {
  set_default_settings();
  verbose_level = 0;
}

// The identifiers of sequences 0..n as strings.
inline std::vector<std::string> ids_of(const input_string& in) {
  std::vector<std::string> ids;
  for (int k = 0; k <= in.nr_sequences; ++k) ids.emplace_back(in.seq_ids[k]);
  return ids;
}
