#pragma once

#include <cstdio>

// The stream the report is written to: standard output unless the driver
// chose another before the banner. Every part of the report writes here,
// never to stdout by name, so that standard output can carry a result file
// alone.
std::FILE* report_file();

// Chooses the report's stream; called once, before the report begins and
// before set_report_flushing. A null stream leaves standard output.
void set_report_file(std::FILE* stream);

// A stream that accepts every write and keeps nothing, with no file
// descriptor behind it: the report's stream when standard output carries a
// result file. Null only when the C library cannot create it.
std::FILE* open_discarding_stream();

// How the report reaches its reader.
enum class FlushMode {
  Line,   // flushed after every pattern line and every node: survives any cut
  Block,  // through a large buffer, written out at line ends every 0.1 s or
          // when a megabyte is pending; SIGINT and SIGTERM wait for such a
          // point, so a run cut short still leaves only complete lines
};

// Parses the value of -flush; false for a word that names no mode.
bool parse_flush_mode(const char* text, FlushMode& mode);

// Sets the mode before the report begins (the default is Line).
void set_report_flushing(FlushMode mode);

// Called at the end of every pattern line and every node. In line mode it
// flushes; in block mode only when due. Either way, when the report could
// not be written (a full disk, a closed stream) the run ends at once with
// status 1, rather than after a search whose report is lost.
void flush_report();

// From here to the end of the run (the search and what follows it), the
// stop signals are held in line mode too and acted on at line ends, so that
// no line, however long, is cut by them. Block mode holds them already.
void hold_report_lines();

// While the input is read, block mode's hold is lifted, what the report
// holds written first: reading a pipe may take as long as its writer, and a
// stop must act meanwhile (the report ends with whole lines all the same).
class StopsActWhileReading {
 public:
  StopsActWhileReading();
  ~StopsActWhileReading();
  StopsActWhileReading(const StopsActWhileReading&) = delete;
  StopsActWhileReading& operator=(const StopsActWhileReading&) = delete;

 private:
  bool lifted_ = false;
};

// Writes everything pending now (the end of the report) with the same check.
void finish_report_stream();

// Where the progress marks and the other running notes of standard error
// go: standard error, or (with -quiet) nowhere. Warnings and the messages
// of failures always go to standard error.
std::FILE* chatter_file();
void set_quiet(bool quiet);

// Back to flushing per line, with the stop signals no longer held: for a
// process that runs again after a run (a test harness, the fuzzer).
void end_report_flushing();
