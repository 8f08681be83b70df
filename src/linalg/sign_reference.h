// The sign rule shared by the singular vectors and the eigenvectors: a vector
// is oriented so that the sum of its entries is positive or, when that sum is
// near 0, so that its first clearly largest entry is.
#pragma once

#include <cmath>

inline constexpr double kSignNearZero = 1.053671212772351e-08;

// `each(f)` calls f(x) on every entry x of the vector in order. Returns the
// sum of the entries or, when its magnitude is below kSignNearZero, the entry
// of largest magnitude, where a later entry counts as larger only by more
// than kSignNearZero (0 when no entry exceeds it).
template <class Each>
double sign_reference(Each each) {
  double s = 0.0;
  each([&s](double x) { s += x; });
  if (std::fabs(s) >= kSignNearZero) return s;
  double best = 0.0;
  s = 0.0;
  each([&](double x) {
    if (std::fabs(x) > best + kSignNearZero) {
      best = std::fabs(x);
      s = x;
    }
  });
  return s;
}
