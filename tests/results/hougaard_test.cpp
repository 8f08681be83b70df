// Hougaard skewness: the accumulation against the triple sum written out
// term by term over random matrices; the skewness of theta in
// y = theta^2 x + e against the delta method's closed form
// -3/2 sigma / (theta^2 sqrt(sum x^2)); zero for a model linear in its
// parameters; the guards that make it missing.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "fitted_context.h"
#include "host/missing.h"
#include "linalg/packed.h"
#include "results/hougaard.h"
#include "support/output_fixture.h"

namespace {

using Json = nlohmann::json;

// The sum as defined: over i, j, k of C_li C_lj C_lk (J_i H_jk + J_j H_ik + J_k H_ij).
std::vector<double> triple_sum(int n, const std::vector<double>& c, const std::vector<double>& jac,
                               const std::vector<double>& h) {
  std::vector<double> s(n, 0.0);
  auto C = [&](int a, int b) { return c[zisub(a, b)]; };
  auto H = [&](int a, int b) { return h[zisub(a, b)]; };
  for (int l = 0; l < n; ++l)
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j)
        for (int k = 0; k < n; ++k)
          s[l] += C(l, i) * C(l, j) * C(l, k) * (jac[i] * H(j, k) + jac[j] * H(i, k) + jac[k] * H(i, j));
  return s;
}

TEST(Hougaard, AccumulationEqualsTheTripleSumOverObservations) {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> u(-1, 1);
  for (int n : {1, 2, 3, 6}) {
    const long m = static_cast<long>(n) * (n + 1) / 2;
    std::vector<double> c(m), sums(n, 0.0), expected(n, 0.0);
    for (double& v : c) v = u(rng);
    for (int obs = 0; obs < 5; ++obs) {
      std::vector<double> jac(n), h(m);
      for (double& v : jac) v = u(rng);
      for (double& v : h) v = u(rng);
      const std::vector<double> s = triple_sum(n, c, jac, h);
      for (int l = 0; l < n; ++l) expected[l] += s[l];
      ASSERT_EQ(jovhoug(n, jac.data(), h.data(), c.data(), sums.data(), 0.0, 0), 0);
    }
    for (int l = 0; l < n; ++l) EXPECT_NEAR(sums[l], expected[l], 1e-12 * (1 + std::fabs(expected[l]))) << n;
  }
}

TEST(Hougaard, ObservationsWithUnusableSecondDerivativesAddNothing) {
  double c[3] = {2, 0.5, 1}, jac[2] = {1, 2}, sums[2] = {0, 0};
  double missing[3] = {1, missing_value(), 1}, huge[3] = {1, 1.3407807929942597e152, 1};
  EXPECT_EQ(jovhoug(2, jac, missing, c, sums, 0.0, 0), 0);
  EXPECT_EQ(jovhoug(2, jac, huge, c, sums, 0.0, 0), 0);
  EXPECT_EQ(sums[0], 0.0);
  EXPECT_EQ(sums[1], 0.0);
}

TEST(Hougaard, ACovarianceTooLargeToCubeMakesEverySkewnessMissing) {
  double c[3] = {1e103, 0, 1}, jac[2] = {1, 1}, h[3] = {1, 1, 1}, sums[2] = {0, 0};
  EXPECT_EQ(jovhoug(2, jac, h, c, sums, 0.0, 0), 1);
  c[0] = 1;
  EXPECT_EQ(jovhoug(2, nullptr, nullptr, c, sums, 1.0, 1), 0);
  EXPECT_TRUE(is_special_missing(sums[0]));
  EXPECT_TRUE(is_special_missing(sums[1]));
}

// With C = 1 and mse = 1 the skewness is -S: 10 is shown, beyond it missing;
// a parameter without variance has none.
TEST(Hougaard, FinalGuards) {
  double c[3] = {1, 0, 0}, sums[2] = {-10, 1};
  jovhoug(2, nullptr, nullptr, c, sums, 1.0, 1);
  EXPECT_EQ(sums[0], 10.0);
  EXPECT_TRUE(is_special_missing(sums[1]));
  double beyond[1] = {-10.000001}, one[1] = {1};
  jovhoug(1, nullptr, nullptr, one, beyond, 1.0, 1);
  EXPECT_TRUE(is_special_missing(beyond[0]));
}

// y = theta^2 x: theta-hat = sqrt(beta-hat) with beta-hat normal, whose
// skewness the delta method gives as -3/2 sqrt(v) / beta, v = sigma^2 / Sxx.
TEST(Hougaard, SkewnessOfASquareRootParameterMatchesTheDeltaMethod) {
  const double theta = 1.7, sigma2 = 0.3;
  const std::vector<double> x = {0.5, 1, 1.5, 2, 3};
  double sxx = 0;
  for (double xi : x) sxx += xi * xi;
  double c = 1 / (4 * theta * theta * sxx), sum = 0;
  for (double xi : x) {
    double jac = 2 * theta * xi, h = 2 * xi;
    jovhoug(1, &jac, &h, &c, &sum, 0.0, 0);
  }
  jovhoug(1, nullptr, nullptr, &c, &sum, sigma2, 1);
  EXPECT_NEAR(sum, -1.5 * std::sqrt(sigma2) / (theta * theta * std::sqrt(sxx)), 1e-14);
}

// Through the tables: the Skewness column, finalised with the fitted variance.
results_test::Problem g_problem;
results_test::FitOptions g_options;

void tabulate() { results_test::fit_and_tabulate(g_problem, g_options); }

// Accumulates the sums of the last pass as the data pass does, from the
// inverse the fit left in `xpx`.
void accumulate_last_pass(RUVACOM* ctx, const std::vector<double>& x, bool squared) {
  const int n = ctx->nparm;
  ctx->hougaard = ruva_new<double>(n);
  for (double xi : x) {
    std::vector<double> jac(n), h(zisub(n, 0), 0.0);
    if (squared) {
      jac[0] = 2 * ctx->parm[0] * xi;
      h[0] = 2 * xi;
    } else {
      jac = {1, xi};
    }
    jovhoug(n, jac.data(), h.data(), ctx->xpx, ctx->hougaard, 0.0, 0);
  }
}

const std::vector<double> kX = {0.5, 1, 1.5, 2, 3, 4};
const std::vector<double> kY = {0.9, 2.2, 3.1, 4.4, 6.2, 8.3};

using HougaardTableTest = OutputTest;

TEST_F(HougaardTableTest, TheSkewnessColumnShowsTheFinalisedMeasure) {
  g_problem = {};
  g_problem.names = {"theta"};
  g_problem.start = {1};
  g_problem.y = kY;
  g_problem.model = [](const double* b, int i, double* f, double* df) {
    *f = b[0] * b[0] * kX[i];
    df[0] = 2 * b[0] * kX[i];
  };
  g_options = {};
  g_options.before = [](RUVACOM* ctx) { accumulate_last_pass(ctx, kX, true); };
  ASSERT_EQ(run_as_step(tabulate), 0) << log_text();
  const Json t = json_named("ParameterEstimates");
  ASSERT_TRUE(t.is_object());
  ASSERT_EQ(t["columns"][6]["name"], "Skewness");
  const double theta = t["rows"][0][1].get<double>();
  double sxx = 0, sse = 0;
  for (std::size_t i = 0; i < kX.size(); ++i) {
    sxx += kX[i] * kX[i];
    sse += std::pow(kY[i] - theta * theta * kX[i], 2);
  }
  const double mse = sse / 5;
  EXPECT_NEAR(t["rows"][0][6].get<double>(), -1.5 * std::sqrt(mse) / (theta * theta * std::sqrt(sxx)), 1e-12);
}

TEST_F(HougaardTableTest, AModelLinearInItsParametersHasNoSkewness) {
  g_problem = {};
  g_problem.names = {"a", "b"};
  g_problem.start = {0, 1};
  g_problem.y = kY;
  g_problem.model = [](const double* b, int i, double* f, double* df) {
    *f = b[0] + b[1] * kX[i];
    df[0] = 1;
    df[1] = kX[i];
  };
  g_options = {};
  g_options.before = [](RUVACOM* ctx) { accumulate_last_pass(ctx, kX, false); };
  ASSERT_EQ(run_as_step(tabulate), 0) << log_text();
  const Json t = json_named("ParameterEstimates");
  ASSERT_EQ(t["columns"][6]["name"], "Skewness");
  EXPECT_EQ(t["rows"][0][6], 0.0);
  EXPECT_EQ(t["rows"][1][6], 0.0);
}

}  // namespace
