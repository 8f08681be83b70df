// Standard errors, degrees of freedom and correlations where the covariance
// is hard to form: NEWTON stopped where the Hessian curves down, parameters
// held by a relation and a constant bound together, NEWTON's Hessian
// curving down along what the bounds fix, and G4 beside a derivative that
// underflows. Each against R over the example data.
#include <gtest/gtest.h>

#include <string>

#include "fit_fixture.h"

namespace {

using results_test::Json;

constexpr int kMsgDependent = 62, kMsgNotPsd = 133, kMsgUnformed = 136;

using CovarianceEdges = results_test::FitTest;

// NEWTON from this start stops after one step with xmid and scal where they
// started; R's inverse of the full Hessian there (deriv3) gives the
// standard errors below and puts every correlation beyond 1 (1.000155,
// 25.71158, 14.44657): none can be formed, with G4 or without, and a note
// names the pairs.
TEST_F(CovarianceEdges, NoCorrelationBeyondOneWhereTheHessianCurvesDown) {
  for (const char* g4 : {"", " g4"}) {
    SCOPED_TRACE(g4);
    json_.str("");
    ASSERT_EQ(fit(results_test::example_data("dnase"),
                  std::string("proc ruva data=d method=newton") + g4 +
                      "; where run = 1; parms Asym=1 xmid=0 scal=2;"
                      " model density = Asym / (1 + exp((xmid - log(conc))/scal)); _weight_ = 1/density;"),
              4);
    const Json pe = table("ParameterEstimates"), corr = table("CorrB");
    const double se[3] = {0.23790425195, 1.49088055292, 0.03682404356};
    for (int i = 0; i < 3; ++i) {
      EXPECT_NEAR(number(pe, i, "StdErr"), se[i], 1e-7 * se[i]) << i;
      for (int j = 0; j < 3; ++j)
        if (i == j) EXPECT_EQ(corr["rows"][i][1 + j], 1.0);
        else EXPECT_TRUE(corr["rows"][i][1 + j].is_null()) << i << j;
    }
    EXPECT_EQ(logged(kMsgNotPsd), 1);
    EXPECT_EQ(logged(kMsgUnformed), 1);
    EXPECT_NE(log_text().find("Asym with xmid, Asym with scal, xmid with scal"), std::string::npos) << log_text();
  }
}

// xmid <= scal and scal >= c, both active, hold xmid and scal at c: both
// have a standard error of 0 and no t test, and Asym those of R's
// lm(density ~ f - 1), f the logistic with xmid = scal = c, on 15 DF.
TEST_F(CovarianceEdges, ParametersHeldByARelationAndAConstantBound) {
  const struct {
    const char *start, *bounds;
    double asym, se;
  } cases[] = {{"Asym=2.2 xmid=1.4 scal=1.4", "xmid <= scal, scal >= 1.3", 2.196489771, 0.06584982958},
               {"Asym=2 xmid=1 scal=1.3", "scal >= 1.182, xmid <= scal", 2.109400157, 0.05169438544}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bounds);
    json_.str("");
    ASSERT_EQ(fit(results_test::example_data("dnase"),
                  std::string("proc ruva data=d; where run = 1; parms ") + c.start + "; bounds " + c.bounds +
                      "; model density = Asym / (1 + exp((xmid - log(conc))/scal));"),
              0)
        << log_text();
    const Json pe = table("ParameterEstimates");
    EXPECT_NEAR(number(pe, 0, "Estimate"), c.asym, 1e-6 * c.asym);
    EXPECT_NEAR(number(pe, 0, "StdErr"), c.se, 1e-6 * c.se);
    for (int i : {1, 2}) {
      EXPECT_EQ(cell(pe, i, "StdErr"), 0.0) << i;
      EXPECT_TRUE(cell(pe, i, "tValue").is_null()) << i;
    }
    EXPECT_EQ(cell(table("ANOVA"), 1, "DF"), 15);
    EXPECT_EQ(logged(kMsgNotPsd), 0) << log_text();
  }
}

// The bounds leave Vm alone free and the model is linear in it: R's
// lm(rate - dV t x ~ x - 1), x = conc/(K + dK t + conc) with dV, K and dK
// at the bounds, gives Vm 165.533485, SE 46.8342309 on 22 DF (23 - 4 + 3).
// NEWTON's Hessian curves down along dK, which the bounds fix; its
// standard errors equal GAUSS's, with G4 or without.
TEST_F(CovarianceEdges, NewtonKeepsTheOnlyFreeParameterEstimated) {
  for (const char* method : {"gauss", "newton", "newton g4"}) {
    SCOPED_TRACE(method);
    json_.str("");
    ASSERT_EQ(fit(results_test::example_data("puromycin"),
                  std::string("proc ruva data=d method=") + method +
                      "; parms Vm=155.9 dV=83.08 K=0.077277 dK=0.038981;"
                      " bounds Vm <= 176.9, dV > 61.03, K < 0.05247, dK <= dV, dV <= dK;"
                      " t = (state = 'treated'); model rate = (Vm + dV*t)*conc/(K + dK*t + conc);"),
              4)
        << log_text();
    const Json pe = table("ParameterEstimates");
    EXPECT_NEAR(number(pe, 0, "Estimate"), 165.533485, 1e-4);
    EXPECT_NEAR(number(pe, 0, "StdErr"), 46.8342309, 1e-5);
    EXPECT_FALSE(cell(pe, 0, "tValue").is_null());
    for (int i : {1, 2, 3}) EXPECT_EQ(cell(pe, i, "StdErr"), 0.0) << i;
    EXPECT_EQ(cell(table("ANOVA"), 1, "DF"), 22);
    EXPECT_EQ(logged(kMsgDependent), 0) << log_text();
  }
}

// At b = 700 the derivative along b underflows: only b is undetermined, and
// G4 fits a as the default does, as R's lm(demand ~ 1): 14.8333333,
// SE 1.89044380.
TEST_F(CovarianceEdges, G4BesideAnUnderflowingDerivativeFitsAsTheDefault) {
  for (const char* g4 : {"", " g4"}) {
    SCOPED_TRACE(g4);
    json_.str("");
    ASSERT_EQ(fit(results_test::example_data("bod"),
                  std::string("proc ruva data=d") + g4 + "; parms a=15 b=700; model demand = a*(1-exp(-b*time));"),
              0)
        << log_text();
    const Json pe = table("ParameterEstimates");
    EXPECT_NEAR(number(pe, 0, "Estimate"), 14.8333333, 1e-7);
    EXPECT_NEAR(number(pe, 0, "StdErr"), 1.89044380, 1e-8);
    EXPECT_TRUE(cell(pe, 1, "StdErr").is_null());
  }
}

}  // namespace
