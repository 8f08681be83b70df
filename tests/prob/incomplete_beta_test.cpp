// The regularised incomplete beta function and the beta density against
// long-double references, with the edge cases of its algorithm.
#include <gtest/gtest.h>

#include <cmath>

#include "host/missing.h"
#include "prob/incomplete_beta.h"
#include "reference.h"

namespace {

using ref::Ld;

const double kShapes[] = {0.05, 0.5, 1, 2.5, 10, 100, 1000, 1e4, 1e5, 1e6};
const double kPoints[] = {1e-200, 1e-30, 1e-8, 1e-3, 0.01, 0.1, 0.25, 0.4, 0.5,
                          0.6,    0.75,  0.9,  0.99, 0.999, 1 - 1e-8, 1 - 1e-12};

TEST(IncompleteBeta, AgreesWithTheReferenceOverShapesAndPoints) {
  // The density is formed as exp of (a - 1) ln x + (b - 1) ln(1 - x) - ln B:
  // its terms grow with the shapes, and their rounding with them.
  ref::Worst small("zibeta p relative error, shapes <= 1000", 1e-12);
  ref::Worst large("zibeta p relative error, shapes up to 1e6", 1e-9);
  ref::Worst density("zibeta d relative error, shapes <= 1000", 1e-12);
  for (double a : kShapes) {
    for (double b : kShapes) {
      for (double x : kPoints) {
        double p, d;
        ASSERT_EQ(zibeta(x, a, b, &p, &d), 0) << ref::at(x, a, b);
        const Ld want = ref::ibeta(a, b, x);
        if (want < 1e-300L) {
          EXPECT_LT(p, 1e-290) << ref::at(x, a, b);
          continue;
        }
        const double e = ref::relative_error(p, want);
        (a <= 1000 && b <= 1000 ? small : large).add(e, ref::at(x, a, b));
        const Ld dens = ref::beta_density(a, b, x);
        if (a <= 1000 && b <= 1000 && dens > 1e-300L)
          density.add(ref::relative_error(d, dens), ref::at(x, a, b));
      }
    }
  }
}

TEST(IncompleteBeta, NormalApproximationWhereTheFractionDoesNotConverge) {
  // Within a standard deviation of the mean for shapes this large the
  // fraction needs more than its 399 iterations.
  ref::Worst worst("zibeta cube-root normal approximation, shapes 1e6, 2e6", 1e-7);
  const double a = 1e6, b = 2e6;
  const double mean = a / (a + b), sd = std::sqrt(a * b / ((a + b) * (a + b) * (a + b + 1)));
  for (double z = -1; z <= 1; z += 0.125) {
    const double x = mean + z * sd;
    double p, d;
    ASSERT_EQ(zibeta(x, a, b, &p, &d), 0);
    worst.add(ref::relative_error(p, ref::ibeta(a, b, x)), ref::at(x));
  }
}

TEST(IncompleteBeta, LogEngineWhereTheFractionFailsBesideATinyShape) {
  // A shape of 1e-4 or 1e-3 beside one of 100 or more: between about 2 and
  // 20 of the small shape's own scale b x the fraction does not converge on
  // either tail and the log-scale engine gives the answer.
  ref::Worst worst("zibeta beside a tiny shape, relative error", 1e-12);
  for (double a : {1e-4, 1e-3}) {
    for (double b : {100.0, 1e3, 1e4, 1e6, 1e9, 1e12}) {
      for (double bx : {0.02, 0.025, 0.03, 0.05, 0.08, 0.1}) {
        const double x = bx / b;
        double p, d;
        ASSERT_EQ(zibeta(x, a, b, &p, &d), 0) << ref::at(x, a, b);
        worst.add(ref::relative_error(p, ref::ibeta(a, b, x)), ref::at(x, a, b));
      }
    }
  }
}

TEST(IncompleteBeta, EdgeCasesOfTheAlgorithm) {
  double p = -5, d = -5;
  ASSERT_EQ(zibeta(0.5, 1, 1, &p, &d), 0);
  EXPECT_DOUBLE_EQ(p, 0.5);
  EXPECT_DOUBLE_EQ(d, 1.0);
  ASSERT_EQ(zibeta(0.3, 2, 3, &p, &d), 0);
  EXPECT_NEAR(p, 0.3483, 5e-5);
  // ln d = ln(1e-300) + ln 6, about -689, is above the underflow bound, so
  // the density is kept and the probability (about 3e-600) underflows to 0.
  ASSERT_EQ(zibeta(1e-300, 2, 2, &p, &d), 0);
  EXPECT_EQ(p, 0.0);
  EXPECT_NEAR(d, 6e-300, 1e-13 * 6e-300);
  // The underflow branch proper: the density is below the smallest double.
  ASSERT_EQ(zibeta(0.01, 1000, 1000, &p, &d), 0);
  EXPECT_EQ(p, 0.0);
  EXPECT_EQ(d, 0.0);
  ASSERT_EQ(zibeta(0.99, 1000, 1000, &p, &d), 0);
  EXPECT_EQ(p, 1.0);
  ASSERT_EQ(zibeta(0.0, 2, 3, &p, &d), 0);
  EXPECT_EQ(p, 0.0);
  ASSERT_EQ(zibeta(1.0, 2, 3, &p, &d), 0);
  EXPECT_EQ(p, 1.0);
  EXPECT_EQ(d, 0.0);
}

TEST(IncompleteBeta, SentinelsForShapesTooLargeAndInvalidOrMissingArguments) {
  double p = 7, d = 8;
  EXPECT_EQ(zibeta(0.5, 1e16, 1, &p, &d), 1);
  EXPECT_EQ(p, 7);  // untouched
  EXPECT_EQ(d, 8);
  const double bad[][3] = {{-0.1, 2, 3}, {1.1, 2, 3}, {0.5, 0, 3}, {0.5, 2, -1},
                           {missing_value(), 2, 3}, {0.5, missing_value(), 3}, {NAN, 6000, 200}};
  for (const auto& arg : bad) {
    EXPECT_EQ(zibeta(arg[0], arg[1], arg[2], &p, &d), -1);
    EXPECT_EQ(p, -1.0);
    EXPECT_EQ(d, 0.0);
  }
}

}  // namespace
