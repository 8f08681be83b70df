// Scaling a matrix by an even power of two before a decomposition whose
// shifts would overflow or underflow far from 1. Powers of two change no
// rounding, so a matrix already near 1 decomposes bit for bit as unscaled.
#pragma once

#include <cmath>

namespace linalg {

// Largest magnitude of the `count` entries, or -1 when one is not finite.
inline double largest_entry(const double* a, long count) {
  double big = 0.0;
  for (long k = 0; k < count; ++k) {
    if (!std::isfinite(a[k])) return -1.0;
    big = std::fmax(big, std::fabs(a[k]));
  }
  return big;
}

// The even exponent k with big·2^k in [1, 4); 0 for a zero matrix.
inline int balancing_exponent(double big) {
  if (big == 0.0) return 0;
  return -2 * static_cast<int>(std::floor(std::ilogb(big) / 2.0));
}

inline void scale_by_power_of_two(double* a, long count, int k) {
  if (k == 0) return;
  for (long i = 0; i < count; ++i) a[i] = std::ldexp(a[i], k);
}

}  // namespace linalg
