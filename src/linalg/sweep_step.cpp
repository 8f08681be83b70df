// The sweep step shared by the host's single step and the threaded sweep.
#include "linalg/sweep_step.h"

#include <cmath>

#include "linalg/simd.h"

namespace {

// r[j] -= ai*b[j] for j < len. Each element is one multiply and one
// subtract, so the vector width never changes a result.
RUVA_VECTOR_CLONES
void row_update(double* __restrict r, const double* __restrict b, double ai, long len) {
  using linalg::simd::v4d;
  const v4d a4 = {ai, ai, ai, ai};
  long j = 0;
  for (; j + 8 <= len; j += 8) {
    v4d r0, r1, b0, b1;
    RUVA_LOAD4(r0, r + j);
    RUVA_LOAD4(r1, r + j + 4);
    RUVA_LOAD4(b0, b + j);
    RUVA_LOAD4(b1, b + j + 4);
    r0 -= a4 * b0;
    r1 -= a4 * b1;
    RUVA_STORE4(r + j, r0);
    RUVA_STORE4(r + j + 4, r1);
  }
  for (; j < len; ++j) r[j] -= ai * b[j];
}

inline bool is_swept(char status) { return status == '1'; }

}  // namespace

bool sweep_begin(double* x, long k, char* df, double tol, double* d, bool* unsweep) {
  double& pivot = x[k * (k + 1) / 2 + k];
  *d = pivot;
  if (tol >= 0.0 ? *d <= tol : std::fabs(*d) <= -tol) return false;
  pivot = 1.0 / *d;
  // An element keeps the sign of its multiplier when its status agrees
  // with the unsweep flag.
  *unsweep = is_swept(df[k]);
  df[k] = *unsweep ? '0' : '1';
  return true;
}

void sweep_prepare_row(double* x, long k, const char* df, double d, bool unsweep, double* a,
                       double* b) {
  double* row_k = x + k * (k + 1) / 2;
  for (long j = 0; j < k; ++j) {
    const double v = row_k[j];
    const double t = v / d;
    b[j] = v;
    a[j] = is_swept(df[j]) == unsweep ? t : -t;
    row_k[j] = -t;
  }
}

void sweep_prepare_column(double* x, long k, const char* df, double d, bool unsweep, double* a,
                          double* b, long from, long to) {
  for (long i = from; i < to; ++i) {
    double& cell = x[i * (i + 1) / 2 + k];
    const double v = cell;
    a[i] = v / d;
    b[i] = is_swept(df[i]) == unsweep ? v : -v;
    cell = a[i];
  }
}

bool sweep_prepare(double* x, long k, long n, char* df, double tol, double* a, double* b) {
  double d;
  bool unsweep;
  if (!sweep_begin(x, k, df, tol, &d, &unsweep)) return false;
  sweep_prepare_row(x, k, df, d, unsweep, a, b);
  sweep_prepare_column(x, k, df, d, unsweep, a, b, k + 1, n);
  a[k] = 0.0;
  b[k] = 0.0;
  return true;
}

void sweep_update_rows(double* x, long k, const double* a, const double* b, long start, long end) {
  for (long i = start; i < end; ++i) {
    if (i == k) continue;
    double* row = x + i * (i + 1) / 2;
    if (i < k) {
      row_update(row, b, a[i], i + 1);
    } else {
      row_update(row, b, a[i], k);
      row_update(row + k + 1, b + k + 1, a[i], i - k);
    }
  }
}
