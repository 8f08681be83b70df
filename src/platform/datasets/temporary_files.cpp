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

// The files are kept in blocks of slots, one block after another: a step
// may write hundreds of data sets, each with its description, at once, and
// every such file must be in a slot for the signal handler to remove it.
// A block is added when the others are full and never freed, so that the
// handler can walk them without a lock.
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
struct Block {
  std::array<std::atomic<Temporary*>, kSlots> slots{};
  std::atomic<Block*> next{nullptr};
};
Block g_first;
static_assert(std::atomic<Temporary*>::is_always_lock_free, "the signal handler needs lock-free slots");
static_assert(std::atomic<Block*>::is_always_lock_free, "the signal handler needs lock-free blocks");

// The block after `block`, added when there is none.
Block* next_block(Block* block) {
  Block* next = block->next.load();
  if (next) return next;
  auto* added = new Block;
  if (block->next.compare_exchange_strong(next, added)) return added;
  delete added;  // another thread added one first
  return next;
}

// The slot of `ticket`, or null when there is none.
std::atomic<Temporary*>* slot_of(int ticket) {
  if (ticket < 0) return nullptr;
  Block* block = &g_first;
  for (int skip = ticket / kSlots; block && skip > 0; --skip) block = block->next.load();
  return block ? &block->slots[ticket % kSlots] : nullptr;
}

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

// Counts a creation or a renaming under way for as long as it lives, a
// shortage of memory that ends it included.
class UnderWay {
 public:
  UnderWay() { ++g_under_way; }
  ~UnderWay() { --g_under_way; }
  UnderWay(const UnderWay&) = delete;
  UnderWay& operator=(const UnderWay&) = delete;
};

// Puts the file `name` of `folder` in a free slot: its ticket, or -1 with
// errno set when no descriptor is left for its folder. A shortage of
// memory throws, and tracks nothing.
int track(int folder, const char* name) {
  const int own = ::fcntl(folder, F_DUPFD_CLOEXEC, 0);
  if (own < 0) return -1;
  const std::size_t length = std::strlen(name) + 1;
  Temporary* file = nullptr;
  try {
    file = new Temporary{own, new char[length]};
    std::memcpy(file->name, name, length);
    int first = 0;
    for (Block* block = &g_first;; block = next_block(block), first += kSlots)
      for (int i = 0; i < kSlots; ++i) {
        Temporary* empty = nullptr;
        if (block->slots[i].compare_exchange_strong(empty, file)) return first + i;
      }
  } catch (...) {
    if (file) free_temporary(file);
    else ::close(own);
    throw;
  }
}

}  // namespace

std::FILE* create_temporary(int folder, const char* name, int* ticket) {
  *ticket = -1;
  const UnderWay under_way;
  std::FILE* file = nullptr;
  if (g_stopping) {
    errno = ECANCELED;
  } else {
    // A file is made only once it is tracked, so that a signal finds it.
    *ticket = track(folder, name);
    const int fd = *ticket < 0 ? -1 : ::openat(folder, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
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
  return file;
}

void release_temporary(int ticket) {
  // Null when the signal handler took the file: the run is ending, and the
  // file stays allocated.
  if (std::atomic<Temporary*>* slot = slot_of(ticket)) free_temporary(slot->exchange(nullptr));
}

bool rename_temporary(int folder, const char* name, const char* target) {
  const UnderWay under_way;
  if (g_stopping) {
    errno = ECANCELED;
    return false;
  }
  return ::renameat(folder, name, folder, target) == 0;
}

void remove_temporaries() {
  g_stopping = true;
  wait_for_work_under_way(g_under_way);
  for (Block* block = &g_first; block; block = block->next.load())
    for (std::atomic<Temporary*>& slot : block->slots)
      if (const Temporary* file = slot.exchange(nullptr)) ::unlinkat(file->folder, file->name, 0);
}

}  // namespace platform::ds
