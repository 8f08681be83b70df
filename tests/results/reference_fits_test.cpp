// The result tables of whole fits against published references: the NIST
// StRD problems' certified standard deviations of the estimates, residual
// sum of squares and residual standard deviation, with ESTIMATE of each
// parameter reproducing its row; the Puromycin fit's
// estimates, standard errors and Wald limits, its uncorrected analysis of
// variance against closed forms and its correlation worked by hand, also
// with Vm written as a + b under G4, in units far apart and nearly
// collinear against R's nls, and as a sum under bounds between its terms,
// from outside them or on them, held to the minimum on the untreated rows
// too; the tables in both the JSON stream and the listing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "fit_fixture.h"
#include "support/nist_problem.h"

namespace {

using results_test::Json;
using results_test::kConc;
using results_test::kRate;

// Correct significant digits: the log relative error, at most 15.
double lre(double value, double reference) {
  if (value == reference) return 15;
  return std::min(15.0, -std::log10(std::fabs(value - reference) / std::fabs(reference)));
}

// --- NIST StRD.
// Marquardt from the second start under a tight criterion; the data as
// written in the file.
std::string nist_program(const nist::Problem& p) {
  std::string program = "proc ruva data=d method=marquardt converge=1e-8 maxiter=2000;\n  parms";
  for (std::size_t i = 0; i < p.start2.size(); ++i) program += " b" + std::to_string(i + 1) + "=" + p.start2[i];
  program += ";\n";
  if (p.response == "y") program += "  model y = " + p.model + ";\n";
  else program += "  response = " + p.response + ";\n  model response = " + p.model + ";\n";
  for (std::size_t i = 1; i <= p.start2.size(); ++i) {
    const std::string b = "b" + std::to_string(i);
    program += "  estimate '" + b + "' " + b + ";\n";
  }
  return program;
}

std::string csv_line(const std::vector<std::string>& fields) {
  std::string line;
  for (std::size_t c = 0; c < fields.size(); ++c) line += (c ? "," : "") + fields[c];
  return line + "\n";
}

std::string nist_data(const nist::Problem& p) {
  std::string csv = csv_line(p.variables);
  for (const auto& row : p.rows) csv += csv_line(row);
  return csv;
}

class NistFit : public results_test::FitTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(NistFit, CertifiedStandardDeviationsAndResidualFigures) {
  const nist::Problem p = nist::read_problem(GetParam());
  ASSERT_FALSE(p.certified.empty());
  ASSERT_FALSE(p.rows.empty());
  // Near the optimum some problems' relative offset measure stalls at its
  // rounding floor above the criterion: the step then ends with a warning,
  // the tables still stand on the estimates reached.
  const int rc = fit(nist_data(p), nist_program(p));
  ASSERT_LE(rc, 4) << log_text();
  const Json est = table("ParameterEstimates"), anova = table("ANOVA");
  ASSERT_TRUE(est.is_object()) << log_text();
  ASSERT_TRUE(anova.is_object());
  double worst_estimate = 15, worst_sd = 15;
  for (std::size_t i = 0; i < p.certified.size(); ++i) {
    worst_estimate = std::min(worst_estimate, lre(number(est, i, "Estimate"), p.certified[i]));
    worst_sd = std::min(worst_sd, lre(number(est, i, "StdErr"), p.certified_sd[i]));
  }
  EXPECT_EQ(cell(anova, 1, "DF"), p.df);
  const double rss = number(anova, 1, "SS");
  const double residual_sd = std::sqrt(number(anova, 1, "MS"));
  std::printf("%-9s LRE estimates %4.1f  std errors %4.1f  RSS %4.1f  residual sd %4.1f\n", p.name.c_str(),
              worst_estimate, worst_sd, lre(rss, p.rss), lre(residual_sd, p.residual_sd));
  EXPECT_GE(worst_estimate, 6.0);
  // ESTIMATE of a parameter is its row of ParameterEstimates, down to
  // standard errors of 1e-8 (Hahn1) and below; only converged fits have them.
  const Json add = table("AdditionalEstimates");
  ASSERT_EQ(add.is_object(), rc == 0) << log_text();
  const char* pairs[6][2] = {{"Estimate", "Estimate"}, {"StandardError", "StdErr"}, {"tValue", "tValue"},
                             {"Probt", "Probt"},       {"Lower", "LowerCL"},        {"Upper", "UpperCL"}};
  for (std::size_t i = 0; rc == 0 && i < p.certified.size(); ++i) {
    EXPECT_EQ(cell(add, i, "DF"), p.df);
    for (const auto& [mine, theirs] : pairs) {
      const double reference = number(est, i, theirs);
      EXPECT_NEAR(number(add, i, mine), reference, 1e-10 * std::fabs(reference) + 1e-300) << i << " " << mine;
    }
  }
  if (p.name == "Lanczos1") return;  // its figures do not survive double precision
  EXPECT_GE(worst_sd, 5.0);
  EXPECT_GE(lre(rss, p.rss), 5.0);
  EXPECT_GE(lre(residual_sd, p.residual_sd), 5.0);
}

INSTANTIATE_TEST_SUITE_P(Problems, NistFit,
                         ::testing::Values("Misra1a", "Chwirut2", "Chwirut1", "Lanczos3", "Gauss1", "Gauss2",
                                           "DanWood", "Misra1b", "Kirby2", "Hahn1", "Nelson", "MGH17", "Lanczos1",
                                           "Lanczos2", "Gauss3", "Misra1c", "Misra1d", "Roszman1", "ENSO"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

// --- Puromycin, treated state.
using PuromycinFit = results_test::FitTest;

TEST_F(PuromycinFit, EstimatesStandardErrorsWaldLimitsAnovaAndCorrelation) {
  ASSERT_EQ(fit(results_test::kPuromycin, "proc ruva data=d; parms Vm=200 K=0.1; model rate = Vm*conc/(K+conc);"),
            0)
      << log_text();
  const Json t = table("ParameterEstimates");
  ASSERT_TRUE(t.is_object()) << log_text();
  const double published[2][4] = {{212.6836, 6.947146, 197.2044, 228.1628},
                                  {0.06412103, 0.008280922, 0.04566998, 0.08257207}};
  const char* columns[4] = {"Estimate", "StdErr", "LowerCL", "UpperCL"};
  for (int i = 0; i < 2; ++i)
    for (int k = 0; k < 4; ++k)
      EXPECT_GE(lre(number(t, i, columns[k]), published[i][k]), 5.0) << i << " " << columns[k];
  // t values and two-sided p-values on 10 degrees of freedom, as published.
  EXPECT_NEAR(number(t, 0, "tValue"), 30.615, 1e-3);
  EXPECT_NEAR(number(t, 1, "tValue"), 7.743, 1e-3);
  EXPECT_NEAR(number(t, 0, "Probt") / 3.24e-11, 1, 5e-3);
  EXPECT_NEAR(number(t, 1, "Probt") / 1.57e-5, 1, 5e-3);
  // Without an intercept: Model SS = sum y^2 - SSE on 2 df, and
  // P(F(2, 10) > f) = (1 + 2 f / 10)^(-5).
  const Json a = table("ANOVA");
  ASSERT_TRUE(a.is_object());
  double sumy2 = 0;
  for (double y : kRate) sumy2 += y * y;
  const double sse = number(a, 1, "SS"), f = number(a, 0, "FValue");
  EXPECT_NEAR(sse, 1195.449, 5e-4);
  const int df[3] = {2, 10, 12};
  for (int row = 0; row < 3; ++row) EXPECT_EQ(cell(a, row, "DF"), df[row]);
  EXPECT_NEAR(number(a, 0, "SS"), sumy2 - sse, 1e-9 * sumy2);
  EXPECT_DOUBLE_EQ(number(a, 2, "SS"), sumy2);
  EXPECT_NEAR(f, ((sumy2 - sse) / 2) / (sse / 10), 1e-9 * f);
  EXPECT_NEAR(number(a, 0, "ProbF") / std::pow(1 + 2 * f / 10, -5), 1, 1e-9);
  EXPECT_EQ(a["notes"][0], "The model has no intercept, so the sums of squares are uncorrected for the mean.");
  // The correlation of two estimates from the 2 by 2 inverse of J'J.
  const double vm = number(t, 0, "Estimate"), k = number(t, 1, "Estimate");
  double hvv = 0, hvk = 0, hkk = 0;
  for (double x : kConc) {
    const double jv = x / (k + x), jk = -vm * x / ((k + x) * (k + x));
    hvv += jv * jv, hvk += jv * jk, hkk += jk * jk;
  }
  const Json c = table("CorrB");
  ASSERT_TRUE(c.is_object());
  EXPECT_EQ(c["rows"][0][1], 1.0);
  EXPECT_EQ(c["rows"][1][2], 1.0);
  EXPECT_EQ(c["rows"][0][2], c["rows"][1][1]);
  EXPECT_NEAR(c["rows"][0][2].get<double>(), -hvk / std::sqrt(hvv * hkk), 1e-9);
  const std::string listing = listing_.str();
  for (const char* text : {"Estimation Summary", "Analysis of Variance for rate", "Parameter Estimates",
                           "Approximate Correlation Matrix", "Uncorrected Total", "212.68"})
    EXPECT_NE(listing.find(text), std::string::npos) << text << "\n" << listing;
}

// Vm = a + b cannot tell a from b. The generalised inverse must still
// reach the published minimum, by minimum-norm steps that leave a - b as
// it started, and flag b (not K, the last row) as the dependent parameter:
// K keeps its published standard error, the error has 10 degrees of freedom.
TEST_F(PuromycinFit, G4ReachesThePublishedMinimumOfARankDeficientModel) {
  for (const char* method : {"gauss", "marquardt", "newton"}) {
    SCOPED_TRACE(method);
    ASSERT_EQ(fit(results_test::kPuromycin, std::string("proc ruva data=d g4 method=") + method +
                                               "; parms a=100 b=50 K=0.05; model rate = (a+b)*conc/(K+conc);"),
              0)
        << log_text();
    const Json t = tables("ParameterEstimates").back(), a = tables("ANOVA").back();
    const double ea = number(t, 0, "Estimate"), eb = number(t, 1, "Estimate");
    EXPECT_GE(lre(ea + eb, 212.6836), 6.0);
    EXPECT_NEAR(ea - eb, 50, 1e-6);
    EXPECT_GE(lre(number(t, 2, "Estimate"), 0.06412103), 5.0);
    EXPECT_NEAR(number(a, 1, "SS"), 1195.449, 5e-4);
    EXPECT_EQ(cell(a, 1, "DF"), 10);
    EXPECT_TRUE(cell(t, 1, "StdErr").is_null()) << "b, the repeated parameter, has no standard error";
    if (std::string(method) != "newton") {
      EXPECT_GE(lre(number(t, 2, "StdErr"), 0.008280922), 5.0);
    }
  }
}

// With K held at the bound K <= 0.05 as well, the projected problem still
// cannot tell a from b: b is flagged and has no standard error. The
// Moore-Penrose inverse of a block [s s; s s] holds 1/(4s), so a has half
// the standard error of Vm in the fit with K fixed at 0.05 (11 error
// degrees of freedom in both), as without the bound.
TEST_F(PuromycinFit, G4UnderAnActiveBoundFlagsTheDependentParameter) {
  ASSERT_EQ(fit(results_test::kPuromycin, "proc ruva data=d g4; parms a=100 b=50 K=0.04; bounds K <= 0.05; "
                                          "model rate = (a+b)*conc/(K+conc);"),
            0)
      << log_text();
  ASSERT_EQ(fit(results_test::kPuromycin, "proc ruva data=d; parms Vm=150; model rate = Vm*conc/(0.05+conc);"), 0)
      << log_text();
  const auto t = tables("ParameterEstimates");
  ASSERT_EQ(t.size(), 2u);
  EXPECT_NEAR(number(t[0], 0, "Estimate") + number(t[0], 1, "Estimate"), number(t[1], 0, "Estimate"), 1e-6);
  EXPECT_TRUE(cell(t[0], 1, "StdErr").is_null());
  EXPECT_NEAR(number(t[0], 0, "StdErr"), number(t[1], 0, "StdErr") / 2, 1e-9 * number(t[1], 0, "StdErr"));
}

// With a <= b active at a = b the bound holds exactly the direction a - b
// that the data leave undetermined: the fit is R's nls(rate ~
// 2*a*conc/(K+conc)), a = 106.34179 with SE 3.4735731, SE(K) 0.0082809224,
// SE(a+b) 6.9471462 on 10 degrees of freedom, and no parameter depends on
// another. From a start where the bound stays inactive, and under G4,
// a + b and K keep those standard errors. The bound's multiplier has a
// standard error of 0, written as 0, not -0.
TEST_F(PuromycinFit, ABoundOnTheUndeterminedDirectionLeavesEveryParameterEstimated) {
  const std::string model = "model rate = (a+b)*conc/(K+conc); estimate 'a+b' a+b; estimate 'K' K;";
  ASSERT_EQ(fit(results_test::kPuromycin, "proc ruva data=d; parms a=100 b=100 K=0.05; bounds a <= b; " + model), 0)
      << log_text();
  const Json pe = table("ParameterEstimates"), add = table("AdditionalEstimates");
  for (int i : {0, 1}) {
    EXPECT_GE(lre(number(pe, i, "Estimate"), 106.34179), 6.0) << i;
    EXPECT_GE(lre(number(pe, i, "StdErr"), 3.4735731), 6.0) << i;
  }
  EXPECT_GE(lre(number(pe, 2, "StdErr"), 0.0082809224), 5.5);
  EXPECT_EQ(cell(pe, 3, "Parameter"), "Bound0");
  EXPECT_EQ(cell(pe, 3, "StdErr"), 0.0);
  EXPECT_FALSE(std::signbit(number(pe, 3, "StdErr")));
  EXPECT_GE(lre(number(add, 0, "StandardError"), 6.9471462), 6.0);
  EXPECT_EQ(cell(add, 0, "DF"), 10);
  EXPECT_EQ(cell(table("ANOVA"), 1, "DF"), 10);
  EXPECT_EQ(log_text().find("linearly dependent"), std::string::npos) << log_text();
  EXPECT_EQ(log_text().find("not estimable"), std::string::npos);
  for (const char* start : {"g4; parms a=100 b=100", "; parms a=90 b=120"}) {
    SCOPED_TRACE(start);
    ASSERT_EQ(fit(results_test::kPuromycin,
                  std::string("proc ruva data=d ") + start + " K=0.05; bounds a <= b; " + model),
              0)
        << log_text();
    const Json same = tables("AdditionalEstimates").back();
    EXPECT_GE(lre(number(same, 0, "StandardError"), 6.9471462), 5.5);
    EXPECT_GE(lre(number(same, 1, "StandardError"), 0.0082809224), 5.5);
  }
}

// a >= b and b >= c, active at a = b = c, hold together both directions
// that (a+b+c)*conc/(K+conc) leaves undetermined; so do a <= b, b <= c and
// c <= a, whose rows are dependent, from a = b = c. The fit is R's
// nls(rate ~ 3*a*conc/(K+conc)) (port, tol 1e-14): a = 70.894580 with SE
// 2.3157183, SE(K) 0.0082809490, SE(3a) 6.9471550, 10 degrees of freedom;
// no parameter is dependent, with G4 or without. (The first start is off
// the bounds: its grid warning gives the step code 4.)
TEST_F(PuromycinFit, ActiveBoundsThatTogetherHoldTheUndeterminedDirectionsLeaveEveryParameterEstimated) {
  const std::string model = " model rate = (a+b+c)*conc/(K+conc); estimate 'Vm' a+b+c;";
  const struct {
    const char* bounds;
    int rc;
  } cases[] = {{"parms a=50 b=60 c=70 K=0.05; bounds a >= b, b >= c;", 4},
               {"parms a=70 b=70 c=70 K=0.05; bounds a <= b, b <= c, c <= a;", 0}};
  for (const char* g4 : {"", " g4"})
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(g4) + c.bounds);
      json_.str("");
      ASSERT_EQ(fit(results_test::kPuromycin, std::string("proc ruva data=d") + g4 + "; " + c.bounds + model), c.rc)
          << log_text();
      const Json pe = table("ParameterEstimates"), add = table("AdditionalEstimates");
      for (int i : {0, 1, 2}) {
        EXPECT_GE(lre(number(pe, i, "Estimate"), 70.894580), 6.0) << i;
        EXPECT_GE(lre(number(pe, i, "StdErr"), 2.3157183), 6.0) << i;
      }
      EXPECT_GE(lre(number(pe, 3, "StdErr"), 0.0082809490), 5.5);
      EXPECT_GE(lre(number(add, 0, "StandardError"), 6.9471550), 6.0);
      EXPECT_EQ(cell(table("ANOVA"), 1, "DF"), 10);
      EXPECT_EQ(logged(62), 0) << log_text();
    }
}

// Under G4, a <= b, b <= c and c <= d active at a = b = c = d hold the
// three directions (a+b+c+d)*conc/(K+conc) leaves undetermined: a to d are
// each Vm / 4 of R's nls(rate ~ Vm*conc/(K+conc)) (SE(Vm) 6.9471553,
// corr(Vm, K) 0.76508371; numpy's pinv of J'J agrees) and move together.
// Every parameter with a standard error has its correlations: 1 among a to
// d (never beyond, by rounding), corr(Vm, K) with K.
TEST_F(PuromycinFit, ParametersTiedByActiveBoundsCorrelateOneUnderG4) {
  ASSERT_EQ(fit(results_test::kPuromycin, "proc ruva data=d g4; parms a=66.928 b=66.928 c=66.928 d=66.928 K=0.05;"
                                          " bounds a <= b, b <= c, c <= d; model rate=(a+b+c+d)*conc/(K+conc);"),
            0)
      << log_text();
  const Json pe = table("ParameterEstimates"), corr = table("CorrB");
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_GE(lre(number(pe, i, "StdErr"), 6.9471553 / 4), 5.0);
    for (int j = 0; j < 4; ++j) {
      const double r = corr["rows"][i][1 + j].get<double>();
      EXPECT_LE(r, 1.0);
      EXPECT_NEAR(r, 1.0, 1e-9) << j;
    }
    EXPECT_GE(lre(corr["rows"][i][5].get<double>(), 0.76508371), 5.0);
    EXPECT_GE(lre(corr["rows"][4][1 + i].get<double>(), 0.76508371), 5.0);
  }
}

// b <= c active at b = c holds b - c, but the data still leave a against
// b + c undetermined: c is dependent, and b, which the bound holds to c, is
// as undetermined, so neither has a standard error (none of rounding size)
// and a carries Vm = a + b + c. The fit is R's nls(rate ~ Vm*conc/(K+conc))
// (tol 1e-9): Vm = 212.68374 with SE 6.9471551, SE(K) 0.0082809495, on 2
// and 10 degrees of freedom, with t tests and limits on 10; so with c >= b,
// with Vm = a + b + 2c and 2a + b + c (a then carries Vm / 2), and under
// G4, also from a start where a <= b ends inactive. Under G4 a has the
// standard error of its share of Vm in the minimum-norm solution over the
// free directions (a, s = b = c) scaled to unit diagonal: Vm / 3 for
// a + b + c (norm a^2 + 2s^2), Vm / 6 for 2a + b + c (norm (2a)^2 + 2s^2),
// as without the bound; a is Vm less a constant, so corr(a, K) is R's
// corr(Vm, K), 0.7650835. Under G4 from a start off both bounds (its grid
// warning gives the step code 4) the start is moved onto a = b = c, where
// both bounds hold: then nothing is undetermined, and a, b and c each have
// the standard error of Vm / 3, 2.3157184. The bound holds no direction
// the data determine: its multiplier and that one's standard error are 0,
// written as 0, not -0. With K <= 0.05
// active as well the fit is R's nls(rate ~ Vm*conc/(0.05+conc)): SE(Vm)
// 4.6796137 on 1 and 11 degrees of freedom.
TEST_F(PuromycinFit, ABoundBesideAnUndeterminedDirectionTakesNoDegreeOfFreedom) {
  const struct {
    const char *options, *start, *bounds, *vm;
    int rc;
    bool dependent;
    double share;  // SE(a) / SE(Vm)
  } cases[] = {{"", "a=40 b=80 c=80", "b <= c", "a+b+c", 0, true, 1},
               {"", "a=40 b=80 c=80", "c >= b", "a+b+c", 0, true, 1},
               {"", "a=40 b=80 c=80", "b <= c", "a+b+2*c", 0, true, 1},
               {"", "a=40 b=80 c=80", "b <= c", "2*a+b+c", 0, true, 1.0 / 2},
               {" g4", "a=40 b=80 c=80", "b <= c", "a+b+c", 0, true, 1.0 / 3},
               {" g4", "a=40 b=80 c=80", "b <= c", "2*a+b+c", 0, true, 1.0 / 6},
               {" g4", "a=50 b=70 c=70", "a <= b, b <= c", "a+b+c", 0, true, 1.0 / 3},
               {" g4", "a=70 b=60 c=50", "a <= b, b <= c", "a+b+c", 4, false, 1.0 / 3}};
  for (const auto& c : cases) {
    const std::string program = std::string("proc ruva data=d") + c.options + "; parms " + c.start +
                                " K=0.05; bounds " + c.bounds + "; model rate = (" + c.vm +
                                ")*conc/(K+conc); estimate 'Vm' " + c.vm + ";";
    SCOPED_TRACE(program);
    json_.str("");
    ASSERT_EQ(fit(results_test::kPuromycin, program), c.rc) << log_text();
    const Json anova = table("ANOVA"), pe = table("ParameterEstimates"), add = table("AdditionalEstimates");
    EXPECT_EQ(cell(anova, 0, "DF"), 2);
    EXPECT_EQ(cell(anova, 1, "DF"), 10);
    EXPECT_GE(lre(number(add, 0, "Estimate"), 212.68374), 6.0);
    EXPECT_GE(lre(number(add, 0, "StandardError"), 6.9471551), 5.0);
    EXPECT_EQ(cell(add, 0, "DF"), 10);
    const double half_width = number(add, 0, "Upper") - number(add, 0, "Estimate");
    EXPECT_NEAR(half_width, results_test::kT10 * number(add, 0, "StandardError"), 1e-6);
    for (int i : {1, 2}) {
      if (c.dependent) EXPECT_TRUE(cell(pe, i, "StdErr").is_null());
      else EXPECT_GE(lre(number(pe, i, "StdErr"), 6.9471551 / 3), 5.0);
    }
    EXPECT_GE(lre(number(pe, 0, "StdErr"), c.share * 6.9471551), 5.0);
    EXPECT_GE(lre(table("CorrB")["rows"][0][4].get<double>(), 0.7650835), 5.0);
    const double k = number(pe, 3, "Estimate"), se = number(pe, 3, "StdErr");
    EXPECT_GE(lre(k, 0.06412128), 5.0);
    EXPECT_GE(lre(se, 0.0082809495), 5.0);
    EXPECT_NEAR(number(pe, 3, "Probt") / results_test::t10_two_sided(k / se), 1, 1e-6);
    const std::size_t bound = pe["rows"].size() - 1;
    for (const char* column : {"Estimate", "StdErr"}) {
      EXPECT_EQ(cell(pe, bound, column), 0.0) << column;
      EXPECT_FALSE(std::signbit(number(pe, bound, column))) << column;
    }
    EXPECT_EQ(logged(62), c.dependent ? 1 : 0) << log_text();
  }
  ASSERT_EQ(fit(results_test::kPuromycin, "proc ruva data=d; parms a=40 b=80 c=80 K=0.04; bounds b <= c, K <= 0.05;"
                                          " model rate = (a+b+c)*conc/(K+conc); estimate 'Vm' a+b+c;"),
            0)
      << log_text();
  const Json add = tables("AdditionalEstimates").back();
  EXPECT_GE(lre(number(add, 0, "StandardError"), 4.6796137), 6.0);
  EXPECT_EQ(cell(tables("ANOVA").back(), 0, "DF"), 1);
  EXPECT_EQ(cell(add, 0, "DF"), 11);
}

// (a+b+2c)*conc/(K+conc) with c <= b active from a = b = c = 100: the data
// leave a against s = b = c undetermined, and each G4 step is the one of
// least norm over the free directions (a, s, K) in the parameters scaled
// to unit diagonal. The model is linear in a, b and c, so the Hessian's
// diagonal there (cross products or Newton's) is S, S and 4S: scaled, the
// undetermined direction (3, -1, -1) is (3, -1, -2), and the step (da, ds,
// 2 ds) orthogonal to it has 3 da = 5 ds. The bound holds to the end (its
// multiplier is 0 whatever the data), with its Bound row. So 3a - 5s keeps
// its start, -200, and with a + 3s = Vm = 212.68374 (R's nls, as above)
// every method ends at a = (5 Vm - 600)/14, s = (3 Vm + 200)/14 but for
// the last steps' 1e-6; Vm and K keep their standard errors.
TEST_F(PuromycinFit, G4StepsUnderAnActiveBoundAreMinimumNormInTheScaledParameters) {
  const double vm = 212.68374;
  for (const char* method : {"gauss", "marquardt", "newton"}) {
    SCOPED_TRACE(method);
    json_.str("");
    ASSERT_EQ(fit(results_test::kPuromycin,
                  std::string("proc ruva data=d g4 method=") + method +
                      "; parms a=100 b=100 c=100 K=0.05; bounds c <= b;"
                      " model rate = (a+b+2*c)*conc/(K+conc); estimate 'Vm' a+b+2*c;"),
              0)
        << log_text();
    const Json rows = table("IterHistory")["rows"];
    ASSERT_GT(rows.size(), 3u);
    for (std::size_t i = 1; i < rows.size(); ++i) {
      double d[3];
      for (int j : {0, 1, 2})
        d[j] = rows[i][j + 1].get<double>() - rows[i - 1][j + 1].get<double>();
      EXPECT_NEAR(rows[i][2].get<double>(), rows[i][3].get<double>(), 1e-12 * rows[i][2].get<double>()) << i;
      EXPECT_NEAR(3 * d[0], 5 * d[1], 1e-9 * std::fabs(d[0]) + 1e-9) << i;
    }
    const Json pe = table("ParameterEstimates"), add = table("AdditionalEstimates");
    ASSERT_EQ(pe["rows"].size(), 5u) << "c <= b holds at the solution";
    EXPECT_EQ(cell(pe, 4, "Parameter"), "Bound0");
    EXPECT_GE(lre(number(pe, 0, "Estimate"), (5 * vm - 600) / 14), 5.5);
    for (int i : {1, 2}) EXPECT_GE(lre(number(pe, i, "Estimate"), (3 * vm + 200) / 14), 5.5) << i;
    EXPECT_GE(lre(number(add, 0, "Estimate"), vm), 6.0);
    EXPECT_GE(lre(number(pe, 3, "Estimate"), 0.06412128), 5.0);
    EXPECT_NEAR(number(table("ANOVA"), 1, "SS"), 1195.449, 5e-4);
    if (std::string(method) == "newton") continue;  // its standard errors are the full Hessian's
    EXPECT_GE(lre(number(add, 0, "StandardError"), 6.9471551), 5.0);
    EXPECT_GE(lre(number(pe, 3, "StdErr"), 0.0082809495), 5.0);
  }
}

// The same model on the untreated rows. Near the minimum the bound's
// least-squares multiplier estimate is the fit's convergence error, of
// either sign, though what the bound holds a makes up: its multiplier is 0
// whatever the data. Released, the next G4 step crossed it, it joined
// again, and so on until MAXITER=. Every method, with G4 or without,
// weighted by 1/(1 + obs/10) and in BY groups, converges on it (b = c but
// for the steps' rounding, a Bound row) at R's nls(rate ~ Vm*conc/(K+conc)) (port, tol 1e-14):
// untreated Vm = 160.280054, K = 0.0477081966; weighted 157.478316,
// 0.0440958218; treated weighted 210.402887, 0.0610239532. K >= 0.046,
// which Newton's steps from K = 0.1 reach and hold, is released all the
// same: the minimum lies inside it.
TEST_F(PuromycinFit, ABoundBesideAnUndeterminedDirectionStaysActiveToTheMinimum) {
  const std::string model = " model rate = (a+b+2*c)*conc/(K+conc);";
  const struct {
    const char *rows, *weight;
    std::vector<std::pair<double, double>> minima;  // Vm, K per BY group
  } cases[] = {{"where state='untreated';", "", {{160.280054, 0.0477081966}}},
               {"where state='untreated';", " _weight_ = 1/(1+_obs_/10);", {{157.478316, 0.0440958218}}},
               {"by state;", " _weight_ = 1/(1+_obs_/10);", {{210.402887, 0.0610239532}, {157.478316, 0.0440958218}}}};
  for (const char* method : {"gauss", "marquardt", "newton"})
    for (const char* g4 : {"", " g4"})
      for (const auto& c : cases) {
        const std::string program = std::string("proc ruva data=d method=") + method + g4 + "; " + c.rows +
                                    " parms a=100 b=100 c=100 K=0.05; bounds c <= b;" + model + c.weight;
        SCOPED_TRACE(program);
        json_.str("");
        ASSERT_EQ(fit(results_test::puromycin_by_state(), program), 0) << log_text();
        const auto pe = tables("ParameterEstimates");
        ASSERT_EQ(pe.size(), c.minima.size());
        for (std::size_t group = 0; group < pe.size(); ++group) {
          const Json& t = pe[group];
          const double b = number(t, 1, "Estimate"), cc = number(t, 2, "Estimate");
          EXPECT_NEAR(b, cc, 1e-12 * b);
          EXPECT_GE(lre(number(t, 0, "Estimate") + b + 2 * cc, c.minima[group].first), 6.0);
          EXPECT_GE(lre(number(t, 3, "Estimate"), c.minima[group].second), 5.0);
          ASSERT_EQ(t["rows"].size(), 5u) << "c <= b holds at the solution";
          EXPECT_EQ(cell(t, 4, "Parameter"), "Bound0");
        }
      }
  ASSERT_EQ(fit(results_test::puromycin_by_state(), "proc ruva data=d g4 method=newton; where state='untreated';"
                                                    " parms a=100 b=100 c=100 K=0.1; bounds c <= b, K >= 0.046;" +
                                                        model),
            0)
      << log_text();
  const Json rows = tables("IterHistory").back()["rows"], pe = tables("ParameterEstimates").back();
  EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [](const Json& row) { return row[4] == 0.046; }));
  EXPECT_GE(lre(number(pe, 3, "Estimate"), 0.0477081966), 5.0);
  EXPECT_EQ(pe["rows"].size(), 5u) << "c <= b is the one bound left";
}

// a >= b violated at the start: the start-up correction lands on a = b,
// where a - b is 0 or a unit in the last place of either sign: within its
// tolerance the bound holds with equality (read as inside it, it would go
// and leave b dependent), and it holds to the end, a and b each Vm / 2. With a and b a 1e8th as
// large (the model scaled back by 1e8) the fit is the same, a and b and
// their standard errors scaled by 1e-8, with the same Bound row and
// degrees of freedom, whatever the method.
TEST_F(PuromycinFit, ABoundBesideAnUndeterminedDirectionHoldsWhateverTheScaleOfItsParameters) {
  for (const char* method : {"gauss", "marquardt", "newton"}) {
    Json fits[2];
    for (const int small : {0, 1}) {
      const std::string program = std::string("proc ruva data=d method=") + method + "; parms " +
                                  (small ? "a=0.6e-6 b=1.5e-6" : "a=60 b=150") +
                                  " K=0.05; bounds a >= b; model rate = (a+b)*" + (small ? "1e8" : "1") +
                                  "*conc/(K+conc);";
      SCOPED_TRACE(program);
      json_.str("");
      ASSERT_EQ(fit(results_test::kPuromycin, program), 4) << log_text();  // the start violates a >= b
      fits[small] = {table("ParameterEstimates"), table("ANOVA")};
    }
    const Json &unit = fits[0][0], &scaled = fits[1][0];
    ASSERT_EQ(unit["rows"].size(), 4u) << "a >= b holds at the solution";
    ASSERT_EQ(scaled["rows"].size(), 4u) << "a >= b holds at the solution";
    EXPECT_EQ(cell(scaled, 3, "Parameter"), "Bound0");
    EXPECT_EQ(cell(fits[1][1], 0, "DF"), cell(fits[0][1], 0, "DF"));
    for (std::size_t i = 0; i < 3; ++i)
      for (const char* column : {"Estimate", "StdErr"}) {
        const double factor = i < 2 ? 1e-8 : 1;
        EXPECT_NEAR(number(scaled, i, column), factor * number(unit, i, column),
                    1e-9 * factor * std::fabs(number(unit, i, column)))
            << i << " " << column;
      }
    EXPECT_GE(lre(number(unit, 0, "Estimate"), 212.68374 / 2), 6.0);
  }
  // At unit scale too: from a = 33.3, b = 177.7 the correction ends at a - b
  // = 1.4e-14.
  ASSERT_EQ(fit(results_test::kPuromycin, "proc ruva data=d; parms a=33.3 b=177.7 K=0.05; bounds a >= b;"
                                          " model rate = (a+b)*conc/(K+conc);"),
            4);
  EXPECT_EQ(tables("ParameterEstimates").back()["rows"].size(), 4u) << "a >= b holds at the solution";
}

// Under G4 Newton's steps from a = b keep a = b, so no step crosses the
// bound a <= b: it holds at the solution all the same, and pins a - b.
// CONVERGEPARM= judges the change between iterates; at the minimum the
// step asks for a decrease below the rounding of the sum of squares, which
// no trial can show, and the fit stays there. Both BY groups converge with
// every parameter estimated; the untreated one is R's nls(rate ~
// 2*a*conc/(K+conc), weights 1/(1+obs/10)) (port, tol 1e-14): a =
// 78.7391517, K = 0.0440958051, weighted SS 625.227336968 on 9 degrees of
// freedom.
TEST_F(PuromycinFit, ABoundThatNoStepCrossedPinsItsDirectionAndTheFitConverges) {
  ASSERT_EQ(fit(results_test::puromycin_by_state(),
                "proc ruva data=d g4 method=newton convergeparm=1e-6; by state; parms a=100 b=100 K=0.05;"
                " bounds a <= b; model rate = (a+b)*conc/(K+conc); _weight_ = 1/(1+_obs_/10);"),
            0)
      << log_text();
  for (const auto& status : statuses()) EXPECT_EQ(status.first, 0) << status.second;
  EXPECT_EQ(statuses().size(), 2u);
  EXPECT_EQ(logged(62), 0) << log_text();
  const Json pe = tables("ParameterEstimates").at(1), anova = tables("ANOVA").at(1);
  EXPECT_GE(lre(number(pe, 0, "Estimate"), 78.7391517), 6.5);
  EXPECT_NEAR(number(pe, 1, "Estimate"), number(pe, 0, "Estimate"), 1e-12 * number(pe, 0, "Estimate"));
  EXPECT_GE(lre(number(pe, 2, "Estimate"), 0.0440958051), 6.0);
  EXPECT_EQ(cell(pe, 3, "Parameter"), "Bound0");
  EXPECT_GE(lre(number(anova, 1, "SS"), 625.227336968), 10.0);
  EXPECT_EQ(cell(anova, 1, "DF"), 9);
}

// From a start outside a <= b <= c <= d the feasibility phase lands on
// a = b = c = d, where the bounds hold every direction but a + b + c + d,
// the one the data determine. Under G4 every method reaches R's
// nls(rate ~ 4*a*conc/(K+conc)): a = 53.1709354 with SE 1.7367878 (exact;
// R's tolerance gives 1.7367888), 10 degrees of freedom; NEWTON's SE is
// from the full Hessian, s^2 (J'J - sum r f'')^-1 in R: 1.7901670. (Every
// grid point violates the bounds: the warning gives the step code 4.)
TEST_F(PuromycinFit, G4FromAStartOutsideTheBoundsReachesTheMinimum) {
  const std::pair<const char*, double> methods[] = {
      {"gauss", 1.7367878}, {"newton", 1.7901670}, {"marquardt", 1.7367878}};
  for (const auto& [method, se] : methods) {
    SCOPED_TRACE(method);
    json_.str("");
    ASSERT_EQ(fit(results_test::kPuromycin, std::string("proc ruva data=d g4 method=") + method +
                                                "; parms a=60 b=50 c=40 d=30 K=0.05; bounds a <= b, b <= c,"
                                                " c <= d; model rate = (a+b+c+d)*conc/(K+conc);"),
              4)
        << log_text();
    EXPECT_EQ(statuses().at(0).first, 2);
    const Json pe = table("ParameterEstimates");
    for (int i : {0, 1, 2, 3}) {
      EXPECT_GE(lre(number(pe, i, "Estimate"), 53.1709354), 6.0) << i;
      EXPECT_GE(lre(number(pe, i, "StdErr"), se), 5.5) << i;
    }
    EXPECT_EQ(cell(table("ANOVA"), 1, "DF"), 10);
  }
}

// Far starts from which every fit stopped with "No step reduced the
// objective": under G4 Newton's steps inverted the negative curvature of
// the Hessian along K (a step that climbs), which the default does not
// invert; Marquardt's retries under an active bound took the gradient of
// the last rejected trial for that of the start. With G4 and without, each
// ends at R's nls(rate ~ Vm*conc/(K+conc)) of its rows (port, tol 1e-14):
// untreated Vm = 160.280054, K = 0.0477081966, SS 859.604294; treated
// 212.68374, 0.06412128, 1195.44881. (A start outside c <= b makes every
// grid point violate the bound: that warning gives the step code 4.)
TEST_F(PuromycinFit, FarStartsReachTheMinimumWithG4AndWithout) {
  const std::string sum = " model rate = (a+b+2*c)*conc/(K+conc); estimate 'Vm' a+b+2*c;";
  const struct {
    const char *state, *method, *parms;
    std::string model;
    int rc;
  } cases[] = {
      {"untreated", "newton", "a=50 b=20 c=20 K=0.05;", sum, 0},
      {"treated", "newton", "Vm=50 K=0.05;", " model rate = Vm*conc/(K+conc); estimate 'Vm' Vm;", 0},
      {"treated", "newton", "a=150 b=150 c=150 K=0.01; bounds c <= b;", sum, 0},
      {"untreated", "marquardt", "a=100 b=100 c=100 K=0.5; bounds c <= b;", sum, 0},
      {"treated", "marquardt", "a=20 b=20 c=150 K=0.2; bounds c <= b;", sum, 4}};
  const struct { double vm, k, ss; } minimum[] = {{212.68374, 0.06412128, 1195.44881},
                                                   {160.280054, 0.0477081966, 859.604294}};
  for (const auto& c : cases)
    for (const char* g4 : {"", " g4"}) {
      const std::string program = std::string("proc ruva data=d method=") + c.method + g4 + "; where state='" +
                                  c.state + "'; parms " + c.parms + c.model;
      SCOPED_TRACE(program);
      json_.str("");
      ASSERT_EQ(fit(results_test::puromycin_by_state(), program), c.rc) << log_text();
      const auto& want = minimum[c.state[0] == 'u'];
      EXPECT_GE(lre(number(table("AdditionalEstimates"), 0, "Estimate"), want.vm), 6.0);
      EXPECT_GE(lre(number(table("ParameterEstimates"), c.model == sum ? 3 : 1, "Estimate"), want.k), 5.0);
      EXPECT_GE(lre(number(table("ANOVA"), 1, "SS"), want.ss), 8.0);
    }
}

// NEWTON from Vm = 60, K = 0.2: the Hessian curves down along K, so the
// step leaves K out and R, measured over Vm alone, is met at the first
// iteration with K at its start, far from the minimum. That is neither
// convergence nor dependence: a warning names K, the status is 3 and the
// code 4, and K counts in the 10 error degrees of freedom, with G4 or
// without. b of a + b, which the data leave undetermined, stays linearly
// dependent beside the frozen K, and at the minimum. From good starts the
// fits converge as before, at the minimum of the treated rows above.
TEST_F(PuromycinFit, NewtonStoppedWhereTheHessianCurvesDownHasNotConverged) {
  const std::string mm = " model rate = Vm*conc/(K+conc);", sum = " model rate = (a+b)*conc/(K+conc);";
  const struct {
    const char *options, *parms;
    const std::string& model;
    int rc, status;
    bool frozen, dependent;
  } cases[] = {{"", "Vm=60 K=0.2;", mm, 4, 3, true, false},
               {" g4", "Vm=60 K=0.2;", mm, 4, 3, true, false},
               {"", "a=30 b=30 K=0.2;", sum, 4, 3, true, true},
               {"", "a=100 b=100 K=0.06;", sum, 0, 1, false, true},
               {"", "Vm=200 K=0.05;", mm, 0, 0, false, false}};
  for (const auto& c : cases) {
    const std::string program = std::string("proc ruva data=d method=newton") + c.options +
                                "; where state='treated'; parms " + c.parms + c.model;
    SCOPED_TRACE(program);
    json_.str("");
    ASSERT_EQ(fit(results_test::puromycin_by_state(), program), c.rc) << log_text();
    EXPECT_EQ(statuses().at(0).first, c.status);
    EXPECT_EQ(logged(1062), c.frozen ? 1 : 0) << log_text();
    EXPECT_EQ(log_text().find("definite along K where") != std::string::npos, c.frozen);
    EXPECT_EQ(logged(62), c.dependent ? 1 : 0);
    EXPECT_EQ(logged(20), c.rc == 0 ? 1 : 0);
    const Json pe = table("ParameterEstimates");
    const int k = &c.model == &sum ? 2 : 1;
    EXPECT_EQ(cell(table("ANOVA"), 1, "DF"), 10);
    if (c.frozen) {
      EXPECT_EQ(number(pe, k, "Estimate"), 0.2);
      continue;
    }
    const double vm = number(pe, 0, "Estimate") + (k == 2 ? number(pe, 1, "Estimate") : 0);
    EXPECT_GE(lre(vm, 212.68374), 6.0);
    EXPECT_GE(lre(number(pe, k, "Estimate"), 0.06412128), 5.0);
    EXPECT_GE(lre(number(table("ANOVA"), 1, "SS"), 1195.44881), 8.0);
  }
}

// The same under a bound: NEWTON from a = b = 100, K = 1 on the untreated
// rows, a <= b active. The step, taken on the directions the bound leaves
// free (a + b and K), leaves K out where the Hessian curves down along it,
// and R is met with K at its start: SSE 30290.40 against R's minimum
// 859.604294 (below). Judged on those free directions as without bounds,
// the fit has not converged: K is named, not called linearly dependent,
// and counts in the 9 error degrees of freedom (11 observations, 3
// parameters, the bound adds one), with G4 or without, as Vm = a + b does
// without the bound.
TEST_F(PuromycinFit, NewtonUnderAnActiveBoundStoppedWhereTheHessianCurvesDownHasNotConverged) {
  const std::string rows = "; where state='untreated'; parms ";
  for (const char* g4 : {"", " g4"})
    for (const char* fit_ : {"a=100 b=100 K=1; bounds a <= b; model rate = (a+b)*conc/(K+conc);",
                             "Vm=200 K=1; model rate = Vm*conc/(K+conc);"}) {
      const std::string program = std::string("proc ruva data=d method=newton") + g4 + rows + fit_;
      SCOPED_TRACE(program);
      json_.str("");
      ASSERT_EQ(fit(results_test::puromycin_by_state(), program), 4) << log_text();
      EXPECT_EQ(statuses().at(0).first, 3);
      EXPECT_EQ(logged(1062), 1) << log_text();
      EXPECT_NE(log_text().find("definite along K where"), std::string::npos);
      EXPECT_EQ(logged(62), 0) << log_text();
      EXPECT_EQ(cell(table("ANOVA"), 1, "DF"), 9);
      EXPECT_LT(lre(number(table("ANOVA"), 1, "SS"), 859.604294), 1.0);
    }
}

// NEWTON over both states, weighted by 1/(1 + obs/10) or not, under five
// sets of bounds, from K = 0.05, 0.2, 0.5 and 1, with G4 and without: a
// fit that says it converged is at the minimum under its bounds, which R's
// nls(rate ~ Vm*conc/(K+conc)) (default algorithm, tol 1e-8) gives: free
// (a <= b, on a + b, holds no direction of the minimum; K >= 0.01 and
// K <= 0.5 do not bind), and with Vm = 150 or K = 0.1 fixed where Vm <= 150
// or K >= 0.1 binds. The others say why they stopped. (A start outside a
// bound gets a warning, and the fit goes on from the bound. From K = 0.5
// the steps leave K where it is: K <= 0.5 holds with equality there, yet
// its multiplier says that it holds nothing back.)
TEST_F(PuromycinFit, NewtonUnderBoundsConvergesOnlyAtTheMinimum) {
  // SSE at R's minimum: treated, treated weighted, untreated, untreated weighted.
  const double free_[4] = {1195.44881444, 904.26786007, 859.604293779, 625.227336968};
  const double vm150[4] = {13505.2405695, 6944.90355247, 1093.3598159, 694.700918198};
  const double k01[4] = {2566.17729774, 1991.5037548, 2780.37530441, 2156.31446446};
  const std::string sum = "a=100 b=100 K=", mm = " model rate = Vm*conc/(K+conc);";
  const struct {
    std::string parms, rest;
    const double* sse;
  } sets[] = {{sum, "; bounds a <= b; model rate = (a+b)*conc/(K+conc);", free_},
              {sum, "; bounds a <= b, K >= 0.1; model rate = (a+b)*conc/(K+conc);", k01},
              {"Vm=140 K=", "; bounds Vm <= 150, K >= 0.01;" + mm, vm150},
              {"Vm=200 K=", "; bounds K >= 0.1;" + mm, k01},
              {"Vm=200 K=", "; bounds K <= 0.5;" + mm, free_}};
  int converged = 0, stopped = 0, off = 0;
  for (const auto& set : sets)
    for (int rows = 0; rows < 4; ++rows)
      for (const char* k : {"0.05", "0.2", "0.5", "1"})
        for (const char* g4 : {"", " g4"}) {
          const std::string program = std::string("proc ruva data=d method=newton") + g4 + "; where state='" +
                                      (rows < 2 ? "treated" : "untreated") + "'; parms " + set.parms + k +
                                      set.rest + (rows % 2 ? " _weight_ = 1/(1+_obs_/10);" : "");
          json_.str("");
          fit(results_test::puromycin_by_state(), program);
          const double sse = number(table("ANOVA"), 1, "SS");
          if (statuses().at(0).first == 3) {
            ++stopped;
            EXPECT_TRUE(logged(1062) == 1 || logged(9) == 1) << program << log_text();
          } else {
            ++converged;
            off += lre(sse, set.sse[rows]) < 8.0;
            EXPECT_GE(lre(sse, set.sse[rows]), 8.0) << program;
          }
        }
  EXPECT_EQ(off, 0);
  EXPECT_GT(converged, 20);
  EXPECT_GT(stopped, 20);
}

// a <= b holds with equality at the start and the data determine only
// a + b. Gauss-Newton's step moves a alone, across the bound: the bound
// joins before any trial instead of halving the step down to its
// tolerance, and its multiplier, zero but for rounding, never releases it.
// Stopped by the change between iterates, the fit is R's weighted
// nls(rate ~ Vm*conc/(K+conc)), weights 1/(1+obs/10): Vm = a + b =
// 210.402890, K = 0.0610239570.
TEST_F(PuromycinFit, GaussOnABoundItStartsOnStopsOnlyAtTheMinimum) {
  for (const char* criterion : {"convergeparm=1e-6", "convergeobj=1e-8"}) {
    SCOPED_TRACE(criterion);
    json_.str("");
    ASSERT_EQ(fit(results_test::kPuromycin, std::string("proc ruva data=d method=gauss ") + criterion +
                                                "; parms a=100 b=100 K=0.05; bounds a <= b;"
                                                " model rate = (a+b)*conc/(K+conc); _weight_ = 1/(1+_obs_/10);"),
              0)
        << log_text();
    const Json pe = table("ParameterEstimates"), summary = table("EstSummary");
    EXPECT_GE(lre(number(pe, 0, "Estimate") + number(pe, 1, "Estimate"), 210.402890), 6.5);
    EXPECT_GE(lre(number(pe, 2, "Estimate"), 0.0610239570), 5.5);
    for (const Json& row : summary["rows"]) EXPECT_NE(row[0].get<std::string>(), "Subiterations") << row;
  }
}

// G4 decides which directions the data determine on the matrix scaled to
// unit diagonal, so the units of a parameter do not matter. R's nls on
// V*1e-2*conc/(K*1e2+conc): SSE 1195.449, V = 21268.36 (SE 694.7146),
// K = 6.412103e-4 (SE 8.280922e-5). A nearly collinear model the sweep finds
// of full rank is of full rank under G4 too, with the default's results
// (R on the same model: SSE 1030.577, SE(a+b) 16.34780, SE(K) 0.01154036).
TEST_F(PuromycinFit, G4GivesTheSameFitInAnyUnitsAndInvertsWhatTheSweepInverts) {
  ASSERT_EQ(fit(results_test::kPuromycin, "proc ruva data=d g4; parms a=1e4 b=1e4 K=5e-4;"
                                          " model rate = (a+b)*1e-2*conc/(K*1e2+conc);"
                                          " estimate 'a+b' a+b; estimate 'K' K;"),
            0)
      << log_text();
  Json add = tables("AdditionalEstimates").back();
  EXPECT_NEAR(number(tables("ANOVA").back(), 1, "SS"), 1195.449, 5e-4);
  EXPECT_GE(lre(number(add, 0, "Estimate"), 21268.36), 6.0);
  EXPECT_GE(lre(number(add, 0, "StandardError"), 694.7146), 6.0);
  EXPECT_GE(lre(number(add, 1, "Estimate"), 6.412103e-4), 5.0);
  EXPECT_GE(lre(number(add, 1, "StandardError"), 8.280922e-5), 5.0);
  EXPECT_GE(lre(number(tables("ParameterEstimates").back(), 2, "StdErr"), 8.280922e-5), 5.0);
  for (const char* g4 : {"", " g4"}) {
    SCOPED_TRACE(g4);
    ASSERT_EQ(fit(results_test::kPuromycin, std::string("proc ruva data=d") + g4 +
                                               "; parms a=100 b=100 K=0.05;"
                                               " model rate = (a + b*(1+1e-4*conc))*conc/(K+conc);"
                                               " estimate 'a+b' a+b; estimate 'K' K;"),
              0)
        << log_text();
    const Json anova = tables("ANOVA").back(), pe = tables("ParameterEstimates").back();
    add = tables("AdditionalEstimates").back();
    EXPECT_NEAR(number(anova, 1, "SS"), 1030.577, 5e-4);
    EXPECT_EQ(cell(anova, 1, "DF"), 9);
    EXPECT_GE(lre(number(add, 0, "StandardError"), 16.34780), 5.5);
    EXPECT_GE(lre(number(add, 1, "StandardError"), 0.01154036), 5.5);
    EXPECT_EQ(number(pe, 2, "StdErr"), number(add, 1, "StandardError"));
  }
}

// --- Quadratic trends of full rank but ill-conditioned, in calendar years
// and in log concentration shifted by 1000 (DNase run 1).
using IllConditionedFit = results_test::FitTest;

const double kYearsY[30] = {33.27, 35.35, 36.41, 36.27, 39.91, 40.82, 41.14, 43.51, 44.48, 45.54,
                            46.35, 47.88, 47.54, 49.01, 49.52, 51.37, 51.52, 51.84, 51.94, 52.99,
                            53.73, 53.85, 55.77, 55.78, 52.29, 53.28, 55.11, 54.91, 55.53, 55.47};

// The years from..to of 1991-2020.
std::string years_csv(int from = 1991, int to = 2020) {
  std::string csv = "year,y\n";
  for (int year = from; year <= to; ++year)
    csv += std::to_string(year) + "," + std::to_string(kYearsY[year - 1991]) + "\n";
  return csv;
}

double leverage_sum(const std::vector<procedure_test::Row>& rows) {
  double sum = 0;
  for (const auto& r : rows) sum += std::stod(r.at("h"));
  return sum;
}

// G4 is the default to the bit: the ESTIMATE's standard error is R's (lm
// and predict(se.fit = TRUE)) to the digits the cross products allow, the
// leverages sum to the rank 3 and STDP= is the default's.
TEST_F(IllConditionedFit, G4GivesTheDefaultsInverseOfAFullRankMatrix) {
  const struct {
    std::string csv, program;
    double se, digits, leverage;
  } trends[] = {
      {years_csv(), "model y = a + b*year + c*year**2; estimate 'fit' a + b*2020 + c*2020**2;",
       0.4310410643, 7.0, 1e-6},
      {"conc,density\n0.04882812,0.017\n0.04882812,0.018\n0.1953125,0.121\n0.1953125,0.124\n"
       "0.390625,0.206\n0.390625,0.215\n0.78125,0.377\n0.78125,0.374\n1.5625,0.614\n1.5625,0.609\n"
       "3.125,1.019\n3.125,1.001\n6.25,1.334\n6.25,1.364\n12.5,1.73\n12.5,1.71\n",
       "x = log(conc) + 1000; model density = a + b*x + c*x**2; estimate 'fit' a + b*1001 + c*1001**2;",
       0.01128715, 4.5, 1e-3},
  };
  for (const auto& t : trends) {
    SCOPED_TRACE(t.program);
    double se[2];
    std::vector<procedure_test::Row> rows[2];
    for (int g4 = 0; g4 < 2; ++g4) {
      ASSERT_EQ(fit(t.csv, std::string("proc ruva data=d") + (g4 ? " g4" : "") + "; parms a=0 b=0 c=0; " +
                               t.program + " output out=o h=h stdp=sp;"),
                0)
          << log_text();
      se[g4] = number(tables("AdditionalEstimates").back(), 0, "StandardError");
      rows[g4] = read_rows("o");
      EXPECT_GE(lre(se[g4], t.se), t.digits);
      EXPECT_NEAR(leverage_sum(rows[g4]), 3.0, t.leverage);
    }
    EXPECT_EQ(se[1], se[0]);
    for (std::size_t i = 0; i < rows[0].size(); ++i) EXPECT_EQ(rows[1].at(i).at("sp"), rows[0][i].at("sp"));
  }
}

// With year entering twice the rows are dependent: G4's pseudo-inverse
// keeps the sweep's accuracy, so the leverages still sum to the rank 3 and
// STDP= is that of the model written once.
TEST_F(IllConditionedFit, G4OfDependentRowsKeepsTheSweepsAccuracy) {
  const std::string years = years_csv();
  ASSERT_EQ(fit(years, "proc ruva data=d; parms a=0 b=0 c=0; model y = a + b*year + c*year**2;"
                       " output out=o stdp=sp;"),
            0);
  const auto once = read_rows("o");
  ASSERT_EQ(fit(years, "proc ruva data=d g4; parms a=0 b=0 b2=0 c=0; model y = a + b*year + b2*year + c*year**2;"
                       " output out=o h=h stdp=sp;"),
            0)
      << log_text();
  const auto twice = read_rows("o");
  EXPECT_NEAR(leverage_sum(twice), 3.0, 1e-5);
  for (std::size_t i = 0; i < once.size(); ++i)
    EXPECT_NEAR(std::stod(twice.at(i).at("sp")) / std::stod(once[i].at("sp")), 1.0, 1e-5) << i;
}

// The standard error of l'(a, b, c) in y = a + b*year + c*year**2 over the
// years from..to, to long double: the normal equations in the years centred
// on m (small integers, so the cross products are exact and well
// conditioned) solved for the coefficients and for l carried to the
// centred ones (a + b m + c m^2, b + 2 c m, c).
double exact_years_se(int from, int to, const double (&l)[3]) {
  const int m = (from + to) / 2;
  const long double lm = m;
  // [X'X | X'y | l_c], solved by Gauss-Jordan.
  long double aug[3][5] = {{0, 0, 0, 0, l[0]},
                           {0, 0, 0, 0, l[1] - lm * l[0]},
                           {0, 0, 0, 0, l[2] - 2 * lm * l[1] + lm * lm * l[0]}};
  for (int year = from; year <= to; ++year) {
    const long double t = year - m, x[3] = {1, t, t * t};
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j) aug[i][j] += x[i] * x[j];
      aug[i][3] += x[i] * kYearsY[year - 1991];
    }
  }
  const long double centred[3] = {aug[0][4], aug[1][4], aug[2][4]};
  for (int k = 0; k < 3; ++k)
    for (int i = 0; i < 3; ++i) {
      const long double f = aug[i][k] / aug[k][k];
      for (int j = 0; i != k && j < 5; ++j) aug[i][j] -= f * aug[k][j];
    }
  long double sse = 0, variance = 0;
  for (int year = from; year <= to; ++year) {
    const long double t = year - m;
    const long double r = kYearsY[year - 1991] - (aug[0][3] / aug[0][0] + aug[1][3] / aug[1][1] * t +
                                                  aug[2][3] / aug[2][2] * t * t);
    sse += r * r;
  }
  for (int i = 0; i < 3; ++i) variance += centred[i] * aug[i][4] / aug[i][i];
  return static_cast<double>(std::sqrt(sse / (to - from + 1 - 3) * variance));
}

// A term entered twice leaves one direction undetermined, the cross
// products of a quadratic in calendar years are ill-conditioned, and
// rounding must not pass for that direction: over three ranges of years,
// each term entered twice, with G4 and without, the prediction at 2020 and
// the three coefficients of the model written once keep its exact standard
// errors to 1e-5 (over 1991-2020 R's lm gives 0.4310410643 and
// 9.19566494525 for the prediction and b), while the doubled term alone is
// refused.
TEST_F(IllConditionedFit, FunctionsTheDataDetermineAreNotRefusedByRounding) {
  EXPECT_NEAR(exact_years_se(1991, 2020, {1, 2020, 2020.0 * 2020}), 0.4310410643, 1e-10);
  EXPECT_NEAR(exact_years_se(1991, 2020, {0, 1, 0}), 9.19566494525, 1e-9);
  const char* const names[3] = {"a", "b", "c"};
  const char* const powers[3] = {"", "*year", "*year**2"};
  const double gradients[4][3] = {{1, 2020, 2020.0 * 2020}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  for (const auto& [from, to] : {std::pair{1991, 2020}, {1991, 2015}, {1996, 2020}})
    for (int twice = 0; twice < 3; ++twice)
      for (const char* g4 : {"", " g4"}) {
        std::string parms, model, coefficient[3];
        for (int i = 0; i < 3; ++i) {
          const std::string name = names[i], term = name + powers[i], second = name + "2";
          parms += " " + name + "=0" + (i == twice ? " " + second + "=0" : "");
          model += (i ? " + " : "") + term + (i == twice ? " + " + second + powers[i] : "");
          coefficient[i] = i == twice ? "(" + name + " + " + second + ")" : name;
        }
        const std::string program = std::string("proc ruva data=d") + g4 + "; parms" + parms + "; model y = " +
                                    model + "; estimate 'fit' " + coefficient[0] + " + " + coefficient[1] +
                                    "*2020 + " + coefficient[2] + "*2020**2; estimate 'a' " + coefficient[0] +
                                    "; estimate 'b' " + coefficient[1] + "; estimate 'c' " + coefficient[2] +
                                    "; estimate 'alone' " + names[twice] + ";";
        SCOPED_TRACE(std::to_string(from) + "-" + std::to_string(to) + ": " + program);
        json_.str("");
        ASSERT_EQ(fit(years_csv(from, to), program), 0) << log_text();
        const Json add = tables("AdditionalEstimates").back();
        for (int f = 0; f < 4; ++f) {
          ASSERT_TRUE(cell(add, f, "StandardError").is_number()) << f;
          EXPECT_NEAR(number(add, f, "StandardError") / exact_years_se(from, to, gradients[f]), 1.0, 1e-5) << f;
        }
        EXPECT_TRUE(cell(add, 4, "StandardError").is_null());
        EXPECT_NE(log_text().find("ESTIMATE 'alone' is not estimable"), std::string::npos);
      }
}

}  // namespace
