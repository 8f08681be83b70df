// Small helpers shared by the stream's initialisation and rewind.
#pragma once

#include <cstdint>

#include "random/stream.h"

namespace zrand_internal {

// Only the first problem of an initialisation is kept in `Status`.
inline void keep_first(ZRAND_S* q, QXStatus status) {
  if (q->Status == 0) q->Status = status;
}

// Methods of at most 32 output bits (and streams without a method) take
// 32-bit seeds, keys and thread numbers.
inline bool narrow(const ZRNG_S* f) {
  return !f || f->zrng_bits <= 32;
}
inline bool has(const ZRNG_S* f, std::uint64_t bits) {
  return f && (f->zrng_has & bits) != 0;
}

}  // namespace zrand_internal
