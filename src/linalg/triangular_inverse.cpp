// Gauss-Jordan inverse of a packed lower triangle, one pivot at a time. The
// cells above the diagonal are never stored: the inverse of a lower triangle
// is lower triangular.
#include "linalg/triangular_inverse.h"

#include <cmath>

#include "linalg/packed.h"
#include "linalg/vector_kernels.h"

namespace {

// work[0 .. k] = row k up to the diagonal, work[k+1 .. n-1] = column k below.
void copy_row_and_column(const double* a, int n, int k, double* work) {
  for (int j = 0; j <= k; ++j) work[j] = a[zisub(k, j)];
  for (int i = k + 1; i < n; ++i) work[i] = a[zisub(i, k)];
}

void sweep_pivot(double* a, int n, int k, const double* work) {
  const double d = work[k];
  for (int j = 0; j < k; ++j) {
    const double t = work[j] / d;
    for (int i = k + 1; i < n; ++i) a[zisub(i, j)] -= work[i] * t;
  }
  double* row = a + zisub(k, 0);
  zvscl11(row, row, k, -1.0 / d);
  row[k] = 1.0 / d;
  for (int i = k + 1; i < n; ++i) a[zisub(i, k)] /= d;
}

}  // namespace

int zinvlo(double* a, int n, double* work, double singular) {
  for (int k = 0; k < n; ++k) {
    copy_row_and_column(a, n, k, work);
    if (std::fabs(work[k]) <= singular) return 1;
    sweep_pivot(a, n, k, work);
  }
  return 0;
}
