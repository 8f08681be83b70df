// Special functions for the program's function library: the error and
// distribution functions of the probability library, and the gamma family.
#include "platform/compiler/special_functions.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "host/missing.h"
#include "prob/incomplete_beta.h"
#include "prob/normal.h"
#include "prob/t_f_beta.h"

namespace platform::compiler::special {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

double log_gamma(double x) {
  int sign = 0;
  return ::lgamma_r(x, &sign);
}

}  // namespace

double erf(double x) { return std::isnan(x) ? kNaN : zferf(x); }
double erfc(double x) { return std::isnan(x) ? kNaN : zferfc(x); }

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

namespace {

// psi^(n)(x) for n = 2 or 3: the recurrence up to x >= 20, then the
// asymptotic series (-1)^(n+1) [(n-1)!/x^n + n!/(2x^(n+1))
// + sum B_2k (2k+n-1)!/((2k)! x^(2k+n))].
double polygamma(int n, double x) {
  if (std::isnan(x) || (x <= 0 && x == std::floor(x))) return kNaN;
  const double sign = n % 2 ? 1.0 : -1.0;  // (-1)^(n+1)
  const double nfact = n == 2 ? 2.0 : 6.0, n1fact = n == 2 ? 1.0 : 2.0;
  double result = 0;
  while (x < 20) {
    result += sign * nfact / std::pow(x, n + 1);
    x += 1;
  }
  static constexpr double kBernoulli[] = {1.0 / 6, -1.0 / 30, 1.0 / 42, -1.0 / 30, 5.0 / 66,
                                          -691.0 / 2730, 7.0 / 6};
  const double x2 = x * x;
  double term_power = std::pow(x, n);  // x^(2k+n), k = 0
  double series = n1fact / term_power + nfact / (2 * term_power * x);
  double ratio = n1fact;  // (2k+n-1)!/(2k)!, k = 0
  for (int k = 1; k <= 7; ++k) {
    ratio *= static_cast<double>((2 * k + n - 2) * (2 * k + n - 1)) / ((2 * k - 1) * (2 * k));
    term_power *= x2;
    series += kBernoulli[k - 1] * ratio / term_power;
  }
  return result + sign * series;
}

}  // namespace

double tetragamma(double x) { return polygamma(2, x); }
double pentagamma(double x) { return polygamma(3, x); }

double beta(double a, double b) {
  if (!(a > 0) || !(b > 0)) return kNaN;
  return std::exp(log_gamma(a) + log_gamma(b) - log_gamma(a + b));
}

// The distribution functions come from the probability library; its
// failure sentinels (negative results, nonzero codes) become NaN here, which
// the interpreter reports as an invalid argument.
namespace {
double probability_or_nan(double p) { return p >= 0 && p <= 1 ? p : kNaN; }
double finite_or_nan(double v) { return std::isfinite(v) && !is_missing(v) ? v : kNaN; }
}  // namespace

double normal_cdf(double x) { return std::isnan(x) ? kNaN : zprbnrm(x); }

double normal_quantile(double p) {
  if (!(p > 0 && p < 1)) return kNaN;
  return finite_or_nan(zprobit(p));
}

double beta_cdf(double x, double a, double b) {
  if (std::isnan(x) || !(a > 0) || !(b > 0)) return kNaN;
  if (x <= 0) return 0;
  if (x >= 1) return 1;
  double p = 0, density = 0;
  return zibeta(x, a, b, &p, &density) == 0 ? probability_or_nan(p) : kNaN;
}

double beta_quantile(double p, double a, double b) {
  if (!(p >= 0 && p <= 1) || !(a > 0) || !(b > 0)) return kNaN;
  if (p == 0 || p == 1) return p;
  double x = 0;
  return zprobin(p, a, b, &x) == 0 ? probability_or_nan(x) : kNaN;
}

double t_cdf(double x, double df) {
  if (std::isnan(x) || !(df > 0)) return kNaN;
  if (std::isinf(x)) return x > 0 ? 1 : 0;
  const double two_sided = probability_or_nan(zpgt2f(x * x, df));
  return x > 0 ? 1 - 0.5 * two_sided : 0.5 * two_sided;
}

double t_quantile(double p, double df) {
  if (!(p > 0 && p < 1) || !(df > 0)) return kNaN;
  double q = 0;
  return zqt(p, df, &q) == 0 ? finite_or_nan(q) : kNaN;
}

double f_cdf(double x, double df1, double df2) {
  if (std::isnan(x) || !(df1 > 0) || !(df2 > 0)) return kNaN;
  if (x <= 0) return 0;
  const double upper = probability_or_nan(zprbf(x, df1, df2));
  return std::isnan(upper) ? kNaN : 1 - upper;
}

double f_quantile(double p, double df1, double df2) {
  if (!(p >= 0 && p < 1) || !(df1 > 0) || !(df2 > 0)) return kNaN;
  double x = 0;
  return zqf(p, df1, df2, &x) == 0 ? finite_or_nan(x) : kNaN;
}

}  // namespace platform::compiler::special
