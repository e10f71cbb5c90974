#pragma once
// The result files a run will write, checked before it reads or searches
// anything: a file that cannot be written would otherwise be found out
// only after the whole search, and a file that names an input, the
// character-set file or another output would be silently overwritten.
#include "run/options.h"

// Ends the run with a message naming the first result file that cannot be
// written, or that is (by device and inode, or by directory and name where
// it does not exist yet) an input file, the -cf file or another result file.
void check_output_paths(const RunParams& params);
