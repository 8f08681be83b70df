// Brief busy waiting before blocking: the worker pool's hand-offs take a few
// microseconds, far less than putting a thread to sleep and waking it.
#pragma once

#include <sched.h>

#include <chrono>

namespace platform {

// A thread first spins, then keeps checking while yielding its processor
// (the thread it waits for may be queued behind it on a busy machine), and
// blocks once the whole limit has passed. The limit is long against a
// hand-off: when every processor runs a spinning pool thread, a thread that
// went to sleep waits for a scheduler tick before it runs again, and each
// request queued to it meanwhile costs a system call, so one early sleep
// used to slow every later step of a sweep tenfold.
inline constexpr std::chrono::microseconds kSpinOnly{5};
inline constexpr std::chrono::microseconds kSpinLimit{2000};

// Spins until `ready()` holds (true) or the spin limit has passed (false).
// No PAUSE hint in the loop: on a virtual machine a PAUSE loop makes the
// hypervisor take the processor away from the spinning thread, which turned
// a microsecond hand-off into tens of microseconds.
template <class Ready>
bool spin_until(Ready ready) {
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    for (int i = 0; i < 32; ++i)
      if (ready()) return true;
    const auto spent = std::chrono::steady_clock::now() - start;
    if (spent >= kSpinLimit) return ready();
    if (spent >= kSpinOnly) sched_yield();
  }
}

}  // namespace platform
