// Log-gamma by rational approximations on [1, 2] and Stirling's series
// beyond 15; log-beta with the large-argument terms cancelled analytically.
#include "prob/log_gamma.h"

#include <cmath>

#include "host/missing.h"
#include "prob/constants.h"

namespace {

// The series of the Stirling correction in v = 1/x^2, innermost term first.
double stirling_series(double x) {
  const double w = 1.0 / x;
  const double v = w * w;
  double s = -0.0019175269175269176;
  s = s * v + 0.0008417508417508417;
  s = s * v - 0.0005952380952380953;
  s = s * v + 0.0007936507936507937;
  s = s * v - 0.002777777777777778;
  s = s * v + 0.08333333333333333;
  return w * s;
}

// Polynomial of degree 6 with coefficients in ascending powers.
double poly6(const double (&c)[7], double t) {
  double s = c[6];
  for (int i = 5; i >= 0; --i) s = s * t + c[i];
  return s;
}

// ln Gamma(1 + t) = t P1(t)/Q1(t) for t in [0, 0.5).
constexpr double kP1[7] = {-0.5772156649015329, -0.8017986934675778, 0.2079812846119617,
                           0.7494577256954738,  0.36252537533106266, 0.05692342633165193,
                           0.002126546376940967};
constexpr double kQ1[7] = {1.0,                 2.8139668163177345,   2.9550965510668346,
                           1.4276752135116328,  0.31469269123782706,  0.026724016735058816,
                           0.0005124543681927987};
// ln Gamma(2 + t) = t P2(t)/Q2(t) for t in [-0.5, 0].
constexpr double kP2[7] = {0.42278433509846713, 0.9712118746069075,  0.8058203645027399,
                           0.3098673634213962,  0.05678875296955259, 0.004410493669232917,
                           9.627912858833401e-5};
constexpr double kQ2[7] = {1.0,                 1.5344580849517535,    0.8949255863507323,
                           0.24611091348667924, 0.03194668377437606,   0.0016767266689027731,
                           2.1326962979603636e-5};

constexpr double kLogGammaThreeHalves = -0.12078223763524522;

}  // namespace

double zln1px(double z) {
  if (is_missing(z)) return missing_value();
  if (std::fabs(z) > 0.03125) return std::log(1.0 + z);
  // ln((1 + u/2)/(1 - u/2)) with u = z/(1 + z/2): an odd series in u.
  const double u = z / (1.0 + z / 2.0);
  const double v = u * u;
  return u + u * v * (0.08333333333333427 - 0.0023812878804825234 * v) /
                 (1.0 - 0.178575454351365 * v);
}

double zlgbern(double x) {
  if (is_missing(x)) return missing_value();
  return stirling_series(x);
}

double zlgamma(double x) {
  if (is_missing(x)) return missing_value();
  if (x <= kSmallestNormal) return -99.0;
  if (std::fabs(x - 1.0) < kHalfEpsilon || std::fabs(x - 2.0) < kHalfEpsilon) return 0.0;
  if (x >= 15.0) return kLnSqrtTwoPi - x + stirling_series(x) + (x - 0.5) * std::log(x);
  // Shift into [1, 2], collecting the factors of the recurrence in f.
  double v = x;
  double f = 1.0;
  while (v < 1.0) {
    f /= v;
    v += 1.0;
  }
  while (v > 2.0) {
    v -= 1.0;
    f *= v;
  }
  if (std::fabs(x - 0.5 - std::trunc(x)) < kHalfEpsilon)
    return std::log(f) + kLogGammaThreeHalves;
  if (v < 1.5) {
    const double t = v - 1.0;
    return std::log(f) + t * poly6(kP1, t) / poly6(kQ1, t);
  }
  const double t = v - 2.0;
  return std::log(f) + t * poly6(kP2, t) / poly6(kQ2, t);
}

double zlbeta(double a, double b) {
  if (is_missing(a) || is_missing(b)) return missing_value();
  if (a <= 0.0 || b <= 0.0) return 99.0;
  const double large = std::fmax(a, b);
  const double small = std::fmin(a, b);
  const double total = a + b;
  if (large < 15.0) return zlgamma(large) + zlgamma(small) - zlgamma(total);
  // ln Gamma(L) - ln Gamma(L + S) with the Stirling terms of L and L + S
  // combined, so that nothing of the size of L ln L cancels.
  return zlgamma(small) + small - small * std::log(large) +
         (total - 0.5) * zln1px(-small / total) + zlgbern(large) - zlgbern(total);
}
