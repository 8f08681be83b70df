#include "platform/run_stop.h"

#include <time.h>
#include <unistd.h>

#include <atomic>

namespace platform {
namespace {

constexpr int kStopping = -1;

std::atomic<StopAction> g_action{nullptr};
// The holds on (above 0), or kStopping once a thread has begun the stop.
std::atomic<int> g_state{0};
// The first signal that came while a hold was on; 0 when none did.
std::atomic<int> g_held_signal{0};

std::atomic<bool> g_log_closed{false};
std::atomic<int> g_log_lines_under_way{0};

// Whoever takes the state from 0 to kStopping stops the run, once.
void stop_if_first(int signal) {
  int none = 0;
  if (!g_state.compare_exchange_strong(none, kStopping)) return;
  if (const StopAction action = g_action.load()) action(signal);
}

}  // namespace

void wait_for_work_under_way(const std::atomic<int>& count) {
  constexpr int kWaitMilliseconds = 100;
  const timespec millisecond{0, 1000000};
  for (int waited = 0; count.load() > 0 && waited < kWaitMilliseconds; ++waited) nanosleep(&millisecond, nullptr);
}

void set_stop_action(StopAction action) { g_action.store(action); }

// The signal is kept before the state is looked at, and the hold's end
// looks at the state before the signal, so that one of the two sees the
// other: a signal is never left waiting for a hold that has ended.
void stop_or_hold(int signal) {
  int none = 0;
  g_held_signal.compare_exchange_strong(none, signal);
  stop_if_first(g_held_signal.load());
}

StopHold::StopHold() {
  int state = g_state.load();
  do {
    // Another thread is stopping the run and will end the process.
    while (state == kStopping) {
      ::pause();
      state = g_state.load();
    }
  } while (!g_state.compare_exchange_weak(state, state + 1));
}

StopHold::~StopHold() {
  if (g_state.fetch_sub(1) == 1)
    if (const int signal = g_held_signal.load()) stop_if_first(signal);
}

void close_log_for_stop() {
  g_log_closed.store(true);
  wait_for_work_under_way(g_log_lines_under_way);
}

LogLineGate::LogLineGate() {
  ++g_log_lines_under_way;
  open_ = !g_log_closed.load();
}

LogLineGate::~LogLineGate() { --g_log_lines_under_way; }

}  // namespace platform
