// Packed-to-full conversions and products (see packed_full_matrices.h).
// A packed row i holds the elements (i, 0..i) side by side; the rest of
// the symmetric row, (k, i) for k > i, lies down column i, k + 1 cells
// apart from one element to the next.
#include "results/packed_full_matrices.h"

#include <cstdint>

#include "host/narrow_strings.h"

namespace {

inline std::int64_t row_start(std::int64_t i) { return i * (i + 1) / 2; }
inline std::int64_t cell(std::int64_t i, int n, int j) { return i * n + j; }

// *r += Σ a[k]·v[k] for k < count, the running sum written back after each
// term.
void add_row_products(const double* a, const double* v, int count, double* r) {
#pragma GCC unroll 4
  for (int k = 0; k < count; ++k) *r += a[k] * v[k];
}

// *r += Σ S(k, i)·v[k] for k = from .. n-1, walking down column i of the
// packed triangle.
void add_column_products(const double* s, int i, int from, const double* v, int n, double* r) {
  std::int64_t at = row_start(from) + i;
#pragma GCC unroll 4
  for (int k = from; k < n; at += ++k) *r += s[at] * v[k];
}

// res row i += a·(row k of the packed symmetric B), two cells at a time.
void add_scaled_symmetric_row(double a, const double* b, int k, int n, double* res_row) {
  const double* row = b + row_start(k);
  int j = 0;
  for (; j + 1 <= k; j += 2) {
    res_row[j] += a * row[j];
    res_row[j + 1] += a * row[j + 1];
  }
  for (; j <= k; ++j) res_row[j] += a * row[j];
  std::int64_t at = row_start(k + 1) + k;  // B(k + 1, k), then down column k
  for (j = k + 1; j < n; at += ++j) res_row[j] += a * b[at];
}

}  // namespace

void symmat_vec(const double* mat, const double* vec, double* res, int n, int flag) {
  if (flag == 0) vzfdl(0.0, res, n);
  for (int i = 0; i < n; ++i) {
    add_row_products(mat + row_start(i), vec, i + 1, &res[i]);
    add_column_products(mat, i, i + 1, vec, n, &res[i]);
  }
}

void copyfrom_triangular(const double* from, double* to, int n, int flag) {
  for (int i = 0; i < n; ++i) {
    double* row = to + cell(i, n, 0);
    if (flag == 0) {
      for (int j = 0; j < i; ++j) row[j] = 0.0;
      std::int64_t at = row_start(i) + i;  // L(i, i), then down column i
      for (int j = i; j < n; at += ++j) row[j] = from[at];
    } else {
      const double* packed = from + row_start(i);
#pragma GCC unroll 4
      for (int j = 0; j <= i; ++j) row[j] = packed[j];
      for (int j = i + 1; j < n; ++j) row[j] = 0.0;
    }
  }
}

void copyfrom_symmetric(const double* from, double* to, int n) {
  for (int i = 0; i < n; ++i) {
    const double* packed = from + row_start(i);
    double* row = to + cell(i, n, 0);
#pragma GCC unroll 8
    for (int j = 0; j <= i; ++j) row[j] = to[cell(j, n, i)] = packed[j];
  }
}

void move_tritosym(const double* from, double* to, int n, int flag) {
  for (int i = 0; i < n; ++i) {
    double* packed = to + row_start(i);
    for (int j = 0; j <= i; ++j) packed[j] = flag == 0 ? from[cell(j, n, i)] : from[cell(i, n, j)];
  }
}

void transpose_triangular(double* mat, int np, int flag) {
  for (int i = 0; i < np; ++i)
    for (int j = 0; j < i; ++j) {
      double& lower = mat[cell(i, np, j)];
      double& upper = mat[cell(j, np, i)];
      if (flag == 0) {
        lower = upper;
        upper = 0.0;
      } else {
        upper = lower;
        lower = 0.0;
      }
    }
}

void tri_vec_mul(const double* tri, const double* vec, double* res, int n, int flag, int flag2) {
  if (flag2 == 0) vzfdl(0.0, res, n);
  for (int i = 0; i < n; ++i) {
    if (flag == 0)
      add_column_products(tri, i, i, vec, n, &res[i]);
    else
      add_row_products(tri + row_start(i), vec, i + 1, &res[i]);
  }
}

void symmat_symmat(const double* mat1, const double* mat2, double* res, int n, int flag) {
  if (flag == 0 && n > 0) vzfdl(0.0, res, static_cast<long>(n) * n);
  for (int i = 0; i < n; ++i) {
    double* row = res + cell(i, n, 0);
    const double* a = mat1 + row_start(i);  // A(i, k) along row i up to the diagonal
    for (int k = 0; k < n; ++k) {
      const double aik = k <= i ? a[k] : mat1[row_start(k) + i];
      add_scaled_symmetric_row(aik, mat2, k, n, row);
    }
  }
}
