// Test matrices and small dense helpers for the decomposition tests. Dense
// matrices are row-major std::vector<double>; packed ones hold the lower
// triangle by rows.
#pragma once

#include <cmath>
#include <random>
#include <vector>

#include "linalg/packed.h"

namespace testmat {

using Vec = std::vector<double>;

inline Vec random_dense(int rows, int cols, unsigned seed) {
  std::mt19937_64 gen(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  Vec a(static_cast<size_t>(rows) * cols);
  for (double& x : a) x = u(gen);
  return a;
}

inline Vec random_packed(int n, unsigned seed) {
  return random_dense(1, n * (n + 1) / 2, seed);
}

// Full symmetric matrix of a packed one.
inline Vec unpack(const Vec& p, int n) {
  Vec a(static_cast<size_t>(n) * n);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) a[i * n + j] = p[zisub(i, j)];
  return a;
}

// Full lower-triangular matrix of a packed triangle.
inline Vec unpack_lower(const Vec& p, int n) {
  Vec a(static_cast<size_t>(n) * n, 0.0);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j <= i; ++j) a[i * n + j] = p[zisub(i, j)];
  return a;
}

inline Vec pack(const Vec& a, int n) {
  Vec p(static_cast<size_t>(n) * (n + 1) / 2);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j <= i; ++j) p[zisub(i, j)] = a[i * n + j];
  return p;
}

inline Vec multiply(const Vec& a, const Vec& b, int m, int k, int n) {
  Vec c(static_cast<size_t>(m) * n, 0.0);
  for (int i = 0; i < m; ++i)
    for (int l = 0; l < k; ++l)
      for (int j = 0; j < n; ++j) c[i * n + j] += a[i * k + l] * b[l * n + j];
  return c;
}

inline Vec transpose(const Vec& a, int rows, int cols) {
  Vec t(a.size());
  for (int i = 0; i < rows; ++i)
    for (int j = 0; j < cols; ++j) t[j * rows + i] = a[i * cols + j];
  return t;
}

inline double max_abs_diff(const Vec& a, const Vec& b) {
  double d = 0.0;
  for (size_t i = 0; i < a.size(); ++i) d = std::fmax(d, std::fabs(a[i] - b[i]));
  return d;
}

// Largest deviation of the rows x rows product of the `rows` vectors of length
// n stored one after another from the identity.
inline double orthonormality_error(const double* v, int rows, int n) {
  double worst = 0.0;
  for (int a = 0; a < rows; ++a)
    for (int b = 0; b < rows; ++b) {
      double s = 0.0;
      for (int k = 0; k < n; ++k) s += v[a * n + k] * v[b * n + k];
      worst = std::fmax(worst, std::fabs(s - (a == b ? 1.0 : 0.0)));
    }
  return worst;
}

inline double dot(const double* a, const double* b, int n) {
  double s = 0.0;
  for (int k = 0; k < n; ++k) s += a[k] * b[k];
  return s;
}

// The sign rule of singular and eigen vectors: the entries sum to a positive
// value or, when the sum is below 1.05e-8 in magnitude, the first entry that
// is clearly the largest in magnitude is positive.
inline bool sign_rule_holds(const Vec& x) {
  const double near_zero = 1.053671212772351e-08;
  double s = 0.0, best = 0.0, pick = 0.0;
  for (double v : x) s += v;
  if (std::fabs(s) >= near_zero) return s > 0.0;
  for (double v : x)
    if (std::fabs(v) > best + near_zero) best = std::fabs(v), pick = v;
  return pick >= 0.0;
}

// Packed tridiagonal matrices given by diagonal d and sub-diagonal e
// (e[i] couples rows i and i+1).
inline Vec packed_tridiagonal(const Vec& d, const Vec& e) {
  const int n = static_cast<int>(d.size());
  Vec p(static_cast<size_t>(n) * (n + 1) / 2, 0.0);
  for (int i = 0; i < n; ++i) p[zisub(i, i)] = d[i];
  for (int i = 0; i + 1 < n; ++i) p[zisub(i + 1, i)] = e[i];
  return p;
}

// The second-difference matrix tridiag(-1, 2, -1).
inline Vec second_difference(int n) { return packed_tridiagonal(Vec(n, 2.0), Vec(n - 1, -1.0)); }

// Wilkinson's W(2m+1)+: diagonal |m - i|, off-diagonal 1.
inline Vec wilkinson_plus(int n) {
  Vec d(n);
  for (int i = 0; i < n; ++i) d[i] = std::fabs((n - 1) / 2.0 - i);
  return packed_tridiagonal(d, Vec(n - 1, 1.0));
}

// The Kac (Clement) matrix: zero diagonal, off-diagonal sqrt(k(n-k)); its
// eigenvalues are -(n-1), -(n-3), ..., n-1.
inline Vec kac(int n) {
  Vec e(n - 1);
  for (int k = 1; k < n; ++k) e[k - 1] = std::sqrt(static_cast<double>(k) * (n - k));
  return packed_tridiagonal(Vec(n, 0.0), e);
}

}  // namespace testmat
