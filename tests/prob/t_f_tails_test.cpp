// Tail probabilities of t and F against long-double references, over
// degrees of freedom from 1 to 1e6, and their sentinels.
#include <gtest/gtest.h>

#include <cmath>

#include "host/missing.h"
#include "prob/t_f_beta.h"
#include "reference.h"

namespace {

using ref::Ld;

// Both tails are I_y(a, b) with y = num/(num + other) formed in double: the
// rounding of y, magnified by y I'(y)/I, bounds what any evaluation at that
// y can reach; 1 + y d/p is that magnification.
double y_condition(Ld a, Ld b, Ld num, Ld other, Ld p) {
  const Ld y = num / (num + other);
  return static_cast<double>(1 + y * ref::beta_density(a, b, y) / p);
}

TEST(TTail, TwoSidedPValuesAgreeWithTheReference) {
  ref::Worst upper("zpgt2 relative error, df <= 1000, p <= 0.5", 2e-13);
  ref::Worst big("zpgt2 relative error, df 1e4 to 1e6, p <= 0.5", 2e-10);
  ref::Worst scaled("zpgt2 relative error / (eps (1 + y d/p)), all df", 64);
  for (double df : {1., 2., 3., 5., 10., 30., 100., 1000., 1e4, 1e5, 1e6}) {
    for (double t = 1e-3; t < 1e4; t *= 1.02) {
      const double t2 = t * t;
      const Ld want = ref::ibeta_ratio(df / 2, 0.5L, df, t2);
      if (want < 1e-300L) continue;
      const double e = ref::relative_error(zpgt2(t2, static_cast<long>(df)), want);
      if (want <= 0.5L) (df <= 1000 ? upper : big).add(e, ref::at(t, df));
      scaled.add(e / (ref::kEps * y_condition(df / 2, 0.5L, df, t2, want)), ref::at(t, df));
    }
  }
}

TEST(FTail, UpperTailProbabilitiesAgreeWithTheReference) {
  ref::Worst upper("zprbf relative error, df <= 1000, p <= 0.5", 5e-13);
  ref::Worst big("zprbf relative error, a df of 1e6, p <= 0.5", 1e-9);
  ref::Worst scaled("zprbf relative error / (eps (1 + y d/p)), df <= 1000", 128);
  const double dfs[] = {1, 2, 5, 10, 100, 1000, 1e6};
  for (double ndf : dfs) {
    for (double ddf : dfs) {
      for (double f = 1e-4; f < 1e5; f *= 1.03) {
        const Ld want = ref::ibeta_ratio(ddf / 2, ndf / 2, ddf, Ld(f) * ndf);
        if (want < 1e-300L) continue;
        const double e = ref::relative_error(zprbf(f, ndf, ddf), want);
        const bool small = ndf <= 1000 && ddf <= 1000;
        if (want <= 0.5L) (small ? upper : big).add(e, ref::at(f, ndf, ddf));
        const double c = y_condition(ddf / 2, ndf / 2, ddf, Ld(f) * ndf, want);
        if (small) scaled.add(e / (ref::kEps * c), ref::at(f, ndf, ddf));
      }
    }
  }
}

TEST(ConstraintPValue, AgreesWithTheBetaTail) {
  // 1 - I_y is formed by subtraction, so the error is absolute, an ulp of 1.
  ref::Worst worst("zpgbeta error / (eps + 1e-13 p)", 1.0);
  for (long df : {2L, 3L, 10L, 100L, 1000L}) {
    for (double t = 0.01; t < 100; t *= 1.1) {
      const Ld y = std::fmin(Ld(t) * t / df, 1.0L);
      const Ld want = ref::ibetac(0.5L, (df - 1) / 2.0L, y);
      const double error =
          static_cast<double>(std::fabs(zpgbeta(t, df) - want) / (ref::kEps + 1e-13L * want));
      worst.add(error, ref::at(t, df));
    }
  }
}

TEST(TailSentinels, BadArgumentsGiveValuesNoProbabilityTakes) {
  EXPECT_EQ(zpgt2(-1.0, 5), -2.0);
  EXPECT_EQ(zpgt2(4.0, 0), -2.0);
  EXPECT_EQ(zpgt2(missing_value(), 5), -2.0);
  EXPECT_EQ(zprbf(0.0, 3, 10), 1.0);
  EXPECT_EQ(zprbf(-1.0, 3, 10), -1.0);
  EXPECT_EQ(zprbf(2.0, 0, 10), -1.0);
  EXPECT_EQ(zprbf(2.0, 3, -1), -1.0);
  EXPECT_EQ(zprbf(1e308, 3, 10), 0.0);
  EXPECT_EQ(zprbf(missing_value(), 3, 10), -2.0);
  EXPECT_TRUE(is_special_missing(zpgbeta(2.0, 1)));
  EXPECT_TRUE(is_special_missing(zpgbeta(missing_value(), 10)));
  EXPECT_TRUE(is_special_missing(zpgbeta(1e155, 10)));
}

TEST(TailVariants, RealDegreesOfFreedomAndReturnCodes) {
  // Two-sided t p-values at fractional degrees of freedom.
  for (double df : {0.5, 7.5, 250.25}) {
    const Ld want = ref::ibeta_ratio(df / 2, 0.5L, df, 3.3L);
    EXPECT_LT(ref::relative_error(zpgt2f(3.3, df), want), 2e-13) << df;
  }
  double p = 0;
  EXPECT_EQ(zpgt2New(3.3, 7.5, &p), 0);
  EXPECT_EQ(p, zpgt2f(3.3, 7.5));
  EXPECT_EQ(zpgt2New(-1, 7.5, &p), -1);
  EXPECT_TRUE(is_special_missing(p));
  EXPECT_EQ(zpgt2New(missing_value(), 7.5, &p), -1);
  EXPECT_EQ(zprbfNew(2.5, 3, 12, &p), 0);
  EXPECT_EQ(p, zprbf(2.5, 3, 12));
  EXPECT_EQ(zprbfNew(0, 3, 12, &p), 0);
  EXPECT_EQ(p, 1.0);
  // So large that y underflows: the tail is 0, as in zprbf, not missing.
  EXPECT_EQ(zprbfNew(1e308, 3, 12, &p), 0);
  EXPECT_EQ(p, 0.0);
  EXPECT_EQ(zprbfNew(2.5, -3, 12, &p), -1);
  EXPECT_TRUE(is_special_missing(p));
}

}  // namespace
