#pragma once
// The stop signals (SIGINT, SIGTERM, SIGHUP) and the partial files a stop must not
// leave behind. While something must not be cut (a report line, a result
// file being written), the signals are held: blocked, so that they wait,
// and acted on at the next stop point, where the run ends as the signal
// says after removing its partial files. Holding nests: the report's block
// mode holds them for the whole run, a result file while it is written.

#include <cstddef>
#include <string>

void hold_stop_signals();
// Ends one hold; when none is left, a waiting signal is delivered.
void release_stop_signals();
// A place where the run may end: when a held stop signal waits, the
// partial files are removed and the signal delivered. Without a hold, or
// without a waiting signal, it returns at once.
void stop_point();
// Whether a held stop signal waits (one system call).
bool stop_requested();
// A stop point at every 256th step of a long loop (the ranking of
// hundreds of thousands of rows): asking for the signals is a system call.
inline void stop_point_at(std::size_t step) {
  if ((step & 255) == 0) stop_point();
}

// A file being written under a temporary name: removed at a stop, at any
// exit before it is dropped (a fatal error elsewhere), never left behind.
// Returns its slot for drop_partial_file, or -1 when the table is full or the
// name too long (the caller then removes the file itself on failure).
int add_partial_file(const std::string& name);
void drop_partial_file(int slot);
