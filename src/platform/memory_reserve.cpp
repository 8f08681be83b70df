#include "platform/memory_reserve.h"

#include <atomic>
#include <new>

namespace platform {
namespace {

std::atomic<char*> g_reserve{nullptr};

// Called by operator new when the system refuses it: never retries, since
// the block given back is for the unwinding, not for the work that failed.
void give_back_and_fail() {
  delete[] g_reserve.exchange(nullptr);
  throw std::bad_alloc();
}

}  // namespace

void arm_memory_reserve() {
  std::set_new_handler(&give_back_and_fail);
  if (g_reserve.load()) return;
  char* block = new (std::nothrow) char[kMemoryReserveBytes];
  char* none = nullptr;
  if (block && !g_reserve.compare_exchange_strong(none, block)) delete[] block;
}

bool memory_reserve_held() { return g_reserve.load() != nullptr; }

}  // namespace platform
