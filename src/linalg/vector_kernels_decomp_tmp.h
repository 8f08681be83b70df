// Stand-in vector kernels for the decompositions, to be replaced by the
// tuned kernels of the vector-kernel library when both are in one tree: same
// names, same arguments, same results up to the order of accumulation. They
// are plain loops in element order.
//
// Packed walks: a row/column walk of a packed symmetric matrix for index j
// starts at the cell (j, 0); its element k is S(j, k). A column walk of a
// packed lower triangle for column j starts at the diagonal cell (j, j).
#pragma once

#include <cmath>

namespace vector_kernels_detail {

// Offset of S(j, k) from the start of row j in a packed symmetric matrix.
inline long walk_offset(long j, long k) {
  return k <= j ? k : k * (k + 1) / 2 + j - j * (j + 1) / 2;
}

// Offset of L(k, j), k >= j, from the diagonal cell (j, j).
inline long column_offset(long j, long k) { return k * (k + 1) / 2 - j * (j + 1) / 2; }

}  // namespace vector_kernels_detail

static inline double zvdot11(double* a, double* b, long n) {
  double s = 0.0;
  for (long k = 0; k < n; ++k) s += a[k] * b[k];
  return s;
}

static inline double zinner(double* a, double* b, int n) { return zvdot11(a, b, n); }

static inline double zvdotj1(double* a, long ja, double* b, long n) {
  double s = 0.0;
  for (long k = 0; k < n; ++k) s += a[k * ja] * b[k];
  return s;
}

static inline double zvdotjj(double* v1, long j1, double* v2, long j2, long n) {
  double s = 0.0;
  for (long k = 0; k < n; ++k) s += v1[k * j1] * v2[k * j2];
  return s;
}

static inline double zvdots1(double* a, long jcol, double* b, long n) {
  double s = 0.0;
  for (long k = 0; k < n; ++k) s += a[vector_kernels_detail::walk_offset(jcol, k)] * b[k];
  return s;
}

static inline double zvdotsj(double* a, long ja, double* b, long jb, long n) {
  double s = 0.0;
  for (long k = 0; k < n; ++k) s += a[vector_kernels_detail::walk_offset(ja, k)] * b[k * jb];
  return s;
}

static inline double zvdotss(double* a, long ja, double* b, long jb, long n) {
  using vector_kernels_detail::walk_offset;
  double s = 0.0;
  for (long k = 0; k < n; ++k) s += a[walk_offset(ja, k)] * b[walk_offset(jb, k)];
  return s;
}

static inline double zvdott1(double* c, long jc, double* a, long n) {
  double s = 0.0;
  for (long k = jc; k < n; ++k) s += c[vector_kernels_detail::column_offset(jc, k)] * a[k];
  return s;
}

static inline double zvdotsl(double* a, long ja, double* b, long jb, long n) {
  using vector_kernels_detail::column_offset;
  using vector_kernels_detail::walk_offset;
  double s = 0.0;
  for (long k = jb; k < n; ++k) s += a[walk_offset(ja, k)] * b[column_offset(jb, k)];
  return s;
}

static inline double zvsum(double* a, long n) {
  double s = 0.0;
  for (long k = 0; k < n; ++k) s += a[k];
  return s;
}

static inline double zvasumj(double* a, long j, long n) {
  double s = 0.0;
  for (long k = 0; k < n; ++k) s += std::fabs(a[k * j]);
  return s;
}

static inline double zvamx(double* vector, long dim) {
  double best = 0.0;
  for (long k = 0; k < dim; ++k)
    if (std::fabs(vector[k]) > best) best = std::fabs(vector[k]);
  return best;
}

static inline double zvamxj(double* vector, long j, long dim) {
  double best = std::fabs(vector[0]);
  for (long k = 1; k < dim; ++k)
    if (std::fabs(vector[k * j]) > best) best = std::fabs(vector[k * j]);
  return best;
}

// Euclidean norm, scaled by the largest magnitude against overflow.
static inline double zvenorm(long n, long incx, double* x) {
  if (n < 1) return 0.0;
  const double xmax = incx == 1 ? zvamx(x, n) : zvamxj(x, incx, n);
  if (xmax == 0.0) return 0.0;
  const double s = xmax > 1.0 ? std::sqrt(xmax) : xmax;
  double sum = 0.0;
  for (long k = 0; k < n; ++k) {
    const double xk = x[k * incx];
    const double t = std::fabs(xk) + s == s ? 0.0 : xk / xmax;
    if (1.0 + t != 1.0) sum += t * t;
  }
  return xmax * std::sqrt(sum);
}

static inline void zvaxpy(double* z, double* x, double* y, int n, double alpha) {
  if (n < 1 || (alpha == 0.0 && z == x)) return;
  if (alpha == 0.0) {
    for (int k = 0; k < n; ++k) z[k] = x[k];
    return;
  }
  for (int k = 0; k < n; ++k) z[k] = x[k] + alpha * y[k];
}

static inline void zvxay11(double* a, double* b, long n, double alpha) {
  if (alpha == 0.0) return;
  for (long k = 0; k < n; ++k) a[k] += alpha * b[k];
}

static inline void zvxayjj(double* a, long ja, double* b, long jb, long n, double alpha) {
  if (alpha == 0.0) return;
  for (long k = 0; k < n; ++k) a[k * ja] += alpha * b[k * jb];
}

static inline void zvscl11(double* c, double* a, long n, double alpha) {
  for (long k = 0; k < n; ++k) c[k] = alpha * a[k];
}

static inline void zvrotg(double* x, long jx, double* y, long jy, long n, double c, double s) {
  for (long k = 0; k < n; ++k) {
    const double xk = x[k * jx];
    const double yk = y[k * jy];
    x[k * jx] = c * xk + s * yk;
    y[k * jy] = c * yk - s * xk;
  }
}
