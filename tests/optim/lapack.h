// The LAPACK routines the optimiser tests use as independent references,
// on column-major matrices.
#pragma once

#include <cstddef>
#include <vector>

extern "C" {
void dgelss_(const int* m, const int* n, const int* nrhs, double* a, const int* lda, double* b,
             const int* ldb, double* s, const double* rcond, int* rank, double* work,
             const int* lwork, int* info);
void dgetrf_(const int* m, const int* n, double* a, const int* lda, int* ipiv, int* info);
void dgetri_(const int* n, double* a, const int* lda, const int* ipiv, double* work,
             const int* lwork, int* info);
void dsyev_(const char* jobz, const char* uplo, const int* n, double* a, const int* lda, double* w,
            double* work, const int* lwork, int* info, std::size_t jobz_len, std::size_t uplo_len);
}

namespace lapack {

// The minimum-norm least-squares solution of A x = b (A m by n, row-major),
// singular values at or below rcond times the largest counting as zero.
inline std::vector<double> min_norm_solution(const std::vector<double>& a, int m, int n,
                                             const std::vector<double>& b, double rcond) {
  std::vector<double> col(static_cast<std::size_t>(m) * n);
  for (int i = 0; i < m; ++i)
    for (int j = 0; j < n; ++j)
      col[static_cast<std::size_t>(j) * m + i] = a[static_cast<std::size_t>(i) * n + j];
  const int ldb = m > n ? m : n, nrhs = 1, lwork = 1024;
  std::vector<double> x(ldb, 0.0), s(m < n ? m : n), work(lwork);
  for (int i = 0; i < m; ++i) x[i] = b[i];
  int rank = 0, info = 0;
  dgelss_(&m, &n, &nrhs, col.data(), &m, x.data(), &ldb, s.data(), &rcond, &rank, work.data(),
          &lwork, &info);
  x.resize(n);
  return info == 0 ? x : std::vector<double>{};
}

// The inverse of the symmetric n by n matrix a, by LU (indefinite is fine).
inline std::vector<double> symmetric_inverse(std::vector<double> a, int n) {
  std::vector<int> pivots(n);
  int info = 0;
  dgetrf_(&n, &n, a.data(), &n, pivots.data(), &info);
  if (info != 0) return {};
  const int lwork = 64 * n;
  std::vector<double> work(lwork);
  dgetri_(&n, a.data(), &n, pivots.data(), work.data(), &lwork, &info);
  return info == 0 ? a : std::vector<double>{};
}

// The eigenvalues of the symmetric n by n matrix a, ascending.
inline std::vector<double> eigenvalues(std::vector<double> a, int n) {
  std::vector<double> w(n);
  const int lwork = 64 * n;
  std::vector<double> work(lwork);
  int info = 0;
  dsyev_("N", "L", &n, a.data(), &n, w.data(), work.data(), &lwork, &info, 1, 1);
  return info == 0 ? w : std::vector<double>{};
}

}  // namespace lapack
