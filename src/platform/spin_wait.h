// Brief busy waiting before blocking: the worker pool's hand-offs take a few
// microseconds, far less than putting a thread to sleep and waking it.
#pragma once

#include <chrono>

namespace platform {

// How long a thread spins before it blocks.
inline constexpr std::chrono::microseconds kSpinLimit{50};

inline void cpu_relax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

// Spins until `ready()` holds (true) or the spin limit has passed (false).
template <class Ready>
bool spin_until(Ready ready) {
  const auto deadline = std::chrono::steady_clock::now() + kSpinLimit;
  for (;;) {
    for (int i = 0; i < 32; ++i) {
      if (ready()) return true;
      cpu_relax();
    }
    if (std::chrono::steady_clock::now() >= deadline) return ready();
  }
}

}  // namespace platform
