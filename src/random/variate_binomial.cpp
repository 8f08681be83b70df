// BINOMIAL: inversion from the less likely outcome, or, when n exceeds 300
// and both n p and n (1 - p) exceed 5, a rounded normal deviate. The set-up
// is cached under (n, p).
#include <bit>
#include <cmath>

#include "random/variate_fill.h"
#include "random/variate_operations.h"

using variates::uniform;

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kBelowOne = 0.9999999999999999;  // 1 - 2^-53
// Below this the inversion's start probability has underflowed.
const double kUnderflow = std::bit_cast<double>(0x0044000000000001ull);

double normal_approximation(MRandPtr q, std::int64_t n, double p) {
  ZRANBIN& c = q->bin;
  const double nd = static_cast<double>(n);
  if (c.psave != p || c.nsave != n) {
    c.psave = p;
    c.nsave = n;
    c.mean = nd * p;
    c.sd = std::sqrt((1 - p) * nd * p);
  }
  for (long trial = 0; trial < variates::kMaxTrials; ++trial) {
    const double u1 = uniform(q);
    const double u2 = uniform(q);
    const double z = std::sqrt(-2 * std::log(u1)) * std::cos(kTwoPi * u2);
    const double x = std::trunc((0.5 + c.mean) + z * c.sd);
    if (x >= 0 && x <= nd) return x;
  }
  return variates::invalid();
}

double inversion(MRandPtr q, std::int64_t n, double p) {
  ZRANBIN& c = q->bin;
  const double nd = static_cast<double>(n);
  if (c.psave != p || c.nsave != n) {
    c.psave = p;
    c.nsave = n;
    const double r = p <= 0.5 ? p : 1 - p;
    c.omega = std::exp(nd * std::log(p <= 0.5 ? 1 - p : p));
    c.b = r / (1 - r);
    c.c = c.b * (nd + 1);
  }
  if (c.omega < kUnderflow) {
    c.underflow = 1;
    return variates::invalid();
  }
  const double u = uniform(q);
  double x = 0, f = c.omega, cumulative = c.omega;
  while (cumulative < u && cumulative <= kBelowOne && f >= kUnderflow) {
    x += 1;
    f *= c.c / x - c.b;
    cumulative += f;
  }
  return p <= 0.5 ? x : nd - x;
}

}  // namespace

// A negative count or a probability outside [0, 1] has no variate.
double GetOneVariateBINOMIAL(MRandPtr q, std::int64_t n, double p) {
  zrand_check(q, 1);
  if (n < 0 || !(p >= 0 && p <= 1)) return variates::invalid();
  const double nd = static_cast<double>(n);
  if (n > 300 && nd * p > 5 && nd * (1 - p) > 5) return normal_approximation(q, n, p);
  return inversion(q, n, p);
}

int FillTheBufferBINOMIAL(MRandPtr q, std::int64_t n, double p) {
  return variates::fill<&GetOneVariateBINOMIAL>(q, n, p);
}
