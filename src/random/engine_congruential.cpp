#include "random/engine_congruential.h"

#include <cmath>
#include <cstdint>

double zranuni(long* seed) {
  constexpr std::uint32_t kPrime = 0x7FFFFFFFu;
  const auto s = static_cast<std::uint32_t>(*seed);
  const std::uint64_t p = static_cast<std::uint64_t>(s) * 397204094u;
  // p = hi 2^31 + lo, and 2^31 = 1 modulo the prime.
  std::uint32_t v = static_cast<std::uint32_t>(p >> 31) + static_cast<std::uint32_t>(p & kPrime);
  if (v >= kPrime) v += 0x80000001u;  // v - (2^31 - 1), modulo 2^32
  *seed = static_cast<long>(v);
  return v / 2147483647.0;
}

double zrannor(long* seed) {
  const double u1 = zranuni(seed);
  const double u2 = zranuni(seed);
  return std::sqrt(-2 * std::log(u1)) * std::cos(6.283185307179586 * u2);
}
