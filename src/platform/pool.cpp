#include "platform/pool.h"

#include <atomic>
#include <cstdlib>

namespace platform {
namespace {
std::atomic<long> g_shortage{0};

void* pool_alloc(void* handle, long length, long /*flags*/) {
  return Pool::from_handle(handle)->allocate(length);
}
void pool_free(void* handle, void* block, long /*length*/, long /*flags*/) {
  Pool::from_handle(handle)->release(block);
}
}  // namespace

long take_memory_shortage() { return g_shortage.exchange(0); }
void add_memory_shortage(long bytes) { g_shortage += bytes; }

Pool::Pool(std::size_t budget) : header_{&pool_alloc, &pool_free, this}, budget_(budget) {}

Pool::~Pool() {
  for (auto& [block, size] : blocks_) std::free(block);
}

Pool* Pool::from_handle(void* handle) { return static_cast<Header*>(handle)->owner; }

void* Pool::allocate(long length) {
  if (length <= 0) length = 1;  // a zero-length request still yields a distinct block
  const auto size = static_cast<std::size_t>(length);
  std::lock_guard lock(mutex_);
  if (budget_ && held_ + size > budget_) {
    add_memory_shortage(length);
    return nullptr;
  }
  void* block = std::calloc(1, size);
  if (!block) {
    add_memory_shortage(length);
    return nullptr;
  }
  blocks_.emplace(block, size);
  held_ += size;
  return block;
}

bool Pool::release(void* block) {
  std::lock_guard lock(mutex_);
  auto it = blocks_.find(block);
  if (it == blocks_.end()) return false;
  held_ -= it->second;
  std::free(it->first);
  blocks_.erase(it);
  return true;
}

}  // namespace platform
