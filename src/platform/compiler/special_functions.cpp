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
constexpr double kEps = std::numeric_limits<double>::epsilon();

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
