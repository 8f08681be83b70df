// The signals a run meets. Stopped by SIGINT, SIGTERM or SIGHUP, or by
// SIGPIPE when the reader of its output has gone, it removes the temporary
// files it is writing and ends by the same signal, so that its status is
// the signal's own (128 plus its number, in a shell); files under their
// final names are always whole, so nothing else needs undoing.
// A write beyond the file-size limit fails with EFBIG and is reported like
// any failed write, instead of SIGXFSZ ending the run.
#pragma once

#include <signal.h>

#include <array>

namespace app {

// Sets the run's signal actions for its lifetime and restores the previous
// ones after it, so that a test running the command in-process keeps its own.
class RunSignals {
 public:
  RunSignals();
  ~RunSignals();
  RunSignals(const RunSignals&) = delete;
  RunSignals& operator=(const RunSignals&) = delete;

 private:
  static constexpr std::array<int, 5> kSignals{SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGXFSZ};
  std::array<struct sigaction, kSignals.size()> before_{};
};

}  // namespace app
