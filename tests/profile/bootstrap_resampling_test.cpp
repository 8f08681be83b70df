// The bootstrap's arithmetic: resampled responses by scheme and scaling,
// and a residual bootstrap of a straight line whose standard deviations
// must match the classical standard errors. (Percentile definition 5 and
// the covariance are the statistics extension's: tests/platform.)
#include "profile/bootstrap_resampling.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "host/missing.h"

namespace {

TEST(BootstrapMath, ResponsesBySchemeAndScaling) {
  const double pred[4] = {10, 20, 30, 40}, res[4] = {1, -2, 3, -4};
  const double tan[4] = {0.5, 0.75, 1.0, missing_value()}, jac[4] = {0.2, 0.2, 0.2, 1.5};
  const double s5 = std::sqrt(5.0), wl = (1 - s5) / 2, wh = (1 + s5) / 2;
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
      // WILD keeps each row's own residual and leverage.
      {kDgpWild, kScaleRaw, 2, {10 + wl * std::sqrt(2.0), 20 + wh * 2 * -2, m, m}},
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
    std::vector<double> u(n), ystar(n), sum(2, 0.0), squares(2, 0.0);
    for (int b = 0; b < B; ++b) {
      for (double& d : u) d = unif(gen);
      bootstrap_response(in, u.data(), 0, n, ystar.data(), 1);
      const std::vector<double> e = fit(ystar);
      for (int k = 0; k < 2; ++k) sum[k] += e[k], squares[k] += e[k] * e[k];
    }
    const double shrink = scaling == kScaleRaw ? std::sqrt((n - 2.0) / n) : 1.0;
    for (int k = 0; k < 2; ++k) {
      const double sd = std::sqrt((squares[k] - sum[k] * sum[k] / B) / (B - 1));
      EXPECT_NEAR(sd / (se[k] * shrink), 1.0, 0.05) << scaling << k;
    }
  }
}

}  // namespace
