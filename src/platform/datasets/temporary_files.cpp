#include "platform/datasets/temporary_files.h"

#include <unistd.h>

#include <array>
#include <atomic>
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

}  // namespace

int track_temporary(const char* path) {
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

void release_temporary(int ticket) {
  if (ticket < 0 || ticket >= kSlots) return;
  // Null when the signal handler took the name: the run is ending, and the
  // name stays allocated.
  delete[] g_slots[ticket].exchange(nullptr);
}

void remove_temporaries() {
  for (std::atomic<char*>& slot : g_slots)
    if (const char* name = slot.exchange(nullptr)) ::unlink(name);
}

}  // namespace platform::ds
