// The Mills ratio and the logarithms of the normal tails: erfc near the
// centre, Laplace's continued fraction where erfc would underflow.
#include <cmath>

#include "host/missing.h"
#include "prob/constants.h"
#include "prob/log_gamma.h"
#include "prob/normal.h"

namespace {

constexpr double kFractionFrom = 5.0;     // the continued fraction from here on
constexpr double kFractionTolerance = 5.551115123125785e-16;
constexpr int kMaxPasses = 50;

}  // namespace

int zcnfmill(double x, double* ratio) {
  if (is_missing(x)) {
    *ratio = missing_value();
    return 0;
  }
  // 1/(x + 1/(x + 2/(x + 3/(x + ...)))), two convergents a pass.
  const double w = 1.0 / (x * x);
  double n0 = 0.0, d0 = 1.0, n1 = 1.0 / x, d1 = 1.0;
  double f = 1.0 / x;
  double k = w;
  for (int pass = 0; pass < kMaxPasses; ++pass) {
    n0 = k * n0 + n1;
    d0 = k * d0 + d1;
    k += w;
    const double f0 = n0 / d0;
    if (std::fabs(f0 - f) <= kFractionTolerance * f0) {
      *ratio = f0;
      return 0;
    }
    n1 = k * n1 + n0;
    d1 = k * d1 + d0;
    k += w;
    const double f1 = n1 / d1;
    if (std::fabs(f1 - f0) <= kFractionTolerance * f1) {
      *ratio = f1;
      return 0;
    }
    f = f1;
  }
  *ratio = (n0 * k + n1) / (d0 * k + d1);
  return 1;
}

int zmillsr(double x, double* ratio) {
  if (is_missing(x)) {
    *ratio = missing_value();
    return 0;
  }
  if (x >= kFractionFrom) return zcnfmill(x, ratio);
  const double inverse_density = std::exp(kLnSqrtTwoPi + x * x / 2.0);
  *ratio = x < -10.0 ? inverse_density : inverse_density * zprbnrm(-x);
  return 0;
}

int zlognrm(double x, double* lpl, double* lpr, double* ldens) {
  if (is_missing(x)) {
    *lpl = *lpr = *ldens = missing_value();
    return 0;
  }
  *ldens = -x * x / 2.0 - kLnSqrtTwoPi;
  const double y = std::fabs(x);
  double tail;  // ln of the probability beyond y
  if (y >= kFractionFrom) {
    double ratio;
    if (zmillsr(y, &ratio) != 0) return 1;
    tail = std::log(ratio) + *ldens;
  } else {
    tail = std::log(zferfc(y * kInvSqrtTwo) / 2.0);
  }
  const double other = zln1px(-std::exp(tail));
  *lpl = x <= 0.0 ? tail : other;
  *lpr = x <= 0.0 ? other : tail;
  return 0;
}
