// The ranked file sinks seen through what they write, given records alone.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "ends_run.h"
#include "results/pattern_record.h"
#include "results/result_sink.h"
#include "run/globals.h"
#include "run/report_stream.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

RunInfo two_classes() {
  RunInfo info;
  info.command = "morva -f fam.txt -f bg.txt -table t";
  info.classes = {{"1", 3, {"fam.txt"}}, {"2", 2, {"bg.txt"}}};
  info.columns = {"rank", "pattern", "length", "seqs", "positions", "1_seqs", "1_positions", "2_seqs",
                  "2_positions", "ratio", "bp", "log10_bp", "log10_p", "evalue", "qvalue", "maximal", "log10_bg", "motif", "tarone_p"};
  info.figures = RunSummary{7, 5, 2, 0.1, {"tarone: alpha 0.05, k 3"}};
  return info;
}

PatternRecord record(const char* text, long rank, int s1, int s2, double log10_p) {
  PatternRecord r;
  r.text = text;
  r.codes = text;
  r.length = static_cast<int>(r.text.size());
  r.seqs = {0, s1, s2, s1 + s2};
  r.positions = {0, s1 + 1, s2, s1 + s2 + 1};
  r.ratio = s2 == 0 ? 1e6 : 1.5;
  r.bp = s2 == 0 ? 0 : 0.25;
  r.log10_bp = s2 == 0 ? -std::numeric_limits<double>::infinity() : std::log10(0.25);
  r.log10_p = log10_p;
  r.log10_e = log10_p + std::log10(7.0);
  r.log10_q = log10_p;
  r.maximal = rank == 1;
  r.rank = rank;
  r.log10_bg = -1.25 * static_cast<double>(r.length);
  r.log10_tarone = log10_p + 1;
  r.motif = 1;
  return r;
}

// Runs a sink of the table over the records into a temporary file.
std::string written_by(const char* option, const RunInfo& info, const std::vector<PatternRecord>& rows) {
  char name[] = "/tmp/morva_sink_XXXXXX";
  const int fd = mkstemp(name);
  EXPECT_GE(fd, 0);
  close(fd);
  SinkSetting setting;
  setting.file = name;
  const std::unique_ptr<ResultSink> sink = sink_kinds()[static_cast<std::size_t>(sink_index(option))].make(setting);
  sink->begin(info);
  for (const PatternRecord& r : rows) sink->pattern(r);
  sink->end(info.figures);
  std::string text;
  if (std::FILE* f = std::fopen(name, "r")) {
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    std::fclose(f);
  }
  std::remove(name);
  return text;
}

TEST(ResultSinks, TableAndJsonWriteTheSameRowsEachInItsOwnForm) {
  const RunInfo info = two_classes();
  const std::vector<PatternRecord> rows = {record("GK[ST]", 1, 3, 0, -2.5), record("G.G", 2, 2, 1, kNaN)};

  EXPECT_EQ(written_by("-table", info, rows),
            "# command: morva -f fam.txt -f bg.txt -table t\n"
            "# class 1: 3 sequences from fam.txt\n"
            "# class 2: 2 sequences from bg.txt\n"
            "# patterns tested: 7\n# patterns accepted: 5\n# rows: 2\n# tarone: alpha 0.05, k 3\n"
            "rank\tpattern\tlength\tseqs\tpositions\t1_seqs\t1_positions\t2_seqs\t2_positions\tratio\tbp\t"
            "log10_bp\tlog10_p\tevalue\tqvalue\tmaximal\tlog10_bg\tmotif\ttarone_p\n"
            "1\tGK[ST]\t6\t3\t4\t3\t4\t0\t0\t1e+06\t0\t-inf\t-2.5\t0.0221\t0.00316\t1\t-7.5\t1\t0.0316\n"
            "2\tG.G\t3\t3\t4\t2\t3\t1\t1\t1.5\t0.25\t-0.60206\t\t\t\t0\t-3.75\t1\t\n");

  // Numbers stay numbers; a missing value and an infinity are null.
  const std::string json = written_by("-json", info, rows);
  EXPECT_NE(json.find("\"provenance\": [\n    \"command: morva -f fam.txt -f bg.txt -table t\","), std::string::npos);
  EXPECT_NE(json.find("{\"rank\": 1, \"pattern\": \"GK[ST]\", \"length\": 6,"), std::string::npos);
  EXPECT_NE(json.find("\"log10_bp\": null, \"log10_p\": -2.5, \"evalue\": 0.0221"), std::string::npos);
  EXPECT_NE(json.find("\"log10_p\": null, \"evalue\": null, \"qvalue\": null, \"maximal\": 0, "
                      "\"log10_bg\": -3.75, \"motif\": 1, \"tarone_p\": null}\n  ]\n}\n"),
            std::string::npos);
}

TEST(ResultSinks, EveryFileOptionNamesItsOwnRowAndAFileThatCannotBeWrittenEndsTheRun) {
  const std::vector<SinkKind>& kinds = sink_kinds();
  ASSERT_EQ(kinds.front().option, nullptr);  // the report lines, which no option names
  for (std::size_t i = 1; i < kinds.size(); ++i) {
    ASSERT_NE(kinds[i].option, nullptr);
    EXPECT_EQ(sink_index(kinds[i].option), static_cast<int>(i));
    EXPECT_NE(kinds[i].synopsis, nullptr);
  }
  EXPECT_EQ(sink_index("-nothing"), -1);
  // What a row says its writer reads is what the writer asks the ranking for.
  for (const SinkKind& kind : kinds) {
    SinkSetting made;
    made.file = "unused.out";
    made.page_rows = 10;
    EXPECT_EQ(kind.make(made)->rows_with_sites() > 0, kind.reads.all_sites) << kind.name;
  }

  const RunInfo info = two_classes();
  SinkSetting setting;
  setting.file = "/nonexistent-dir/t.tsv";
  EXPECT_EXIT(as_process([&] {
        auto sink = sink_kinds()[static_cast<std::size_t>(sink_index("-table"))].make(setting);
        sink->begin(info);
      }),
      testing::ExitedWithCode(1), "morva: error: cannot write /nonexistent-dir/t.tsv: No such file or directory");
}

// The report line takes its extras from the record as the acceptance tests
// computed them, and names class slot 0 only where it holds positions.
TEST(ResultSinks, TheReportLineCarriesWhatTheRunShows) {
  RunInfo info = two_classes();
  PatternRecord r = record("G.{1,3}K", 0, 3, 1, -1);
  r.positions = {2, 4, 1, 7};
  r.cost = 12.5f;
  r.shown_set = "Seq:1:2:4";
  r.line_ratio = 2.25f;
  r.line_bp = 1.5e-7;
  char* text = nullptr;
  std::size_t size = 0;
  std::FILE* report = open_memstream(&text, &size);
  ASSERT_NE(report, nullptr);
  set_report_file(report);
  info.line = ReportLineExtras{true, true, true};
  auto sink = sink_kinds().front().make(SinkSetting{});
  sink->begin(info);
  sink->pattern(r);
  info.line = ReportLineExtras{};
  r.shown_set.clear();
  sink->pattern(r);
  set_report_file(nullptr);
  std::fclose(report);
  EXPECT_EQ(std::string(text, size),
            "G.{1,3}K 12.5 4/7 No_class:0/2 1:3/4 2:1/1 Seq:1:2:4 R:2.25 BP:1.5e-07\n"
            "G.{1,3}K 4/7 No_class:0/2 1:3/4 2:1/1 \n");
  std::free(text);
}

}  // namespace
