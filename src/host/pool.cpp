#include "host/pool.h"

namespace {
PoolAllocFn pool_alloc(void* pool) { return reinterpret_cast<PoolAllocFn*>(pool)[0]; }
PoolFreeFn pool_free(void* pool) { return reinterpret_cast<PoolFreeFn*>(pool)[1]; }
}  // namespace

void* vmalcp_handler(void* pool, long length, int flags) {
  return pool_alloc(pool)(pool, length, static_cast<long>(flags));
}

void* vmalloc_handler(void* pool, long length, int flags) {
  return pool_alloc(pool)(pool, length, static_cast<long>(flags));
}

void vmfree_handler(void* pool, void* block, long length, int flags) {
  pool_free(pool)(pool, block, length, static_cast<long>(flags));
}
