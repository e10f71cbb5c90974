#pragma once

// Flushes the report on standard output; when it could not be written (a
// full disk, a closed stream) the run ends at once with status 1, rather
// than after a search whose report is lost.
void flush_report();
