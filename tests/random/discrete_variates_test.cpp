// The discrete variates: their branches over scripted uniforms, parameter
// checks, buffer fills, and chi-square tests against the probability
// functions (moments for the normal approximations).
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "distribution_checks.h"
#include "host/missing.h"
#include "random/variate_operations.h"
#include "random_support.h"

namespace {

using Draw = std::function<double(MERSENNE_RAND*)>;
using Fill = std::function<int(MERSENNE_RAND*)>;

double log_choose(double n, double k) {
  return std::lgamma(n + 1) - std::lgamma(k + 1) - std::lgamma(n - k + 1);
}
double binomial_pmf(std::int64_t k, double n, double p) {
  if (k > n) return 0;
  return std::exp(log_choose(n, k) + k * std::log(p) + (n - k) * std::log1p(-p));
}
double poisson_pmf(std::int64_t k, double lambda) {
  return std::exp(k * std::log(lambda) - lambda - std::lgamma(k + 1.0));
}

// The p-value must not fall below 1 in 10000.
void expect_chi_square(const std::vector<double>& draws,
                       const std::function<double(std::int64_t)>& pmf, std::int64_t low,
                       std::int64_t high, const char* what) {
  EXPECT_GT(dc::chi_square_p(draws, pmf, low, high), 1e-4) << what;
}

using DiscreteVariates = RandomTest;

TEST_F(DiscreteVariates, InvalidParametersDrawNothing) {
  dc::expect_invalid<&GetOneVariateBERNOULLI, &FillTheBufferBERNOULLI>(1.5);
  dc::expect_invalid<&GetOneVariateHYPERGEOMETRIC, &FillTheBufferHYPERGEOMETRIC>(10, 11, 3);
  dc::expect_invalid<&GetOneVariateHYPERGEOMETRIC, &FillTheBufferHYPERGEOMETRIC>(0, 0, 0);
  dc::expect_invalid<&GetOneVariateNEGBINOMIAL, &FillTheBufferNEGBINOMIAL>(0.0, 2.0);
  dc::expect_invalid<&GetOneVariateNEGBINOMIAL, &FillTheBufferNEGBINOMIAL>(0.5, 0.0);
  dc::expect_invalid<&GetOneVariateBINOMIAL, &FillTheBufferBINOMIAL>(-1, 0.5);
  dc::expect_invalid<&GetOneVariateBINOMIAL, &FillTheBufferBINOMIAL>(10, NAN);
  dc::expect_invalid<&GetOneVariateGEOMETRIC, &FillTheBufferGEOMETRIC>(0.0);
  dc::expect_invalid<&GetOneVariateGEOMETRIC, &FillTheBufferGEOMETRIC>(NAN);
  dc::expect_invalid<&GetOneVariatePOISSON, &FillTheBufferPOISSON>(-1.0);
  dc::expect_invalid<&GetOneVariatePOISSON, &FillTheBufferPOISSON>(NAN);
  dc::expect_invalid<&GetOneVariateTABLE, &FillTheBufferTABLE>(3, static_cast<double*>(nullptr));
}

TEST_F(DiscreteVariates, BranchesOverScriptedUniforms) {
  rt::Script script{{0.3}};
  auto q = rt::scripted(&script);
  EXPECT_EQ(GetOneVariateBERNOULLI(q.get(), 0), 0);
  EXPECT_EQ(GetOneVariateBERNOULLI(q.get(), 1), 1);
  EXPECT_EQ(script.drawn, 2);
  EXPECT_EQ(GetOneVariateGEOMETRIC(q.get(), 1), 1);
  EXPECT_EQ(GetOneVariateHYPERGEOMETRIC(q.get(), 10, 4, 0), 0);
  EXPECT_EQ(GetOneVariateNEGBINOMIAL(q.get(), 1, 2), 0);
  EXPECT_EQ(script.drawn, 2);
  EXPECT_EQ(GetOneVariateHYPERGEOMETRIC(q.get(), 10, 10, 10), 10);
  EXPECT_EQ(script.drawn, 12);
  EXPECT_EQ(GetOneVariateGEOMETRIC(q.get(), 0.0005),
            std::ceil(std::log(0.3) / std::log1p(-0.0005)));
  EXPECT_EQ(script.drawn, 13);

  rt::Script trials{{0.9, 0.8, 0.0005}};
  auto t = rt::scripted(&trials);
  EXPECT_EQ(GetOneVariateGEOMETRIC(t.get(), 0.001), 3);

  // Probabilities 0.2, 0.3, 0.5: u = 0.2 is reached at 1, u = 0.25 at 2.
  rt::Script table{{0.2, 0.25, 0.95, 0.5}};
  auto tb = rt::scripted(&table);
  double three[] = {0.2, 0.3, 0.5}, two[] = {0.4, 0.5};
  EXPECT_EQ(GetOneVariateTABLE(tb.get(), 3, three), 1);
  EXPECT_EQ(GetOneVariateTABLE(tb.get(), 3, three), 2);
  EXPECT_EQ(GetOneVariateTABLE(tb.get(), 2, two), 3);
  EXPECT_EQ(GetOneVariateTABLE(tb.get(), 0, nullptr), 1);
  EXPECT_EQ(table.drawn, 4);
}

// Which branch a binomial or Poisson draw takes shows in its uniforms.
TEST_F(DiscreteVariates, BinomialAndPoissonBranches) {
  auto drawn = [](const Draw& draw) {
    rt::Script script{{0.37, 0.61}, 0, true};
    auto q = rt::scripted(&script);
    const double x = draw(q.get());
    EXPECT_EQ(x, std::floor(x));
    EXPECT_GE(x, 0);
    return script.drawn;
  };
  EXPECT_EQ(drawn([](auto q) { return GetOneVariateBINOMIAL(q, 300, 0.5); }), 1);
  EXPECT_EQ(drawn([](auto q) { return GetOneVariateBINOMIAL(q, 301, 0.5); }), 2);
  EXPECT_EQ(drawn([](auto q) { return GetOneVariateBINOMIAL(q, 1000, 0.004); }), 1);
  EXPECT_EQ(drawn([](auto q) { return GetOneVariatePOISSON(q, 0); }), 1);
  EXPECT_EQ(drawn([](auto q) { return GetOneVariatePOISSON(q, 3); }), 1);
  EXPECT_EQ(drawn([](auto q) { return GetOneVariatePOISSON(q, 2.5); }), 1);
  EXPECT_EQ(drawn([](auto q) { return GetOneVariatePOISSON(q, 10.5); }), 2);
  EXPECT_EQ(drawn([](auto q) { return GetOneVariatePOISSON(q, 85); }), 2);
  // p above 1/2 counts failures by inversion: n minus the draw for 1 - p.
  auto a = rt::new_stream(5), b = rt::new_stream(5);
  for (int i = 0; i < 100; ++i)
    ASSERT_EQ(GetOneVariateBINOMIAL(a.get(), 20, 0.7),
              20 - GetOneVariateBINOMIAL(b.get(), 20, 0.3));
  // A whole Poisson mean of 0 gives 0; far in the lower tail 85 gives no negative count.
  rt::Script low{{1e-300, 0.5}};
  auto l = rt::scripted(&low);
  EXPECT_EQ(GetOneVariatePOISSON(l.get(), 85), 0);
}

TEST_F(DiscreteVariates, FillsEqualSingleDraws) {
  static double table[] = {0.1, 0.6, 0.2};
  dc::expect_fill_equals_draws<&GetOneVariateBERNOULLI, &FillTheBufferBERNOULLI>(0.3);
  dc::expect_fill_equals_draws<&GetOneVariateBINOMIAL, &FillTheBufferBINOMIAL>(40, 0.2);
  dc::expect_fill_equals_draws<&GetOneVariateBINOMIAL, &FillTheBufferBINOMIAL>(500, 0.3);
  dc::expect_fill_equals_draws<&GetOneVariateGEOMETRIC, &FillTheBufferGEOMETRIC>(0.05);
  dc::expect_fill_equals_draws<&GetOneVariateHYPERGEOMETRIC, &FillTheBufferHYPERGEOMETRIC>(30, 12,
                                                                                           7);
  dc::expect_fill_equals_draws<&GetOneVariateNEGBINOMIAL, &FillTheBufferNEGBINOMIAL>(0.3, 2.5);
  dc::expect_fill_equals_draws<&GetOneVariatePOISSON, &FillTheBufferPOISSON>(12.25);
  dc::expect_fill_equals_draws<&GetOneVariateTABLE, &FillTheBufferTABLE>(3, table);
}

TEST_F(DiscreteVariates, CountsMatchTheirProbabilityFunctions) {
  auto q = rt::new_stream(1729);
  constexpr int n = 40000;
  auto draws = [&](const Fill& fill) { return dc::fill(q.get(), fill, n); };
  expect_chi_square(
      draws([](auto r) { return FillTheBufferBERNOULLI(r, 0.3); }),
      [](std::int64_t k) { return k == 0 ? 0.7 : 0.3; }, 0, 1, "Bernoulli");
  for (const auto& case_ : {std::pair{20L, 0.3}, std::pair{20L, 0.7}, std::pair{300L, 0.5},
                             std::pair{1000L, 0.004}, std::pair{0L, 0.4}}) {
    const long size = case_.first;  // clang 14 lambdas capture no bindings
    const double p = case_.second;
    expect_chi_square(
        draws([&](auto r) { return FillTheBufferBINOMIAL(r, size, p); }),
        [&](std::int64_t k) { return binomial_pmf(k, size, p); }, 0, size, "binomial");
  }
  for (double pr : {0.2, 0.002})
    expect_chi_square(
        draws([&](auto r) { return FillTheBufferGEOMETRIC(r, pr); }),
        [&](std::int64_t k) { return std::pow(1 - pr, k - 1.0) * pr; }, 1,
        static_cast<std::int64_t>(12 / pr), "geometric");
  expect_chi_square(
      draws([](auto r) { return FillTheBufferHYPERGEOMETRIC(r, 50, 20, 10); }),
      [](std::int64_t k) {
        return std::exp(log_choose(20, k) + log_choose(30, 10 - k) - log_choose(50, 10));
      },
      0, 10, "hypergeometric");
  expect_chi_square(
      draws([](auto r) { return FillTheBufferNEGBINOMIAL(r, 0.4, 2.5); }),
      [](std::int64_t k) {
        return std::exp(std::lgamma(2.5 + k) - std::lgamma(2.5) - std::lgamma(k + 1.0) +
                        2.5 * std::log(0.4) + k * std::log(0.6));
      },
      0, 60, "negative binomial");
  for (double lambda : {0.7, 3.0, 10.5, 40.0, 84.5})
    expect_chi_square(
        draws([&](auto r) { return FillTheBufferPOISSON(r, lambda); }),
        [&](std::int64_t k) { return poisson_pmf(k, lambda); }, 0,
        static_cast<std::int64_t>(3 * lambda + 20), "Poisson");
  static double table[] = {0.4, 0.5};
  expect_chi_square(
      draws([](auto r) { return FillTheBufferTABLE(r, 2, table); }),
      [](std::int64_t k) { return k == 0   ? 0
                                  : k == 1 ? 0.4
                                  : k == 2 ? 0.5
                                           : 0.1; }, 0, 3, "table");
}

// Above the exact ranges a rounded normal deviate stands in: its mean and
// variance are those of the distribution.
TEST_F(DiscreteVariates, NormalApproximationsKeepMeanAndVariance) {
  auto q = rt::new_stream(4711);
  constexpr int n = 100000;
  const dc::Moments b = dc::moments(dc::fill(
      q.get(), [](auto r) { return FillTheBufferBINOMIAL(r, 1000, 0.3); }, n));
  EXPECT_NEAR(b.mean, 300, 0.1);
  EXPECT_NEAR(b.variance, 210, 3);
  const dc::Moments p = dc::moments(dc::fill(
      q.get(), [](auto r) { return FillTheBufferPOISSON(r, 200); }, n));
  EXPECT_NEAR(p.mean, 200, 0.3);
  EXPECT_NEAR(p.variance, 200, 3);
}

TEST_F(DiscreteVariates, RejectionAndTrialLoopsAreCapped) {
  // u1 tiny and u2 = 1/2 put every normal deviate far below 0.
  rt::Script binomial{{1e-6, 0.5}, 0, true};
  auto b = rt::scripted(&binomial);
  EXPECT_TRUE(is_special_missing(GetOneVariateBINOMIAL(b.get(), 301, 0.017)));
  EXPECT_EQ(binomial.drawn, 2000000);
  rt::Script geometric{{0.9}};
  auto g = rt::scripted(&geometric);
  EXPECT_TRUE(is_special_missing(GetOneVariateGEOMETRIC(g.get(), 0.5)));
  EXPECT_EQ(geometric.drawn, 1000000);
}

}  // namespace
