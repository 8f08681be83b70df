// Forward-mode dual numbers for the test problems: a value with its
// gradient with respect to up to kMaxParms parameters, so that each problem
// writes its residuals once and gets exact Jacobians.
#pragma once

#include <array>
#include <cmath>

namespace dual {

inline constexpr int kMaxParms = 8;

struct Dual {
  double v = 0;
  std::array<double, kMaxParms> d{};
  Dual() = default;
  Dual(double value) : v(value) {}  // NOLINT: constants mix freely
};

inline Dual variable(double value, int index) {
  Dual x(value);
  x.d[index] = 1;
  return x;
}

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
inline Dual sin(const Dual& a) { return chain(a, std::sin(a.v), std::cos(a.v)); }
inline Dual cos(const Dual& a) { return chain(a, std::cos(a.v), -std::sin(a.v)); }
inline Dual sqrt(const Dual& a) { return chain(a, std::sqrt(a.v), 0.5 / std::sqrt(a.v)); }
inline Dual atan(const Dual& a) { return chain(a, std::atan(a.v), 1 / (1 + a.v * a.v)); }

}  // namespace dual
