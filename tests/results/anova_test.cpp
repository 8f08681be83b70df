// The figures of the analysis of variance against hand-worked closed forms:
// the straight line through (1,2) (2,4) (3,5) (4,4) (5,5), for which
// corrected total 6, regression 3.6 and error 2.4; exact fits; degenerate
// degrees of freedom; a model that fits worse than the mean.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "host/missing.h"
#include "results/anova.h"

namespace {

AnovaInput line(bool intercept) {
  AnovaInput in;
  in.sumw = 5;
  in.sumy = 20;
  in.sumy2 = 86;
  in.sumwsse = 2.4;
  in.epsilon = 1.110223024625157e-12;
  in.iobs = 5;
  in.estimated = 2;
  in.intercept = intercept;
  return in;
}

// Two-sided p of t on 3 degrees of freedom, in closed form.
double t3_two_sided(double t) {
  const double u = t / std::sqrt(3.0);
  return 1 - 2 / std::numbers::pi * (std::atan(u) + u / (1 + u * u));
}

TEST(AnovaFigures, StraightLineWithInterceptIsCorrectedForTheMean) {
  const AnovaFigures a = anova_figures(line(true));
  EXPECT_TRUE(a.corrected);
  EXPECT_EQ(a.model_df, 1);
  EXPECT_EQ(a.error_df, 3);
  EXPECT_EQ(a.corrected_df, 4);
  EXPECT_EQ(a.uncorrected_df, 5);
  EXPECT_NEAR(a.corrected_ss, 6, 1e-13);
  EXPECT_NEAR(a.model_ss, 3.6, 1e-13);
  EXPECT_NEAR(a.model_ms, 3.6, 1e-13);
  EXPECT_NEAR(a.error_ms, 0.8, 1e-15);
  EXPECT_NEAR(a.f, 4.5, 1e-13);
  EXPECT_NEAR(a.p, t3_two_sided(std::sqrt(4.5)), 1e-14);  // F(1, 3) is t(3) squared
}

TEST(AnovaFigures, WithoutInterceptTheModelRowIsUncorrected) {
  const AnovaFigures a = anova_figures(line(false));
  EXPECT_FALSE(a.corrected);
  EXPECT_EQ(a.model_df, 2);
  EXPECT_NEAR(a.model_ss, 83.6, 1e-12);
  EXPECT_NEAR(a.model_ms, 41.8, 1e-12);
  EXPECT_NEAR(a.f, 52.25, 1e-12);
  EXPECT_NEAR(a.p, std::pow(1 + 2 * 52.25 / 3, -1.5), 1e-15);  // F(2, 3) tail
}

// An exact fit with an intercept: the model row is the corrected total on
// m - 1 degrees of freedom with its own mean square; F has no meaning.
TEST(AnovaFigures, ExactFitWithInterceptKeepsTheModelRowConsistent) {
  AnovaInput in = line(true);
  in.sumwsse = 0;
  in.estimated = 3;
  const AnovaFigures a = anova_figures(in);
  EXPECT_EQ(a.model_df, 2);
  EXPECT_EQ(a.error_df, 2);
  EXPECT_NEAR(a.model_ss, 6, 1e-13);
  EXPECT_NEAR(a.model_ms, 3, 1e-13);
  EXPECT_EQ(a.error_ms, 0.0);
  EXPECT_TRUE(is_special_missing(a.f));
  EXPECT_TRUE(is_special_missing(a.p));
}

TEST(AnovaFigures, ExactFitWithoutIntercept) {
  AnovaInput in = line(false);
  in.sumwsse = 0;
  const AnovaFigures a = anova_figures(in);
  EXPECT_NEAR(a.model_ss, 86, 1e-13);
  EXPECT_NEAR(a.model_ms, 43, 1e-13);
  EXPECT_TRUE(is_special_missing(a.f));
  EXPECT_TRUE(is_special_missing(a.p));
}

TEST(AnovaFigures, AnInterceptAloneLeavesTheModelRowWithoutDegreesOfFreedom) {
  AnovaInput in = line(true);
  in.estimated = 1;
  in.sumwsse = 6;
  const AnovaFigures a = anova_figures(in);
  EXPECT_EQ(a.model_df, 0);
  EXPECT_EQ(a.model_ss, 0.0);
  EXPECT_TRUE(is_special_missing(a.model_ms));
  EXPECT_TRUE(is_special_missing(a.f));
  EXPECT_NEAR(a.error_ms, 1.5, 1e-15);
}

TEST(AnovaFigures, NoErrorDegreesOfFreedomLeaveTheErrorMeanSquareMissing) {
  AnovaInput in = line(false);
  in.estimated = 5;
  const AnovaFigures a = anova_figures(in);
  EXPECT_EQ(a.error_df, 0);
  EXPECT_TRUE(is_special_missing(a.error_ms));
  EXPECT_TRUE(is_special_missing(a.f));
  EXPECT_TRUE(is_special_missing(a.p));
}

// A fit worse than the mean: negative model sum of squares and F, and no
// p-value (the probability function's sentinel never reaches the table).
TEST(AnovaFigures, AModelWorseThanTheMeanHasNoProbability) {
  AnovaInput in = line(true);
  in.sumwsse = 9;
  const AnovaFigures a = anova_figures(in);
  EXPECT_NEAR(a.model_ss, -3, 1e-13);
  EXPECT_LT(a.f, 0);
  EXPECT_TRUE(is_special_missing(a.p));
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

TEST(AnovaFigures, NegligibleSumsCountAsZero) {
  AnovaInput in = line(true);
  in.sumw = 1e-21;
  EXPECT_EQ(anova_figures(in).corrected_ss, 0.0);
  in = line(false);
  in.sumy2 = 1e-13;
  in.sumwsse = 1e-13;
  const AnovaFigures a = anova_figures(in);
  EXPECT_EQ(a.error_ss, 0.0);
  EXPECT_EQ(a.model_ss, 0.0);
}

}  // namespace
