// Hougaard skewness: the accumulation against the triple sum written out
// term by term over random matrices; the skewness of theta in
// y = theta^2 x + e against the delta method's closed form
// -3/2 sigma / (theta^2 sqrt(sum x^2)), also through the tables; the guards
// that make it missing; under an active bound, the skewness of the free
// parameters against a fit with the bound parameter fixed.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "fit_fixture.h"
#include "host/missing.h"
#include "linalg/packed.h"
#include "results/hougaard.h"

namespace {

using results_test::Json;

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

// A covariance too large to cube makes every skewness missing. With C = 1
// and mse = 1 the skewness is -S: 10 is shown, beyond it missing; a
// parameter without variance has none.
TEST(Hougaard, FinalGuards) {
  double big[3] = {1e103, 0, 1}, jac[2] = {1, 1}, h[3] = {1, 1, 1}, none[2] = {0, 0};
  EXPECT_EQ(jovhoug(2, jac, h, big, none, 0.0, 0), 1);
  double c[3] = {1, 0, 1};
  EXPECT_EQ(jovhoug(2, nullptr, nullptr, c, none, 1.0, 1), 0);
  EXPECT_TRUE(is_special_missing(none[0]));
  EXPECT_TRUE(is_special_missing(none[1]));
  double sums[2] = {-10, 1};
  c[2] = 0;
  jovhoug(2, nullptr, nullptr, c, sums, 1.0, 1);
  EXPECT_EQ(sums[0], 10.0);
  EXPECT_TRUE(is_special_missing(sums[1]));
  double beyond[1] = {-10.000001}, one[1] = {1};
  jovhoug(1, nullptr, nullptr, one, beyond, 1.0, 1);
  EXPECT_TRUE(is_special_missing(beyond[0]));
}

// y = theta^2 x: theta-hat = sqrt(beta-hat) with beta-hat normal, whose
// skewness the delta method gives as -3/2 sqrt(v) / beta, v = sigma^2 / Sxx;
// the Skewness column shows it finalised with the fitted variance.
using HougaardTableTest = results_test::FitTest;

TEST_F(HougaardTableTest, TheSkewnessColumnShowsTheFinalisedMeasure) {
  const std::vector<double> x = {0.5, 1, 1.5, 2, 3, 4}, y = {0.9, 2.2, 3.1, 4.4, 6.2, 8.3};
  ASSERT_EQ(fit("x,y\n0.5,0.9\n1,2.2\n1.5,3.1\n2,4.4\n3,6.2\n4,8.3\n",
                "proc ruva data=d hougaard; parms theta=1; model y = theta*theta*x;"),
            0)
      << log_text();
  const Json t = table("ParameterEstimates");
  ASSERT_TRUE(t.is_object());
  const double theta = number(t, 0, "Estimate");
  double sxx = 0, sse = 0;
  for (std::size_t i = 0; i < x.size(); ++i) sxx += x[i] * x[i], sse += std::pow(y[i] - theta * theta * x[i], 2);
  const double mse = sse / 5;
  EXPECT_NEAR(number(t, 0, "Skewness"), -1.5 * std::sqrt(mse) / (theta * theta * std::sqrt(sxx)), 1e-12);
}

// Weights w give the skewness of the unweighted fit of sqrt(w) y on
// sqrt(w) f(x): the same sum of squares, derivatives and second derivatives.
TEST_F(HougaardTableTest, WeightsGiveTheSkewnessOfTheRescaledFit) {
  const double x[6] = {1, 2, 3, 4, 5, 6}, y[6] = {1.9, 1.1, 0.62, 0.41, 0.27, 0.13}, w[6] = {1, 2, 0.5, 3, 1, 2};
  std::string weighted = "x,y,w\n", rescaled = "x,y,s\n";
  char line[120];
  for (int i = 0; i < 6; ++i) {
    std::snprintf(line, sizeof line, "%g,%.17g,%.17g\n", x[i], y[i], w[i]);
    weighted += line;
    std::snprintf(line, sizeof line, "%g,%.17g,%.17g\n", x[i], y[i] * std::sqrt(w[i]), std::sqrt(w[i]));
    rescaled += line;
  }
  ASSERT_EQ(fit(weighted, "proc ruva data=d hougaard; parms a=1 b=0.1; _weight_ = w; model y = a*exp(-b*x);"), 0)
      << log_text();
  ASSERT_EQ(fit(rescaled, "proc ruva data=d hougaard; parms a=1 b=0.1; model y = s*a*exp(-b*x);"), 0) << log_text();
  const auto t = tables("ParameterEstimates");
  ASSERT_EQ(t.size(), 2u);
  for (std::size_t row : {0, 1}) {
    const double expected = number(t[1], row, "Skewness");
    EXPECT_NE(expected, 0);
    EXPECT_NEAR(number(t[0], row, "Skewness"), expected, 1e-8 * std::fabs(expected)) << row;
  }
}

// c >= 0.5 holds c at its bound: the last pass runs on the cross products
// projected onto a and b, so their skewness is that of the fit with c
// fixed at 0.5, by every method (NEWTON's covariance carries the second
// derivatives in both fits); the bound parameter has none, nor has any
// when every parameter is held.
TEST_F(HougaardTableTest, AnActiveBoundLeavesTheSkewnessOfTheFreeParameters) {
  std::string csv = "x,y\n";
  for (int i = 0; i < 12; ++i)
    csv += std::to_string(0.5 * i) + "," + std::to_string(3 * std::exp(-0.3 * i) + 0.2 + 0.03 * std::sin(3 * i)) + "\n";
  for (const std::string method : {"gauss", "marquardt", "newton", "gradient"}) {
    const std::string options = "proc ruva data=d hougaard maxiter=500 method=" + method;
    ASSERT_EQ(fit(csv, options + "; parms a=3 b=0.5 c=0.6; bounds c >= 0.5; model y = a*exp(-b*x) + c;"), 0)
        << log_text();
    ASSERT_EQ(fit(csv, options + "; parms a=3 b=0.5; model y = a*exp(-b*x) + 0.5;"), 0) << log_text();
    const auto t = tables("ParameterEstimates");
    ASSERT_EQ(t.size(), 2u);
    for (std::size_t row : {0, 1}) {
      const double fixed = number(t[1], row, "Skewness");
      EXPECT_NEAR(number(t[0], row, "Skewness"), fixed, 1e-5 * std::fabs(fixed)) << method << row;
    }
    EXPECT_TRUE(cell(t[0], 2, "Skewness").is_null()) << method;
    // Every parameter held at a bound from the start: none has a skewness.
    json_.str("");
    ASSERT_EQ(fit(csv, options + "; parms a=3 b=0.5 c=0.7; bounds a <= 2, b >= 1, c <= 0.5; model y = a*exp(-b*x) + c;"),
              4)
        << log_text();
    for (std::size_t row : {0, 1, 2}) EXPECT_TRUE(cell(table("ParameterEstimates"), row, "Skewness").is_null());
    json_.str("");
  }
}

}  // namespace
