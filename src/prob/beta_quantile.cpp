// The beta quantile by Halley's method (both shapes above 1) or Newton's
// method, each on the tail at or below one half, from the classical normal
// deviate starting values.
#include <cmath>

#include "prob/incomplete_beta.h"
#include "prob/t_f_beta.h"

namespace {

constexpr int kMaxIterations = 30;
constexpr double kDensityFloor = 5.562684646268004e-305;

// An upper normal deviate for the lower-tail probability q (q <= 0.5).
double normal_deviate(double q) {
  const double r = std::sqrt(-2.0 * std::log(q));
  return r - (2.30753 + 0.27061 * r) / (1.0 + 0.99229 * r + 0.04481 * r * r);
}

double halley_start(double q, double a, double b) {
  const double y = normal_deviate(q);
  const double s = 1.0 / (2.0 * a - 1.0);
  const double t = 1.0 / (2.0 * b - 1.0);
  const double h = 2.0 / (s + t);
  const double lambda = (y * y - 3.0) / 6.0;
  const double w = y * std::sqrt(lambda + h) / h - (t - s) * (lambda + 0.8333 - 0.6666 / h);
  return a / (a + b * std::exp(2.0 * w));
}

double newton_start(double q, double a, double b) {
  const double sum = a + b;
  const double x = a / sum - normal_deviate(q) * std::sqrt(a * b / (sum * (sum + 1.0)));
  return x < 1e-9 ? std::exp(std::log(q) / a) : x;
}

// One step towards I_x(a, b) = q from x, where I_x = i and the density is d.
double step(double x, double q, double a, double b, double i, double d, bool halley) {
  double next;
  if (d < kDensityFloor)
    next = i > q ? 0.0 : 1.0;
  else if (halley)
    next = x - (i - q) / ((q - i) / 2.0 * ((a - 1.0) / x - (b - 1.0) / (1.0 - x)) + d);
  else
    next = x - (i - q) / d;
  // Keep the iterate inside (0, 1).
  if (next >= 1.0) next = (x + 1.0) / 2.0;
  if (next <= 0.0) next = x / 2.0;
  return next;
}

}  // namespace

int zprobin(double p, double a, double b, double* x) {
  if (p == 0.0 || p == 1.0) {
    *x = p;
    return 0;
  }
  *x = -1.0;
  if (!(p > 0.0 && p < 1.0)) return 1;
  // Solve on the tail at or below one half.
  const bool swapped = p > 0.5;
  const double q = swapped ? 1.0 - p : p;
  const double A = swapped ? b : a;
  const double B = swapped ? a : b;
  const bool halley = A > 1.0 && B > 1.0;
  const double tolerance = 1e-7 * q;
  double at = halley ? halley_start(q, A, B) : newton_start(q, A, B);
  for (int it = 0; it < kMaxIterations; ++it) {
    double i, d;
    if (zibeta(at, A, B, &i, &d) != 0) return 1;
    at = step(at, q, A, B, i, d, halley);
    if (std::fabs(q - i) < tolerance) {
      *x = swapped ? 1.0 - at : at;
      return 0;
    }
  }
  return 1;
}
