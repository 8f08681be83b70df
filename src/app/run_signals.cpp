#include "app/run_signals.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <new>
#include <sstream>

#include "platform/datasets/temporary_files.h"
#include "platform/listing/log.h"
#include "platform/listing/message_catalog.h"
#include "platform/run_stop.h"

namespace app {
namespace {

constexpr int kMsgStoppedBySignal = 260;

// The log's last line for each signal, by its number, made before the
// handler can need it: a handler may not allocate or format.
struct StopLine {
  char text[128];
  std::size_t size;
};
constexpr int kLastSignal = 31;  // the standard signals
std::array<StopLine, kLastSignal + 1> stop_lines;
std::atomic<int> log_descriptor{-1};  // -1 until the outputs are open

void make_stop_lines() {
  for (int signal = 1; signal <= kLastSignal; ++signal) {
    const char* abbreviation = sigabbrev_np(signal);
    const std::string name = "SIG" + (abbreviation ? std::string(abbreviation) : std::to_string(signal));
    std::ostringstream line;
    platform::Log(line).error(platform::message_text(1, kMsgStoppedBySignal, name.c_str()));
    // A string stream keeps a refused allocation to itself: the shortage
    // is the run's, not a stop line silently left empty.
    if (!line) throw std::bad_alloc();
    stop_lines[signal].size = line.str().copy(stop_lines[signal].text, sizeof stop_lines[signal].text);
  }
}

// Async-signal-safe: poll(2), write(2) and sigaction(2). A log on a pipe
// whose reader has gone fails the write instead of raising SIGPIPE, so
// that the run still ends by its own signal; one whose reader has stopped
// reading, the pipe full, goes without the line rather than keep the run
// from ending (the line is shorter than the pipe's atomic write, so room
// for it is room for all of it).
void end_log(int signal) {
  constexpr int kWaitMilliseconds = 1000;
  const int fd = log_descriptor.load();
  if (fd < 0 || signal <= 0 || signal > kLastSignal) return;
  pollfd ready{fd, POLLOUT, 0};
  if (::poll(&ready, 1, kWaitMilliseconds) != 1 || !(ready.revents & POLLOUT)) return;
  struct sigaction ignore {}, before {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &ignore, &before);
  const ssize_t written = ::write(fd, stop_lines[signal].text, stop_lines[signal].size);
  (void)written;  // a log that fails now has nowhere left to say so
  sigaction(SIGPIPE, &before, nullptr);
}

// The run's stop (platform/run_stop.h): on the thread that took the
// signal, or on the one whose hold held it off. With the default action
// restored, the signal raised again and let through ends the process here;
// one whose action dumps core (SIGQUIT) dumps none, as the run has ended
// in order, like one stopped by SIGTERM.
void stop_run(int signal) {
  platform::close_log_for_stop();
  platform::ds::remove_temporaries();
  end_log(signal);
  ::prctl(PR_SET_DUMPABLE, 0);
  struct sigaction default_action {};
  default_action.sa_handler = SIG_DFL;
  sigaction(signal, &default_action, nullptr);
  ::raise(signal);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal);
  sigprocmask(SIG_UNBLOCK, &only, nullptr);
}

}  // namespace

RunSignals::RunSignals() {
  platform::set_stop_action(&stop_run);
  for (std::size_t i = 0; i < kSignals.size(); ++i) {
    sigaction(kSignals[i], nullptr, &before_[i]);
    // A signal ignored from the start (nohup, a background job) stays so.
    if (before_[i].sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    sigemptyset(&action.sa_mask);
    if (kSignals[i] == SIGXFSZ) {
      action.sa_handler = SIG_IGN;
    } else {
      // A handler that returns (the signal held off, or another thread
      // stopping the run) lets the call it interrupted go on.
      action.sa_handler = platform::stop_or_hold;
      action.sa_flags = SA_RESTART;
    }
    sigaction(kSignals[i], &action, nullptr);
  }
}

RunSignals::~RunSignals() {
  log_descriptor.store(-1);
  if (own_log_ >= 0) ::close(own_log_);
  for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &before_[i], nullptr);
  platform::set_stop_action(nullptr);
}

// A duplicate of the log's own descriptor: the line goes into the very
// file the run has written its log to, after what its stream has written,
// whatever has become of the log's name since; and the duplicate stays
// open until the signals are restored, after the stream is closed. It
// shares the run's lock of the log (held_outputs.h), so that no other run
// takes the log before the line can no longer come.
void RunSignals::end_log_in(int log_file) {
  make_stop_lines();
  int fd = STDERR_FILENO;
  if (log_file >= 0) fd = own_log_ = ::fcntl(log_file, F_DUPFD_CLOEXEC, 0);
  log_descriptor.store(fd);
}

}  // namespace app
