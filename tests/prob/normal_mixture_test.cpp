// The normal-mixture engine: verification codes, log tails and density
// against long-double sums, quantiles by every solver, and DiffNormal.
#include <gtest/gtest.h>

#include <boost/multiprecision/cpp_bin_float.hpp>

#include <cmath>
#include <limits>
#include <vector>

#include "host/missing.h"
#include "prob/normal_mixture.h"
#include "reference.h"

namespace {

using ref::Ld;

// A request over copies of the caller's arrays.
struct Mixture {
  std::vector<double> w, mu, sigma;
  NORMAL_MIX_ARG arg{};

  Mixture(std::vector<double> w_, std::vector<double> mu_, std::vector<double> sigma_)
      : w(std::move(w_)), mu(std::move(mu_)), sigma(std::move(sigma_)) {
    arg.n = static_cast<std::int64_t>(w.size());
    arg.Proportions = w.data();
    arg.Mu = mu.data();
    arg.Sigma = sigma.data();
  }
  // Asks for the quantile of lower (Shooting 1, 2) or upper (3) tail p.
  void ask_quantile(int shooting, double p) {
    arg.Purpose = 2;
    arg.Shooting = shooting;
    arg.Probability = arg.targetSDF = p;
  }
  // The mixture's lower tail at x in long double, from the original weights.
  Ld cdf(Ld x, bool upper = false) const {
    Ld sum = 0, total = 0;
    for (size_t i = 0; i < w.size(); ++i) {
      const Ld z = (x - mu[i]) / sigma[i];
      sum += w[i] * ref::normal_cdf(upper ? -z : z);
      total += w[i];
    }
    return sum / total;
  }
};

TEST(NormalMixture, VerificationCodesAndNormalisation) {
  auto code = [](std::vector<double> w, std::vector<double> mu, std::vector<double> sigma) {
    Mixture m(std::move(w), std::move(mu), std::move(sigma));
    return zmxnorm(&m.arg);
  };
  EXPECT_EQ(code({}, {}, {}), -1);  // not 0, which would read as success
  EXPECT_EQ(code({0.5, -0.1, 0.6}, {0, 1, 2}, {1, 1, 1}), 3 + 1);
  EXPECT_EQ(code({0.5, 0.5, missing_value()}, {0, 1, 2}, {1, 1, 1}), 3 + 2);
  EXPECT_EQ(code({1, 1}, {0, 1}, {1, -1}), 2 * 2 + 1);
  EXPECT_EQ(code({0, 0}, {0, 1}, {1, 1}), 10 * 2);
  Mixture negative_n({1}, {0}, {1});
  negative_n.arg.n = -2;
  EXPECT_EQ(zmxnorm(&negative_n.arg), -20);

  Mixture m({3, 1}, {5, -1}, {1, 2});
  m.ask_quantile(2, 0.3);
  ASSERT_EQ(zmxnorm(&m.arg), 0);
  EXPECT_EQ(m.arg.State & 1, 1);
  // Normalised, and sorted by mean for a quantile.
  EXPECT_EQ(m.w, (std::vector<double>{0.25, 0.75}));
  EXPECT_EQ(m.mu, (std::vector<double>{-1, 5}));
  EXPECT_EQ(m.sigma, (std::vector<double>{2, 1}));
  // Proportions too large to add up are scaled by the largest first.
  const double huge = std::numeric_limits<double>::max();
  Mixture big({huge, huge / 3}, {5, -1}, {1, 2});
  ASSERT_EQ(zmxnorm(&big.arg), 0);
  EXPECT_DOUBLE_EQ(big.w[0], 0.75);
  EXPECT_DOUBLE_EQ(big.w[1], 0.25);
}

TEST(NormalMixture, LogTailsAndDensityAgreeWithTheDirectSum) {
  // A log of a tail next to 1 is near 0 and known only to an absolute
  // 1e-16; the error is measured relative to max(|log|, 1).
  ref::Worst worst("zmxnorm log tails and log density, error / max(|log|, 1)", 1e-13);
  auto add = [&](double got, Ld want, double x) {
    worst.add(ref::log_error(got, want), ref::at(x));
  };
  Mixture m({0.2, 0.5, 0.3}, {-3, 0, 4}, {0.5, 1, 3});
  for (double x = -60; x <= 90; x += 0.37) {
    m.arg.Quantile = x;
    ASSERT_EQ(zmxnorm(&m.arg), 0);
    const Ld lower = m.cdf(x), upper = m.cdf(x, true);
    Ld dens = 0;
    for (int i = 0; i < 3; ++i)
      dens += m.w[i] * ref::normal_density((x - m.mu[i]) / m.sigma[i]) / m.sigma[i];
    if (lower > 0) add(m.arg.LogLeftPr, std::log(lower), x);
    if (upper > 0) add(m.arg.LogRightPr, std::log(upper), x);
    if (dens > 0) add(m.arg.LogDensity, std::log(dens), x);
  }
  m.arg.Quantile = missing_value();
  EXPECT_EQ(zmxnorm(&m.arg), 1);
  EXPECT_TRUE(is_missing(m.arg.LogLeftPr));
}

TEST(NormalMixture, QuantilesByEverySolverReturnTheirProbability) {
  ref::Worst worst("zmxnorm quantile: tail error / (1e-14 + 4 ulp(x) slope)", 1.0);
  for (int shooting : {1, 2, 3}) {
    for (double p : {1e-100, 1e-10, 0.01, 0.2, 0.5, 0.77, 0.999}) {
      Mixture m({0.2, 0.5, 0.3}, {-3, 0, 40}, {0.5, 1, 3});
      m.ask_quantile(shooting, p);
      ASSERT_EQ(zmxnorm(&m.arg), 0) << shooting << " " << p;
      const double x = m.arg.Quantile;
      const Ld tail = m.cdf(x, shooting == 3);
      // The tail's rounding as x moves by an ulp of itself.
      const Ld slope = std::exp(Ld(m.arg.LogDensity)) * std::fabs(x) * ref::kEps / p;
      worst.add(static_cast<double>(std::fabs(tail - p) / p / (1e-14L + 4 * slope)),
                ref::at(p, shooting));
      EXPECT_LE(m.arg.Left, x);
      EXPECT_GE(m.arg.Right, x);
    }
  }
  Mixture m({1}, {0}, {1});
  m.ask_quantile(4, 0.3);
  EXPECT_EQ(zmxnorm(&m.arg), 1000);
  m.ask_quantile(1, 1.0);
  EXPECT_EQ(zmxnorm(&m.arg), 1);
}

TEST(DiffNormal, DifferencesWithoutCancellation) {
  ref::Worst series("DiffNormal relative error, the series (a - b < 1e-4)", 1e-14);
  // Beyond the series the difference of two tails keeps their rounding,
  // (1 + x^2) ulps each: the error is measured against tail / difference.
  ref::Worst tails("DiffNormal relative error / (1 + tail / difference)", 2e-13);
  for (double b : {-30.0, -5.0, -1.0, 0.0, 0.3, 2.0, 8.0, 30.0}) {
    for (double delta : {1e-12, 1e-7, 9e-5, 2e-4, 0.1, 3.0}) {
      const double a = b + delta;
      // In 50 digits: long double would lose the difference to cancellation.
      using Big = boost::multiprecision::cpp_bin_float_50;
      const Big root2 = boost::multiprecision::sqrt(Big(2));
      const Big big = (ref::bm::erfc(Big(b) / root2) - ref::bm::erfc(Big(a) / root2)) / 2;
      const Ld want = big.convert_to<Ld>();
      if (want <= 1e-4000L) continue;
      const double e = ref::relative_error(DiffNormal(a, b, a - b), want);
      if (delta < 1e-4) {
        series.add(e, ref::at(a, b));
      } else {
        const Ld tail = b > 0 ? ref::normal_cdf(-Ld(b)) : ref::normal_cdf(a);
        tails.add(e / static_cast<double>(1 + tail / want), ref::at(a, b));
      }
    }
  }
}

}  // namespace
