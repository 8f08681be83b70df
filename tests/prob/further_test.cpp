// The further functions: the log-scale normal quantile, the inverse Gaussian
// cdf, log-sum-exp, the multivariate log-gamma and log-beta and the log beta
// density.
#include <gtest/gtest.h>

#include <cmath>

#include "host/missing.h"
#include "prob/beta_engine.h"
#include "prob/inverse_gaussian.h"
#include "prob/log_sum_exp.h"
#include "prob/multivariate_gamma.h"
#include "prob/normal.h"
#include "reference.h"

namespace {

using ref::Ld;

TEST(LogScaleNormalQuantile, AgreesWithTheReferenceForAnyProbability) {
  ref::Worst worst("szprobit relative error, p from 1e-300 to 0.49", 1e-13);
  for (double p = 1e-300; p < 0.49; p *= 1.7)
    worst.add(ref::relative_error(szprobit(p), ref::normal_quantile(p)), ref::at(p));
  // From its start left of 0, Newton on ln Phi still reaches upper quantiles.
  EXPECT_LT(ref::relative_error(szprobit(0.9), ref::normal_quantile(0.9)), 1e-13);
  EXPECT_TRUE(is_missing(szprobit(1.5)));
}

TEST(InverseGaussian, CdfAgreesWithTheReference) {
  // The first term is Phi at sqrt(d) (s - 1/s), whose rounding is magnified
  // like the normal cdf's in the lower tail.
  ref::Worst worst("zprbigs relative error, shape 0.01 to 1e4", 1e-11);
  for (double d : {0.01, 0.5, 1.0, 10.0, 100.0, 1e4}) {
    const ref::bm::inverse_gaussian_distribution<Ld, ref::Policy> ig(1, d);
    for (double x = 1e-3; x < 100; x *= 1.05) {
      const Ld want = ref::bm::cdf(ig, Ld(x));
      if (want > 1e-300L) worst.add(ref::relative_error(zprbigs(x, d), want), ref::at(x, d));
    }
  }
  EXPECT_EQ(zprbigs(0.0, 2.0), 0.0);
  EXPECT_TRUE(is_missing(zprbigs(1.0, 0.0)));
  EXPECT_TRUE(is_missing(zprbigs(missing_value(), 2.0)));
}

TEST(LogSumOfExp, MatchesTheDirectSumWithoutOverflow) {
  const double pairs[][2] = {{-1, 2}, {700, 710}, {-800, -790}, {-3, -40}, {5, -INFINITY}, {3, 3}};
  for (const auto& xy : pairs) {
    const Ld want = std::log(std::exp(Ld(xy[0])) + std::exp(Ld(xy[1])));
    EXPECT_LT(ref::relative_error(zlnSumOfExp(xy[0], xy[1]), want), 4e-16) << xy[0] << " " << xy[1];
  }
  EXPECT_EQ(zlnSumOfExp(-INFINITY, -INFINITY), -INFINITY);  // not NaN from -inf - -inf
  EXPECT_EQ(LogSumOfExpProb(-1e-18, -30, 1), 0.0);  // a log probability is capped at 0
  EXPECT_GT(LogSumOfExpProb(-1e-18, -30, 0), 0.0);
  EXPECT_TRUE(is_missing(zlnSumOfExp(missing_value(), 1.0)));
}

// ln Gamma_m(a) = m(m - 1)/4 ln pi + the sum over j < m of ln Gamma(a - j/2).
Ld lgamma_mv(Ld a, int m) {
  Ld sum = m * (m - 1) / 4.0L * std::log(std::numbers::pi_v<Ld>);
  for (int j = 0; j < m; ++j) sum += ref::lgamma(a - j / 2.0L);
  return sum;
}

TEST(MultivariateGamma, LogGammaAndLogBetaAgreeWithTheReferenceInsideTheirDomain) {
  double r = 0;
  for (auto [a, m] : {std::pair{4.2, 3}, {6.0, 1}, {30.5, 6}}) {
    ASSERT_EQ(zlgammaMV(a, m, &r), 0);
    EXPECT_LT(ref::relative_error(r, lgamma_mv(a, m)), 1e-15) << a << " " << m;
  }
  EXPECT_EQ(zlgammaMV(1.0, 3, &r), 1);  // a - (m - 1)/2 = 0
  EXPECT_TRUE(is_special_missing(r));
  EXPECT_EQ(zlgammaMV(4.0, 0, &r), 1);
  for (int n : {1, 3}) {
    ASSERT_EQ(zlbetaMV(3.0, 4.5, n, &r), 0);
    EXPECT_NEAR(r, lgamma_mv(3, n) + lgamma_mv(4.5, n) - lgamma_mv(7.5, n), 1e-13) << n;
  }
  EXPECT_EQ(zlbetaMV(1.0, 4.5, 3, &r), 1);  // (n - 1)/2 >= a
  EXPECT_TRUE(is_special_missing(r));
  EXPECT_EQ(zlbetaMV(3.0, 4.5, 0, &r), 1);
}

TEST(LogBetaDensity, AgreesWithTheReferenceAndHandlesTheEnds) {
  // The log density is a sum of terms of the size of the shapes; its error
  // is measured against the largest of them.
  ref::Worst worst("zldnbet error / largest term", 1e-15);
  for (double a : {0.3, 1.0, 2.5, 40.0, 1e4}) {
    for (double b : {0.3, 1.0, 2.5, 40.0, 1e4}) {
      for (double x : {1e-30, 1e-5, 0.1, 0.5, 0.9, 1 - 1e-9}) {
        double ld;
        ASSERT_EQ(zldnbet(x, a, b, &ld), 0);
        const Ld dens = ref::beta_density(a, b, x), log_x = std::log(Ld(x));
        const Ld lgab = ref::lgamma(Ld(a) + b);
        const Ld want = dens > 0 ? std::log(dens)
                                 : (a - 1) * log_x + (b - 1) * std::log1p(-Ld(x)) -
                                       (ref::lgamma(a) + ref::lgamma(b) - lgab);
        const Ld scale =
            1 + std::fmax(std::fabs(want), std::fmax(std::fabs((a - 1) * log_x), std::fabs(lgab)));
        worst.add(static_cast<double>(std::fabs(ld - want) / scale), ref::at(x, a, b));
      }
    }
  }
  double ld;
  ASSERT_EQ(zldnbet(0.0, 1.0, 3.0, &ld), 0);
  EXPECT_DOUBLE_EQ(ld, std::log(3.0));
  ASSERT_EQ(zldnbet(1.0, 2.0, 1.0, &ld), 0);
  EXPECT_DOUBLE_EQ(ld, std::log(2.0));
  ASSERT_EQ(zldnbet(0.0, 2.0, 3.0, &ld), 0);
  EXPECT_TRUE(is_special_missing(ld));
  EXPECT_EQ(zldnbet(1.5, 2.0, 3.0, &ld), 1);
  EXPECT_EQ(zldnbet(0.5, 0.0, 3.0, &ld), 1);
}

}  // namespace
