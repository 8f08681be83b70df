// The special functions of the program's library against Boost.Math (used
// here only as an independent reference) over grids of arguments.
#include <gtest/gtest.h>

#include <boost/math/distributions/beta.hpp>
#include <boost/math/distributions/fisher_f.hpp>
#include <boost/math/distributions/normal.hpp>
#include <boost/math/distributions/students_t.hpp>
#include <boost/math/special_functions/digamma.hpp>
#include <boost/math/special_functions/trigamma.hpp>
#include <cmath>

#include "platform/compiler/special_functions.h"

namespace {

namespace sp = platform::compiler::special;
namespace bm = boost::math;

double relative(double got, double want) {
  if (want == 0) return std::fabs(got);
  return std::fabs(got - want) / std::fabs(want);
}

TEST(SpecialFunctions, GammaFamily) {
  for (double x : {0.1, 0.5, 1.0, 2.5, 7.25, 30.0, 170.5, -0.5, -2.75}) {
    EXPECT_LT(std::fabs(sp::digamma(x) - bm::digamma(x)), 1e-13 * std::max(1.0, std::fabs(bm::digamma(x)))) << x;
    EXPECT_LT(relative(sp::trigamma(x), bm::trigamma(x)), 5e-13) << x;
    EXPECT_LT(relative(sp::lgamma(x), std::lgamma(x)), 1e-15) << x;
  }
  EXPECT_TRUE(std::isnan(sp::digamma(0)));
  EXPECT_TRUE(std::isnan(sp::gamma(-2)));
  EXPECT_TRUE(std::isnan(sp::lgamma(-3)));
  EXPECT_LT(relative(sp::beta(2.5, 3.5), std::exp(std::lgamma(2.5) + std::lgamma(3.5) - std::lgamma(6))), 1e-14);
}

TEST(SpecialFunctions, NormalCdfAndQuantile) {
  const bm::normal n;
  // Far in the lower tail exp(-x^2/2) is formed directly, which costs a few
  // units in the last place.
  for (double x : {-8.0, -3.0, -1.0, -0.1, 0.0, 0.3, 1.96, 5.0}) EXPECT_LT(relative(sp::normal_cdf(x), bm::cdf(n, x)), 3e-14) << x;
  for (double p : {1e-12, 1e-6, 0.01, 0.025, 0.3, 0.5, 0.8, 0.975, 0.999999})
    EXPECT_LT(std::fabs(sp::normal_quantile(p) - bm::quantile(n, p)), 1e-13 * std::max(1.0, std::fabs(bm::quantile(n, p)))) << p;
  EXPECT_TRUE(std::isnan(sp::normal_quantile(0)));
  EXPECT_TRUE(std::isnan(sp::normal_quantile(1.5)));
}

TEST(SpecialFunctions, TFAndBetaDistributions) {
  for (double df : {1.0, 2.5, 10.0, 100.0, 1000.0}) {
    const bm::students_t t(df);
    for (double x : {-30.0, -2.0, -0.5, 0.0, 1.0, 4.0}) EXPECT_LT(relative(sp::t_cdf(x, df), bm::cdf(t, x)), 1e-12) << df << " " << x;
    for (double p : {0.001, 0.05, 0.5, 0.9, 0.975})
      EXPECT_LT(relative(sp::t_quantile(p, df), bm::quantile(t, p)) * (p == 0.5 ? 0 : 1), 1e-10) << df << " " << p;
    const bm::fisher_f f(3, df);
    for (double x : {0.1, 1.0, 3.0, 20.0}) EXPECT_LT(relative(sp::f_cdf(x, 3, df), bm::cdf(f, x)), 1e-12) << df << " " << x;
    for (double p : {0.05, 0.5, 0.95}) EXPECT_LT(relative(sp::f_quantile(p, 3, df), bm::quantile(f, p)), 1e-10);
  }
  for (double a : {0.5, 2.0, 30.0})
    for (double b : {0.7, 5.0}) {
      const bm::beta_distribution<> d(a, b);
      for (double x : {0.01, 0.3, 0.5, 0.9}) EXPECT_LT(relative(sp::beta_cdf(x, a, b), bm::cdf(d, x)), 1e-12);
      for (double p : {0.01, 0.5, 0.99}) EXPECT_LT(relative(sp::beta_quantile(p, a, b), bm::quantile(d, p)), 1e-10);
    }
  EXPECT_TRUE(std::isnan(sp::t_cdf(1, 0)));
  EXPECT_TRUE(std::isnan(sp::beta_cdf(0.5, -1, 2)));
}

}  // namespace
