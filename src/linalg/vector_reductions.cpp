// Inner products, sums and magnitude searches over plain and strided vectors.
#include <cmath>

#include "linalg/vector_kernels.h"

namespace {

// Unit-stride inner product with two interleaved partial sums (even and odd
// positions), unrolled by eight; the hardware prefetcher follows the two
// sequential streams.
double paired_dot(const double* a, const double* b, long n) {
  double even = 0.0, odd = 0.0;
  long k = 0;
  for (; k + 8 <= n; k += 8) {
    even += a[k] * b[k];
    odd += a[k + 1] * b[k + 1];
    even += a[k + 2] * b[k + 2];
    odd += a[k + 3] * b[k + 3];
    even += a[k + 4] * b[k + 4];
    odd += a[k + 5] * b[k + 5];
    even += a[k + 6] * b[k + 6];
    odd += a[k + 7] * b[k + 7];
  }
  for (; k + 2 <= n; k += 2) {
    even += a[k] * b[k];
    odd += a[k + 1] * b[k + 1];
  }
  if (k < n) even += a[k] * b[k];
  return even + odd;
}

}  // namespace

double zvdot11(const double* a, const double* b, long n) { return n < 1 ? 0.0 : paired_dot(a, b, n); }

double zinner(const double* a, const double* b, int n) { return n < 1 ? 0.0 : paired_dot(a, b, n); }

double zvdotj1(const double* a, long ja, const double* b, long n) {
  double sum = 0.0;
  for (long k = 0; k < n; ++k) sum += a[k * ja] * b[k];
  return sum;
}

double zvdotjj(const double* v1, long j1, const double* v2, long j2, long n) {
  double sum = 0.0;
  for (long k = 0; k < n; ++k) sum += v1[k * j1] * v2[k * j2];
  return sum;
}

double zv3s111(const double* a, const double* b, const double* c, long n) {
  double sum = 0.0;
  for (long k = 0; k < n; ++k) sum += (a[k] * b[k]) * c[k];
  return sum;
}

double zvsum(const double* a, long n) {
  double sum = 0.0;
  for (long k = 0; k < n; ++k) sum += a[k];
  return sum;
}

double zvasumj(const double* a, long j, long n) {
  double sum = 0.0;
  for (long k = 0; k < n; ++k) sum += std::fabs(a[k * j]);
  return sum;
}

// The magnitude searches use a strict greater-than, so the earliest element
// wins ties.
double zvamx(const double* vector, long dim) {
  double best = 0.0;
  for (long k = 0; k < dim; ++k)
    if (std::fabs(vector[k]) > best) best = std::fabs(vector[k]);
  return best;
}

double zvamxj(const double* vector, long j, long dim) {
  if (dim < 1) return 0.0;  // callers pass at least one element; read none otherwise
  double best = std::fabs(vector[0]);
  for (long k = 1; k < dim; ++k)
    if (std::fabs(vector[k * j]) > best) best = std::fabs(vector[k * j]);
  return best;
}

long zvamxi(const double* vector, long dim) {
  if (dim < 2) return 0;
  long best = 0;
  double largest = std::fabs(vector[0]);
  for (long k = 1; k < dim; ++k) {
    if (std::fabs(vector[k]) > largest) {
      largest = std::fabs(vector[k]);
      best = k;
    }
  }
  return best;
}

// Scaling by the largest magnitude keeps the squares in range; an element
// negligible beside sqrt(xmax) (or xmax itself when that is at most 1)
// cannot change the sum and is skipped.
double zvenorm(long n, long incx, const double* x) {
  if (n < 1) return 0.0;
  const double xmax = incx == 1 ? zvamx(x, n) : zvamxj(x, incx, n);
  if (xmax == 0.0) return 0.0;
  const double s = xmax > 1.0 ? std::sqrt(xmax) : xmax;
  double sum = 0.0;
  for (long k = 0; k < n; ++k) {
    const double v = x[k * incx];
    const double t = std::fabs(v) + s == s ? 0.0 : v / xmax;
    if (1.0 + t != 1.0) sum += t * t;
  }
  return xmax * std::sqrt(sum);
}
