// y = 3 + 2 (dose - 1) + e on dose 1..10: the least-squares line and its
// confidence and prediction limits in closed form, for the graphs' tests.
#pragma once

#include <cmath>
#include <vector>

struct StraightLine {
  std::vector<double> dose, y;
  double b0 = 0, b1 = 0, s = 0, xbar = 0, sxx = 0;
  static constexpr double kT = 2.306004135204166;  // t(0.975, 8)
  StraightLine() {
    const double e[10] = {0.3, -0.2, 0.1, -0.4, 0.5, -0.1, 0.2, -0.3, 0.0, -0.1};
    double ybar = 0;
    for (int i = 0; i < 10; ++i) dose.push_back(i + 1), y.push_back(3 + 2 * i + e[i]), xbar += i + 1, ybar += y.back();
    xbar /= 10, ybar /= 10;
    double sxy = 0;
    for (int i = 0; i < 10; ++i) sxx += (dose[i] - xbar) * (dose[i] - xbar), sxy += (dose[i] - xbar) * (y[i] - ybar);
    b1 = sxy / sxx, b0 = ybar - b1 * xbar;
    double sse = 0;
    for (int i = 0; i < 10; ++i) sse += std::pow(y[i] - b0 - b1 * dose[i], 2);
    s = std::sqrt(sse / 8);
  }
  double mean_half_width(double x) const { return kT * s * std::sqrt(0.1 + (x - xbar) * (x - xbar) / sxx); }
  double prediction_half_width(double x) const { return kT * s * std::sqrt(1.1 + (x - xbar) * (x - xbar) / sxx); }
};

