// Stand-in vector kernels for the decompositions, to be replaced by the
// tuned kernels of the vector-kernel library when both are in one tree: same
// names, same arguments, same results up to the order of accumulation. The
// unit-stride inner product keeps two interleaved partial sums; the others
// are plain loops in element order.
//
// Packed walks: a row/column walk of a packed symmetric matrix for index j
// starts at the cell (j, 0); its element k is S(j, k). A column walk of a
// packed lower triangle for column j starts at the diagonal cell (j, j).
#pragma once

#include <cmath>

namespace vector_kernels_detail {

// A row/column walk of a packed symmetric matrix: along row j up to the
// diagonal, then down column j, each step from k-1 to k advancing k cells.
// The position is kept as an offset so that stepping past the last cell
// forms no pointer outside the matrix.
struct SymmetricWalk {
  const double* start;
  long j, k = 0, at = 0;
  double operator*() const { return start[at]; }
  void operator++() {
    ++k;
    at += k <= j ? 1 : k;
  }
};

// A column walk of a packed lower triangle from the diagonal cell (j, j).
struct ColumnWalk {
  const double* start;
  long k, at = 0;
  double operator*() const { return start[at]; }
  void operator++() { at += ++k; }
};

}  // namespace vector_kernels_detail

static inline double zvdot11(double* a, double* b, long n) {
  double even = 0.0, odd = 0.0;
  long k = 0;
  for (; k + 1 < n; k += 2) {
    even += a[k] * b[k];
    odd += a[k + 1] * b[k + 1];
  }
  if (k < n) even += a[k] * b[k];
  return even + odd;
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
  if (n < 1) return 0.0;
  const long row = jcol + 1 < n ? jcol + 1 : n;
  double s = zvdot11(a, b, row);
  vector_kernels_detail::SymmetricWalk w{a, jcol, jcol, jcol};
  for (long k = row; k < n; ++k) {
    ++w;
    s += *w * b[k];
  }
  return s;
}

static inline double zvdotsj(double* a, long ja, double* b, long jb, long n) {
  double s = 0.0;
  vector_kernels_detail::SymmetricWalk w{a, ja};
  for (long k = 0; k < n; ++k, ++w) s += *w * b[k * jb];
  return s;
}

static inline double zvdotss(double* a, long ja, double* b, long jb, long n) {
  double s = 0.0;
  vector_kernels_detail::SymmetricWalk wa{a, ja}, wb{b, jb};
  for (long k = 0; k < n; ++k, ++wa, ++wb) s += *wa * *wb;
  return s;
}

static inline double zvdott1(double* c, long jc, double* a, long n) {
  double s = 0.0;
  vector_kernels_detail::ColumnWalk w{c, jc};
  for (long k = jc; k < n; ++k, ++w) s += *w * a[k];
  return s;
}

// The symmetric walk of row ja is first advanced to S(ja, jb).
static inline double zvdotsl(double* a, long ja, double* b, long jb, long n) {
  double s = 0.0;
  vector_kernels_detail::SymmetricWalk wa{a, ja};
  for (long k = 0; k < jb; ++k) ++wa;
  vector_kernels_detail::ColumnWalk wb{b, jb};
  for (long k = jb; k < n; ++k, ++wa, ++wb) s += *wa * *wb;
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
