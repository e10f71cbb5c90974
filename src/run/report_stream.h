#pragma once

// How the report on standard output reaches its reader.
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

// Writes everything pending now (the end of the report) with the same check.
void finish_report_stream();
