// A whole small run, as the driver makes it: a command line and the files it
// names, in one input of this text form:
//
//   -f a.txt -f b.txt -minstrings 2 -maxlevel 4
//   %%% a.txt
//   <contents of a.txt>
//   %%% b.txt
//   <contents of b.txt>
//
// The first line is the command line, split at blanks. Each "%%% NAME" line
// starts a file; a word of the command line equal to NAME is replaced by the
// path the file was written to. Other names after -f, -cf and the result-file
// options are replaced by paths in a scratch directory, so that a run reads
// and writes only there. Limits that make one execution slow are clamped:
// the pattern length, the wildcards, the gaps, the permutations, the flank
// of the site matrices, the threads and the input size.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_common.h"
#include "input/input_string.h"
#include "results/result_sink.h"
#include "results/results.h"
#include "run/driver.h"
#include "run/error.h"
#include "run/globals.h"
#include "run/options.h"
#include "run/progress.h"
#include "run/report_stream.h"
#include "search/gstree.h"

namespace {

constexpr std::size_t kMaxInput = 3000;

struct Clamp {
  const char* words[2];
  int cap;
  bool always;  // appended even when the command line does not give it
};

// The largest value of each option that keeps an execution short.
const Clamp kClamps[] = {
    {{"-maxlevel", nullptr}, 6, true},
    {{"-wc", "-wildcards"}, 3, false},
    {{"-maxwc", nullptr}, 4, false},
    {{"-max_gap", nullptr}, 4, false},
    {{"-max_gap_nr", nullptr}, 2, false},
    {{"-maxgrp", nullptr}, 3, false},
    {{"-wy", nullptr}, 200, false},  // each tested set is counted under every permutation
    // Every matrix column of -meme and every logo column of the page: a
    // flank of thousands made one execution write hundreds of megabytes.
    {{"-flank", nullptr}, 8, false},
    {{"-threads", nullptr}, 2, false},  // threads started and joined per execution
};

std::vector<std::string> split_words(const std::string& line) {
  std::vector<std::string> words;
  std::string word;
  for (char c : line + " ") {
    if (c == ' ' || c == '\t' || c == '\r') {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word.push_back(c);
    }
  }
  return words;
}

bool takes_file_name(const std::string& option) {
  if (option == "-f" || option == "-cf") return true;
  for (const SinkKind& kind : sink_kinds())
    if (kind.option != nullptr && option == kind.option) return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::silence_standard_streams();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > kMaxInput) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string dir = fuzz::scratch_dir();

  // The command line, then the files.
  std::size_t eol = text.find('\n');
  std::vector<std::string> words = split_words(text.substr(0, eol));
  std::vector<std::string> names;
  std::vector<std::string> paths;
  const std::string marker = "%%% ";
  std::size_t at = eol == std::string::npos ? text.size() : eol + 1;
  if (text.compare(at, marker.size(), marker) == 0) {
    while (at < text.size()) {
      const std::size_t name_end = text.find('\n', at);
      const std::string name =
          text.substr(at + marker.size(), name_end == std::string::npos ? std::string::npos
                                                                        : name_end - at - marker.size());
      const std::size_t body = name_end == std::string::npos ? text.size() : name_end + 1;
      std::size_t next = text.find("\n" + marker, body == 0 ? 0 : body - 1);
      const std::size_t body_end = next == std::string::npos ? text.size() : next + 1;
      const std::string path = dir + "/in" + std::to_string(paths.size());
      if (!fuzz::write_file(path, data + body, body_end - body)) {
        fuzz::clear_scratch_dir();
        return 0;
      }
      names.push_back(name);
      paths.push_back(path);
      at = body_end;
    }
  }

  // Names to scratch paths.
  std::vector<std::string> args{"morva"};
  for (std::size_t i = 0; i < words.size(); ++i) {
    std::string w = words[i];
    w.resize(std::strlen(w.c_str()));  // a word of a real argv ends at a zero byte
    bool named = false;
    for (std::size_t k = 0; k < names.size(); ++k)
      if (!names[k].empty() && w == names[k]) w = paths[k], named = true;
    if (!named && i > 0 && takes_file_name(words[i - 1]) && w != "-" && !w.empty() && w[0] != '-')
      w = dir + "/" + words[i - 1].substr(1) + "_out";
    args.push_back(w);
  }
  // Clamped limits go last, so that they win (or, when a preceding option
  // eats the word, the number after it is refused as an unknown option).
  for (const Clamp& clamp : kClamps) {
    bool given = false;
    int value = clamp.cap;
    for (std::size_t i = 1; i + 1 < args.size(); ++i)
      for (const char* word : clamp.words)
        if (word != nullptr && args[i] == word) {
          given = true;
          const int v = read_int(args[i + 1].c_str());
          if (v < value) value = v;
        }
    for (std::size_t i = 1; i < args.size(); ++i)
      for (const char* word : clamp.words)
        if (word != nullptr && args[i] == word) given = true;
    if (given || clamp.always) {
      args.push_back(clamp.words[0]);
      args.push_back(std::to_string(value));
    }
  }
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);

  verbose_level = 0;
  // The run works in the scratch directory, so that a default.charclass
  // lands there; the fuzzer's corpus and artifact paths may be relative, so
  // the directory is changed only for the run.
  static const int home = open(".", O_RDONLY | O_DIRECTORY);
  if (home < 0 || chdir(dir.c_str()) != 0) return 0;
  const fuzz::FdWatch fds;
  std::FILE* report = open_discarding_stream();
  if (report == nullptr) std::abort();
  set_report_file(report);
  {
    // The run users get, given back after each execution: the program
    // keeps its objects to the end of the process, which under the fuzzer
    // would leak some hundred kilobytes per execution. A fatal fault ends
    // it with its status, as in main.
    RunObjects objects;
    morva_run(static_cast<int>(args.size()), argv.data(), objects);
  }
  // Each execution's report goes to a stream of its own, so that one run's
  // buffering (-flush block) is not carried into the next.
  set_report_file(nullptr);
  std::fclose(report);
  if (fchdir(home) != 0) std::abort();
  fds.close_new();
  fuzz::clear_scratch_dir();
  return 0;
}
