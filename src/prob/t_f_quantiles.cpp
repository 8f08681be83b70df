// Quantiles of t and F through the beta quantile; near the median of t a
// short series inversion avoids the beta quantile's cancellation.
#include <cmath>

#include "prob/log_gamma.h"
#include "prob/t_f_beta.h"

namespace {

constexpr double kSeriesHalfWidth = 0.001;      // |p - 0.5| below it: the series
constexpr double kLinearBound = 1.053671212772351e-8;  // below it t = t0
constexpr int kMaxSeriesIterations = 50;

// Solves t - (1 + 1/df) t^3/6 + (1 + 1/df)(1 + 3/df) t^5/40 = t0, the t
// distribution function's series about 0 divided by its density there, by
// Newton's method.
// Returns false when t0 is not finite or the iteration does not settle.
bool invert_series(double t0, double df, double* t) {
  if (!std::isfinite(t0)) return false;
  const double c3 = 1.0 + 1.0 / df;
  const double c5 = c3 * (1.0 + 3.0 / df);
  double current = t0;
  for (int it = 0; it < kMaxSeriesIterations; ++it) {
    const double t2 = current * current;
    const double g = current - c3 * t2 * current / 6.0 + c5 * t2 * t2 * current / 40.0 - t0;
    const double slope = 1.0 - c3 * t2 / 2.0 + c5 * t2 * t2 / 8.0;
    const double next = current - g / slope;
    if (std::fabs(current - next) <= std::fabs(next) * 1e-7) {
      *t = next;
      return true;
    }
    current = next;
  }
  return false;
}

}  // namespace

int zqt(double p, double df, double* q) {
  if (!(p > 0.0 && p < 1.0 && df > 0.0)) return 1;
  *q = 0.0;
  if (std::fabs(p - 0.5) < kSeriesHalfWidth && df >= 1.0) {
    // (p - 1/2) divided by the t density at 0.
    const double t0 = (p - 0.5) * std::exp(0.5 * std::log(df) + zlbeta(0.5, df / 2.0));
    if (std::fabs(t0) < kLinearBound) {
      *q = t0;
      return 0;
    }
    return invert_series(t0, df, q) ? 0 : 1;
  }
  double x;
  if (zprobin(2.0 * std::fmin(p, 1.0 - p), df / 2.0, 0.5, &x) != 0) return 1;
  const double t = std::sqrt((1.0 - x) * df / x);
  *q = p <= 0.5 ? -t : t;
  return 0;
}

double zqunf(double p, double ndf, double ddf) {
  if (!(ddf > 0.0 && ndf > 0.0 && p > 0.0 && p <= 1.0)) return -1.0;
  double x;
  if (zprobin(p, ddf / 2.0, ndf / 2.0, &x) != 0) return -1.0;
  if (x == 0.0) return 1.7976931348623157e308;
  return (1.0 - x) * ddf / (x * ndf);
}

int zqf(double pval, double df1, double df2, double* xval) {
  *xval = zqunf(1.0 - pval, df1, df2);
  return *xval < 0.0 ? 1 : 0;
}
