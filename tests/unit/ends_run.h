#pragma once
// A fatal fault ends a run by throwing FatalError (the program's main turns
// it into the exit status); a death test runs the statement as a process of
// its own, which ends the same way.
#include <cstdlib>

#include "run/error.h"

template <typename Statement>
void as_process(Statement statement) {
  try {
    statement();
  } catch (const FatalError& e) {
    std::exit(e.status);
  }
}
