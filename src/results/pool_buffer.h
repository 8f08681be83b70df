// A zeroed block of the task pool that goes back to the pool when the owner
// leaves scope, also when the step ends through xexit.
#pragma once

#include "procedure/step_memory.h"

template <class T>
class PoolBuffer {
 public:
  // Null when count is not positive or the pool has no room.
  explicit PoolBuffer(long count) : block_(count > 0 ? ruva_new<T>(count) : nullptr) {}
  ~PoolBuffer() { ruva_free(block_); }
  PoolBuffer(const PoolBuffer&) = delete;
  PoolBuffer& operator=(const PoolBuffer&) = delete;

  T* get() const { return block_; }

 private:
  T* block_;
};
