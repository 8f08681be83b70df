// Steps under BOUNDS against R's minima (nls, algorithm "port" with lower=
// and upper=, or a reparametrisation for a bound between parameters): no
// step leaves a bound, no iteration ends above the objective it started
// from, a parameter that reaches its bound is put on it and the fit
// converges there, estimates, objective and active rows belong together,
// and PPC and RPC measure the step the bounds allow and the change made.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "fit_fixture.h"

namespace {

using results_test::Json;

const char* const kTwoExponentials =
    "x,y\n0.25,2.5927\n0.41017,2.2396\n0.67295,1.7648\n1.10409,1.3956\n1.81145,0.9152\n2.97199,0.6654\n"
    "4.87605,0.5087\n8,0.2803\n";
const char* const kIndomethFive =
    "x,y\n.25,2.05\n.5,1.04\n.75,.81\n1,.39\n1.25,.30\n2,.23\n3,.13\n4,.11\n5,.08\n6,.10\n8,.06\n";
const char* const kRational =
    "x,y\n0,.4366\n1.42857,2.715\n2.85714,1.949\n4.28571,1.8953\n5.71429,2.4524\n7.14286,2.5194\n"
    "8.57143,2.3635\n10,2.423\n";
const char* const kBod = "time,demand\n1,8.3\n2,10.3\n3,19\n4,16\n5,15.6\n7,19.8\n";
const char* const kGolden = "x,y\n.02,13.6795\n.02,94.0384\n.06,101.8186\n.06,125.4603\n.11,90.6115\n.22,152.511\n"
                            ".56,155.135\n1.1,182.6277\n";
const double kUntreatedMinimum = 859.604293779;  // R: Vm = 160.280047, K = 0.0477081851

class BoundedSteps : public results_test::FitTest {
 protected:
  // One column of the Iterative Phase, by name (the objective is "SSE").
  std::vector<double> iterates(const std::string& column) const {
    const Json t = table("IterHistory");
    std::vector<double> out;
    for (std::size_t r = 0; r < t["rows"].size(); ++r) out.push_back(number(t, r, column));
    return out;
  }
  double estimate(int row) const { return number(table("ParameterEstimates"), row, "Estimate"); }
  double sse() const { return number(table("ANOVA"), 1, "SS"); }
  int status() const { return statuses().at(0).first; }
  // The Estimation Summary's value labelled `label`.
  double summary(const std::string& label) const {
    const Json t = table("EstSummary");
    for (const Json& row : t["rows"])
      if (row[0] == label) return row[1].get<double>();
    ADD_FAILURE() << "no " << label;
    return std::nan("");
  }
  static bool descends(const std::vector<double>& objective) {
    return std::adjacent_find(objective.begin(), objective.end(), std::less<double>()) == objective.end();
  }
};

double relative(double value, double reference) { return std::fabs(value - reference) / std::fabs(reference); }

// A start beyond k1 <= 1.33412 begins on it; every method, NEWTON with G4
// too, holds k1 there at every iteration and ends at R's local minimum on
// the bound: SSE 0.00696950660137, a1 2.31288030, a2 0.956206859.
TEST_F(BoundedSteps, NoStepLeavesAnActiveBound) {
  for (const char* method : {"newton g4", "newton", "gauss", "marquardt"}) {
    SCOPED_TRACE(method);
    json_.str("");
    fit(kTwoExponentials, std::string("proc ruva data=d convergeparm=1e-3 method=") + method +
                              "; parms a1=0.3824 k1=2.3306 a2=0.4008 k2=0.1561; bounds k2 > 0, k1 <= 1.33412;"
                              " model y = a1*exp(-k1*x)+a2*exp(-k2*x);");
    for (double k1 : iterates("k1")) EXPECT_EQ(k1, 1.33412);
    EXPECT_LT(relative(sse(), 0.00696950660137), 1e-7);
    EXPECT_LT(relative(estimate(0), 2.31288030), 1e-5);
  }
}

// Indometh subject 5: the first step sends k1 to 1e6, and a later one
// across k2 > 0 must not hold k2 to the bound from afar while the sum of
// squares rises. The fit goes where it goes without the bound: the
// one-term asymptote, R's nls(y ~ a*exp(-k*x)) with SSE 0.116671519753.
TEST_F(BoundedSteps, NoIterationEndsAboveItsStart) {
  fit(kIndomethFive, "proc ruva data=d convergeobj=1e-8; parms a1=-0.7778707 k1=29.596096 a2=0.024966037"
                     " k2=1.2063184; bounds k2 > 0; model y = a1*exp(-k1*x)+a2*exp(-k2*x);");
  EXPECT_TRUE(descends(iterates("SSE")));
  EXPECT_LT(relative(sse(), 0.116671519753), 1e-6);
  EXPECT_EQ(table("ParameterEstimates")["rows"].size(), 4u) << "no bound is active";
}

// Beside a bound at 0 with the data seeing a + b (+ c + d) only, the fit
// converges at R's untreated minimum with the bounded parameters exactly
// on their bounds; weighted MARQUARDT started at its minimum in a corner,
// where both bounds hold it back, converges there at once.
TEST_F(BoundedSteps, AParameterThatReachesItsBoundIsPutOnIt) {
  const std::string untreated = "proc ruva data=d; where state='untreated'; parms ";
  fit(results_test::puromycin_by_state(),
      untreated + "a=80 b=90 K=5; bounds a >= 0, K >= 0.01; model rate=(a+b)*conc/(K+conc);");
  EXPECT_EQ(status(), 0);
  EXPECT_EQ(estimate(0), 0.0);
  EXPECT_LT(relative(sse(), kUntreatedMinimum), 1e-9);

  json_.str("");
  fit(results_test::puromycin_by_state(), untreated + "a=80 b=90 c=10 d=5 K=5; bounds 0 <= a <= d <= c <= b,"
                                                      " K >= 0.01; model rate=(a+b+c+d)*conc/(K+conc);");
  EXPECT_NE(status(), 3);
  for (int zero : {0, 2, 3}) EXPECT_EQ(estimate(zero), 0.0) << zero;
  EXPECT_LT(relative(sse(), kUntreatedMinimum), 1e-9);

  json_.str("");
  ASSERT_EQ(fit(results_test::kPuromycin, "proc ruva data=d method=marquardt; parms Vm=200 K=0.1;"
                                          " bounds Vm <= 200, K >= 0.1; _weight_ = 1/rate;"
                                          " model rate = Vm*conc/(K+conc);"),
            0)
      << log_text();
  EXPECT_EQ(status(), 0);
  EXPECT_EQ(estimate(0), 200.0);
  EXPECT_EQ(estimate(1), 0.1);
  EXPECT_GT(estimate(2), 0.0);
  EXPECT_GT(estimate(3), 0.0);
  double weighted = 0;
  for (int i = 0; i < 12; ++i) {
    const double r = results_test::kRate[i] - 200 * results_test::kConc[i] / (0.1 + results_test::kConc[i]);
    weighted += r * r / results_test::kRate[i];
  }
  EXPECT_LT(relative(sse(), weighted), 1e-12);
}

// Starts near 1e14 leave b <= a to the rounding of the iterates' updates;
// it holds at the end, at R's minimum with b = a - d, d >= 0:
// SSE 1.56258483701, a = b = 1.11578892. A diverging start under
// dK = dV (two rows, one dependent) and Vm > 161.5 ends inside its bound
// (R: SSE 4819.42585936, Vm = 194.126), noting the dependent rows at most
// once. GRADIENT with golden sections reports the objective of the point
// it shows.
TEST_F(BoundedSteps, EstimatesObjectiveAndActiveRowsBelongTogether) {
  fit(kRational, "proc ruva data=d convergeparm=1e-6; parms a=0.441 b=1.577e14 c=6.764e13; bounds c > 0, b <= a;"
                 " model y = (a+b*x)/(1+c*x);");
  EXPECT_LE(estimate(1), estimate(0));
  EXPECT_LT(relative(sse(), 1.56258483701), 1e-6);
  EXPECT_LT(relative(estimate(0), 1.11578892), 1e-4);

  json_.str("");
  fit(results_test::puromycin_by_state(),
      "proc ruva data=d; parms Vm=161.5 dV=56.182 K=0.09632 dK=0.0072253; bounds Vm > 161.5, dK <= dV, dV <= dK;"
      " t = (state = 'treated'); model rate = (Vm + dV*t)*conc/(K + dK*t + conc);");
  EXPECT_GT(estimate(0), 161.5);
  EXPECT_LT(relative(sse(), 4819.42585936), 1e-6);
  int notes = 0;
  for (std::size_t at = 0; (at = log_text().find("are linearly dependent; the dep", at)) != std::string::npos; ++at)
    ++notes;
  EXPECT_LE(notes, 1);

  json_.str("");
  fit(kGolden, "proc ruva data=d method=gradient smethod=golden outest=oe; parms Vm=61.29261 K=0.0042589;"
               " bounds K > 0, Vm <= 167.97; model y = Vm*x/(K+x);");
  EXPECT_LT(relative(summary("Objective"), sse()), 1e-12);
  const auto rows = read_rows("oe");
  ASSERT_FALSE(rows.empty());
  EXPECT_LT(relative(number(rows.back(), "_SSE_"), sse()), 1e-12);
}

// One iteration each: K <= 0.05 stops the next step of K at the bound, so
// PPC is the way left to it, (0.05 - K1)/(K1 + 1e-6); RPC is the change
// the iteration made, |x1 - x0|/(|x0| + 1e-6), also where halving cut the
// proposed step of b = 3 by two thirds.
TEST_F(BoundedSteps, PpcIsTheStepTheBoundsAllowAndRpcTheChangeMade) {
  fit(results_test::kPuromycin,
      "proc ruva data=d maxiter=1; parms Vm=212 K=0.03; bounds K <= 0.05; model rate = Vm*conc/(K+conc);");
  const double k1 = iterates("K").at(1);
  EXPECT_LT(relative(summary("PPC(K)"), (0.05 - k1) / (k1 + 1e-6)), 1e-5);
  EXPECT_LT(relative(summary("RPC(K)"), (k1 - 0.03) / (0.03 + 1e-6)), 1e-5);

  json_.str("");
  fit(kBod, "proc ruva data=d maxiter=1; parms a=10 b=3; model demand = a*(1 - exp(-b*time));");
  const double b1 = iterates("b").at(1);
  EXPECT_LT(relative(summary("RPC(b)"), (3 - b1) / (3 + 1e-6)), 1e-5);
}

// Fits over both Michaelis-Menten bounds that bind and one that does not,
// five methods and four starts: no iteration raises the sum of squares, no
// estimate leaves its bound, and a fit that says it converged is at R's
// minimum under its bound (K = 0.07 and 0.1 bind, Vm <= 200 binds).
TEST_F(BoundedSteps, NoIterationRisesNoEstimateLeavesItsBound) {
  const struct {
    const char* bound;
    double minimum;
    int parameter;
    double edge, sign;
  } sets[] = {{"K >= 0.07", 1246.07306853, 1, 0.07, 1},
              {"K >= 0.1", 2566.17729774, 1, 0.1, 1},
              {"Vm <= 200", 1593.86818155, 0, 200, -1}};
  for (const auto& set : sets)
    for (const char* method : {"gauss", "marquardt", "newton", "gradient", "gradient smethod=golden"})
      for (const char* start : {"Vm=100 K=0.3", "Vm=100 K=1", "Vm=300 K=0.3", "Vm=300 K=1"}) {
        const std::string program = std::string("proc ruva data=d method=") + method + "; parms " + start +
                                    "; bounds " + set.bound + "; model rate = Vm*conc/(K+conc);";
        SCOPED_TRACE(program);
        json_.str("");
        fit(results_test::kPuromycin, program);
        EXPECT_TRUE(descends(iterates("SSE")));
        EXPECT_GE(set.sign * (estimate(set.parameter) - set.edge), 0.0);
        if (status() != 3) {
          EXPECT_LT(relative(sse(), set.minimum), 1e-6);
        }
      }
}

}  // namespace
