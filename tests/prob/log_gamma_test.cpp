// Log-gamma, log-beta, ln(1 + z) and the Stirling correction against long-double references.
#include <gtest/gtest.h>

#include <cmath>

#include "host/missing.h"
#include "prob/log_gamma.h"
#include "reference.h"

namespace {

using ref::Ld;

TEST(LogGamma, AgreesWithTheReferenceFromTinyToHugeArguments) {
  // Next to the roots at 1 and 2 the rounding of x itself is magnified by
  // |x psi(x) / ln Gamma(x)|; relative to that condition the error stays at
  // a few units in the last place.
  ref::Worst scaled("zlgamma relative error / max(1, condition), x from 1e-300 to 1e7", 2e-15);
  auto check = [&](double x) {
    const Ld want = ref::lgamma(x);
    if (want == 0) return;
    const double condition = static_cast<double>(std::fabs(x * ref::digamma(x) / want));
    scaled.add(ref::relative_error(zlgamma(x), want) / std::fmax(1.0, condition), ref::at(x));
  };
  for (double x = 1e-300; x < 1e7; x *= 1.01) check(x);
  for (double x = 0.01; x < 16; x += 0.000731) check(x);
}

TEST(LogGamma, ExactValuesSentinelsAndTheHalfIntegerPath) {
  EXPECT_EQ(zlgamma(1.0), 0.0);
  EXPECT_EQ(zlgamma(2.0), 0.0);
  EXPECT_EQ(zlgamma(0.0), -99.0);
  EXPECT_EQ(zlgamma(-3.5), -99.0);
  EXPECT_EQ(zlgamma(2.225073858507201e-308), -99.0);
  // Gamma(2.5) = 1.5 Gamma(1.5) = 0.75 sqrt(pi).
  EXPECT_NEAR(zlgamma(2.5), std::log(0.75 * std::sqrt(M_PI)), 1e-15);
  EXPECT_NEAR(zlgamma(0.5), std::log(std::sqrt(M_PI)), 1e-15);
  EXPECT_TRUE(is_missing(zlgamma(missing_value())));
}

TEST(StirlingCorrection, AgreesWithTheReference) {
  // ln Gamma less Stirling's formula in long double, where the subtraction
  // keeps at least 13 digits of the correction.
  ref::Worst worst("zlgbern relative error, x from 15 to 100", 1e-12);
  for (double x = 15; x <= 100; x += 0.37) {
    const Ld lx = x, want = ref::lgamma(lx) - ((lx - 0.5L) * std::log(lx) - lx +
                                               std::log(2 * std::numbers::pi_v<Ld>) / 2);
    worst.add(ref::relative_error(zlgbern(x), want), ref::at(x));
  }
}

TEST(LogBeta, AgreesWithTheReferenceOnBothPaths) {
  ref::Worst worst("zlbeta relative error (a, b from 1e-3 to 1e9)", 2e-14);
  const double shapes[] = {1e-3, 0.1, 0.5, 1, 2.5, 7, 14.9, 15, 20, 30, 100, 1e3, 1e5, 1e7, 1e9};
  for (double a : shapes) {
    for (double b : shapes) {
      // ln of the long-double beta function where it is representable,
      // else the log-gammas where they do not cancel too much.
      const Ld beta = ref::bm::beta(Ld(a), Ld(b), ref::Policy());
      const Ld ga = ref::lgamma(a), gb = ref::lgamma(b), gab = ref::lgamma(Ld(a) + b);
      const bool direct = beta > 1e-4900L && beta < 1e4900L;
      const Ld want = direct ? std::log(beta) : ga + gb - gab;
      const Ld spread = (std::fabs(ga) + std::fabs(gb) + std::fabs(gab)) / std::fabs(want);
      if (!direct && spread > 1e3L) continue;
      if (std::fabs(want) < 1e-3) continue;  // next to a root: absolute error is the measure
      worst.add(ref::relative_error(zlbeta(a, b), want), ref::at(a, b));
    }
  }
  EXPECT_EQ(zlbeta(0.0, 1.0), 99.0);
  EXPECT_EQ(zlbeta(1.0, -2.0), 99.0);
}

TEST(Ln1px, SeriesAndLogarithmBranchesMatchLog1p) {
  ref::Worst series("zln1px relative error (|z| <= 1/32, the series)", 4e-16);
  // Just beyond 1/32, log(1 + z) keeps the rounding of 1 + z: 2^-53/z.
  ref::Worst logs("zln1px relative error (1/32 < |z| <= 0.5, log(1 + z))", 4e-15);
  for (double z = -0.5; z <= 0.5; z += 0.0000377) {
    const double e = ref::relative_error(zln1px(z), std::log1p(Ld(z)));
    if (z != 0) (std::fabs(z) <= 0.03125 ? series : logs).add(e, ref::at(z));
  }
  EXPECT_EQ(zln1px(0.0), 0.0);
}

}  // namespace
