#include "platform/memory_reserve.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace platform {
namespace {

std::atomic<char*> g_reserve{nullptr};

// Called by operator new when the system refuses it: never retries, since
// the block given back is for the unwinding, not for the work that failed.
void give_back_and_fail() {
  std::free(g_reserve.exchange(nullptr));
  throw std::bad_alloc();
}

}  // namespace

// The block comes from malloc, not operator new: a refusal must not reach
// the handler, which throws, and with nothing to give back the exception
// itself might find no room and end the process.
void arm_memory_reserve() {
  std::set_new_handler(&give_back_and_fail);
  if (g_reserve.load()) return;
  char* block = static_cast<char*>(std::malloc(kMemoryReserveBytes));
  char* none = nullptr;
  if (block && !g_reserve.compare_exchange_strong(none, block)) std::free(block);
}

bool memory_reserve_held() { return g_reserve.load() != nullptr; }

}  // namespace platform
