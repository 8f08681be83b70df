// A block of memory held back for the work that follows a failed
// allocation. When the system refuses an allocation, the handler gives the
// block back and throws std::bad_alloc: the stack then unwinds with room to
// spare, so that destructors which allocate (a JSON value's destroys its
// children through a vector of its own), the out-of-memory message and the
// removal of temporary files do not meet the same shortage and end the
// process. The host takes the block again before every step.
#pragma once

#include <cstddef>

namespace platform {

// The bytes held back: a JSON table of half a million rows takes 8 MB to
// destroy; the block is address space, and takes memory only if touched.
inline constexpr std::size_t kMemoryReserveBytes = std::size_t{8} << 20;

// Installs the handler and takes the block when it is not held; without
// room for it, the handler still throws, with nothing to give back.
void arm_memory_reserve();
// Whether the block is held (it is given back by the first failure).
bool memory_reserve_held();

}  // namespace platform
