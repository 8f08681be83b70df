// Pool allocation: every block the module uses comes from a host memory
// pool, whose first word is its allocate function and second its free one.
#pragma once

#include <cstdint>

using PoolAllocFn = void* (*)(void* pool, long length, long flags);
using PoolFreeFn = void (*)(void* pool, void* block, long length, long flags);

// Allocation flags in use: 0x3006 a cleared block for records, lists and
// arrays; 0x3004 a buffer filled at once; 0x2002, 0x2004 and 0x2000.
inline constexpr int kPoolCleared = 0x3006;
inline constexpr int kPoolBuffer = 0x3004;
inline constexpr int kPoolRelease = 4;
inline constexpr long kUnknownLength = -1;

void* vmalcp_handler(void* pool, long length, int flags);
void* vmalloc_handler(void* pool, long length, int flags);
// `length` is the block's length, or -1 when the caller does not know it.
void vmfree_handler(void* pool, void* block, long length, int flags);
