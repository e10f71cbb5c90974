// The report's stream: chosen once, flushed and checked where it is, and a
// discarding stream that takes a whole report without a file descriptor.
#include "ends_run.h"
#include "run/report_stream.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "run/error.h"
#include "sets/set_registry.h"

namespace {

// A memory stream as the report's stream for one test; standard output again after.
struct MemoryReport {
  char* data = nullptr;
  std::size_t size = 0;
  std::FILE* stream = open_memstream(&data, &size);
  MemoryReport() { set_report_file(stream); }
  ~MemoryReport() {
    set_report_file(nullptr);
    std::fclose(stream);
    std::free(data);
  }
  std::string text() const { return std::string(data, size); }
};

// A stream whose every write fails, as on a full disk.
ssize_t refuse(void*, const char*, std::size_t) { return -1; }

std::FILE* open_failing_stream() {
  cookie_io_functions_t functions{};
  functions.write = refuse;
  return fopencookie(nullptr, "w", functions);
}

TEST(ReportStream, IsStandardOutputUntilAnotherIsChosen) {
  EXPECT_EQ(report_file(), stdout);
  std::FILE* other = open_discarding_stream();
  ASSERT_NE(other, nullptr);
  set_report_file(other);
  EXPECT_EQ(report_file(), other);
  set_report_file(nullptr);
  EXPECT_EQ(report_file(), stdout);
  EXPECT_EQ(std::fclose(other), 0);
}

TEST(ReportStream, DiscardingStreamTakesEverythingWithoutADescriptor) {
  std::FILE* sink = open_discarding_stream();
  ASSERT_NE(sink, nullptr);
  EXPECT_EQ(fileno(sink), -1);
  const std::string block(1 << 20, 'x');
  for (int i = 0; i < 8; ++i) EXPECT_EQ(std::fwrite(block.data(), 1, block.size(), sink), block.size());
  EXPECT_EQ(std::fprintf(sink, "# line %d\n", 42), 10);
  EXPECT_EQ(std::fputc('\n', sink), '\n');
  EXPECT_EQ(std::fflush(sink), 0);
  EXPECT_EQ(std::ferror(sink), 0);
  EXPECT_EQ(std::fclose(sink), 0);
}

TEST(ReportStream, FlushingWritesOutTheChosenStream) {
  MemoryReport report;
  std::fputs("# first line\n", report_file());
  flush_report();
  EXPECT_EQ(report.text(), "# first line\n");
  std::fputs("# last line\n", report_file());
  finish_report_stream();
  EXPECT_EQ(report.text(), "# first line\n# last line\n");
}

TEST(ReportStream, ReportWritersUseTheChosenStream) {
  MemoryReport report;
  testing::internal::CaptureStdout();
  { Set_of_Sets registry(8, 2); }
  const std::string on_stdout = testing::internal::GetCapturedStdout();
  finish_report_stream();
  EXPECT_EQ(on_stdout, "");
  EXPECT_EQ(report.text(), "# Set_of_Sets: Domain size is: 8 and nr. of set-collections is 2\n");
}

TEST(ReportStreamDeathTest, AReportThatCannotBeWrittenEndsTheRun) {
  EXPECT_EXIT(as_process([&] {
        std::FILE* failing = open_failing_stream();
        if (failing == nullptr) std::_Exit(3);
        set_report_file(failing);
        std::fputs("# a line that is lost\n", report_file());
        flush_report();
        std::_Exit(0);
      }),
      testing::ExitedWithCode(1), "the report could not be written");
}

TEST(ReportStreamDeathTest, FatalMessageFollowsTheReportWrittenBeforeIt) {
  // The report shares standard error's file here, through its own buffer:
  // the message must come after what the report held when the run ended.
  EXPECT_EXIT(as_process([&] {
        std::FILE* report = fdopen(dup(STDERR_FILENO), "w");
        if (report == nullptr) std::_Exit(3);
        std::setvbuf(report, nullptr, _IOFBF, 1 << 16);
        set_report_file(report);
        std::fputs("REPORT-BEFORE\n", report_file());
        error("MESSAGE-AFTER");
      }),
      testing::ExitedWithCode(1), "REPORT-BEFORE\nMESSAGE-AFTER");
}

}  // namespace
