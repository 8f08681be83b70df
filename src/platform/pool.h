// Host memory pools. A pool hands out zero-filled blocks, keeps track of
// them and releases every block still held when it is deleted. An optional
// byte budget lets tests force a shortfall, which the pool records for
// `xmemdef` instead of failing loudly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <unordered_map>

#include "host/pool.h"

namespace platform {

class Pool {
 public:
  // `budget` limits the bytes held at once; 0 means no limit.
  explicit Pool(std::size_t budget = 0);
  ~Pool();
  Pool(const Pool&) = delete;
  Pool& operator=(const Pool&) = delete;

  // The handle the module receives: word 0 allocates, word 1 frees.
  void* handle() { return &header_; }
  static Pool* from_handle(void* handle);

  void* allocate(long length);
  // Returns false when the block is not one of this pool's.
  bool release(void* block);

  std::size_t bytes_held() const { return held_; }
  std::size_t blocks_held() const { return blocks_.size(); }
  void set_budget(std::size_t budget) { budget_ = budget; }

 private:
  struct Header {
    PoolAllocFn alloc;
    PoolFreeFn free;
    Pool* owner;
  };
  Header header_;
  std::size_t budget_;
  std::size_t held_ = 0;
  std::unordered_map<void*, std::size_t> blocks_;
  mutable std::mutex mutex_;  // worker threads may allocate too
};

// Bytes requested but not delivered since the last call; `xmemdef` reads it.
long take_memory_shortage();
void add_memory_shortage(long bytes);

}  // namespace platform
