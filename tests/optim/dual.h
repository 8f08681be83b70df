// Forward-mode dual numbers for the test problems: a value with its
// gradient with respect to up to kMaxParms parameters, so that each problem
// writes its residuals once and gets exact Jacobians.
#pragma once

#include <array>
#include <cmath>
#include <vector>

#include "least_squares.h"

namespace dual {

inline constexpr int kMaxParms = 8;

struct Dual {
  double v = 0;
  std::array<double, kMaxParms> d{};
  Dual() = default;
  Dual(double value) : v(value) {}  // NOLINT: constants mix freely
};

// f(a) with f(a.v) = value and f'(a.v) = slope.
inline Dual chain(const Dual& a, double value, double slope) {
  Dual r(value);
  for (int k = 0; k < kMaxParms; ++k) r.d[k] = slope * a.d[k];
  return r;
}
inline Dual operator+(const Dual& a, const Dual& b) {
  Dual r(a.v + b.v);
  for (int k = 0; k < kMaxParms; ++k) r.d[k] = a.d[k] + b.d[k];
  return r;
}
inline Dual operator-(const Dual& a, const Dual& b) {
  Dual r(a.v - b.v);
  for (int k = 0; k < kMaxParms; ++k) r.d[k] = a.d[k] - b.d[k];
  return r;
}
inline Dual operator-(const Dual& a) { return Dual(0.0) - a; }
inline Dual operator*(const Dual& a, const Dual& b) {
  Dual r(a.v * b.v);
  for (int k = 0; k < kMaxParms; ++k) r.d[k] = a.d[k] * b.v + a.v * b.d[k];
  return r;
}
inline Dual operator/(const Dual& a, const Dual& b) {
  Dual r(a.v / b.v);
  for (int k = 0; k < kMaxParms; ++k) r.d[k] = (a.d[k] * b.v - a.v * b.d[k]) / (b.v * b.v);
  return r;
}
inline Dual exp(const Dual& a) { return chain(a, std::exp(a.v), std::exp(a.v)); }
inline Dual sqrt(const Dual& a) { return chain(a, std::sqrt(a.v), 0.5 / std::sqrt(a.v)); }
inline Dual atan(const Dual& a) { return chain(a, std::atan(a.v), 1 / (1 + a.v * a.v)); }

// Residuals written over dual numbers, body(x, r), as a least-squares problem.
template <class Body>
lsq::Problem problem(const char* name, int n, int m, Body body) {
  return {name, n, m, [n, m, body](const double* x, double* r, double* jac) {
            std::vector<Dual> xd(n), rd(m);
            for (int j = 0; j < n; ++j) xd[j].v = x[j], xd[j].d[j] = 1;
            body(xd.data(), rd.data());
            for (int i = 0; i < m; ++i) {
              r[i] = rd[i].v;
              for (int j = 0; j < n; ++j) jac[i * n + j] = rd[i].d[j];
            }
            return true;
          }};
}

}  // namespace dual
