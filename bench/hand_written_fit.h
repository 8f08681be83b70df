// Gauss-Newton written by hand, the floor the benchmarks hold the procedure
// against: step halving on the packed normal equations J'J, solved by
// Cholesky, from the starting values until the relative offset
// sqrt(r'J (J'J)^-1 J'r / SSE) is below 1e-5. Model gives kParms and
// value(b, x, g), the model value with its gradient in g.
#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

namespace hand_written {

template <class Model>
struct GaussNewton {
  static constexpr int P = Model::kParms;
  static constexpr int kPacked = P * (P + 1) / 2;
  const std::vector<double>& x;
  const std::vector<double>& y;

  double pass(const double* b, double* jtj, double* jtr) const {
    std::fill(jtj, jtj + kPacked, 0.0);
    std::fill(jtr, jtr + P, 0.0);
    double sse = 0, g[P];
    for (std::size_t i = 0; i < x.size(); ++i) {
      const double r = y[i] - Model::value(b, x[i], g);
      sse += r * r;
      for (int p = 0, k = 0; p < P; ++p) {
        jtr[p] += g[p] * r;
        for (int q = 0; q <= p; ++q) jtj[k++] += g[p] * g[q];
      }
    }
    return sse;
  }

  static void solve(const double* packed, double* v) {
    double l[P][P] = {};
    for (int p = 0, k = 0; p < P; ++p)
      for (int q = 0; q <= p; ++q) l[p][q] = packed[k++];
    for (int j = 0; j < P; ++j) {
      for (int k = 0; k < j; ++k) l[j][j] -= l[j][k] * l[j][k];
      l[j][j] = std::sqrt(l[j][j]);
      for (int i = j + 1; i < P; ++i) {
        for (int k = 0; k < j; ++k) l[i][j] -= l[i][k] * l[j][k];
        l[i][j] /= l[j][j];
      }
    }
    for (int i = 0; i < P; ++i) {
      for (int k = 0; k < i; ++k) v[i] -= l[i][k] * v[k];
      v[i] /= l[i][i];
    }
    for (int i = P - 1; i >= 0; --i) {
      for (int k = i + 1; k < P; ++k) v[i] -= l[k][i] * v[k];
      v[i] /= l[i][i];
    }
  }

  // Returns the number of iterations; b holds the estimates.
  int fit(double* b) const {
    double jtj[kPacked], jtr[P], step[P], trial[P], tjtj[kPacked], tjtr[P];
    double sse = pass(b, jtj, jtr);
    int iterations = 0;
    for (; iterations < 100; ++iterations) {
      std::copy(jtr, jtr + P, step);
      solve(jtj, step);
      double offset = 0;
      for (int p = 0; p < P; ++p) offset += step[p] * jtr[p];
      if (std::sqrt(offset / sse) < 1e-5) break;
      double factor = 1;
      for (int halvings = 0; halvings < 30; ++halvings, factor /= 2) {
        for (int p = 0; p < P; ++p) trial[p] = b[p] + factor * step[p];
        const double s = pass(trial, tjtj, tjtr);
        if (s < sse) {
          std::copy(trial, trial + P, b);
          std::copy(tjtj, tjtj + kPacked, jtj);
          std::copy(tjtr, tjtr + P, jtr);
          sse = s;
          break;
        }
      }
    }
    return iterations;
  }
};

}  // namespace hand_written
