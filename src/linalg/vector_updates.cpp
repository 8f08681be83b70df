// Multiply-adds, scalings, sums and plane rotations over vectors, in place
// where the kernel allows it. Unit-stride loops work on pairs of doubles.
#include <cstring>

#include "linalg/simd.h"
#include "linalg/vector_kernels.h"

using linalg::simd::load2;
using linalg::simd::store2;
using linalg::simd::v2d;

void zvaxpy(double* z, const double* x, const double* y, int n, double alpha) {
  if (n < 1) return;
  if (alpha == 0.0) {
    // With z = x nothing happens at all, even where y holds infinities.
    if (z != x) std::memmove(z, x, static_cast<std::size_t>(n) * sizeof(double));
    return;
  }
  const v2d a2 = {alpha, alpha};
  int k = 0;
  for (; k + 2 <= n; k += 2) store2(z + k, load2(x + k) + a2 * load2(y + k));
  if (k < n) z[k] = x[k] + alpha * y[k];
}

void zvxay11(double* a, const double* b, long n, double alpha) {
  if (n < 1 || alpha == 0.0) return;
  if (a == b) {
    const double factor = 1.0 + alpha;
    for (long k = 0; k < n; ++k) a[k] *= factor;
    return;
  }
  const v2d a2 = {alpha, alpha};
  long k = 0;
  for (; k + 2 <= n; k += 2) store2(a + k, load2(a + k) + a2 * load2(b + k));
  if (k < n) a[k] += alpha * b[k];
}

void zvxayjj(double* a, long ja, const double* b, long jb, long n, double alpha) {
  if (alpha == 0.0) return;
  for (long k = 0; k < n; ++k) a[k * ja] += alpha * b[k * jb];
}

void zvscl11(double* c, const double* a, long n, double alpha) {
  const v2d a2 = {alpha, alpha};
  long k = 0;
  for (; k + 2 <= n; k += 2) store2(c + k, a2 * load2(a + k));
  if (k < n) c[k] = alpha * a[k];
}

void zvxy111(double* c, const double* a, const double* b, long n) {
  for (long k = 0; k < n; ++k) c[k] = a[k] + b[k];
}

void zvrotg(double* x, long jx, double* y, long jy, long n, double c, double s) {
  for (long k = 0; k < n; ++k) {
    const double xv = x[k * jx];
    const double yv = y[k * jy];
    x[k * jx] = c * xv + s * yv;
    y[k * jy] = c * yv - s * xv;
  }
}
