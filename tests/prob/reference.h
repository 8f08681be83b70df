// Reference values for the probability tests: Boost.Math in long double
// (64-bit mantissa), well beyond the double results it checks, and a
// tracker for the worst error over a grid, which prints it so that the
// accuracy found can be quoted and fails the test when it reaches its bound.
#pragma once

#include <gtest/gtest.h>

#include <boost/math/distributions/inverse_gaussian.hpp>
#include <boost/math/distributions/students_t.hpp>
#include <boost/math/special_functions/beta.hpp>
#include <boost/math/special_functions/digamma.hpp>
#include <boost/math/special_functions/erf.hpp>
#include <boost/math/special_functions/gamma.hpp>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <stdexcept>
#include <string>

namespace ref {

using Ld = long double;
namespace bm = boost::math;

// Report failures as values, never as exceptions.
using Policy = bm::policies::policy<
    bm::policies::domain_error<bm::policies::ignore_error>,
    bm::policies::overflow_error<bm::policies::ignore_error>,
    bm::policies::evaluation_error<bm::policies::ignore_error>,
    bm::policies::pole_error<bm::policies::ignore_error>,
    bm::policies::promote_double<false>>;

inline constexpr double kEps = 2.220446049250313e-16;

inline Ld ibeta(Ld a, Ld b, Ld x) { return bm::ibeta(a, b, x, Policy()); }
inline Ld ibetac(Ld a, Ld b, Ld x) { return bm::ibetac(a, b, x, Policy()); }
inline Ld beta_density(Ld a, Ld b, Ld x) { return bm::ibeta_derivative(a, b, x, Policy()); }
// I_y(a, b) with y = num/(num + other), formed without losing 1 - y.
inline Ld ibeta_ratio(Ld a, Ld b, Ld num, Ld other) {
  const Ld y = num / (num + other);
  return y < 0.5L ? ibeta(a, b, y) : ibetac(b, a, other / (num + other));
}
// x with I_x(a, b) = p and *complement = 1 - x; NaN where the reference's
// own root finder gives up.
inline Ld ibeta_inv(Ld a, Ld b, Ld p, Ld* complement) {
  try {
    return bm::ibeta_inv(a, b, p, complement, Policy());
  } catch (const std::exception&) {
    return *complement = NAN;
  }
}
inline Ld lgamma(Ld x) { return bm::lgamma(x, Policy()); }
inline Ld digamma(Ld x) { return bm::digamma(x, Policy()); }
inline Ld erf(Ld x) { return bm::erf(x, Policy()); }
inline Ld erfc(Ld x) { return bm::erfc(x, Policy()); }
inline Ld normal_cdf(Ld x) { return erfc(-x / std::sqrt(2.0L)) / 2; }
inline Ld normal_quantile(Ld p) { return -bm::erfc_inv(2 * p, Policy()) * std::sqrt(2.0L); }
inline Ld normal_density(Ld x) {
  return std::exp(-x * x / 2) / std::sqrt(2 * std::numbers::pi_v<Ld>);
}

inline double relative_error(double got, Ld want) {
  if (want == 0) return got == 0 ? 0.0 : INFINITY;
  return static_cast<double>(std::fabs((got - want) / want));
}
// |got - want| / max(|want|, 1): a log next to 0 is known only absolutely.
inline double log_error(double got, Ld want) {
  return static_cast<double>(std::fabs(got - want) / std::fmax(std::fabs(want), 1.0L));
}

// The largest error over a grid and where it occurred. On leaving its
// scope it prints itself and fails the test unless it stayed below bound.
class Worst {
 public:
  Worst(std::string name, double bound) : name_(std::move(name)), bound_(bound) {}
  ~Worst() {
    std::printf("[ accuracy ] %-58s %.2g%s%s\n", name_.c_str(), error_,
                where_.empty() ? "" : " at ", where_.c_str());
    EXPECT_LT(error_, bound_) << name_ << " at " << where_;
  }
  void add(double error, const std::string& where) {
    // A NaN counts as the worst, and stays so.
    if (!(error <= error_) && !std::isnan(error_)) error_ = error, where_ = where;
  }

 private:
  std::string name_;
  double bound_, error_ = 0.0;
  std::string where_;
};

// The arguments of a grid point, in full precision.
template <class... T>
std::string at(T... values) {
  std::string text;
  for (double v : {static_cast<double>(values)...}) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s%.17g", text.empty() ? "" : ", ", v);
    text += buf;
  }
  return text;
}

}  // namespace ref
