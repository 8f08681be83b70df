// Uniform doubles from raw generator words, in every open and closed form
// at 32, 53 and 64 bits. Each value is one exact expression of the word;
// the forms that redraw take the engine's next-word function. Results are
// bit-exact: this code is built without fused multiply-add contraction.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

namespace zrng_uniform {

inline constexpr double kTwoM32 = 0x1p-32;
inline constexpr double kTwoM53 = 0x1p-53;
inline constexpr double kTwoM64 = 0x1p-64;
// Redraws of the 32- and 53-bit reject-zero forms, counting the first draw.
inline constexpr int kRejectZeroDraws = 99;
// Redraws of the 64-bit reject form: never reached by a sound engine, it
// only stops an engine stuck at 0 from hanging the caller.
inline constexpr long kRejectZeroOneDraws = 1000000;
// The largest double below 1.
inline constexpr double kBelowOne = 0x1.fffffffffffffp-1;

// A 64-bit word as the nearest double. The halves convert exactly and their
// sum rounds once, as the direct conversion does; unlike it, this has no
// branch on the top bit, which random words would mispredict half the time.
inline double to_double(std::uint64_t x) {
  return static_cast<double>(static_cast<std::uint32_t>(x >> 32)) * 0x1p32 +
         static_cast<double>(static_cast<std::uint32_t>(x));
}

inline double closed_open_32(std::uint32_t x) {
  return static_cast<double>(x) * kTwoM32;
}
inline double open_open_32(std::uint32_t x) {
  return (static_cast<double>(x) + 0.5) * kTwoM32;
}
inline double open_closed_32(std::uint32_t x) {
  return (static_cast<double>(x) + 1) * kTwoM32;
}
inline double closed_closed_32(std::uint32_t x) {
  return (static_cast<double>(x & ~1u) + 2.0 * static_cast<double>(x & 1u)) * kTwoM32;
}

inline double closed_open_53(std::uint64_t x) {
  return static_cast<double>(x >> 11) * kTwoM53;
}
inline double open_open_53(std::uint64_t x) {
  return static_cast<double>((x >> 11) | 1) * kTwoM53;
}
inline double open_closed_53(std::uint64_t x) {
  return static_cast<double>((x >> 11) + 1) * kTwoM53;
}
inline double closed_closed_53(std::uint64_t x) {
  return 2.0 * static_cast<double>((x >> 12) + ((x >> 11) & 1)) * kTwoM53;
}

inline double closed_closed_64(std::uint64_t x) {
  return to_double(x) * kTwoM64;
}
inline double open_closed_64(std::uint64_t x) {
  return (to_double(x) + 1.0) * kTwoM64;
}
// Words from 2^64 - 1024 up would round to 1.0: their low 10 bits move to
// the top instead, which keeps the result below 1.
inline double closed_open_64(std::uint64_t x) {
  const std::uint64_t y = x >= 0xFFFFFFFFFFFFFC00ull ? x << 54 : x;
  return to_double(y) * kTwoM64;
}
inline double open_open_64(std::uint64_t x) {
  return closed_open_64(x | 1);
}

// x * 2^-32 of the first nonzero word of at most 99 draws; 0.0 after 99 zeros.
template <class Next>
double reject_zero_32(Next next) {
  for (int draws = 0; draws < kRejectZeroDraws; ++draws)
    if (const std::uint32_t x = next()) return closed_open_32(x);
  return 0.0;
}

template <class Next>
double reject_zero_53(Next next) {
  for (int draws = 0; draws < kRejectZeroDraws; ++draws)
    if (const std::uint64_t m = next() >> 11) return static_cast<double>(m) * kTwoM53;
  return 0.0;
}

template <class Next>
double reject_zero_one_64(Next next) {
  for (long draws = 0; draws < kRejectZeroOneDraws; ++draws) {
    const std::uint64_t x = next();
    const double u = to_double(x) * kTwoM64;
    if (x != 0 && u != 1.0) return u;
  }
  return 0.0;
}

// A double that can take every representable value of (0,1): the leading
// zero bits of the words set the exponent, the next 64 bits the fraction.
template <class Next>
double infinite(Next next) {
  int e = -64;
  std::uint64_t x = next();
  while (x == 0) {
    e -= 64;
    if (e < -1074) return 0.0;
    x = next();
  }
  const int z = std::countl_zero(x);
  if (z != 0) {
    const std::uint64_t y = next();
    x = (x << z) | (y >> (64 - z));
    e -= z;
    return std::ldexp(static_cast<double>(x | 1), e);
  }
  // A word of 64 significant bits can round up to 2^64: stay below 1.
  const double u = std::ldexp(static_cast<double>(x | 1), e);
  return u < 1.0 ? u : kBelowOne;
}

}  // namespace zrng_uniform
