// Final pass of the singular value decomposition: flush tiny vector entries,
// give every pair of singular vectors a fixed orientation, and sort the
// values into decreasing order with their vectors.
#include <cmath>
#include <utility>

#include "linalg/sign_reference.h"
#include "linalg/svd.h"

namespace {

struct Columns {
  int wu, m, n, inu, inv;
  double *u, *v;

  double& U(int i, int j) const { return u[static_cast<long>(i) * inu + j]; }
  double& V(int i, int j) const { return v[static_cast<long>(i) * inv + j]; }

  // Calls f on every entry of column j of U (when kept) and then of V.
  template <class F>
  void each(int j, F f) const {
    if (wu)
      for (int i = 0; i < m; ++i) f(U(i, j));
    if (v)
      for (int i = 0; i < n; ++i) f(V(i, j));
  }
};

void swap_columns(const Columns& c, int a, int b) {
  if (c.wu)
    for (int i = 0; i < c.m; ++i) std::swap(c.U(i, a), c.U(i, b));
  if (c.v)
    for (int i = 0; i < c.n; ++i) std::swap(c.V(i, a), c.V(i, b));
}

}  // namespace

void zsvdsor(int wu, int m, int n, int inu, int inv, double* u, double* v, double* q) {
  const Columns c{wu, m, n, inu, inv, u, v};
  const double flush = n * 1.110223024625157e-14;
  for (int j = 0; j < n; ++j) {
    c.each(j, [flush](double& x) {
      if (std::fabs(x) <= flush) x = 0.0;
    });
    if (sign_reference([&](auto f) { c.each(j, f); }) < 0.0) c.each(j, [](double& x) { x = -x; });
  }
  for (int i = 0; i + 1 < n; ++i) {
    int best = i;
    for (int j = i + 1; j < n; ++j)
      if (q[j] > q[best]) best = j;
    if (best == i) continue;
    std::swap(q[i], q[best]);
    swap_columns(c, i, best);
  }
}
