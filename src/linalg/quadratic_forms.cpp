// Quadratic forms R S R' of a packed symmetric matrix S: contrasts and
// additional estimates (G V G'), curvature measures, the projected Hessian.
#include "linalg/dense_products.h"
#include "linalg/packed.h"
#include "linalg/vector_kernels.h"

namespace {

// r' S r, one row of S at a time: the strict lower part of row i counts
// twice, the diagonal once.
double scalar_form(const double* sym, int n, const double* r) {
  double q = 0.0;
  const double* row = sym;
  for (int i = 0; i < n; row += i + 1, ++i) {
    const double t = zvdot11(row, r, i);
    q += r[i] * (2.0 * t + row[i] * r[i]);
  }
  return q;
}

}  // namespace

void zqform(const double* sym, int n, const double* rec, int p, double* prod, double* work,
            int acc) {
  if (p < 1) return;
  if (p == 1) {
    const double q = scalar_form(sym, n, rec);
    prod[0] = acc ? prod[0] + q : q;
    return;
  }
  const long len = n > 0 ? n : 0;
  double* cell = prod;
  for (int c = 0; c < p; ++c) {
    const double* rc = rec + c * len;
    // work = S r_c, the full symmetric product through the row/column walks.
    for (int i = 0; i < n; ++i) work[i] = zvdots1(sym + zisub(i, 0), i, rc, n);
    for (int d = 0; d <= c; ++d, ++cell) {
      const double v = zinner(work, rec + d * len, n);
      *cell = acc ? *cell + v : v;
    }
  }
}
