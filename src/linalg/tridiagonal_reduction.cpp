// Householder tridiagonalisation of a packed symmetric matrix from the last
// row up, working row-wise on the packed triangle (the product of the leading
// block with the reflection vector is one symmetric walk per row, the rank-two
// update two contiguous multiply-adds per row), and its back-transformation.
#include "linalg/tridiagonal_reduction.h"

#include <cmath>

#include "linalg/packed.h"
#include "linalg/vector_kernels.h"

namespace {

// A row whose entries sum to no more than this (beside a largest entry near
// 1, as the solver scales it) is left as it is: its reflection would be of
// entries whose squares underflow, for a change far below the rounding.
constexpr double kSmall = 1.491668147e-154;

struct Tridiagonal {
  double *d, *e, *e2;
};

// Reflects row r (its scaled copy in d[0 .. r-1]) onto a multiple of the unit
// vector of column r-1 and applies the reflection to the leading r by r block.
// Returns h = u·u/2 of the reflection vector u.
double reflect_row(double* a, int r, double scale, const Tridiagonal& t) {
  double h = 0.0;
  for (int k = 0; k < r; ++k) {
    t.d[k] /= scale;
    h += t.d[k] * t.d[k];
  }
  t.e2[r] = scale * scale * h;
  const double f = t.d[r - 1];
  const double g = f >= 0.0 ? -std::sqrt(h) : std::sqrt(h);
  t.e[r] = scale * g;
  h -= f * g;
  t.d[r - 1] = f - g;
  a[zisub(r, r - 1)] = scale * t.d[r - 1];
  if (r == 1) return h;
  for (int j = 0; j < r; ++j) t.e[j] = zvdots1(a + zisub(j, 0), j, t.d, r) / h;
  double fsum = 0.0;
  for (int j = 0; j < r; ++j) fsum += t.e[j] * t.d[j];
  const double hh = fsum / (h + h);
  // Row j needs e[0 .. j] only, and those are final when it is updated.
  for (int j = 0; j < r; ++j) {
    t.e[j] -= hh * t.d[j];
    double* row = a + zisub(j, 0);
    zvxay11(row, t.e, j + 1, -t.d[j]);
    zvxay11(row, t.d, j + 1, -t.e[j]);
  }
  return h;
}

}  // namespace

void ztred3(int n, double* a, double* tri) {
  const Tridiagonal t{tri, tri + n, tri + 2L * n};
  for (int r = n - 1; r >= 0; --r) {
    double* row = a + zisub(r, 0);
    double scale = 0.0;
    for (int k = 0; k < r; ++k) {
      t.d[k] = row[k];
      scale += std::fabs(row[k]);
    }
    double h = 0.0;
    if (r == 0 || scale <= kSmall)
      t.e[r] = t.e2[r] = 0.0;
    else
      h = reflect_row(a, r, scale, t);
    t.d[r] = row[r];
    row[r] = scale * std::sqrt(h);
  }
}

void ztrbak3(int n, int m, double* a, double* z) {
  for (int i = 1; i < n; ++i) {
    double* row = a + zisub(i, 0);
    const double h = row[i];
    if (h == 0.0) continue;  // the reduction left this row as it was
    for (int j = 0; j < m; ++j) {
      double* zj = z + static_cast<long>(j) * n;
      const double s = (zinner(row, zj, i) / h) / h;  // two divisions: h² may underflow
      zvaxpy(zj, zj, row, i, -s);
    }
  }
}
