// The common variate contract (buffer fills equal single draws, invalid
// parameters give the special missing value) and the NORMAL, LOGNORMAL and
// EXPONENTIAL variates: scripted uniforms against the closed forms, then
// moments and Kolmogorov-Smirnov checks over a real stream.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include "distribution_checks.h"
#include "host/missing.h"
#include "random/variate_operations.h"
#include "random_support.h"

namespace {

using rt::same_bits;
using rt::scripted;

using rt::new_stream;

std::vector<double> fill(MERSENNE_RAND* q, int (*op)(MRandPtr), int n) {
  std::vector<double> out(static_cast<std::size_t>(n));
  q->VBuffer = out.data();
  q->NBuffer = n;
  EXPECT_EQ(op(q), 0);
  return out;
}

using Variates = RandomTest;

TEST_F(Variates, FillsWithoutABufferDrawNothing) {
  auto a = new_stream(8), b = new_stream(8);
  a->NBuffer = 0;
  double one = 0;
  a->VBuffer = &one;
  EXPECT_EQ(a->FillTheBufferUNIFORM(a.get()), 1);
  a->NBuffer = 5;
  a->VBuffer = nullptr;
  EXPECT_EQ(a->FillTheBufferNORMAL(a.get()), 1);
  EXPECT_EQ(a->FillTheBufferGAMMA(a.get(), 2.0), 1);
  EXPECT_EQ(a->GetOneVariateUNIFORM(a.get()), b->GetOneVariateUNIFORM(b.get()));
  std::vector<double> five = fill(a.get(), a->FillTheBufferUNIFORM, 5);
  for (double u : five) EXPECT_EQ(u, b->GetOneVariateUNIFORM(b.get()));
}

// Odd fills: a normal deviate of the last pair is left stored.
TEST_F(Variates, FillsEqualSingleDraws) {
  dc::expect_fill_equals_draws<&GetOneVariateUNIFORM, &FillTheBufferUNIFORM>();
  dc::expect_fill_equals_draws<&GetOneVariateNORMAL, &FillTheBufferNORMAL>();
  dc::expect_fill_equals_draws<&GetOneVariateLOGNORMAL, &FillTheBufferLOGNORMAL>();
  dc::expect_fill_equals_draws<&GetOneVariateEXPONENTIAL, &FillTheBufferEXPONENTIAL>();
}

TEST_F(Variates, NormalPairComesFromThePolarStep) {
  // (0.999, 0.999) lies outside the circle and (0.5, 0.5) is its centre:
  // both are drawn again. Then x1 = 0.5, x2 = 0.2.
  rt::Script script{{0.9995, 0.9995, 0.5, 0.5, 0.75, 0.6, 0.3}};
  auto q = scripted(&script);
  const double s = 0.2 * 0.2 + 0.5 * 0.5;
  const double f = std::sqrt(-2 * std::log(s) / s);
  EXPECT_DOUBLE_EQ(q->GetOneVariateNORMAL(q.get()), 0.5 * f);
  EXPECT_EQ(script.drawn, 6);
  EXPECT_DOUBLE_EQ(q->GetOneVariateLOGNORMAL(q.get()), std::exp(0.2 * f));  // the stored one
  EXPECT_EQ(script.drawn, 6);
  EXPECT_EQ(q->GetOneVariateEXPONENTIAL(q.get()), -std::log(0.3));
}

TEST_F(Variates, RewindStartsANewNormalPair) {
  auto a = new_stream(5), b = new_stream(5);
  a->GetOneVariateNORMAL(a.get());
  EXPECT_EQ(a->nor.HaveOne, 1);
  zrand_rewind(a.get());
  EXPECT_EQ(a->nor.HaveOne, 0);
  EXPECT_EQ(a->GetOneVariateNORMAL(a.get()), b->GetOneVariateNORMAL(b.get()));
}

TEST_F(Variates, NormalMomentsAndDistribution) {
  auto q = new_stream(20250101);
  const std::vector<double> x = fill(q.get(), q->FillTheBufferNORMAL, 1000000);
  const dc::Moments m = dc::moments(x);
  EXPECT_NEAR(m.mean, 0.0, 0.005);      // sd of the mean 0.001
  EXPECT_NEAR(m.variance, 1.0, 0.007);  // sd 0.0014
  EXPECT_NEAR(m.skewness, 0.0, 0.012);  // sd 0.0024
  EXPECT_NEAR(m.kurtosis, 3.0, 0.025);  // sd 0.0049
  const std::vector<double> sample(x.begin(), x.begin() + 100000);
  EXPECT_LT(dc::ks_statistic(sample, [](double v) { return 0.5 * std::erfc(-v / std::sqrt(2.0)); }),
            dc::kKolmogorov999);
  const std::vector<double> logn = fill(q.get(), q->FillTheBufferLOGNORMAL, 100000);
  EXPECT_LT(dc::ks_statistic(
                logn, [](double v) { return 0.5 * std::erfc(-std::log(v) / std::sqrt(2.0)); }),
            dc::kKolmogorov999);
}

TEST_F(Variates, ExponentialAndUniformMomentsAndDistribution) {
  auto q = new_stream(77);
  const std::vector<double> e = fill(q.get(), q->FillTheBufferEXPONENTIAL, 1000000);
  const dc::Moments m = dc::moments(e);
  EXPECT_NEAR(m.mean, 1.0, 0.005);
  EXPECT_NEAR(m.variance, 1.0, 0.015);
  EXPECT_NEAR(m.skewness, 2.0, 0.08);
  for (double v : e) ASSERT_TRUE(v > 0 && std::isfinite(v));
  const std::vector<double> sample(e.begin(), e.begin() + 100000);
  EXPECT_LT(dc::ks_statistic(sample, [](double v) { return -std::expm1(-v); }), dc::kKolmogorov999);
  const std::vector<double> u = fill(q.get(), q->FillTheBufferUNIFORM, 100000);
  EXPECT_LT(dc::ks_statistic(u, [](double v) { return v; }), dc::kKolmogorov999);
}

}  // namespace
