// Test matrices with known properties and small dense helpers for the
// linear-algebra tests. Dense matrices are row-major std::vector<double>;
// packed ones hold the lower triangle by rows.
#pragma once

#include <cmath>
#include <random>
#include <vector>

#include "lapack.h"
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

inline long packed_size(int n) { return static_cast<long>(n) * (n + 1) / 2; }

inline Vec random_packed(int n, unsigned seed) {
  return random_dense(1, static_cast<int>(packed_size(n)), seed);
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

// The tridiagonal form (3n doubles: d, e, e2) the eigenvalue routines take,
// of diagonal d and sub-diagonal e (e[i] couples rows i and i+1).
inline Vec tridiagonal_form(const Vec& d, const Vec& e) {
  const int n = static_cast<int>(d.size());
  Vec tri(3 * n, 0.0);
  for (int i = 0; i < n; ++i) tri[i] = d[i];
  for (int i = 1; i < n; ++i) tri[n + i] = e[i - 1], tri[2 * n + i] = e[i - 1] * e[i - 1];
  return tri;
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

// The inverse of a packed SPD matrix by LAPACK's Cholesky factor and its
// inverse; empty when the factor fails.
inline Vec lapack_inverse(Vec a, int n) {
  int info = 0;
  dpptrf_("U", &n, a.data(), &info, 1);
  if (info == 0) dpptri_("U", &n, a.data(), &info, 1);
  if (info != 0) a.clear();
  return a;
}

// B'B + n*I for a random n by n B: symmetric positive definite.
inline Vec random_spd(int n, unsigned seed) {
  const Vec b = random_dense(n, n, seed);
  Vec a = pack(multiply(transpose(b, n, n), b, n, n, n), n);
  for (int i = 0; i < n; ++i) a[zisub(i, i)] += n;
  return a;
}

inline double binomial(int n, int k) {
  if (k < 0 || k > n) return 0.0;
  double r = 1.0;
  for (int i = 1; i <= k; ++i) r = r * (n - k + i) / i;
  return r;
}

// The Hilbert matrix 1/(i+j+1) and its exact (integer) inverse.
inline Vec hilbert(int n) {
  Vec a(packed_size(n));
  for (int i = 0; i < n; ++i)
    for (int j = 0; j <= i; ++j) a[zisub(i, j)] = 1.0 / (i + j + 1);
  return a;
}
inline Vec hilbert_inverse(int n) {
  Vec a(packed_size(n));
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= i; ++j) {
      const double c = binomial(i + j - 2, i - 1);
      const double sign = (i + j) % 2 ? -1.0 : 1.0;
      a[zisub(i - 1, j - 1)] =
          sign * (i + j - 1) * binomial(n + i - 1, n - j) * binomial(n + j - 1, n - i) * c * c;
    }
  return a;
}

// The symmetric Pascal matrix C(i+j, i) = L L' with L(i,j) = C(i,j), so its
// inverse is L^-T L^-1 with L^-1(i,j) = (-1)^(i-j) C(i,j): integers.
inline Vec pascal(int n) {
  Vec a(packed_size(n));
  for (int i = 0; i < n; ++i)
    for (int j = 0; j <= i; ++j) a[zisub(i, j)] = binomial(i + j, i);
  return a;
}
inline Vec pascal_inverse(int n) {
  Vec a(packed_size(n));
  for (int i = 0; i < n; ++i)
    for (int j = 0; j <= i; ++j) {
      double s = 0.0;
      for (int k = i; k < n; ++k)
        s += ((k - i) % 2 ? -1.0 : 1.0) * binomial(k, i) * ((k - j) % 2 ? -1.0 : 1.0) * binomial(k, j);
      a[zisub(i, j)] = s;
    }
  return a;
}

// The bordered cross-product matrix [X'X X'y; y'X y'y] (packed, order 3) of a
// straight line through five points, with the least-squares fit by hand:
// slope = Sxy/Sxx, intercept = ybar - slope*xbar.
struct LineFit {
  Vec sscp;
  double intercept, slope, sse;
};
inline LineFit line_fit() {
  const double xs[] = {1, 2, 3, 4, 5}, ys[] = {2.1, 3.9, 6.2, 7.8, 10.1};
  const double slope = 19.9 / 10.0;
  LineFit f{Vec(6, 0.0), 6.02 - slope * 3.0, slope, 0.0};
  for (int i = 0; i < 5; ++i) {
    const double v[3] = {1.0, xs[i], ys[i]};
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c <= r; ++c) f.sscp[zisub(r, c)] += v[r] * v[c];
    f.sse += std::pow(ys[i] - f.intercept - f.slope * xs[i], 2);
  }
  return f;
}

}  // namespace testmat
