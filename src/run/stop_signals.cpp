#include "run/stop_signals.h"

#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <cstring>

namespace {

// Process-wide by nature, like the signal mask they describe: the names are
// kept in fixed storage so that removing them needs no allocation, and the
// exit handler can reach them after a fatal error anywhere.
struct StopState {
  int holds = 0;
  sigset_t signals;
  std::array<std::array<char, PATH_MAX>, 32> partial{};
  std::array<bool, 32> used{};
  bool exit_handler = false;
};
StopState state;

const sigset_t& stop_signals() {
  static const bool filled = [] {
    sigemptyset(&state.signals);
    sigaddset(&state.signals, SIGINT);
    sigaddset(&state.signals, SIGTERM);
    // A closed terminal or ssh connection ends the run as SIGTERM does.
    sigaddset(&state.signals, SIGHUP);
    return true;
  }();
  (void)filled;
  return state.signals;
}

void remove_partial_files() {
  for (std::size_t i = 0; i < state.used.size(); ++i)
    if (state.used[i]) {
      unlink(state.partial[i].data());
      state.used[i] = false;
    }
}

}  // namespace

void hold_stop_signals() {
  if (state.holds++ == 0) sigprocmask(SIG_BLOCK, &stop_signals(), nullptr);
}

void release_stop_signals() {
  if (state.holds == 0) return;
  if (--state.holds == 0) {
    if (stop_requested()) remove_partial_files();
    sigprocmask(SIG_UNBLOCK, &stop_signals(), nullptr);
  }
}

bool stop_requested() {
  if (state.holds == 0) return false;
  sigset_t pending;
  sigpending(&pending);
  return sigismember(&pending, SIGINT) == 1 || sigismember(&pending, SIGTERM) == 1 ||
         sigismember(&pending, SIGHUP) == 1;
}

void stop_point() {
  if (!stop_requested()) return;
  remove_partial_files();
  // Delivered here; should a handler return, the hold goes on.
  sigprocmask(SIG_UNBLOCK, &stop_signals(), nullptr);
  sigprocmask(SIG_BLOCK, &stop_signals(), nullptr);
}

int add_partial_file(const std::string& name) {
  if (name.size() >= PATH_MAX) return -1;
  if (!state.exit_handler) {
    // A fatal error ends the run through exit(): its partial files go too.
    std::atexit(remove_partial_files);
    state.exit_handler = true;
  }
  for (std::size_t i = 0; i < state.used.size(); ++i)
    if (!state.used[i]) {
      std::memcpy(state.partial[i].data(), name.c_str(), name.size() + 1);
      state.used[i] = true;
      return static_cast<int>(i);
    }
  return -1;
}

void drop_partial_file(int slot) {
  if (slot >= 0 && static_cast<std::size_t>(slot) < state.used.size()) state.used[slot] = false;
}
