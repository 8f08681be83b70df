// The figures of the analysis of variance against hand-worked closed forms:
// the straight line through (1,2) (2,4) (3,5) (4,4) (5,5), for which
// corrected total 6, regression 3.6 and error 2.4; exact fits; degenerate
// degrees of freedom; a model that fits worse than the mean.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "host/missing.h"
#include "results/anova.h"

namespace {

// Sums of weights, responses, squared responses and error; SINGULAR=;
// observations; estimated parameters.
AnovaInput line(bool intercept) {
  return AnovaInput{5, 20, 86, 2.4, 1.110223024625157e-12, 5, 2, 0, false, intercept};
}

// Two-sided p of t on 3 degrees of freedom, in closed form.
double t3_two_sided(double t) {
  const double u = t / std::sqrt(3.0);
  return 1 - 2 / std::numbers::pi * (std::atan(u) + u / (1 + u * u));
}

// Expected figures; NaN stands for the special missing value.
constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

struct Case {
  const char* what;
  bool intercept;
  double sumwsse;
  int estimated;
  long model_df, error_df;
  double model_ss, model_ms, error_ms, f, p;
};

void expect(double actual, double expected, const char* what) {
  if (std::isnan(expected)) EXPECT_TRUE(is_special_missing(actual)) << what;
  else EXPECT_NEAR(actual, expected, 1e-15 * std::max(1.0, std::fabs(expected))) << what;
}

// An exact fit has no F; with an intercept its model row is the corrected
// total on m - 1 degrees of freedom with its own mean square. A fit worse
// than the mean has a negative F and no p-value (the probability
// function's sentinel never reaches the table).
TEST(AnovaFigures, RowsAgainstHandWorkedFigures) {
  const Case cases[] = {
      // F(1, 3) is t(3) squared.
      {"line", true, 2.4, 2, 1, 3, 3.6, 3.6, 0.8, 4.5, t3_two_sided(std::sqrt(4.5))},
      // Uncorrected: P(F(2, 3) > f) = (1 + 2 f / 3)^(-3/2).
      {"line without intercept", false, 2.4, 2, 2, 3, 83.6, 41.8, 0.8, 52.25, std::pow(1 + 2 * 52.25 / 3, -1.5)},
      {"exact fit", true, 0, 3, 2, 2, 6, 3, 0, kNone, kNone},
      {"exact fit without intercept", false, 0, 2, 2, 3, 86, 43, 0, kNone, kNone},
      {"intercept alone", true, 6, 1, 0, 4, 0, kNone, 1.5, kNone, kNone},
      {"no error df", false, 2.4, 5, 5, 0, 83.6, 16.72, kNone, kNone, kNone},
      {"worse than the mean", true, 9, 2, 1, 3, -3, -3, 3, -1, kNone},
  };
  for (const Case& c : cases) {
    AnovaInput in = line(c.intercept);
    in.sumwsse = c.sumwsse;
    in.estimated = c.estimated;
    const AnovaFigures a = anova_figures(in);
    EXPECT_EQ(a.model_df, c.model_df) << c.what;
    EXPECT_EQ(a.error_df, c.error_df) << c.what;
    expect(a.model_ss, c.model_ss, c.what);
    expect(a.model_ms, c.model_ms, c.what);
    expect(a.error_ms, c.error_ms, c.what);
    expect(a.f, c.f, c.what);
    expect(a.p, c.p, c.what);
    EXPECT_EQ(a.corrected_df, 4);
    EXPECT_EQ(a.uncorrected_df, 5);
    expect(a.corrected_ss, 6, c.what);
  }
}

TEST(AnovaFigures, ActiveConstraintsTakeDegreesOfFreedomUnlessUncorrected) {
  AnovaInput in = line(false);
  in.estimated = 3;
  in.constrained = 1;
  AnovaFigures a = anova_figures(in);
  EXPECT_EQ(a.model_df, 2);
  EXPECT_EQ(a.error_df, 3);
  in.uncorrected_df = true;
  a = anova_figures(in);
  EXPECT_EQ(a.model_df, 3);
  EXPECT_EQ(a.error_df, 2);
}

// Sums count as rounding against the weighted sum of squared responses:
// the line in responses of 1e-9 (sums of squares near 1e-17) or weights of
// 1e-21 keeps its table, scaled. Responses that are all zero give no scale:
// there a sum below SINGULAR= counts as zero.
TEST(AnovaFigures, NegligibleSumsCountAsZero) {
  const AnovaFigures plain = anova_figures(line(true));
  for (const double y : {1.0, 1e-9})
    for (const double w : {1.0, 1e-21}) {
      AnovaInput in = line(true);
      in.sumw *= w, in.sumy *= w * y, in.sumy2 *= w * y * y, in.sumwsse *= w * y * y;
      const AnovaFigures a = anova_figures(in);
      const double ss = w * y * y;
      EXPECT_NEAR(a.corrected_ss, ss * plain.corrected_ss, 1e-14 * ss) << y << ' ' << w;
      EXPECT_NEAR(a.error_ss, ss * plain.error_ss, 1e-14 * ss) << y << ' ' << w;
      EXPECT_NEAR(a.model_ss, ss * plain.model_ss, 1e-14 * ss) << y << ' ' << w;
      EXPECT_NEAR(a.f, plain.f, 1e-12) << y << ' ' << w;
    }
  AnovaInput in = line(false);
  in.sumy = in.sumy2 = 0;
  in.sumwsse = 1e-13;
  const AnovaFigures a = anova_figures(in);
  EXPECT_EQ(a.error_ss, 0.0);
  EXPECT_EQ(a.model_ss, 0.0);
}

}  // namespace
