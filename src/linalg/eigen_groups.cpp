// Eigenvectors of close eigenvalues are fixed only up to a rotation within
// their span; replacing them by the rows of the R factor of a pivoted QR of
// the run makes them a function of the span and the pivot order alone. The
// factorisation works on the vector rows where they lie, with contiguous
// multiply-adds along the rows.
#include "linalg/eigen_groups.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "linalg/sign_reference.h"
#include "linalg/vector_kernels.h"

namespace {

// Pivot columns at or below this norm make a run linearly dependent.
constexpr double kDependent = 2.2250738585072018e-307;

// The rows of a run: row k of the group matrix is row igrp[k] of u.
struct Group {
  int ngrp, n;
  const int* igrp;
  double* u;
  double* operator[](int k) const { return u + static_cast<long>(igrp[k]) * n; }
};

struct Norms {
  double *alfa, *sum, *zdot;
};

// Reflects column l of rows l .. ngrp-1 onto row l and applies the reflection
// to the later columns; returns the diagonal element, 0 when the column is
// negligible (and counted in cnt).
double reflect_column(const Group& x, int l, double sing, const Norms& w, int& cnt) {
  double nrm = 0.0;
  for (int k = l; k < x.ngrp; ++k) nrm += x[k][l] * x[k][l];
  nrm = std::sqrt(nrm);
  if (!(nrm > sing)) {
    ++cnt;
    return 0.0;
  }
  if (x[l][l] < 0.0) nrm = -nrm;
  for (int k = l; k < x.ngrp; ++k) x[k][l] *= 1.0 / nrm;
  x[l][l] += 1.0;
  w.sum[l] = -x[l][l];
  const int len = x.n - l - 1;
  if (len > 0) {
    double* zdot = w.zdot + l + 1;
    std::fill(zdot, zdot + len, 0.0);
    for (int k = l; k < x.ngrp; ++k) zvxay11(zdot, x[k] + l + 1, len, x[k][l]);
    zvscl11(zdot, zdot, len, -1.0 / x[l][l]);
    for (int k = l; k < x.ngrp; ++k) zvxay11(x[k] + l + 1, zdot, len, x[k][l]);
  }
  return -nrm;
}

// Downdates the norms of the later columns after step l, recomputing those
// where cancellation has made the downdate unreliable.
void downdate_norms(const Group& x, int l, const Norms& w) {
  for (int j = l + 1; j < x.n; ++j) {
    if (w.alfa[j] == 0.0) continue;
    const double r = x[l][j] / w.alfa[j];
    const double t = std::max(0.0, 1.0 - r * r);
    const double ratio = w.alfa[j] / w.sum[j];
    if (ratio * ratio * t * 0.5 + 1.0 == 1.0) {
      double s = 0.0;
      for (int k = l + 1; k < x.ngrp; ++k) s += x[k][j] * x[k][j];
      w.alfa[j] = w.sum[j] = std::sqrt(s);
    } else {
      w.alfa[j] *= std::sqrt(t);
    }
  }
}

// Factors the group rows in place into the rows of R (original column
// order) and returns the number of negligible pivot columns.
int modqrd(int ngrp, int n, int* igrp, int* ipiv, double sing, double* u, double* alfa,
           double* sum, double* zdot) {
  if (ngrp < 1) return 0;
  const Group x{ngrp, n, igrp, u};
  const Norms w{alfa, sum, zdot};
  for (int j = 0; j < n; ++j) {
    double s = 0.0;
    for (int k = 0; k < ngrp; ++k) s += x[k][j] * x[k][j];
    w.alfa[j] = w.sum[j] = std::sqrt(s);
  }
  int cnt = 0;
  for (int l = 0; l < ngrp; ++l) {
    int maxj = l;
    for (int j = l + 1; j < n; ++j)
      if (w.alfa[j] > w.alfa[maxj]) maxj = j;
    ipiv[l] = maxj;
    w.alfa[maxj] = w.alfa[l];
    w.sum[maxj] = w.sum[l];
    for (int k = l; k < ngrp; ++k) std::swap(x[k][l], x[k][maxj]);
    const int before = cnt;
    w.alfa[l] = reflect_column(x, l, sing, w, cnt);
    if (cnt == before && l + 1 < n) downdate_norms(x, l, w);
    x[l][l] = w.alfa[l];
    for (int k = l + 1; k < ngrp; ++k) x[k][l] = 0.0;
  }
  // Row k took part in the interchanges of steps 0 .. k: undo them in reverse.
  for (int k = 0; k < ngrp; ++k)
    for (int j = k; j >= 0; --j) std::swap(x[k][ipiv[j]], x[k][j]);
  return cnt;
}

}  // namespace

int zeiggrp(int n, int nvec, double* trid, double* val, double* vec, double* w) {
  if (nvec < 1) return 0;
  const double* d = trid;
  const double* e = trid + n;
  double norm = std::fabs(d[0]);
  for (int i = 1; i < n; ++i) norm += std::fabs(d[i]) + std::fabs(e[i]);
  if (nvec == 1) return 0;
  const double tol = 1.110223024625157e-13 * norm;
  double *alfa = w, *sum = w + n, *zdot = w + 3L * n;
  int* igrp = reinterpret_cast<int*>(w + 2L * n);
  int* ipiv = igrp + n;
  int cnt = 0;
  for (int i = 1; i < nvec; ++i) {
    if (std::fabs(val[i] - val[i - 1]) < tol) {
      if (cnt == 0) igrp[cnt++] = i - 1;
      igrp[cnt++] = i;
      continue;
    }
    if (cnt > 1 && modqrd(cnt, n, igrp, ipiv, kDependent, vec, alfa, sum, zdot) != 0) return 1;
    cnt = 0;
  }
  return cnt > 1 && modqrd(cnt, n, igrp, ipiv, kDependent, vec, alfa, sum, zdot) != 0 ? 1 : 0;
}

void zeigref(int n, int nvec, double* vec) {
  if (n < 1) return;
  const double flush = n * 1.110223024625157e-14;
  for (int r = 0; r < nvec; ++r) {
    double* x = vec + static_cast<long>(r) * n;
    for (int i = 0; i < n; ++i)
      if (std::fabs(x[i]) <= flush) x[i] = 0.0;
    const double s = sign_reference([x, n](auto f) {
      for (int i = 0; i < n; ++i) f(x[i]);
    });
    if (s < 0.0) zvscl11(x, x, n, -1.0);
  }
}
