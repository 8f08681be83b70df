// The stop of a run by a signal, as the rest of the run sees it. The
// command's signal handler (app/run_signals.h) hands each signal here, on
// whichever thread took it. The run stops at once, except while a StopHold
// lives: a step's data sets are then being put in place, and the stop waits
// until all of them are, so that a stopped run leaves them all new or all
// as they were. As the stop begins, the log takes no more lines, so that
// the line that names the signal is its last.
#pragma once

#include <atomic>

namespace platform {

// Ends the run for `signal`: removes what must not be left, writes the
// log's last line and ends the process. Async-signal-safe.
using StopAction = void (*)(int signal);

// Sets what stops the run; null while no command's run is under way.
void set_stop_action(StopAction action);

// For the signal handler: stops the run now, unless a hold is on (the
// first signal is then acted on when the hold ends) or another thread is
// already stopping it. Async-signal-safe.
void stop_or_hold(int signal);

// While one lives, a signal that would stop the run waits for its end.
// Made while the run is being stopped, it waits for the end of the process.
class StopHold {
 public:
  StopHold();
  ~StopHold();
  StopHold(const StopHold&) = delete;
  StopHold& operator=(const StopHold&) = delete;
};

// For the stop action, before the log's last line: from now on the log
// takes no line, and a line being written is waited for (for a bounded
// time: the stop may have interrupted the very thread that writes it).
void close_log_for_stop();

// Brackets the writing of a log line: open() is false once the log has
// closed for a stop, and then nothing is written.
class LogLineGate {
 public:
  LogLineGate();
  ~LogLineGate();
  LogLineGate(const LogLineGate&) = delete;
  LogLineGate& operator=(const LogLineGate&) = delete;
  bool open() const { return open_; }

 private:
  bool open_;
};

// Waits until `count` (of work under way on other threads) is zero, for
// at most 100 ms: the stop may have interrupted that work on its own
// thread. Async-signal-safe.
void wait_for_work_under_way(const std::atomic<int>& count);

}  // namespace platform
