#include "platform/datasets/temporary_files.h"

#include <stdio.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/run_stop.h"

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

// A signal may be handled on one thread while another creates or renames
// a file: the handler waits until neither is under way (new ones see
// `g_stopping` and give up), so that every file that exists is in a slot
// when it looks, and it never removes a file as it is being renamed.
std::atomic<bool> g_stopping{false};
std::atomic<int> g_under_way{0};

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
  ++g_under_way;
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
  --g_under_way;
  return file;
}

void release_temporary(int ticket) {
  if (ticket < 0 || ticket >= kSlots) return;
  // Null when the signal handler took the name: the run is ending, and the
  // name stays allocated.
  delete[] g_slots[ticket].exchange(nullptr);
}

bool rename_temporary(const char* path, const char* target) {
  ++g_under_way;
  bool renamed = false;
  if (g_stopping) errno = ECANCELED;
  else renamed = ::rename(path, target) == 0;
  const int reason = errno;
  --g_under_way;
  errno = reason;
  return renamed;
}

void remove_temporaries() {
  g_stopping = true;
  wait_for_work_under_way(g_under_way);
  for (std::atomic<char*>& slot : g_slots)
    if (const char* name = slot.exchange(nullptr)) ::unlink(name);
}

}  // namespace platform::ds
