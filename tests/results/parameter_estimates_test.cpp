// Standard errors and p-values of the estimates, and the ParameterEstimates
// table for singular parameters, a variance fixed by SIGSQ= without error
// degrees of freedom, and a bound active at the solution with its Lagrange
// multiplier row, against figures worked by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "fit_fixture.h"
#include "host/missing.h"
#include "linalg/packed.h"
#include "results/parameter_estimates.h"

namespace {

using results_test::Json;

// Closed forms on one and two degrees of freedom. Without error degrees of
// freedom there is no t test; with the variance fixed by SIGSQ= the
// statistic is normal.
TEST(TProbability, ClosedFormsAndTheCasesWithoutErrorDegreesOfFreedom) {
  for (double t : {0.1, 0.7, 1.5, 4.0, 25.0, -3.0}) {
    EXPECT_NEAR(t_probability(t, 1, false), 1 - 2 / std::numbers::pi * std::atan(std::fabs(t)), 1e-14) << t;
    EXPECT_NEAR(t_probability(t, 2, false), 1 - std::fabs(t) / std::sqrt(2 + t * t), 1e-14) << t;
  }
  EXPECT_TRUE(is_special_missing(t_probability(2.5, 0, false)));
  EXPECT_NEAR(t_probability(1.959963984540054, 0, true), 0.05, 1e-15);
  EXPECT_TRUE(is_special_missing(t_probability(special_missing_value(), 5, false)));
  EXPECT_EQ(t_probability(2e154, 5, false), 0.0);
}

TEST(StandardErrors, FromTheDiagonalForEstimatedParametersOnly) {
  auto ctx = std::make_unique<RUVACOM>();
  std::vector<double> xpx(zisub(5, 5) + 1, 0.0);
  char status[] = "12011";
  ctx->nparm = 5;
  ctx->xpx = xpx.data();
  ctx->parmdf = status;
  ctx->mse = 4;
  const double diag[5] = {2.25, 0, 1, -1, 3e154};
  for (int i = 0; i < 5; ++i) xpx[zisub(i, i)] = diag[i];
  standard_errors(ctx.get());
  const double* se = xpx.data() + zisub(5, 0);
  EXPECT_EQ(se[0], 3.0);
  EXPECT_EQ(se[1], 0.0);                   // '2': reported
  EXPECT_TRUE(is_special_missing(se[2]));  // '0': singular
  EXPECT_TRUE(is_special_missing(se[3]));  // negative variance
  EXPECT_EQ(se[4], std::sqrt(1.3407807929943e154));  // capped before it overflows
  ctx->mse = special_missing_value();
  standard_errors(ctx.get());
  EXPECT_TRUE(is_special_missing(se[0]));
}

using EstimatesTableTest = results_test::FitTest;

TEST_F(EstimatesTableTest, ASingularParameterKeepsItsEstimateButHasNoInference) {
  ASSERT_EQ(fit("x,y\n1,2.1\n2,3.9\n3,6.2\n4,7.8\n5,10.1\n6,12.2\n",
                "proc ruva data=d; parms a=0 b=1 c=1; model y = a + b*x + c*2*x;"),  // b and c: one slope
            0)
      << log_text();
  const Json t = table("ParameterEstimates");
  ASSERT_TRUE(t.is_object());
  int singular = -1;
  for (int i = 0; i < 3; ++i)
    if (cell(t, i, "StdErr").is_null()) singular = i;
  ASSERT_GE(singular, 1);
  EXPECT_FALSE(cell(t, singular, "Estimate").is_null());
  for (const char* c : {"LowerCL", "UpperCL", "tValue", "Probt"}) EXPECT_TRUE(cell(t, singular, c).is_null()) << c;
  const Json a = table("ANOVA");
  EXPECT_EQ(a["rows"][1][1], 4);  // error df: 6 observations, 2 estimated parameters
  ASSERT_EQ(a["notes"].size(), 1u);
  EXPECT_NE(a["notes"][0].get<std::string>().find("linearly dependent"), std::string::npos);
  EXPECT_NE(log_text().find("NOTE: Some parameters are linearly dependent"), std::string::npos) << log_text();
}

// Two observations, two parameters, SIGSQ=2: standard errors from the fixed
// variance, no t limits, normal p-values.
TEST_F(EstimatesTableTest, AFixedVarianceWithoutErrorDegreesOfFreedomGivesNormalPValues) {
  ASSERT_EQ(fit("x,y\n1,3\n2,5\n", "proc ruva data=d sigsq=2; parms a=0 b=1; model y = a + b*x;"), 0)
      << log_text();
  const Json t = table("ParameterEstimates");
  ASSERT_TRUE(t.is_object());
  // C = (J'J)^-1 with J = [1 1; 1 2]: C = [5 -3; -3 2].
  EXPECT_NEAR(number(t, 0, "StdErr"), std::sqrt(10.0), 1e-12);
  EXPECT_NEAR(number(t, 1, "StdErr"), 2.0, 1e-12);
  EXPECT_TRUE(cell(t, 0, "LowerCL").is_null());
  EXPECT_NEAR(number(t, 1, "tValue"), 1.0, 1e-12);  // slope 2, standard error 2
  EXPECT_NEAR(number(t, 1, "Probt"), std::erfc(1 / std::sqrt(2.0)), 1e-14);
}

// Puromycin with K <= 0.05, which binds: K is held there, the bound gets a
// row with its multiplier, whose variance is 1 / (J'J)^-1_KK times the
// fitted variance, and limits from the beta quantile behind t(e - 1)^2.
TEST_F(EstimatesTableTest, AnActiveBoundGetsARowWithItsMultiplier) {
  ASSERT_EQ(fit(results_test::kPuromycin, "proc ruva data=d; parms Vm=200 K=0.04; bounds K <= 0.05;"
                     " model rate = Vm*conc/(K+conc);"),
            0)
      << log_text();
  const Json t = table("ParameterEstimates");
  ASSERT_TRUE(t.is_object());
  ASSERT_EQ(t["rows"].size(), 3u);
  EXPECT_NEAR(number(t, 1, "Estimate"), 0.05, 1e-12);
  EXPECT_EQ(cell(t, 1, "StdErr"), 0.0);  // held on the bound
  EXPECT_TRUE(cell(t, 1, "tValue").is_null());
  EXPECT_EQ(cell(t, 2, "Label"), "K <= 0.05");
  const double vm = number(t, 0, "Estimate"), k = 0.05;
  double hvv = 0, hvk = 0, hkk = 0, sse = 0, gk = 0;
  for (int i = 0; i < 12; ++i) {
    const double x = results_test::kConc[i], d = k + x, jv = x / d, jk = -vm * x / (d * d);
    const double r = results_test::kRate[i] - vm * jv;
    hvv += jv * jv, hvk += jv * jk, hkk += jk * jk;
    sse += r * r, gk += r * jk;
  }
  const long e = 11;
  const double mse = sse / e, ckk = hvv / (hvv * hkk - hvk * hvk);
  EXPECT_EQ(table("ANOVA")["rows"][1][1], 11);
  const double se = std::sqrt(mse / ckk), est = number(t, 2, "Estimate");
  EXPECT_NEAR(est, gk, 1e-6 * std::fabs(gk));  // minus the slope of SSE / 2 in K
  EXPECT_NEAR(number(t, 2, "StdErr"), se, 1e-9 * se);
  const double t10 = results_test::kT10, bval = std::sqrt(e * t10 * t10 / (t10 * t10 + 10));
  EXPECT_NEAR(number(t, 2, "LowerCL"), est - bval * se, 1e-9 * se);
  EXPECT_NEAR(number(t, 2, "UpperCL"), est + bval * se, 1e-9 * se);
  const double tv = est / se, y = tv * tv / e;
  EXPECT_NEAR(number(t, 2, "tValue"), tv, 1e-9 * std::fabs(tv));
  EXPECT_NEAR(number(t, 2, "Probt"), results_test::t10_two_sided(std::sqrt(10 * y / (1 - y))), 1e-12);
}

// z = a x + b x^2 fits z = 0 exactly: every standard error is 0, yet the
// correlations come from (X'X)^-1 alone, -S3 / sqrt(S2 S4) with Sk the sum
// of x^k, as they tend to while the error variance shrinks.
TEST_F(EstimatesTableTest, AnExactFitKeepsTheCorrelationsOfItsCrossProducts) {
  ASSERT_EQ(fit("x,z\n1,0\n2,0\n3,0\n4,0\n", "proc ruva data=d; parms a=0 b=0; model z = a*x + b*x*x;"), 0)
      << log_text();
  const Json t = table("ParameterEstimates"), c = table("CorrB");
  EXPECT_EQ(cell(t, 0, "StdErr"), 0.0);
  EXPECT_EQ(cell(t, 1, "StdErr"), 0.0);
  const double s2 = 30, s3 = 100, s4 = 354;
  EXPECT_NEAR(c["rows"][0][2].get<double>(), -s3 / std::sqrt(s2 * s4), 1e-12);
}

// The same Puromycin fits with conc, K and the bound scaled by 1e-8: a bound
// holds, and is active or not, as at unit scale, with the estimates, their
// standard errors and the multiplier's row scaled. K >= 0.07 binds (K =
// 0.07 exactly); K >= 0.063 does not, where R's unconstrained nls gives K =
// 0.0641212, SE 0.00828093.
TEST_F(EstimatesTableTest, ABoundHoldsAndIsJudgedAsAtUnitScaleWhateverTheParametersScale) {
  const auto estimates = [&](const char* scale, const std::string& k, const std::string& bound) {
    json_.str("");
    EXPECT_EQ(fit(results_test::kPuromycin, "proc ruva data=d; parms Vm=200 K=" + k + "; bounds K >= " + bound +
                                                "; x = conc*" + scale + "; model rate = Vm*x/(K+x);"),
              0)
        << log_text();
    return table("ParameterEstimates");
  };
  const auto expect_scaled = [&](const Json& small, const Json& unit, std::size_t row, double factor) {
    for (const char* column : {"Estimate", "StdErr"}) {
      const double expected = number(unit, row, column) * factor;
      EXPECT_NEAR(number(small, row, column), expected, 1e-12 * std::fabs(expected)) << row << column;
    }
  };
  const Json active = estimates("1", "0.09", "0.07"), active_small = estimates("1e-8", "9e-10", "7e-10");
  ASSERT_EQ(active_small["rows"].size(), 3u);
  EXPECT_EQ(number(active, 1, "Estimate"), 0.07);
  EXPECT_EQ(number(active_small, 1, "Estimate"), 7e-10);
  EXPECT_EQ(number(active_small, 1, "StdErr"), 0.0);
  expect_scaled(active_small, active, 0, 1);
  expect_scaled(active_small, active, 2, 1e8);  // the multiplier of a bound 1e-8 as large
  EXPECT_NEAR(number(active_small, 2, "Probt"), number(active, 2, "Probt"), 1e-12);

  const Json inactive = estimates("1e-8", "9e-10", "6.3e-10"), unit = estimates("1", "0.09", "0.063");
  ASSERT_EQ(inactive["rows"].size(), 2u);
  EXPECT_NEAR(number(inactive, 1, "Estimate"), 6.41212e-10, 2e-15);  // R: to its convergence
  EXPECT_NEAR(number(inactive, 1, "StdErr"), 8.28093e-11, 1e-15);
  expect_scaled(inactive, unit, 0, 1);
  expect_scaled(inactive, unit, 1, 1e-8);
}

}  // namespace
