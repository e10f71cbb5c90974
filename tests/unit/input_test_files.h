#pragma once
// Scratch files for the input and character-set tests: each test gets a
// fresh directory under the system's temporary directory.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

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

// The input of one file of sequence lines over the letters ACGT, read
// quietly (the reading's report and notes are captured and dropped).
inline std::unique_ptr<input_string> quiet_acgt_input(const ScratchDir& dir, const std::string& lines) {
  reset_settings();
  std::string seqs = dir.write("seqs.txt", lines);
  const std::string cf = dir.write("set.cf", "alphabet= ACGT\n");
  std::vector<char*> files = {nullptr, &seqs[0], nullptr};
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  auto input = std::make_unique<input_string>(files.data(), cf.c_str(), 0);
  testing::internal::GetCapturedStderr();
  testing::internal::GetCapturedStdout();
  return input;
}

// The identifiers of sequences 0..n as strings.
inline std::vector<std::string> ids_of(const input_string& in) {
  std::vector<std::string> ids;
  for (int k = 0; k <= in.nr_sequences; ++k) ids.emplace_back(in.seq_ids[k]);
  return ids;
}
