#include "platform/datasets/temporary_files.h"

#include <fcntl.h>
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

// A file's name in its folder, with a descriptor of that folder of its own,
// so that the file is removed where it was made whatever becomes of the
// names on the way.
struct Temporary {
  int folder;
  char* name;
};

// Each slot owns its file. Whoever exchanges a file out of its slot owns it
// from then on: the owner frees it, the signal handler only unlinks it, so
// the two never touch one file together.
std::array<std::atomic<Temporary*>, kSlots> g_slots{};
static_assert(std::atomic<Temporary*>::is_always_lock_free, "the signal handler needs lock-free slots");

// A signal may be handled on one thread while another creates or renames
// a file: the handler waits until neither is under way (new ones see
// `g_stopping` and give up), so that every file that exists is in a slot
// when it looks, and it never removes a file as it is being renamed.
std::atomic<bool> g_stopping{false};
std::atomic<int> g_under_way{0};

void free_temporary(Temporary* file) {
  if (!file) return;
  ::close(file->folder);
  delete[] file->name;
  delete file;
}

int track(int folder, const char* name) {
  const int own = ::fcntl(folder, F_DUPFD_CLOEXEC, 0);
  if (own < 0) return -1;
  const std::size_t length = std::strlen(name) + 1;
  auto* file = new Temporary{own, new char[length]};
  std::memcpy(file->name, name, length);
  for (int i = 0; i < kSlots; ++i) {
    Temporary* empty = nullptr;
    if (g_slots[i].compare_exchange_strong(empty, file)) return i;
  }
  free_temporary(file);
  return -1;
}

}  // namespace

std::FILE* create_temporary(int folder, const char* name, int* ticket) {
  *ticket = -1;
  ++g_under_way;
  std::FILE* file = nullptr;
  if (g_stopping) {
    errno = ECANCELED;
  } else {
    *ticket = track(folder, name);
    const int fd = ::openat(folder, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 && !(file = ::fdopen(fd, "wb"))) {
      const int reason = errno;
      ::unlinkat(folder, name, 0);
      ::close(fd);
      errno = reason;
    }
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
  // Null when the signal handler took the file: the run is ending, and the
  // file stays allocated.
  free_temporary(g_slots[ticket].exchange(nullptr));
}

bool rename_temporary(int folder, const char* name, const char* target) {
  ++g_under_way;
  bool renamed = false;
  if (g_stopping) errno = ECANCELED;
  else renamed = ::renameat(folder, name, folder, target) == 0;
  const int reason = errno;
  --g_under_way;
  errno = reason;
  return renamed;
}

void remove_temporaries() {
  g_stopping = true;
  wait_for_work_under_way(g_under_way);
  for (std::atomic<Temporary*>& slot : g_slots)
    if (const Temporary* file = slot.exchange(nullptr)) ::unlinkat(file->folder, file->name, 0);
}

}  // namespace platform::ds
