// The signals a run meets. Stopped by SIGINT, SIGTERM, SIGHUP or SIGQUIT
// (Ctrl-\ in a terminal), or by SIGPIPE when the reader of its output has
// gone, it removes the temporary files it is writing, ends its log with a
// line that names the signal, and ends by the same signal, so that its
// status is the signal's own (128 plus its number, in a shell); files
// under their final names are always whole, so nothing else needs undoing,
// and no core file is left (SIGQUIT's own action would leave one). A
// signal that comes while a step's data sets are put in place takes effect
// once all of them are (platform/run_stop.h).
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

  // From now on, once the outputs are open, a stopped run ends its log
  // with an ERROR line: through `log_file`, the descriptor of the log
  // file the run has open, or on standard error when it is -1.
  void end_log_in(int log_file);

 private:
  int own_log_ = -1;  // the log's descriptor as end_log_in took it, closed with the run
  static constexpr std::array<int, 6> kSignals{SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGXFSZ};
  std::array<struct sigaction, kSignals.size()> before_{};
};

}  // namespace app
