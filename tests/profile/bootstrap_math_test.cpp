// The bootstrap's arithmetic: resampled responses by scheme and scaling,
// percentile definition 5 against hand-sorted samples, the interval
// formulas, and a residual bootstrap of a straight line whose standard
// deviations must match the classical standard errors.
#include "profile/bootstrap_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "host/missing.h"
#include "prob/normal.h"

namespace {

TEST(BootstrapMath, ResponsesBySchemeAndScaling) {
  const double pred[4] = {10, 20, 30, 40}, res[4] = {1, -2, 3, -4};
  const double tan[4] = {0.5, 0.75, 1.0, missing_value()}, jac[4] = {0.2, 0.2, 0.2, 1.5};
  const double s5 = std::sqrt(5.0), wl = (1 - s5) / 2;
  // u picks positions 0, 3, 1, 3; v straddles the wild weights' threshold.
  const double u[8] = {0.1, 0.8, 0.3, 0.9999999999, 0.5, 0.8, 0.7236, 0.5};
  const double m = special_missing_value();
  struct Case {
    DGP_TYPE type;
    RESIDUAL_SCALING scaling;
    std::int32_t p;
    double want[4];
  } cases[] = {
      {kDgpResidual, kScaleRaw, 2, {11, 16, 28, 36}},
      {kDgpResidual,
       kScaleAdjsse,
       2,
       {10 + std::sqrt(2.0), 20 - 4 * std::sqrt(2.0), 30 - 2 * std::sqrt(2.0),
        40 - 4 * std::sqrt(2.0)}},
      {kDgpResidual, kScaleTan, 2, {10 + std::sqrt(2.0), m, 30 - 2 * 2, m}},
      {kDgpResidual, kScaleJac, 2, {10 + std::sqrt(1 / 0.8), m, 30 - 2 * std::sqrt(1 / 0.8), m}},
      {kDgpWild, kScaleRaw, 2, {10 + wl * std::sqrt(2.0), m, 30 + wl * 2 * -2, m}},
  };
  for (const Case& c : cases) {
    BootResampleInput in{c.type, c.scaling, 4, c.p, pred, res, tan, jac};
    double out[8];
    bootstrap_response(in, u, 0, 4, out, 2);
    for (int i = 0; i < 4; ++i) {
      if (is_missing(c.want[i]))
        EXPECT_TRUE(is_special_missing(out[2 * i])) << c.type << c.scaling << i;
      else
        EXPECT_DOUBLE_EQ(out[2 * i], c.want[i]) << c.type << '/' << c.scaling << " row " << i;
    }
  }
  EXPECT_DOUBLE_EQ(adjsse_scale(10, 2), std::sqrt(1.25));
  EXPECT_EQ(adjsse_scale(2, 2), 0.0);  // n <= p: no finite scale, the bootstrap is skipped
  EXPECT_EQ(adjsse_scale(2, 3), 0.0);
}

TEST(BootstrapMath, PercentileDefinitionFiveAndIntervals) {
  const std::vector<double> v = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  // n*q = 2.5 -> x(3); n*q = 2 -> mean of x(2), x(3); below 1/n -> x(1); q = 1 -> x(n).
  for (auto [q, want] : {std::pair{0.25, 3.0},
                         {0.2, 2.5},
                         {0.05, 1.0},
                         {0.0, 1.0},
                         {1.0, 10.0},
                         {0.975, 10.0},
                         {0.5, 5.5}})
    EXPECT_DOUBLE_EQ(percentile_def5(v, q), want) << q;

  // Five samples of two parameters, the fit's estimates (3, 0).
  const std::vector<double> samples = {1, 0.5, 4, -1, 2, 0.25, 5, 1, 3, -0.75};
  const std::vector<double> ref = {3, 0};
  const BootSummary s = bootstrap_summary(samples, ref, {true, true, true, true, 0.2});
  const double z = zprobit(0.9);
  const std::vector<double> a = {1, 2, 3, 4, 5}, b = {-1, -0.75, 0.25, 0.5, 1};
  EXPECT_DOUBLE_EQ(s.std_dev[0], std::sqrt(2.5));
  EXPECT_DOUBLE_EQ(s.normal_lower[0], 3 - z * std::sqrt(2.5));
  EXPECT_DOUBLE_EQ(s.normal_upper[1], z * s.std_dev[1]);
  EXPECT_DOUBLE_EQ(s.perc_lower[0], percentile_def5(a, 0.1));
  EXPECT_DOUBLE_EQ(s.perc_upper[1], percentile_def5(b, 0.9));
  const double z0a = zprobit(3.0 / 5), z0b = zprobit(2.0 / 5);
  EXPECT_DOUBLE_EQ(s.bc_lower[0], percentile_def5(a, zprbnrm(2 * z0a - z)));
  EXPECT_DOUBLE_EQ(s.bc_upper[1], percentile_def5(b, zprbnrm(2 * z0b + z)));
  // Covariance (0,1): sum of products of deviations over C - 1.
  double cov01 = 0;
  for (int r = 0; r < 5; ++r) cov01 += (samples[2 * r] - 3) * (samples[2 * r + 1]);
  EXPECT_DOUBLE_EQ(s.cov[1], cov01 / 4);
  EXPECT_DOUBLE_EQ(s.cov[0], 2.5);

  // One converged sample for two parameters: everything missing, also the
  // standard deviations (not a previous group's).
  const BootSummary few = bootstrap_summary({1, 2}, ref, {true, true, true, true, 0.05});
  for (const auto* vec :
       {&few.std_dev, &few.bc_lower, &few.perc_upper, &few.normal_lower, &few.cov})
    for (double d : *vec) EXPECT_TRUE(is_special_missing(d));
}

// y = 2 + 0.5 x + e, sigma = 1.5, n = 40: the residual bootstrap with the
// adjusted scale reproduces the classical standard errors of the least
// squares line within Monte Carlo error (B = 2000: about 1.6% relative).
TEST(BootstrapMath, ResidualBootstrapMatchesClassicalErrors) {
  const int n = 40, B = 2000;
  std::mt19937_64 gen(7);
  std::normal_distribution<double> err(0.0, 1.5);
  std::uniform_real_distribution<double> unif(0.0, 1.0);
  std::vector<double> x(n), y(n), pred(n), res(n), lev(n, 0.0);
  for (int i = 0; i < n; ++i) x[i] = i * 0.25, y[i] = 2 + 0.5 * x[i] + err(gen);
  const auto fit = [&](const std::vector<double>& yy) {
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (int i = 0; i < n; ++i) sx += x[i], sy += yy[i], sxx += x[i] * x[i], sxy += x[i] * yy[i];
    const double b = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    return std::vector<double>{(sy - b * sx) / n, b};
  };
  const std::vector<double> est = fit(y);
  double sse = 0, sxx = 0, xbar = 0;
  for (int i = 0; i < n; ++i) {
    pred[i] = est[0] + est[1] * x[i], res[i] = y[i] - pred[i], sse += res[i] * res[i];
    xbar += x[i] / n;
  }
  for (int i = 0; i < n; ++i) sxx += (x[i] - xbar) * (x[i] - xbar);
  const double s2 = sse / (n - 2);
  const double se[2] = {std::sqrt(s2 * (1.0 / n + xbar * xbar / sxx)), std::sqrt(s2 / sxx)};
  for (RESIDUAL_SCALING scaling : {kScaleAdjsse, kScaleRaw}) {
    BootResampleInput in{kDgpResidual, scaling,    n,          2,
                         pred.data(),  res.data(), lev.data(), lev.data()};
    std::vector<double> samples, u(n), ystar(n);
    for (int b = 0; b < B; ++b) {
      for (double& d : u) d = unif(gen);
      bootstrap_response(in, u.data(), 0, n, ystar.data(), 1);
      for (double e : fit(ystar)) samples.push_back(e);
    }
    const BootSummary s = bootstrap_summary(samples, est, {false, false, false, false, 0.05});
    const double shrink = scaling == kScaleRaw ? std::sqrt((n - 2.0) / n) : 1.0;
    for (int k = 0; k < 2; ++k)
      EXPECT_NEAR(s.std_dev[k] / (se[k] * shrink), 1.0, 0.05) << scaling << k;
  }
}

}  // namespace
