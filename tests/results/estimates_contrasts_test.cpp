// Additional estimates and contrasts: the t test record against closed
// forms on 1 and 2 degrees of freedom; ESTIMATE of nonlinear functions of
// the Puromycin fit, with ECOV, ECORR and EDER, against the delta method
// worked here from J'J; CONTRAST F tests of linear hypotheses on a linear
// model against the closed form through LAPACK, and of nonlinear ones
// against the delta-method Wald F; functions the data determine only to
// first order are refused.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "fit_fixture.h"
#include "host/missing.h"
#include "linalg/lapack.h"
#include "linalg/packed.h"
#include "results/t_test.h"

namespace {

using results_test::Json;
using Matrix = std::vector<std::vector<double>>;

TEST(TTestRecord, ClosedFormsAndEveryWayToAMissingResult) {
  const double big = std::numeric_limits<double>::max(), miss = missing_value(), nan = std::nan("");
  const double q1 = std::tan(std::numbers::pi * 0.475);  // t(0.975, 1)
  const double q2 = 0.9 / std::sqrt(2 * 0.95 * 0.05);    // t(0.95, 2)
  struct Case {
    double estimate, sder, dfe, alpha;
    int rc;
    double t, p, lower, upper;  // NaN: expected missing
  } cases[] = {
      {2, 1, 1, 0.05, 0, 2, 1 - 2 / std::numbers::pi * std::atan(2.0), 2 - q1, 2 + q1},
      {-3, 1.5, 2, 0.1, 0, -2, 1 - 2 / std::sqrt(6.0), -3 - 1.5 * q2, -3 + 1.5 * q2},
      {3, 0, 4, 0.05, 0, big, 0, -big, big},   // no spread: extreme values
      {0, 0, 4, 0.05, 1, nan, nan, nan, nan},  // nothing to test
      {miss, 1, 4, 0.05, 1, nan, nan, nan, nan},
      {1, miss, 4, 0.05, 1, nan, nan, nan, nan},
      {1, 1, miss, 0.05, 1, nan, nan, nan, nan},
      {1, 1, 0, 0.05, 0, 1, nan, nan, nan},    // no degrees of freedom: the probability fails with -1
      {1, 1, nan, 0.05, 0, 1, nan, nan, nan},  // the incomplete beta fails: -2
  };
  for (const Case& c : cases) {
    RUVA_TVAL t{c.estimate, c.sder, c.dfe, c.alpha, 0, 0, 0, 0};
    EXPECT_EQ(ruvatval(&t), c.rc) << c.estimate << " " << c.sder << " " << c.dfe;
    const double got[4] = {t.tval, t.prob, t.lower, t.upper}, want[4] = {c.t, c.p, c.lower, c.upper};
    for (int k = 0; k < 4; ++k) {
      if (std::isnan(want[k]))
        EXPECT_TRUE(is_missing(got[k])) << k << ": " << got[k] << " dfe " << c.dfe;
      else
        EXPECT_NEAR(got[k], want[k], 1e-13 * std::fabs(want[k])) << k << " dfe " << c.dfe;
    }
  }
}

// M = G V G' (packed, q by q) for the q rows of G and the packed V.
std::vector<double> congruence(const Matrix& g, const std::vector<double>& v) {
  const std::size_t q = g.size(), p = g[0].size();
  std::vector<double> m(q * (q + 1) / 2, 0.0);
  for (std::size_t i = 0; i < q; ++i)
    for (std::size_t j = 0; j <= i; ++j)
      for (std::size_t a = 0; a < p; ++a)
        for (std::size_t b = 0; b < p; ++b) m[zisub(i, j)] += g[i][a] * v[zisub(a, b)] * g[j][b];
  return m;
}

void invert(std::vector<double>* packed, int n) {
  int info = 0;
  dpptrf_("U", &n, packed->data(), &info, 1);
  ASSERT_EQ(info, 0);
  dpptri_("U", &n, packed->data(), &info, 1);
  ASSERT_EQ(info, 0);
}

// The Wald F of h = 0: h' (G V G')^-1 h / q.
double wald_f(const Matrix& g, const std::vector<double>& v, const std::vector<double>& h) {
  std::vector<double> w = congruence(g, v);
  const int q = static_cast<int>(h.size());
  invert(&w, q);
  double f = 0;
  for (int i = 0; i < q; ++i)
    for (int j = 0; j < q; ++j) f += h[i] * w[zisub(i, j)] * h[j];
  return f / q;
}

// P(F(q, 10) > f) for q = 1 and 2.
double f10_probability(double f, int q) {
  return q == 1 ? results_test::t10_two_sided(std::sqrt(f)) : std::pow(1 + 2 * f / 10, -5);
}

using EstimatesTest = results_test::FitTest;

// Puromycin, treated: V = s2 (J'J)^-1 at the estimates (Vm, K), packed.
std::vector<double> puromycin_covariance(double vm, double k) {
  double hvv = 0, hvk = 0, hkk = 0, sse = 0;
  for (int i = 0; i < 12; ++i) {
    const double x = results_test::kConc[i], jv = x / (k + x), jk = -vm * x / ((k + x) * (k + x));
    const double r = results_test::kRate[i] - vm * jv;
    hvv += jv * jv, hvk += jv * jk, hkk += jk * jk, sse += r * r;
  }
  const double det = hvv * hkk - hvk * hvk, s2 = sse / 10;
  return {s2 * hkk / det, -s2 * hvk / det, s2 * hvv / det};
}

// An estimate g(Vm, K) has the variance g' V g, g its gradient.
TEST_F(EstimatesTest, NonlinearFunctionsFollowTheDeltaMethod) {
  ASSERT_EQ(fit(results_test::kPuromycin,
                "proc ruva data=d ecov ecorr eder; parms Vm=200 K=0.1; model rate = Vm*conc/(K+conc);"
                " estimate 'half' Vm/2; estimate 'product' Vm*K; estimate 'log' log(K) / df=5 alpha=0.1;"
                " contrast 'product' Vm*K; contrast 'twice' Vm*K, Vm*K; contrast 'joint' Vm*K - 13, "
                "log(K) + 2.7;"
                " contrast 'nothing' 0*Vm / df=3;"),
            0)
      << log_text();
  const Json pe = table("ParameterEstimates"), add = table("AdditionalEstimates"), con = table("Contrasts");
  ASSERT_TRUE(add.is_object() && con.is_object()) << log_text();
  const double vm = number(pe, 0, "Estimate"), k = number(pe, 1, "Estimate");
  const std::vector<double> v = puromycin_covariance(vm, k);
  const Matrix g = {{0.5, 0}, {k, vm}, {0, 1 / k}};
  const double value[3] = {vm / 2, vm * k, std::log(k)};
  const std::vector<double> cov = congruence(g, v);
  // Rows 0 and 1 on the fit's 10 degrees of freedom at 95%, row 2 on DF=5 at 90%.
  const double q[3] = {results_test::kT10, results_test::kT10, 2.015048372669157};
  for (int i = 0; i < 3; ++i) {
    const double se = std::sqrt(cov[zisub(i, i)]), t = value[i] / se;
    const double th = std::atan(std::fabs(t) / std::sqrt(5.0));
    const double p = i < 2 ? results_test::t10_two_sided(t)
                           : 1 - 2 / std::numbers::pi *
                                     (th + std::sin(th) * std::cos(th) * (1 + 2.0 / 3 * std::pow(std::cos(th), 2)));
    const double want[6] = {value[i], se, t, p, value[i] - q[i] * se, value[i] + q[i] * se};
    const char* columns[6] = {"Estimate", "StandardError", "tValue", "Probt", "Lower", "Upper"};
    // The closed form of p loses digits to cancellation: p within 1e-13.
    for (int c = 0; c < 6; ++c)
      EXPECT_NEAR(number(add, i, columns[c]), want[c], c == 3 ? 1e-13 : 1e-9 * std::fabs(want[c])) << i << columns[c];
    EXPECT_EQ(cell(add, i, "DF"), i < 2 ? 10 : 5);
    EXPECT_EQ(cell(add, i, "Alpha"), i < 2 ? 0.05 : 0.1);
  }
  // ECOV = G V G', ECORR its correlations, EDER = G; rows and columns named.
  const Json ecov = table("CovMatAddEst"), ecorr = table("CorrMatAddEst"), eder = table("DerMatAddEst");
  ASSERT_TRUE(ecov.is_object() && ecorr.is_object() && eder.is_object());
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(ecov["rows"][i][0], add["rows"][i][0]);
    for (int j = 0; j < 3; ++j) {
      const double c = cov[zisub(i, j)], r = c / std::sqrt(cov[zisub(i, i)] * cov[zisub(j, j)]);
      EXPECT_NEAR(ecov["rows"][i][j + 1].get<double>(), c, 1e-9 * std::fabs(c)) << i << j;
      EXPECT_NEAR(ecorr["rows"][i][j + 1].get<double>(), r, 1e-9) << i << j;
    }
    for (int j = 0; j < 2; ++j) EXPECT_NEAR(eder["rows"][i][j + 1].get<double>(), g[i][j], 1e-12 * std::fabs(g[i][j]));
  }
  EXPECT_EQ(eder["columns"][1]["name"], "Der Vm");
  EXPECT_EQ(eder["columns"][2]["name"], "Der K");
  // One row: F = t^2 of the estimate; the same row twice counts once; a
  // joint test of two rows is the Wald F; no pivot at all leaves no test
  // (F and its p-value missing).
  const double t = number(add, 1, "tValue");
  const double joint = wald_f({g[1], g[2]}, v, {vm * k - 13, std::log(k) + 2.7});
  const struct {
    int ndf, ddf;
    double f, p;
  } want[4] = {{1, 10, t * t, number(add, 1, "Probt")},
               {1, 10, t * t, number(add, 1, "Probt")},
               {2, 10, joint, f10_probability(joint, 2)},
               {0, 3, std::nan(""), std::nan("")}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(cell(con, i, "NumDF"), want[i].ndf) << i;
    EXPECT_EQ(cell(con, i, "DenDF"), want[i].ddf) << i;
    if (std::isnan(want[i].p)) {
      EXPECT_TRUE(cell(con, i, "FValue").is_null()) << i;
      EXPECT_TRUE(cell(con, i, "ProbF").is_null()) << i;
    } else {
      EXPECT_NEAR(number(con, i, "FValue"), want[i].f, 1e-9 * want[i].f) << i;
      EXPECT_NEAR(number(con, i, "ProbF"), want[i].p, 1e-9 * want[i].p) << i;
    }
  }
}

// A gradient near the ends of the double range still gives the standard
// error a double holds: sqrt(g'Vg) would overflow at 1e290 or underflow
// to no variance at 1e-300.
TEST_F(EstimatesTest, StandardErrorsHoldAtTheEndsOfTheDoubleRange) {
  ASSERT_EQ(fit(results_test::kPuromycin, "proc ruva data=d; parms Vm=200 K=0.1; model rate = Vm*conc/(K+conc);"
                                           " estimate 'huge' Vm*1e290; estimate 'tiny' K*1e-300;"),
            0)
      << log_text();
  const Json pe = table("ParameterEstimates"), add = table("AdditionalEstimates");
  const std::vector<double> v = puromycin_covariance(number(pe, 0, "Estimate"), number(pe, 1, "Estimate"));
  const double want[2] = {1e290 * std::sqrt(v[0]), 1e-300 * std::sqrt(v[2])};
  for (int i = 0; i < 2; ++i) EXPECT_NEAR(number(add, i, "StandardError"), want[i], 1e-9 * want[i]) << i;
}

// Variables the program computes from the parameters and constants give
// the delta-method results of the expressions written out, as a parameter
// itself does, whether the parameters come from PARMS or from a PDATA= data
// set.
TEST_F(EstimatesTest, ProgramVariablesWithConstantsAreTheirExpressions) {
  write_file("p.csv", "Parameter,Estimate\nVm,200\nK,0.1\n");
  for (const char* parms : {"parms Vm=200 K=0.1;", "parms / pdata=p;"}) {
    SCOPED_TRACE(parms);
    json_.str("");
    ASSERT_EQ(fit(results_test::kPuromycin, std::string("proc ruva data=d; ") + parms +
                                                " model rate = Vm*conc/(K+conc);"
                                                " h = 2*Vm; g = Vm/(K + 0.5); d = Vm*K - 13;"
                                                " estimate 'h' h; estimate 'g' g; estimate 'half' Vm/2; contrast 'd' d;"),
              0)
        << log_text();
    const Json pe = table("ParameterEstimates"), add = table("AdditionalEstimates"), con = table("Contrasts");
    ASSERT_TRUE(add.is_object() && con.is_object()) << log_text();
    const double vm = number(pe, 0, "Estimate"), k = number(pe, 1, "Estimate");
    const std::vector<double> v = puromycin_covariance(vm, k);
    const Matrix g = {{2, 0}, {1 / (k + 0.5), -vm / ((k + 0.5) * (k + 0.5))}, {k, vm}};
    const std::vector<double> cov = congruence(g, v);
    const double value[2] = {2 * vm, vm / (k + 0.5)};
    for (int i = 0; i < 2; ++i) {
      EXPECT_NEAR(number(add, i, "Estimate"), value[i], 1e-12 * value[i]) << i;
      EXPECT_NEAR(number(add, i, "StandardError"), std::sqrt(cov[zisub(i, i)]), 1e-9 * std::sqrt(cov[zisub(i, i)])) << i;
    }
    EXPECT_NEAR(number(add, 2, "StandardError"), std::sqrt(v[zisub(0, 0)]) / 2, 1e-9 * std::sqrt(v[zisub(0, 0)]));
    const double f = std::pow(vm * k - 13, 2) / cov[zisub(2, 2)];
    EXPECT_NEAR(number(con, 0, "FValue"), f, 1e-9 * f);
  }
}

// sqrt(|K| - K) is 0 at K > 0, where its derivative 1/(2 sqrt(0)) cannot be
// formed: that estimate has no standard error; the next is unaffected. A
// note says why, as for an estimate of no parameter.
TEST_F(EstimatesTest, AnEstimateWithoutADerivativeHasNoStandardError) {
  ASSERT_EQ(fit(results_test::kPuromycin, "proc ruva data=d; parms Vm=200 K=0.1; model rate = Vm*conc/(K+conc);"
                                          " estimate 'root' sqrt(abs(K) - K); estimate 'half' Vm/2; estimate 'c' 5;"),
            0)
      << log_text();
  const Json pe = table("ParameterEstimates"), add = table("AdditionalEstimates");
  EXPECT_EQ(number(add, 0, "Estimate"), 0);
  EXPECT_TRUE(cell(add, 0, "StandardError").is_null());
  EXPECT_NEAR(number(add, 1, "StandardError"), number(pe, 0, "StdErr") / 2, 1e-12 * number(pe, 0, "StdErr"));
  EXPECT_TRUE(cell(add, 2, "StandardError").is_null());
  EXPECT_NE(log_text().find("ESTIMATE 'root' has no standard error, t test or limits: " + message(1008)),
            std::string::npos)
      << log_text();
  EXPECT_NE(log_text().find("ESTIMATE 'c' has no standard error, t test or limits: " + message(1006)),
            std::string::npos);
  EXPECT_EQ(logged(1002), 2);
}

// (a + b) conc / (K + conc) determines a + b but not a - b. With and
// without G4 what follows the fit is the full-rank fit in Vm = a + b: the
// standard error of a + b and the F of a + b = 210 from its covariance V,
// STDP = sqrt(d'Vd), leverages summing to the rank 2; a - b gets no standard
// error, test or F, with a NOTE. Under an active bound K <= 0.05 the same
// holds with K fixed, with and without G4: Var(Vm) = s2 / sum (x/(K+x))^2 on
// 11 degrees of freedom.
TEST_F(EstimatesTest, DependentParametersGiveTheReparametrisedFit) {
  const std::string model =
      " parms a=150 b=50 K=0.05; model rate = (a+b)*conc/(K+conc); estimate 'a+b' a+b; estimate 'a-b' a-b;"
      " estimate 'a+b+K' a+b+K; contrast 'a+b' a+b-210; contrast 'both' a+b-210, a-b;";
  for (const std::string options : {"", " g4", " g4 bounded", " bounded"}) {
    SCOPED_TRACE(options);
    json_.str("");
    const bool bounded = options.ends_with(" bounded");
    const std::string program = "proc ruva data=d" + options.substr(0, options.find(" bounded")) + ";" + model +
                                (bounded ? " bounds K <= 0.05;" : " output out=o h=h stdp=stdp j=j;");
    ASSERT_EQ(fit(results_test::kPuromycin, program), 0) << log_text();
    const Json pe = table("ParameterEstimates"), add = table("AdditionalEstimates"), con = table("Contrasts");
    const double vm = number(add, 0, "Estimate"), k = number(pe, 2, "Estimate");
    const std::vector<double> v = puromycin_covariance(vm, k);
    double var = v[0], with_k = v[0] + 2 * v[1] + v[2];
    if (bounded) {
      double sjj = 0, sse = 0;
      for (int i = 0; i < 12; ++i) {
        const double x = results_test::kConc[i];
        sjj += std::pow(x / (k + x), 2), sse += std::pow(results_test::kRate[i] - vm * x / (k + x), 2);
      }
      var = with_k = sse / 11 / sjj;
    }
    EXPECT_NEAR(number(add, 0, "StandardError"), std::sqrt(var), 1e-9 * std::sqrt(var));
    EXPECT_NEAR(number(add, 2, "StandardError"), std::sqrt(with_k), 1e-9 * std::sqrt(with_k));
    for (const char* c : {"StandardError", "tValue", "Probt", "Lower", "Upper"}) EXPECT_TRUE(cell(add, 1, c).is_null());
    EXPECT_NEAR(number(con, 0, "FValue"), std::pow(vm - 210, 2) / var, 1e-9);
    EXPECT_TRUE(cell(con, 1, "FValue").is_null() && cell(con, 1, "ProbF").is_null());
    EXPECT_NE(log_text().find("ESTIMATE 'a-b' is not estimable"), std::string::npos);
    EXPECT_NE(log_text().find("CONTRAST 'both' tests a function that is not estimable"), std::string::npos);
    EXPECT_EQ(log_text().find("'a+b' is not"), std::string::npos);
    if (bounded) continue;
    const std::vector<procedure_test::Row> rows = read_rows("o");
    const Json stats = tables("OutputStatistics").back();
    double h = 0, tangent = 0;
    for (int i = 0; i < 12; ++i) {
      const double x = results_test::kConc[i], dv = x / (k + x), dk = -vm * x / ((k + x) * (k + x));
      const double stdp = std::sqrt(dv * dv * v[0] + 2 * dv * dk * v[1] + dk * dk * v[2]);
      EXPECT_NEAR(number(rows[i], "stdp"), stdp, 1e-9 * stdp) << i;
      h += number(rows[i], "h"), tangent += number(stats, i, "TangentLeverage");
    }
    EXPECT_NEAR(h, 2, 1e-9);
    EXPECT_NEAR(tangent, 2, 1e-9);
  }
}

// bounds a <= b, active at a = b in both states (weights 1/conc), holds
// a - b at 0: in each BY group 'a-b' has no standard error and a note that
// the bounds hold it, the CONTRAST of a - b alone no F test and a note, and
// a - b drops out of a joint CONTRAST, whose F is that of a + b alone. a + b
// has R's standard error (nls(rate ~ 2*a*conc/(K+conc), weights 1/conc),
// port, tol 1e-14, times 2): 17.1732813 treated, 10.5640679 untreated.
// Written a >= b the bound stays inactive: a - b is not estimable, in both
// groups alike. (The start is off a <= b: the grid's warning, code 4.)
TEST_F(EstimatesTest, AFunctionTheActiveBoundsHoldHasNoStandardErrorAndANoteInEveryGroup) {
  const std::string program =
      "proc ruva data=d; by state; parms a=100 b=50 K=0.05; _weight_ = 1/conc; model rate = (a+b)*conc/(K+conc);"
      " estimate 'a-b' a-b; estimate 'a+b' a+b; contrast 'ab' a-b; contrast 'both' a+b-210, a-b;";
  ASSERT_EQ(fit(results_test::puromycin_by_state(), program + " bounds a <= b;"), 4) << log_text();
  const double se[2] = {17.1732813, 10.5640679};
  for (int g : {0, 1}) {
    SCOPED_TRACE(g);
    const Json add = tables("AdditionalEstimates").at(g), con = tables("Contrasts").at(g);
    for (const char* c : {"StandardError", "tValue", "Lower"}) EXPECT_TRUE(cell(add, 0, c).is_null()) << c;
    EXPECT_NEAR(number(add, 1, "StandardError"), se[g], 1e-5 * se[g]);
    EXPECT_EQ(cell(con, 0, "NumDF"), 0);
    EXPECT_TRUE(cell(con, 0, "ProbF").is_null());
    const double f = std::pow(number(add, 1, "Estimate") - 210, 2) / (se[g] * se[g]);
    EXPECT_EQ(cell(con, 1, "NumDF"), 1);
    EXPECT_NEAR(number(con, 1, "FValue"), f, 1e-5 * f);
  }
  for (const char* group : {"treated", "untreated"}) {
    const std::string where = std::string(" in the BY group state=") + group + ": ";
    EXPECT_NE(log_text().find("ESTIMATE 'a-b' has no standard error, t test or limits" + where + message(1004)),
              std::string::npos)
        << log_text();
    EXPECT_NE(log_text().find("CONTRAST 'ab' has no F test" + where + message(1005)), std::string::npos);
  }
  EXPECT_EQ(logged(1002) + logged(1003), 4);
  ASSERT_EQ(fit(results_test::puromycin_by_state(), program + " bounds a >= b;"), 0) << log_text();
  EXPECT_EQ(logged(1000), 2);
  EXPECT_EQ(logged(1002), 0);
}

// (a+b)*1e-2*conc/(K*1e2+conc) determines a + b and K only. a*b and
// a^2 + b^2 change along a - b although, at a = b (where G4's minimum-norm
// steps leave them), their gradients lie in the row space: both are refused,
// with G4 and without. Functions of a + b and K keep R's standard errors
// (nls on V*1e-2*conc/(K*1e2+conc): SE(V) 694.7146, SE(K) 8.280922e-5).
TEST_F(EstimatesTest, FunctionsThatChangeWhereTheFitDoesNotAreNotDetermined) {
  for (const std::string options : {"", " g4"}) {
    SCOPED_TRACE(options);
    json_.str("");
    ASSERT_EQ(fit(results_test::kPuromycin,
                  "proc ruva data=d" + options +
                      "; parms a=1e4 b=1e4 K=5e-4; model rate = (a+b)*1e-2*conc/(K*1e2+conc);"
                      " estimate 'ab' a*b; estimate 'squares' a**2+b**2; estimate 'a+b' a+b;"
                      " estimate 'twice' 2*(a+b); estimate 'K' K; contrast 'ab' a*b - 1e8;"
                      " contrast 'a+b' a+b - 21000;"),
              0)
        << log_text();
    const Json add = table("AdditionalEstimates"), con = table("Contrasts");
    for (int i : {0, 1})
      for (const char* c : {"StandardError", "tValue", "Probt", "Lower", "Upper"})
        EXPECT_TRUE(cell(add, i, c).is_null()) << i << " " << c;
    EXPECT_NE(log_text().find("ESTIMATE 'ab' is not estimable"), std::string::npos);
    EXPECT_NE(log_text().find("ESTIMATE 'squares' is not estimable"), std::string::npos);
    EXPECT_TRUE(cell(con, 0, "FValue").is_null());
    const double se = 694.7146;
    EXPECT_NEAR(number(add, 2, "StandardError"), se, 1e-6 * se);
    EXPECT_NEAR(number(add, 3, "StandardError"), 2 * se, 2e-6 * se);
    EXPECT_NEAR(number(add, 4, "StandardError"), 8.280922e-5, 1e-5 * 8.280922e-5);
    const double f = std::pow((number(add, 2, "Estimate") - 21000) / number(add, 2, "StandardError"), 2);
    EXPECT_NEAR(number(con, 1, "FValue"), f, 1e-9 * f);
  }
}

// a*c*conc/(K+conc) determines only the product, and the directions it
// leaves undetermined bend with the parameters: a*c and functions of it
// keep the standard errors of the fit with Vm = a*c (the delta method from
// J'J here); a and a/c are refused.
TEST_F(EstimatesTest, AProductTheModelDeterminesKeepsItsStandardError) {
  for (const std::string options : {"", " g4"}) {
    SCOPED_TRACE(options);
    json_.str("");
    ASSERT_EQ(fit(results_test::kPuromycin, "proc ruva data=d" + options +
                                                "; parms a=10 c=20 K=0.05; model rate = a*c*conc/(K+conc);"
                                                " estimate 'ac' a*c; estimate 'ac+K' 2*a*c + K;"
                                                " estimate 'a' a; estimate 'a/c' a/c;"),
              0)
        << log_text();
    const Json pe = table("ParameterEstimates"), add = table("AdditionalEstimates");
    const std::vector<double> v = puromycin_covariance(number(add, 0, "Estimate"), number(pe, 2, "Estimate"));
    EXPECT_NEAR(number(add, 0, "StandardError"), std::sqrt(v[0]), 1e-8 * std::sqrt(v[0]));
    const double twice = std::sqrt(4 * v[0] + 4 * v[1] + v[2]);
    EXPECT_NEAR(number(add, 1, "StandardError"), twice, 1e-8 * twice);
    EXPECT_TRUE(cell(add, 2, "StandardError").is_null());
    EXPECT_TRUE(cell(add, 3, "StandardError").is_null());
  }
}

// With BY groups the notes say which group's data leave a - b undetermined.
TEST_F(EstimatesTest, UndeterminedFunctionsNameTheirByGroup) {
  std::string csv = "g,conc,rate\n";
  for (int g = 1; g <= 2; ++g)
    for (int i = 0; i < 12; ++i)
      csv += std::to_string(g) + "," + std::to_string(results_test::kConc[i]) + "," +
             std::to_string(results_test::kRate[i]) + "\n";
  ASSERT_EQ(fit(csv, "proc ruva data=d; by g; parms a=150 b=50 K=0.05; model rate = (a+b)*conc/(K+conc);"
                     " estimate 'a-b' a-b; contrast 'both' a+b-210, a-b;"),
            0)
      << log_text();
  for (const char* g : {"1", "2"}) {
    const std::string by = std::string(" is not estimable in the BY group g=") + g + ": it changes";
    EXPECT_NE(log_text().find("ESTIMATE 'a-b'" + by), std::string::npos) << g;
    EXPECT_NE(log_text().find("CONTRAST 'both' tests a function that" + by), std::string::npos) << g;
  }
}

// y = a + b x + c x^2 on 13 points: F = (Lb - m)' (L (X'X)^-1 L')^-1 (Lb - m) / (q s2).
TEST_F(EstimatesTest, LinearContrastsMatchTheClosedFormF) {
  const double noise[13] = {0.3, -0.2, 0.1, 0.4, -0.5, 0.2, -0.1, 0.0, 0.3, -0.3, 0.2, -0.4, 0.1};
  std::string csv = "x,y\n";
  std::vector<double> xtx(6, 0.0), xty(3, 0.0), xs, ys;
  for (int i = 0; i < 13; ++i) {
    const double x = i - 3;
    const std::string y = std::to_string(2 + 0.5 * x - 0.1 * x * x + noise[i]);
    csv += std::to_string(x) + "," + y + "\n";
    xs.push_back(x);
    ys.push_back(std::stod(y));  // the value the data set holds
    const double r[3] = {1, x, x * x};
    for (int a = 0; a < 3; ++a) {
      xty[a] += r[a] * ys.back();
      for (int b = 0; b <= a; ++b) xtx[zisub(a, b)] += r[a] * r[b];
    }
  }
  invert(&xtx, 3);
  double beta[3] = {0, 0, 0}, sse = 0;
  for (int a = 0; a < 3; ++a)
    for (int b = 0; b < 3; ++b) beta[a] += xtx[zisub(a, b)] * xty[b];
  for (int i = 0; i < 13; ++i) sse += std::pow(ys[i] - beta[0] - beta[1] * xs[i] - beta[2] * xs[i] * xs[i], 2);
  std::vector<double> v = xtx;
  for (double& c : v) c *= sse / 10;
  const struct {
    const char* text;
    Matrix l;
    std::vector<double> m;
  } cases[] = {
      {"contrast 'b' b - 0.5;", {{0, 1, 0}}, {0.5}},
      {"contrast 'bc' b - 0.5, c + 0.1;", {{0, 1, 0}, {0, 0, 1}}, {0.5, -0.1}},
      {"contrast 'mix' a + b + c - 2.4, b - 2*c - 0.7;", {{1, 1, 1}, {0, 1, -2}}, {2.4, 0.7}},
      {"contrast 'dependent' b - 0.5, 2*b - 1;", {{0, 1, 0}}, {0.5}},  // one degree of freedom
  };
  std::string program = "proc ruva data=d; parms a=0 b=0 c=0; model y = a + b*x + c*x*x;";
  for (const auto& c : cases) program += c.text;
  ASSERT_EQ(fit(csv, program), 0) << log_text();
  const Json con = table("Contrasts");
  ASSERT_TRUE(con.is_object()) << log_text();
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    std::vector<double> h;
    for (std::size_t r = 0; r < cases[i].l.size(); ++r)
      h.push_back(cases[i].l[r][0] * beta[0] + cases[i].l[r][1] * beta[1] + cases[i].l[r][2] * beta[2] - cases[i].m[r]);
    const double f = wald_f(cases[i].l, v, h);
    const int q = static_cast<int>(h.size());
    EXPECT_EQ(cell(con, i, "NumDF"), q) << cases[i].text;
    EXPECT_EQ(cell(con, i, "DenDF"), 10) << cases[i].text;
    EXPECT_NEAR(number(con, i, "FValue"), f, 1e-8 * f) << cases[i].text;
    EXPECT_NEAR(number(con, i, "ProbF"), f10_probability(f, q), 1e-8) << cases[i].text;
  }
}

}  // namespace

namespace {

// A function whose value cannot be computed at the estimates (log of a
// negative number, a division by zero) has no standard error or F test,
// whatever its derivatives, and the note says so.
TEST_F(EstimatesTest, AFunctionWithoutAValueHasNoStandardErrorOrTest) {
  ASSERT_EQ(fit(results_test::kPuromycin, "proc ruva data=d; parms Vm=200 K=0.05; model rate = Vm*conc/(K+conc);"
                                          " estimate 'logneg' log(K-1); estimate 'div0' 1/(Vm-Vm);"
                                          " contrast 'cl' log(K-1), Vm-200;"),
            0)
      << log_text();
  const Json add = table("AdditionalEstimates"), con = table("Contrasts");
  for (int i : {0, 1}) EXPECT_TRUE(cell(add, i, "StandardError").is_null()) << i;
  EXPECT_EQ(logged(1002), 2);
  EXPECT_NE(log_text().find("ESTIMATE 'div0' has no standard error, t test or limits: " + message(1024)),
            std::string::npos)
      << log_text();
  EXPECT_NE(log_text().find("CONTRAST 'cl' has no F test: " + message(1025)), std::string::npos);
  EXPECT_EQ(cell(con, 0, "NumDF"), 2);
  EXPECT_TRUE(cell(con, 0, "FValue").is_null());
}

// A contrast of an exact fit (group 1), or of a fit with no error degrees
// of freedom (group 2), has no test: F and its p-value are missing, and its
// degrees of freedom are the rank of its rows (a, b and a + b: 2), as they
// are with a variance.
TEST_F(EstimatesTest, AContrastWithoutAnErrorVarianceKeepsItsDegreesOfFreedom) {
  ASSERT_EQ(fit("g,x,y\n1,1,2\n1,2,3\n1,3,4\n1,4,5\n2,1,2\n2,2,3.5\n",
                "proc ruva data=d; by g; parms a=1 b=1; model y = a + b*x; contrast 'a' a; contrast 'ab' a, b, a+b;"),
            0)
      << log_text();
  const auto groups = tables("Contrasts");
  ASSERT_EQ(groups.size(), 2u) << log_text();
  for (const Json& t : groups)
    for (int i : {0, 1}) {
      EXPECT_EQ(cell(t, i, "NumDF"), i + 1);
      EXPECT_TRUE(cell(t, i, "FValue").is_null());
      EXPECT_TRUE(cell(t, i, "ProbF").is_null());
    }
}

// On both states together (a+b)*conc/(K+conc) determines a + b and K only:
// of L = [a+b; a-b] only the first row is testable, so Num DF is 1, and
// a - b alone has none, whichever inverse the fit uses (the default's
// gives a - b the variance of a, G4's about zero).
TEST_F(EstimatesTest, AnUndeterminedRowHasNoDegreeOfFreedom) {
  for (const std::string options : {"", " g4"}) {
    SCOPED_TRACE(options);
    json_.str("");
    ASSERT_EQ(fit(results_test::puromycin_by_state(),
                  "proc ruva data=d" + options + "; parms a=100 b=100 K=0.06; model rate = (a+b)*conc/(K+conc);"
                                                 " contrast 'ab' a+b, a-b; contrast 'a-b' a-b;"),
              0)
        << log_text();
    const Json con = table("Contrasts");
    EXPECT_EQ(cell(con, 0, "NumDF"), 1);
    EXPECT_EQ(cell(con, 1, "NumDF"), 0);
    EXPECT_TRUE(cell(con, 0, "FValue").is_null());
  }
}

}  // namespace
