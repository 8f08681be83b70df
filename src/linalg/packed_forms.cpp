// Traces, inner products, quadratic and bilinear forms of packed and dense
// matrices.
#include "linalg/packed.h"
#include "linalg/packed_matrix.h"
#include "linalg/vector_kernels.h"

namespace {

double* row_start(double* packed, int i) { return packed + zisub(i, 0); }

}  // namespace

double zmxtr(double* a, int n) {
  double t = 0.0;
  for (int i = 0; i < n; ++i) t += a[zisub(i, i)];
  return t;
}

// Each off-diagonal cell stands for two entries of the full matrices.
double zmxins(double* a, double* b, int n) {
  double off = 0.0, diag = 0.0;
  for (int i = 0; i < n; ++i) {
    double* ra = row_start(a, i);
    double* rb = row_start(b, i);
    off += zvdot11(ra, rb, i);
    diag += ra[i] * rb[i];
  }
  return diag + 2.0 * off;
}

double zmxin1(double* a, double* b, int n, int span) { return zvdotjj(a, span, b, span, n); }

double zmxin2(double* a, double* b, int n, int s1, int s2) { return zvdotjj(a, s1, b, s2, n); }

double zmxq1(double* x, double* a, int n, int m) {
  double q = 0.0;
  for (int i = 0; i < n; ++i) {
    double* row = row_start(a, i);
    const double t = zvdotj1(x, m, row, i);
    const double xi = x[static_cast<long>(i) * m];
    q += xi * (row[i] * xi + 2.0 * t);
  }
  return q;
}

double zmxq2(double* x, double* a, int n, int m) {
  double q = 0.0;
  for (int i = 0; i < n; ++i)
    q += x[static_cast<long>(i) * m] * zvdotj1(x, m, a + static_cast<long>(i) * n, n);
  return q;
}

double zmxtq(double* r, double* s, int n, int m) {
  double t = 0.0;
  for (int c = 0; c < m; ++c) t += zmxq1(r + c, s, n, m);
  return t;
}

double zmxbi(double* x, double* y, double* a, int n) {
  double q = 0.0;
  for (int i = 0; i < n; ++i)
    if (x[i] != 0.0) q += x[i] * zvdots1(row_start(a, i), i, y, n);
  return q;
}

void zmxvs(double* v, double* s, double* result, int m, int n) {
  for (int j = 0; j < n; ++j) result[j] = zvdotsj(row_start(s, j), j, v, m, n);
}
