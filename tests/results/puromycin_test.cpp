// The result tables of the Puromycin fit (treated state), rate = Vm conc /
// (K + conc), built on the optimiser's fit: the published standard errors
// and Wald limits at the published estimates; the analysis of variance
// without and with an intercept against its closed forms; the correlations
// against an inverse formed by LAPACK.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "fitted_context.h"
#include "host/services.h"
#include "optim/lapack.h"
#include "support/output_fixture.h"

namespace {

using Json = nlohmann::json;
using results_test::Problem;
using results_test::FitOptions;

const std::vector<double> kConc = {0.02, 0.02, 0.06, 0.06, 0.11, 0.11, 0.22, 0.22, 0.56, 0.56, 1.10, 1.10};
const std::vector<double> kRate = {76, 47, 97, 107, 123, 139, 159, 152, 191, 201, 207, 200};

Problem michaelis_menten() {
  Problem p;
  p.names = {"Vm", "K"};
  p.start = {200, 0.1};
  p.y = kRate;
  p.dependent = "rate";
  p.model = [](const double* b, int i, double* f, double* df) {
    const double x = kConc[i], d = b[1] + x;
    *f = b[0] * x / d;
    df[0] = x / d;
    df[1] = -b[0] * x / (d * d);
  };
  return p;
}

// The same curve shifted by a constant: an intercept the program shows.
Problem shifted_michaelis_menten() {
  Problem p = michaelis_menten();
  p.names = {"c", "Vm", "K"};
  p.start = {0, 200, 0.1};
  p.model = [](const double* b, int i, double* f, double* df) {
    const double x = kConc[i], d = b[2] + x;
    *f = b[0] + b[1] * x / d;
    df[0] = 1;
    df[1] = x / d;
    df[2] = -b[1] * x / (d * d);
  };
  return p;
}

Problem g_problem;
FitOptions g_setup;

void tabulate() { results_test::fit_and_tabulate(g_problem, g_setup); }

class PuromycinTest : public OutputTest {
 protected:
  void run(Problem p, FitOptions s = {}) {
    g_problem = std::move(p);
    g_setup = std::move(s);
    ASSERT_EQ(run_as_step(tabulate), 0) << log_text();
  }
  // Cell (row, column name) of a table in the JSON stream.
  static Json cell(const Json& t, std::size_t row, const std::string& column) {
    const Json& cols = t["columns"];
    for (std::size_t c = 0; c < cols.size(); ++c)
      if (cols[c]["name"] == column) return t["rows"][row][c];
    ADD_FAILURE() << "no column " << column;
    return nullptr;
  }
  static double sum_of_squares(const std::vector<double>& v, double centre = 0) {
    double s = 0;
    for (double x : v) s += (x - centre) * (x - centre);
    return s;
  }
};

// The published figures come from a fit that stopped at (212.6836,
// 0.06412103), a little short of the minimum; at that point the tables must
// reproduce every published digit.
TEST_F(PuromycinTest, AtThePublishedEstimatesStandardErrorsAndWaldLimitsMatchEveryDigit) {
  FitOptions s;
  s.stop_at = {212.6836, 0.06412103};
  run(michaelis_menten(), s);
  const Json t = json_named("ParameterEstimates");
  ASSERT_TRUE(t.is_object()) << log_text();
  ASSERT_EQ(t["rows"].size(), 2u);
  EXPECT_EQ(cell(t, 0, "Parameter"), "Vm");
  EXPECT_EQ(cell(t, 1, "Parameter"), "K");
  EXPECT_EQ(cell(t, 0, "Estimate").get<double>(), 212.6836);
  EXPECT_NEAR(cell(t, 0, "StdErr").get<double>(), 6.947146, 5e-7);
  EXPECT_NEAR(cell(t, 0, "LowerCL").get<double>(), 197.2044, 5e-5);
  EXPECT_NEAR(cell(t, 0, "UpperCL").get<double>(), 228.1628, 5e-5);
  EXPECT_NEAR(cell(t, 1, "StdErr").get<double>(), 0.008280922, 5e-10);
  // The limits also carry the rounding of the published estimate.
  EXPECT_NEAR(cell(t, 1, "LowerCL").get<double>(), 0.04566998, 1e-8);
  EXPECT_NEAR(cell(t, 1, "UpperCL").get<double>(), 0.08257207, 1e-8);
  EXPECT_EQ(cell(t, 0, "Alpha").get<double>(), 0.05);
  EXPECT_EQ(t["attributes"]["ciheader"], "Approximate 95% Confidence Limits");
  EXPECT_TRUE(t["notes"].empty());
}

// Without an intercept: Model SS = sum y^2 - SSE on 2 df; for F on (2, e)
// degrees of freedom P(F > f) = (1 + 2 f / e)^(-e/2).
TEST_F(PuromycinTest, AnovaWithoutInterceptIsUncorrected) {
  run(michaelis_menten());
  const Json a = json_named("ANOVA");
  ASSERT_TRUE(a.is_object());
  EXPECT_EQ(a["label"], "Analysis of Variance for rate");
  ASSERT_EQ(a["rows"].size(), 3u);
  EXPECT_EQ(cell(a, 0, "Source"), "Model");
  EXPECT_EQ(cell(a, 1, "Source"), "Error");
  EXPECT_EQ(cell(a, 2, "Source"), "Uncorrected Total");
  const double sse = 1195.449, total = sum_of_squares(kRate);
  EXPECT_EQ(cell(a, 0, "DF"), 2);
  EXPECT_EQ(cell(a, 1, "DF"), 10);
  EXPECT_EQ(cell(a, 2, "DF"), 12);
  EXPECT_NEAR(cell(a, 1, "SS").get<double>(), sse, 5e-4);
  EXPECT_NEAR(cell(a, 1, "MS").get<double>(), sse / 10, 5e-5);
  EXPECT_NEAR(cell(a, 0, "SS").get<double>(), total - sse, 5e-4);
  EXPECT_DOUBLE_EQ(cell(a, 2, "SS").get<double>(), total);
  const double f = cell(a, 0, "FValue").get<double>();
  EXPECT_NEAR(f, ((total - sse) / 2) / (sse / 10), 1e-3);
  EXPECT_NEAR(cell(a, 0, "ProbF").get<double>() / std::pow(1 + 2 * f / 10, -5), 1, 1e-9);
  EXPECT_TRUE(cell(a, 1, "FValue").is_null());
  EXPECT_TRUE(cell(a, 2, "MS").is_null());
  ASSERT_EQ(a["notes"].size(), 1u);
  EXPECT_EQ(a["notes"][0], "The model has no intercept, so the sums of squares are uncorrected for the mean.");
}

TEST_F(PuromycinTest, AnovaWithAnInterceptIsCorrectedForTheMean) {
  run(shifted_michaelis_menten());
  const Json a = json_named("ANOVA");
  ASSERT_TRUE(a.is_object());
  ASSERT_EQ(a["rows"].size(), 3u);
  EXPECT_EQ(cell(a, 2, "Source"), "Corrected Total");
  double mean = 0;
  for (double y : kRate) mean += y / 12;
  const double corrected = sum_of_squares(kRate, mean);
  const double sse = cell(a, 1, "SS").get<double>();
  EXPECT_EQ(cell(a, 0, "DF"), 2);
  EXPECT_EQ(cell(a, 1, "DF"), 9);
  EXPECT_EQ(cell(a, 2, "DF"), 11);
  EXPECT_NEAR(cell(a, 2, "SS").get<double>(), corrected, 1e-9 * corrected);
  EXPECT_NEAR(cell(a, 0, "SS").get<double>(), corrected - sse, 1e-9 * corrected);
  EXPECT_LT(sse, 1195.449);  // one more parameter fits at least as well
  const double f = cell(a, 0, "FValue").get<double>();
  EXPECT_NEAR(f, ((corrected - sse) / 2) / (sse / 9), 1e-9 * f);
  EXPECT_NEAR(cell(a, 0, "ProbF").get<double>() / std::pow(1 + 2 * f / 9, -4.5), 1, 1e-9);
  EXPECT_TRUE(a["notes"].empty());
}

TEST_F(PuromycinTest, CorrelationsAreSymmetricWithAUnitDiagonalAndMatchAnIndependentInverse) {
  run(shifted_michaelis_menten());
  const Json c = json_named("CorrB");
  ASSERT_TRUE(c.is_object());
  EXPECT_EQ(c["label"], "Approximate Correlation Matrix");
  // J'J at the estimates, inverted by LAPACK (column-major, symmetric).
  const Json est = json_named("ParameterEstimates");
  std::vector<double> b;
  for (const auto& row : est["rows"]) b.push_back(row[1].get<double>());
  std::vector<double> jac, r;
  results_test::evaluate(g_problem, b.data(), &jac, &r);
  const int n = 3, m = 12;
  std::vector<double> a(n * n, 0.0), work(64);
  std::vector<int> ipiv(n);
  for (int i = 0; i < m; ++i)
    for (int j = 0; j < n; ++j)
      for (int k = 0; k < n; ++k) a[j * n + k] += jac[i * n + j] * jac[i * n + k];
  int info = 0, lwork = 64;
  dgetrf_(&n, &n, a.data(), &n, ipiv.data(), &info);
  dgetri_(&n, a.data(), &n, ipiv.data(), work.data(), &lwork, &info);
  ASSERT_EQ(info, 0);
  ASSERT_EQ(c["rows"].size(), 3u);
  for (int i = 0; i < n; ++i) {
    EXPECT_EQ(c["rows"][i][0], est["rows"][i][0]);  // row names
    EXPECT_EQ(c["rows"][i][i + 1].get<double>(), 1.0);
    for (int j = 0; j < n; ++j) {
      const double rij = c["rows"][i][j + 1].get<double>();
      EXPECT_EQ(rij, c["rows"][j][i + 1].get<double>());
      EXPECT_LE(std::fabs(rij), 1.0);
      if (i != j) {
        EXPECT_NEAR(rij, a[i * n + j] / std::sqrt(a[i * n + i] * a[j * n + j]), 1e-9);
      }
    }
  }
}

}  // namespace
