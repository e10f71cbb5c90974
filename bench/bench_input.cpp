// Reading, joining and coding a large sequence file, against the time the
// machine needs just to read the same file twice.
//
//   bench_input [--benchmark_...]    input: $MORVA_BENCH_INPUT or the 10M-residue protein file
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "input/input_string.h"
#include "run/globals.h"

namespace {

std::string input_path() {
  const char* env = std::getenv("MORVA_BENCH_INPUT");
  return env ? env : "/work/shared/data/protein_10M.txt";
}

std::string scratch_name(const char* what) {
  return "/tmp/morva_bench_input_" + std::to_string(getpid()) + "_" + what;
}

// The input stage reports on both streams; keep that out of the figures.
class Silence {
 public:
  Silence() {
    std::fflush(stdout);
    std::fflush(stderr);
    out_ = dup(1);
    err_ = dup(2);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    close(null);
  }
  ~Silence() {
    std::fflush(stdout);
    std::fflush(stderr);
    dup2(out_, 1);
    dup2(err_, 2);
    close(out_);
    close(err_);
  }

 private:
  int out_, err_;
};

std::unique_ptr<input_string> build(const std::string& file, const std::string& charset, int cfonly) {
  std::string name = file;
  char* files[] = {nullptr, &name[0], nullptr};
  Silence quiet;
  return std::make_unique<input_string>(files, charset.c_str(), cfonly);
}

void BM_ReadFileTwice(benchmark::State& state) {
  const std::string path = input_path();
  std::vector<char> block(1 << 16);
  std::size_t bytes = 0;
  for (auto _ : state) {
    for (int pass = 0; pass < 2; ++pass) {
      std::FILE* f = std::fopen(path.c_str(), "rb");
      if (!f) {
        state.SkipWithError("input file missing");
        return;
      }
      std::size_t n;
      while ((n = std::fread(block.data(), 1, block.size(), f)) > 0) {
        bytes += n;
        benchmark::DoNotOptimize(block.data());
      }
      std::fclose(f);
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_ReadFileTwice)->Unit(benchmark::kMillisecond);

// Read, join, generate the character set, read it back and code.
void BM_InputGeneratedCharset(benchmark::State& state) {
  set_default_settings();
  verbose_level = 0;
  const std::string charset = scratch_name("generated.charclass");
  int length = 0;
  for (auto _ : state) {
    auto in = build(input_path(), charset, 1);
    length = in->length;
  }
  std::remove(charset.c_str());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * length);
}
BENCHMARK(BM_InputGeneratedCharset)->Unit(benchmark::kMillisecond);

// Read, join and code with a character-set file already in place.
void BM_InputGivenCharset(benchmark::State& state) {
  set_default_settings();
  verbose_level = 0;
  const std::string charset = scratch_name("given.charclass");
  build(input_path(), charset, 1);
  int length = 0;
  for (auto _ : state) {
    auto in = build(input_path(), charset, 0);
    length = in->length;
  }
  std::remove(charset.c_str());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * length);
}
BENCHMARK(BM_InputGivenCharset)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
