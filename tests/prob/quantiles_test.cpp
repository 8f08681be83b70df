// Quantiles of t, F and beta against long-double references, and the edge
// cases of their algorithms.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "prob/t_f_beta.h"
#include "reference.h"

namespace {

using ref::Ld;

const std::vector<double> kProbabilities = {
    1e-20, 1e-12, 1e-8, 1e-6, 1e-4, 1e-3, 0.005, 0.01, 0.025, 0.05, 0.1, 0.2,
    0.3,   0.4,   0.45, 0.47, 0.49, 0.499, 0.4995, 0.4999, 0.5, 0.5001, 0.5005,
    0.501, 0.51,  0.53, 0.55, 0.6,  0.7,  0.8,   0.9,   0.95,  0.975, 0.99,
    0.995, 0.999, 0.9999, 1 - 1e-6, 1 - 1e-8, 1 - 1e-12};

// The beta quantile's iterations may give up (a return code, never a wrong
// value) at probabilities this extreme; elsewhere they must not.
bool extreme(double p) { return p < 1e-8 || p > 1 - 1e-8; }

Ld t_quantile(double df, double p) {
  return ref::bm::quantile(ref::bm::students_t_distribution<Ld, ref::Policy>(df), Ld(p));
}

TEST(TQuantile, AgreesWithTheReference) {
  // Even away from 1/2, 1 - x loses digits as df grows (p = 0.47: 1e-12 at df = 1000).
  ref::Worst away("zqt relative error, df <= 1000, |p - 1/2| >= 0.02", 5e-12);
  ref::Worst away_big("zqt relative error, df 1e4 to 1e6, |p - 1/2| >= 0.02", 1e-8);
  // The series to t^5 leaves an error of order t^6, below 1e-16; what is
  // left is the density at 0 (1e-15 at a df of 1e6).
  ref::Worst series("zqt relative error, series branch |p - 1/2| < 0.001", 2e-15);
  // Here sqrt((1 - x) df / x) takes 1 - x from a beta quantile x next to 1.
  ref::Worst near("zqt relative error, 0.001 <= |p - 1/2| < 0.02", 1e-6);
  // The series branch also at its edges, where t is largest.
  std::vector<double> probabilities = kProbabilities;
  probabilities.insert(probabilities.end(), {0.4990001, 0.4993, 0.5007, 0.5009999});
  for (double df : {1, 2, 3, 5, 10, 30, 100, 1000, 10000, 100000, 1000000}) {
    for (double p : probabilities) {
      double q = -7;
      const int rc = zqt(p, df, &q);
      if (rc != 0 && extreme(p)) continue;
      ASSERT_EQ(rc, 0) << ref::at(p, df);
      const Ld want = t_quantile(df, p);
      if (want == 0) {
        EXPECT_EQ(q, 0.0);
        continue;
      }
      const double e = ref::relative_error(q, want);
      const double off = std::fabs(p - 0.5);
      if (off < 0.001) series.add(e, ref::at(p, df));
      else if (off < 0.02) near.add(e, ref::at(p, df));
      else (df <= 1000 ? away : away_big).add(e, ref::at(p, df));
    }
  }
}

TEST(FQuantile, AgreesWithTheReference) {
  // Above 0.9 the quantile is small and 1 - x cancels in it: not checked.
  ref::Worst worst("zqunf relative error, df <= 1000, p <= 0.9", 1e-12);
  ref::Worst big("zqunf relative error, a df of 1e6, p <= 0.9", 1e-8);
  const double dfs[] = {1, 2, 5, 10, 100, 1000, 1e6};
  for (double ndf : dfs) {
    for (double ddf : dfs) {
      for (double p : kProbabilities) {
        const double x = zqunf(p, ndf, ddf);
        if (x < 0 && extreme(p)) continue;
        ASSERT_GE(x, 0.0) << ref::at(p, ndf, ddf);
        if (p > 0.9) continue;
        // P(F >= x) = I_y(ddf/2, ndf/2) with y = ddf/(ddf + ndf x).
        Ld one_minus_y = 0;
        const Ld y = ref::ibeta_inv(ddf / 2.0L, ndf / 2.0L, Ld(p), &one_minus_y);
        if (std::isnan(y)) continue;
        const double e = ref::relative_error(x, one_minus_y * ddf / (y * ndf));
        (ndf <= 1000 && ddf <= 1000 ? worst : big).add(e, ref::at(p, ndf, ddf));
      }
    }
  }
}

TEST(BetaQuantile, SolvesTheIncompleteBetaToItsConditioning) {
  // The backward error |I_x - p| against an ulp of x times the density,
  // and the forward error where the quantile is well conditioned.
  // zibeta itself is good to about 1e-11 at shapes of 1e4, and the
  // iteration solves zibeta's equation.
  ref::Worst backward("zprobin |I(x) - p| / (2e-11 p + 4 ulp(x) d), shapes 0.5..1e4", 1.0);
  ref::Worst forward("zprobin relative error, shapes 0.5..1e4, p in [1e-8, 1 - 1e-8]", 1e-10);
  const double shapes[] = {0.5, 0.9, 1, 1.5, 3, 10, 50, 300, 1e3, 1e4};
  for (double a : shapes) {
    for (double b : shapes) {
      for (double p : kProbabilities) {
        double x = -7;
        const int rc = zprobin(p, a, b, &x);
        if (rc != 0 && extreme(p)) continue;
        ASSERT_EQ(rc, 0) << ref::at(p, a, b);
        const Ld back = ref::ibeta(a, b, x), d = ref::beta_density(a, b, x);
        const Ld ulp = std::nextafter(x, 2.0) - x;
        backward.add(static_cast<double>(std::fabs(back - p) / (2e-11L * p + 4 * ulp * d)),
                     ref::at(p, a, b));
        Ld complement;
        const Ld want = ref::ibeta_inv(a, b, p, &complement);
        if (!extreme(p) && !std::isnan(want))
          forward.add(ref::relative_error(x, want), ref::at(p, a, b));
      }
    }
  }
}

TEST(QuantileEdgeCases, BranchesAndSentinels) {
  double q = -7;
  ASSERT_EQ(zqt(0.975, 10, &q), 0);
  EXPECT_NEAR(q, 2.228139, 5e-7);
  ASSERT_EQ(zqt(0.5004, 10, &q), 0);  // the series branch
  EXPECT_LT(ref::relative_error(q, t_quantile(10, 0.5004)), 1e-15);
  ASSERT_EQ(zqt(0.975, 0.5, &q), 0);  // below one degree of freedom: the beta quantile
  EXPECT_LT(ref::relative_error(q, t_quantile(0.5, 0.975)), 1e-12);
  q = -7;
  EXPECT_EQ(zqt(1.0, 5, &q), 1);
  EXPECT_EQ(zqt(0.3, 0, &q), 1);
  EXPECT_EQ(zqt(NAN, 5, &q), 1);
  EXPECT_EQ(q, -7);  // untouched
  // Infinite degrees of freedom would make the series' Newton iteration
  // spin on a NaN; it fails instead.
  EXPECT_EQ(zqt(0.5004, INFINITY, &q), 1);
  EXPECT_EQ(zqt(0.9, INFINITY, &q), 1);

  double x;
  ASSERT_EQ(zqf(0.95, 3, 10, &x), 0);  // the lower-tail 0.95 point of F(3, 10)
  EXPECT_LT(ref::relative_error(x, 3.708264819046844484L), 1e-12);
  EXPECT_EQ(zqf(1.5, 3, 10, &x), 1);
  EXPECT_EQ(zqunf(1.0, 3, 10), 0.0);  // the beta quantile is 1
  EXPECT_EQ(zqunf(0.0, 3, 10), -1.0);
  EXPECT_EQ(zqunf(1.5, 3, 10), -1.0);
  EXPECT_EQ(zqunf(0.5, 0, 10), -1.0);

  ASSERT_EQ(zprobin(0.3, 0.5, 0.5, &x), 0);  // the Newton branch
  Ld complement;
  EXPECT_LT(ref::relative_error(x, ref::ibeta_inv(0.5L, 0.5L, 0.3L, &complement)), 1e-13);
  double swapped;
  ASSERT_EQ(zprobin(0.7, 2, 3, &x), 0);  // solved as 0.3 with the shapes (3, 2)
  ASSERT_EQ(zprobin(0.3, 3, 2, &swapped), 0);
  EXPECT_EQ(x, 1 - swapped);
  ASSERT_EQ(zprobin(0.0, 2, 3, &x), 0);
  EXPECT_EQ(x, 0.0);
  ASSERT_EQ(zprobin(1.0, 2, 3, &x), 0);
  EXPECT_EQ(x, 1.0);
  EXPECT_EQ(zprobin(-0.5, 2, 3, &x), 1);
  EXPECT_EQ(x, -1.0);
  EXPECT_EQ(zprobin(0.5, 2, 0, &x), 1);
  EXPECT_EQ(x, -1.0);
}

}  // namespace
