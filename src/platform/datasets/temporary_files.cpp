#include "platform/datasets/temporary_files.h"

#include <time.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>

namespace platform::ds {
namespace {

// More files than a run writes at once (its output data sets with their
// descriptions, a graph file per thread, the report).
constexpr int kSlots = 256;

// Each slot owns its name. Whoever exchanges a name out of its slot owns it
// from then on: the owner frees it, the signal handler only unlinks it, so
// the two never touch one name together.
std::array<std::atomic<char*>, kSlots> g_slots{};
static_assert(std::atomic<char*>::is_always_lock_free, "the signal handler needs lock-free slots");

// A signal may be handled on one thread while another creates a file: the
// handler waits until no creation is under way (new ones see `g_stopping`
// and give up), so that every file that exists is in a slot when it looks.
std::atomic<bool> g_stopping{false};
std::atomic<int> g_creating{0};

// How long the handler waits for creations under way: bounded, for the
// handler may have interrupted the very thread that creates.
constexpr int kWaitMilliseconds = 100;

int track(const char* path) {
  const std::size_t length = std::strlen(path) + 1;
  char* copy = new char[length];
  std::memcpy(copy, path, length);
  for (int i = 0; i < kSlots; ++i) {
    char* empty = nullptr;
    if (g_slots[i].compare_exchange_strong(empty, copy)) return i;
  }
  delete[] copy;
  return -1;
}

}  // namespace

std::FILE* create_temporary(const char* path, int* ticket) {
  *ticket = -1;
  ++g_creating;
  std::FILE* file = nullptr;
  if (g_stopping) {
    errno = ECANCELED;
  } else {
    *ticket = track(path);
    file = std::fopen(path, "wbx");
    const int reason = errno;
    if (!file) {
      release_temporary(*ticket);
      *ticket = -1;
    }
    errno = reason;
  }
  --g_creating;
  return file;
}

void release_temporary(int ticket) {
  if (ticket < 0 || ticket >= kSlots) return;
  // Null when the signal handler took the name: the run is ending, and the
  // name stays allocated.
  delete[] g_slots[ticket].exchange(nullptr);
}

void remove_temporaries() {
  g_stopping = true;
  const timespec millisecond{0, 1000000};
  for (int waited = 0; g_creating > 0 && waited < kWaitMilliseconds; ++waited) nanosleep(&millisecond, nullptr);
  for (std::atomic<char*>& slot : g_slots)
    if (const char* name = slot.exchange(nullptr)) ::unlink(name);
}

}  // namespace platform::ds
