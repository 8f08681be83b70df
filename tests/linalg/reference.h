// Independent references for the linear-algebra tests: the reference BLAS
// and LAPACK routines on packed storage (our row-packed lower triangle is
// their column-packed upper triangle, 'U'), full-matrix expansions and
// matrices with known inverses.
#pragma once

#include <cstddef>
#include <random>
#include <vector>

extern "C" {
void dspr_(const char* uplo, const int* n, const double* alpha, const double* x, const int* incx,
           double* ap, std::size_t uplo_len);
void dpptrf_(const char* uplo, const int* n, double* ap, int* info, std::size_t uplo_len);
void dpptri_(const char* uplo, const int* n, double* ap, int* info, std::size_t uplo_len);
}

namespace ref {

inline long packed_size(int n) { return static_cast<long>(n) * (n + 1) / 2; }
inline long at(int i, int j) { return i > j ? static_cast<long>(i) * (i + 1) / 2 + j : static_cast<long>(j) * (j + 1) / 2 + i; }

// The inverse of a packed SPD matrix by Cholesky factor and its inverse.
inline std::vector<double> lapack_inverse(std::vector<double> a, int n) {
  int info = 0;
  dpptrf_("U", &n, a.data(), &info, 1);
  if (info == 0) dpptri_("U", &n, a.data(), &info, 1);
  if (info != 0) a.clear();
  return a;
}

// B'B + n*I for a random n by n B: symmetric positive definite.
inline std::vector<double> random_spd(int n, unsigned seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> b(static_cast<std::size_t>(n) * n), a(packed_size(n));
  for (double& v : b) v = u(rng);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j <= i; ++j) {
      double s = i == j ? n : 0.0;
      for (int k = 0; k < n; ++k) s += b[k * n + i] * b[k * n + j];
      a[at(i, j)] = s;
    }
  return a;
}

// The Hilbert matrix 1/(i+j+1) and its exact (integer) inverse.
inline std::vector<double> hilbert(int n) {
  std::vector<double> a(packed_size(n));
  for (int i = 0; i < n; ++i)
    for (int j = 0; j <= i; ++j) a[at(i, j)] = 1.0 / (i + j + 1);
  return a;
}
inline double binomial(int n, int k) {
  if (k < 0 || k > n) return 0.0;
  double r = 1.0;
  for (int i = 1; i <= k; ++i) r = r * (n - k + i) / i;
  return r;
}
inline std::vector<double> hilbert_inverse(int n) {
  std::vector<double> a(packed_size(n));
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= i; ++j) {
      const double c = binomial(i + j - 2, i - 1);
      const double sign = (i + j) % 2 ? -1.0 : 1.0;
      a[at(i - 1, j - 1)] =
          sign * (i + j - 1) * binomial(n + i - 1, n - j) * binomial(n + j - 1, n - i) * c * c;
    }
  return a;
}

// The symmetric Pascal matrix C(i+j, i) = L L' with L(i,j) = C(i,j), so its
// inverse is L^-T L^-1 with L^-1(i,j) = (-1)^(i-j) C(i,j): integers.
inline std::vector<double> pascal(int n) {
  std::vector<double> a(packed_size(n));
  for (int i = 0; i < n; ++i)
    for (int j = 0; j <= i; ++j) a[at(i, j)] = binomial(i + j, i);
  return a;
}
inline std::vector<double> pascal_inverse(int n) {
  std::vector<double> a(packed_size(n));
  for (int i = 0; i < n; ++i)
    for (int j = 0; j <= i; ++j) {
      double s = 0.0;
      for (int k = i; k < n; ++k)
        s += ((k - i) % 2 ? -1.0 : 1.0) * binomial(k, i) * ((k - j) % 2 ? -1.0 : 1.0) * binomial(k, j);
      a[at(i, j)] = s;
    }
  return a;
}

}  // namespace ref
