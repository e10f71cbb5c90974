#pragma once
#include <cstdio>
#include <memory>

class input_string;
class GSTree;
class Results;
class ProgressMeter;

// What a run makes: held by the caller, so that the program can keep it to
// the end of the process (nodes and sets point into it) while a harness
// that runs many times in one process gives it back after each run, and
// with it the report's stream and flushing as they were before the run.
struct RunObjects {
  // The stream the report goes to while a result file has standard output,
  // and the one it went to before.
  struct ReportAside {
    void operator()(std::FILE* f) const;
  };
  std::unique_ptr<std::FILE, ReportAside> report_aside;
  std::FILE* report_before_aside = nullptr;
  std::unique_ptr<ProgressMeter> progress;
  std::unique_ptr<Results> results;
  std::unique_ptr<input_string> input;
  std::unique_ptr<GSTree> tree;
  RunObjects();
  ~RunObjects();
};

// One whole run: banner, options, input, trie, search, report and result
// files; the exit status. A fatal fault ends the process (in the fuzzing
// build it throws), a math fault or exhausted memory returns 1 with a message.
int morva_run(int argc, char** argv, RunObjects& objects);

// The program: morva_run with the run's objects kept to the end of the process.
int morva_main(int argc, char** argv);
