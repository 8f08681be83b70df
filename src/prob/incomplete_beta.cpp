// I_x(a, b) from the continued fraction of whichever tail converges, with
// the density formed on the log scale; a cube-root normal approximation
// covers the large shapes the fraction cannot reach in its iterations, and
// the log-scale engine the rest.
#include "prob/incomplete_beta.h"

#include <cmath>

#include "host/missing.h"
#include "prob/beta_engine.h"
#include "prob/beta_fraction.h"
#include "prob/constants.h"
#include "prob/log_gamma.h"
#include "prob/normal.h"

namespace {

constexpr double kLargestShape = 9007199254740992.0;  // 2^53
constexpr double kFractionTolerance = 8.881784197001256e-16;

int fail(double* p, double* d) {
  *p = -1.0;
  *d = 0.0;
  return -1;
}

// The Wilson-Hilferty type approximation of I_x(a, b) for large shapes.
double cube_root_normal(double x, double a, double b) {
  const double w = std::pow(b * x / (a * (1.0 - x)), 1.0 / 3.0);
  const double z = ((1.0 - 1.0 / (9.0 * b)) * w - (1.0 - 1.0 / (9.0 * a))) /
                   std::sqrt(w * w / (9.0 * b) + 1.0 / (9.0 * a));
  return zprbnrm(z);
}

// I_x(a, b) from the log-scale engine, which integrates where the fraction
// fails (a small shape beside a large one); false when it fails too.
bool from_log_engine(double x, double a, double b, double* prob) {
  ARGBET q{};
  q.Objective = 1;
  q.x = x, q.a = a, q.b = b;
  if (zlogbet(&q) != 0) return false;
  *prob = q.lpl < q.lpr ? std::exp(q.lpl) : -std::expm1(q.lpr);
  return true;
}

}  // namespace

int zibeta(double x, double a, double b, double* p, double* d) {
  if (a > kLargestShape || b > kLargestShape) return 1;
  // A NaN (a missing value among them) would run the fraction to its
  // iteration limit and could come out of the normal approximation as 0.
  if (std::isnan(x) || std::isnan(a) || std::isnan(b)) return fail(p, d);
  if (x < 0.0 || x > 1.0 || a <= 0.0 || b <= 0.0) return fail(p, d);
  if (x == 0.0 || x == 1.0) {
    *p = x;
    *d = 0.0;
    return 0;
  }
  const double log_density = (a - 1.0) * std::log(x) + (b - 1.0) * zln1px(-x) - zlbeta(a, b);
  if (log_density < kExpUnderflow) {
    *d = 0.0;
    *p = x > a / (a + b) ? 1.0 : 0.0;
    return 0;
  }
  const double density = std::exp(log_density);
  const bool upper = beta_use_upper_tail(x, a, b);
  const double X = upper ? 1.0 - x : x;
  double f = 0.0;
  double prob;
  if (beta_continued_fraction(X, upper ? b : a, upper ? a : b, kFractionTolerance, &f)) {
    prob = f * X * density;
    if (upper) prob = 1.0 - prob;
  } else if ((a > 5000.0 && b > 100.0) || (b > 5000.0 && a > 100.0)) {
    prob = cube_root_normal(x, a, b);
  } else if (!from_log_engine(x, a, b, &prob)) {
    return fail(p, d);
  }
  *p = std::fmin(1.0, std::fmax(prob, 0.0));
  *d = density;
  return 0;
}
