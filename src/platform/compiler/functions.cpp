#include "platform/compiler/functions.h"

#include <math.h>

#include <cmath>
#include <limits>
#include <numbers>

#include "host/missing.h"
#include "platform/compiler/special_functions.h"

namespace platform::compiler {
namespace {

namespace sp = special;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The mathematics library's own function, called without a wrapper (the
// interpreter's hottest calls).
constexpr double (*libm(double (*f)(double)))(double) { return f; }

double f_abs(double x) { return std::fabs(x); }
double f_asin(double x) { return std::asin(x); }
double f_acos(double x) { return std::acos(x); }
double f_asinh(double x) { return std::asinh(x); }
double f_acosh(double x) { return std::acosh(x); }
double f_atanh(double x) { return std::atanh(x); }
double f_int(double x) { return std::trunc(x); }
double f_floor(double x) { return std::floor(x); }
double f_ceil(double x) { return std::ceil(x); }
double f_round(double x) { return std::round(x); }
double f_round_unit(double x, double unit) {
  if (!(unit > 0)) return kNaN;
  return std::round(x / unit) * unit;
}
double f_sign(double x) { return std::isnan(x) ? x : (x > 0) - (x < 0); }
double f_mod(double x, double y) { return y == 0 ? kNaN : std::fmod(x, y); }
double f_atan2(double y, double x) { return std::atan2(y, x); }
double f_missing(double x) { return is_missing(x) ? 1 : 0; }
// v log(a) with v = a^b, the derivative of a^b in b: zero where v and a are
// both zero (0^b with b > 0 is zero for every such b), not 0 times -infinity.
double f_log_times(double v, double a) { return v == 0 && a == 0 ? 0 : v * std::log(a); }
// k a^(k-1), the derivative of a^k in a: zero where k is zero, also at
// a = 0 (so that the second derivative of a^1 is 0 there, not 0 * infinity).
double f_power_slope(double a, double k) { return k == 0 ? 0 : k * std::pow(a, k - 1); }

double f_probt(double x, double df) { return sp::t_cdf(x, df); }
double f_tinv(double p, double df) { return sp::t_quantile(p, df); }
double f_probf(const double* a, int) { return sp::f_cdf(a[0], a[1], a[2]); }
double f_finv(const double* a, int) { return sp::f_quantile(a[0], a[1], a[2]); }
double f_probbeta(const double* a, int) { return sp::beta_cdf(a[0], a[1], a[2]); }
double f_betainv(const double* a, int) { return sp::beta_quantile(a[0], a[1], a[2]); }

// The normal distribution with optional mean and standard deviation.
double normal_args(const double* a, int n, double* z) {
  const double mu = n > 1 ? a[1] : 0, sigma = n > 2 ? a[2] : 1;
  if (!(sigma > 0)) return kNaN;
  *z = (a[0] - mu) / sigma;
  return sigma;
}
double f_normal_pdf(const double* a, int n) {
  double z = 0;
  const double sigma = normal_args(a, n, &z);
  if (std::isnan(sigma)) return kNaN;
  return std::exp(-0.5 * z * z) / (sigma * std::sqrt(2 * std::numbers::pi));
}
double f_normal_cdf(const double* a, int n) {
  double z = 0;
  return std::isnan(normal_args(a, n, &z)) ? kNaN : sp::normal_cdf(z);
}

double f_sum(const double* a, int n) {
  double s = 0;
  int used = 0;
  for (int i = 0; i < n; ++i)
    if (!is_missing(a[i])) s += a[i], ++used;
  return used ? s : missing_value();
}
double f_mean(const double* a, int n) {
  double s = 0;
  int used = 0;
  for (int i = 0; i < n; ++i)
    if (!is_missing(a[i])) s += a[i], ++used;
  return used ? s / used : missing_value();
}
double f_min(const double* a, int n) {
  double m = missing_value();
  for (int i = 0; i < n; ++i)
    if (!is_missing(a[i]) && (is_missing(m) || a[i] < m)) m = a[i];
  return m;
}
double f_max(const double* a, int n) {
  double m = missing_value();
  for (int i = 0; i < n; ++i)
    if (!is_missing(a[i]) && (is_missing(m) || a[i] > m)) m = a[i];
  return m;
}
double f_n(const double* a, int n) {
  int k = 0;
  for (int i = 0; i < n; ++i) k += !is_missing(a[i]);
  return k;
}
double f_nmiss(const double* a, int n) { return n - f_n(a, n); }

constexpr FunctionDef kFunctions[] = {
    {"ABS", 1, 1, f_abs, nullptr, nullptr, false},
    {"SQRT", 1, 1, libm(::sqrt), nullptr, nullptr, false},
    {"EXP", 1, 1, libm(::exp), nullptr, nullptr, false},
    {"LOG", 1, 1, libm(::log), nullptr, nullptr, false},
    {"LOG10", 1, 1, libm(::log10), nullptr, nullptr, false},
    {"LOG2", 1, 1, libm(::log2), nullptr, nullptr, false},
    {"SIN", 1, 1, libm(::sin), nullptr, nullptr, false},
    {"COS", 1, 1, libm(::cos), nullptr, nullptr, false},
    {"TAN", 1, 1, libm(::tan), nullptr, nullptr, false},
    {"ARSIN", 1, 1, f_asin, nullptr, nullptr, false},
    {"ASIN", 1, 1, f_asin, nullptr, nullptr, false},
    {"ARCOS", 1, 1, f_acos, nullptr, nullptr, false},
    {"ACOS", 1, 1, f_acos, nullptr, nullptr, false},
    {"ATAN", 1, 1, libm(::atan), nullptr, nullptr, false},
    {"SINH", 1, 1, libm(::sinh), nullptr, nullptr, false},
    {"COSH", 1, 1, libm(::cosh), nullptr, nullptr, false},
    {"TANH", 1, 1, libm(::tanh), nullptr, nullptr, false},
    {"ARSINH", 1, 1, f_asinh, nullptr, nullptr, false},
    {"ASINH", 1, 1, f_asinh, nullptr, nullptr, false},
    {"ARCOSH", 1, 1, f_acosh, nullptr, nullptr, false},
    {"ACOSH", 1, 1, f_acosh, nullptr, nullptr, false},
    {"ARTANH", 1, 1, f_atanh, nullptr, nullptr, false},
    {"ATANH", 1, 1, f_atanh, nullptr, nullptr, false},
    {"INT", 1, 1, f_int, nullptr, nullptr, false},
    {"FLOOR", 1, 1, f_floor, nullptr, nullptr, false},
    {"CEIL", 1, 1, f_ceil, nullptr, nullptr, false},
    {"ROUND", 1, 2, f_round, f_round_unit, nullptr, false},
    {"SIGN", 1, 1, f_sign, nullptr, nullptr, false},
    {"MOD", 2, 2, nullptr, f_mod, nullptr, false},
    {"ATAN2", 2, 2, nullptr, f_atan2, nullptr, false},
    {"ERF", 1, 1, sp::erf, nullptr, nullptr, false},
    {"ERFC", 1, 1, sp::erfc, nullptr, nullptr, false},
    {"GAMMA", 1, 1, sp::gamma, nullptr, nullptr, false},
    {"LGAMMA", 1, 1, sp::lgamma, nullptr, nullptr, false},
    {"DIGAMMA", 1, 1, sp::digamma, nullptr, nullptr, false},
    {"TRIGAMMA", 1, 1, sp::trigamma, nullptr, nullptr, false},
    {"BETA", 2, 2, nullptr, sp::beta, nullptr, false},
    {"PROBNORM", 1, 1, sp::normal_cdf, nullptr, nullptr, false},
    {"PROBIT", 1, 1, sp::normal_quantile, nullptr, nullptr, false},
    {"PROBT", 2, 2, nullptr, f_probt, nullptr, false},
    {"TINV", 2, 2, nullptr, f_tinv, nullptr, false},
    {"PROBF", 3, 3, nullptr, nullptr, f_probf, false},
    {"FINV", 3, 3, nullptr, nullptr, f_finv, false},
    {"PROBBETA", 3, 3, nullptr, nullptr, f_probbeta, false},
    {"BETAINV", 3, 3, nullptr, nullptr, f_betainv, false},
    // PDF('NORMAL', x [, mean, sd]) and CDF(...): the compiler maps the
    // distribution name, which must be a literal, onto these.
    {"PDF:NORMAL", 1, 3, nullptr, nullptr, f_normal_pdf, false},
    {"CDF:NORMAL", 1, 3, nullptr, nullptr, f_normal_cdf, false},
    {"SUM", 1, -1, nullptr, nullptr, f_sum, true},
    {"MEAN", 1, -1, nullptr, nullptr, f_mean, true},
    {"MIN", 1, -1, nullptr, nullptr, f_min, true},
    {"MAX", 1, -1, nullptr, nullptr, f_max, true},
    {"N", 1, -1, nullptr, nullptr, f_n, true},
    {"NMISS", 1, -1, nullptr, nullptr, f_nmiss, true},
    {"MISSING", 1, 1, f_missing, nullptr, nullptr, true},
    // Used by generated derivatives only: a program cannot name them.
    {"@TETRAGAMMA", 1, 1, sp::tetragamma, nullptr, nullptr, false},
    {"@PENTAGAMMA", 1, 1, sp::pentagamma, nullptr, nullptr, false},
    // LOG:TIMES(v, a) = v LOG(a); its notes name LOG.
    {"LOG:TIMES", 2, 2, nullptr, f_log_times, nullptr, false},
    // POWER:SLOPE(a, k) = k a**(k-1).
    {"POWER:SLOPE", 2, 2, nullptr, f_power_slope, nullptr, false},
};

}  // namespace

int find_function(std::string_view key) {
  for (int i = 0; i < static_cast<int>(std::size(kFunctions)); ++i)
    if (key == kFunctions[i].name) return i;
  return -1;
}

const FunctionDef& function_def(int id) { return kFunctions[id]; }

const FunctionDef* function_table() { return kFunctions; }

}  // namespace platform::compiler
