// Special functions for the program's function library, built on the
// standard library's erf, erfc, lgamma and tgamma. The distribution
// functions rest on a continued-fraction incomplete beta.
#include "platform/compiler/special_functions.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace platform::compiler::special {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kEps = std::numeric_limits<double>::epsilon();

double log_gamma(double x) {
  int sign = 0;
  return ::lgamma_r(x, &sign);
}

// Continued fraction of the incomplete beta (modified Lentz), for
// x < (a + 1) / (a + b + 2).
double beta_fraction(double x, double a, double b) {
  constexpr double kTiny = 1e-300;
  const double qab = a + b, qap = a + 1, qam = a - 1;
  double c = 1, d = 1 - qab * x / qap;
  if (std::fabs(d) < kTiny) d = kTiny;
  d = 1 / d;
  double h = d;
  for (int m = 1; m <= 10000; ++m) {
    const double m2 = 2.0 * m;
    double aa = m * (b - m) * x / ((qam + m2) * (a + m2));
    d = 1 + aa * d;
    if (std::fabs(d) < kTiny) d = kTiny;
    c = 1 + aa / c;
    if (std::fabs(c) < kTiny) c = kTiny;
    d = 1 / d;
    h *= d * c;
    aa = -(a + m) * (qab + m) * x / ((a + m2) * (qap + m2));
    d = 1 + aa * d;
    if (std::fabs(d) < kTiny) d = kTiny;
    c = 1 + aa / c;
    if (std::fabs(c) < kTiny) c = kTiny;
    d = 1 / d;
    const double del = d * c;
    h *= del;
    if (std::fabs(del - 1) < 4 * kEps) break;
  }
  return h;
}

// The beta density at x, used by the quantile's Newton steps.
double beta_density(double x, double a, double b) {
  return std::exp((a - 1) * std::log(x) + (b - 1) * std::log1p(-x) -
                  (log_gamma(a) + log_gamma(b) - log_gamma(a + b)));
}

}  // namespace

double erf(double x) { return std::erf(x); }
double erfc(double x) { return std::erfc(x); }

double lgamma(double x) {
  if (std::isnan(x) || (x <= 0 && x == std::floor(x))) return kNaN;
  return log_gamma(x);
}

double gamma(double x) {
  if (std::isnan(x) || (x <= 0 && x == std::floor(x))) return kNaN;
  return std::tgamma(x);
}

double digamma(double x) {
  if (std::isnan(x) || (x <= 0 && x == std::floor(x))) return kNaN;
  double result = 0;
  if (x < 0) {  // reflection: psi(1 - x) - psi(x) = pi / tan(pi x)
    result = -std::numbers::pi / std::tan(std::numbers::pi * x);
    x = 1 - x;
  }
  while (x < 10) result -= 1 / x++;
  const double f = 1 / (x * x);
  const double series =
      f * (1.0 / 12 -
           f * (1.0 / 120 -
                f * (1.0 / 252 - f * (1.0 / 240 - f * (1.0 / 132 - f * (691.0 / 32760 - f / 12))))));
  return result + std::log(x) - 0.5 / x - series;
}

double trigamma(double x) {
  if (std::isnan(x) || (x <= 0 && x == std::floor(x))) return kNaN;
  if (x < 0) {  // reflection: psi1(1 - x) + psi1(x) = pi^2 / sin^2(pi x)
    const double s = std::sin(std::numbers::pi * x);
    return -trigamma(1 - x) + std::numbers::pi * std::numbers::pi / (s * s);
  }
  double result = 0;
  while (x < 10) {
    result += 1 / (x * x);
    x += 1;
  }
  const double f = 1 / (x * x);
  const double series =
      1 + f * (1.0 / 6 -
               f * (1.0 / 30 -
                    f * (1.0 / 42 - f * (1.0 / 30 - f * (5.0 / 66 - f * (691.0 / 2730 - f * 7.0 / 6))))));
  return result + (series / x + 0.5 * f);
}

double beta(double a, double b) {
  if (!(a > 0) || !(b > 0)) return kNaN;
  return std::exp(log_gamma(a) + log_gamma(b) - log_gamma(a + b));
}

double normal_cdf(double x) { return 0.5 * std::erfc(-x / std::numbers::sqrt2); }

double normal_quantile(double p) {
  if (!(p > 0 && p < 1)) return kNaN;
  static constexpr double a[] = {-3.969683028665376e+01, 2.209460984245205e+02,
                                 -2.759285104469687e+02, 1.383577518672690e+02,
                                 -3.066479806614716e+01, 2.506628277459239e+00};
  static constexpr double b[] = {-5.447609879822406e+01, 1.615858368580409e+02,
                                 -1.556989798598866e+02, 6.680131188771972e+01,
                                 -1.328068155288572e+01};
  static constexpr double c[] = {-7.784894002430293e-03, -3.223964580411365e-01,
                                 -2.400758277161838e+00, -2.549732539343734e+00,
                                 4.374664141464968e+00,  2.938163982698783e+00};
  static constexpr double d[] = {7.784695709041462e-03, 3.224671290700398e-01,
                                 2.445134137142996e+00, 3.754408661907416e+00};
  constexpr double kLow = 0.02425;
  double x;
  if (p < kLow || p > 1 - kLow) {
    const double q = std::sqrt(-2 * std::log(p < kLow ? p : 1 - p));
    x = (((((c[0] * q + c[1]) * q + c[2]) * q + c[3]) * q + c[4]) * q + c[5]) /
        ((((d[0] * q + d[1]) * q + d[2]) * q + d[3]) * q + 1);
    if (p > 1 - kLow) x = -x;
  } else {
    const double q = p - 0.5, r = q * q;
    x = (((((a[0] * r + a[1]) * r + a[2]) * r + a[3]) * r + a[4]) * r + a[5]) * q /
        (((((b[0] * r + b[1]) * r + b[2]) * r + b[3]) * r + b[4]) * r + 1);
  }
  // Two Halley steps on the exact cdf bring the approximation to full precision.
  for (int step = 0; step < 2; ++step) {
    const double e = (x < 0 ? normal_cdf(x) - p : (1 - p) - normal_cdf(-x));
    const double u = e * std::sqrt(2 * std::numbers::pi) * std::exp(x * x / 2);
    x -= u / (1 + x * u / 2);
  }
  return x;
}

double beta_cdf(double x, double a, double b) {
  if (std::isnan(x) || !(a > 0) || !(b > 0)) return kNaN;
  if (x <= 0) return 0;
  if (x >= 1) return 1;
  const double front = std::exp(log_gamma(a + b) - log_gamma(a) - log_gamma(b) +
                                a * std::log(x) + b * std::log1p(-x));
  if (x < (a + 1) / (a + b + 2)) return front * beta_fraction(x, a, b) / a;
  return 1 - front * beta_fraction(1 - x, b, a) / b;
}

double beta_quantile(double p, double a, double b) {
  if (!(p >= 0 && p <= 1) || !(a > 0) || !(b > 0)) return kNaN;
  if (p == 0 || p == 1) return p;
  double lo = 0, hi = 1, x = 0.5;
  for (int i = 0; i < 300; ++i) {
    const double f = beta_cdf(x, a, b) - p;
    if (f == 0) return x;
    (f < 0 ? lo : hi) = x;
    const double density = beta_density(x, a, b);
    double next = density > 0 && std::isfinite(density) ? x - f / density : 0.5 * (lo + hi);
    if (!(next > lo && next < hi)) next = 0.5 * (lo + hi);
    if (std::fabs(next - x) <= 4 * kEps * std::fabs(next) || hi - lo <= 4 * kEps * hi)
      return next;
    x = next;
  }
  return x;
}

double t_cdf(double x, double df) {
  if (std::isnan(x) || !(df > 0)) return kNaN;
  if (std::isinf(x)) return x > 0 ? 1 : 0;
  const double tail = 0.5 * beta_cdf(df / (df + x * x), df / 2, 0.5);
  return x > 0 ? 1 - tail : tail;
}

double t_quantile(double p, double df) {
  if (!(p > 0 && p < 1) || !(df > 0)) return kNaN;
  if (p == 0.5) return 0;
  const double x = beta_quantile(2 * std::min(p, 1 - p), df / 2, 0.5);
  const double t = std::sqrt(df * (1 / x - 1));
  return p < 0.5 ? -t : t;
}

double f_cdf(double x, double df1, double df2) {
  if (std::isnan(x) || !(df1 > 0) || !(df2 > 0)) return kNaN;
  if (x <= 0) return 0;
  return beta_cdf(df1 * x / (df1 * x + df2), df1 / 2, df2 / 2);
}

double f_quantile(double p, double df1, double df2) {
  if (!(p >= 0 && p < 1) || !(df1 > 0) || !(df2 > 0)) return kNaN;
  const double x = beta_quantile(p, df1 / 2, df2 / 2);
  return df2 * x / (df1 * (1 - x));
}

}  // namespace platform::compiler::special
