// Householder QR with column pivoting in the LINPACK manner, with fixed
// columns placed by target position, negligible columns rotated to the end
// and column norms downdated between steps.
#include "linalg/qr_pivot.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "linalg/vector_kernels.h"

namespace {

struct Factorisation {
  long m, n, p, incu, incb;
  long* ipiv;      // null without pivoting
  double* u;
  double* b;
  double* alfa;
  double* sum;
  long initial = 0;    // count of leading fixed columns
  long final = 0;      // count of trailing fixed columns
  long rotations = 0;  // negligible columns moved to the end so far

  double* at(long i, long j) const { return u + i * incu + j; }
  bool pivoting() const { return ipiv != nullptr; }
  // Norm of column j over rows i .. m-1.
  double norm_from(long i, long j) const { return zvenorm(m - i, incu, at(i, j)); }
};

void swap_columns(const Factorisation& f, long a, long b) {
  for (long i = 0; i < f.m; ++i) std::swap(*f.at(i, a), *f.at(i, b));
}

void exchange(const Factorisation& f, long a, long b) {
  std::swap(f.alfa[a], f.alfa[b]);
  std::swap(f.ipiv[a], f.ipiv[b]);
  swap_columns(f, a, b);
}

// Moves the column asking for fixed position `target` (alfa holds the
// requests) from the first match at or after `from` to `target`.
long place(const Factorisation& f, long target, long from) {
  long t = from;
  while (t < f.n && f.alfa[t] != static_cast<double>(target + 1)) ++t;
  if (t == f.n) return -1 - target;
  if (t != target) exchange(f, t, target);
  return 0;
}

long place_fixed_columns(Factorisation& f) {
  for (long j = 0; j < f.n; ++j) {
    if (f.ipiv[j] > 0) ++f.initial;
    if (f.ipiv[j] < 0) ++f.final;
    f.alfa[j] = static_cast<double>(std::labs(f.ipiv[j]));
    f.ipiv[j] = j;
  }
  for (long i = 0; i < f.initial; ++i)
    if (long rc = place(f, i, 0); rc < 0) return rc;
  for (long i = f.n - f.final; i < f.n; ++i)
    if (long rc = place(f, i, f.initial); rc < 0) return rc;
  for (long j = 0; j < f.n; ++j) f.alfa[j] = f.sum[j] = f.norm_from(0, j);
  return 0;
}

// Brings the free column of largest norm to position l; the later one wins
// ties.
void choose_pivot(const Factorisation& f, long l) {
  long best = l;
  for (long j = l + 1; j < f.n - f.final; ++j)
    if (f.alfa[j] >= f.alfa[best]) best = j;
  if (best == l) return;
  std::swap(f.ipiv[l], f.ipiv[best]);
  f.alfa[best] = f.alfa[l];
  f.sum[best] = f.sum[l];
  swap_columns(f, l, best);
}

// Columns l .. n-1 move one place left and column l becomes the last.
void rotate_to_end(const Factorisation& f, long l) {
  for (long i = 0; i < f.m; ++i) std::rotate(f.at(i, l), f.at(i, l + 1), f.at(i, f.n));
  std::rotate(f.ipiv + l, f.ipiv + l + 1, f.ipiv + f.n);
  std::rotate(f.alfa + l, f.alfa + l + 1, f.alfa + f.n);
  std::rotate(f.sum + l, f.sum + l + 1, f.sum + f.n);
}

// With pivoting, tries the columns behind a negligible one at position l
// until one is not negligible or every later column has been tried.
double skip_negligible(Factorisation& f, long l, double nu, double sing) {
  while (nu <= sing && f.n - 1 - f.rotations > l) {
    rotate_to_end(f, l);
    f.alfa[l] = f.sum[l] = 0.0;
    ++f.rotations;
    nu = f.norm_from(l, l);
  }
  return nu;
}

void downdate_norm(const Factorisation& f, long l, long j) {
  if (f.alfa[j] == 0.0) return;
  const double ulj = *f.at(l, j);
  if (std::fabs(f.alfa[j]) <= std::fabs(ulj)) {
    f.alfa[j] = f.sum[j] = f.norm_from(l + 1, j);
    return;
  }
  const double r = ulj / f.alfa[j];
  f.alfa[j] *= std::sqrt(std::max(0.0, 1.0 - r * r));
}

// Applies the reflection of step l to the later columns and to b.
void reflect_rest(const Factorisation& f, long l, double c) {
  double* v = f.at(l, l);
  const long len = f.m - l;
  for (long j = l + 1; j < f.n; ++j) {
    const double t = c * zvdotjj(v, f.incu, f.at(l, j), f.incu, len);
    zvxayjj(f.at(l, j), f.incu, v, f.incu, len, t);
    if (f.pivoting() && l + 1 < f.m) downdate_norm(f, l, j);
  }
  for (long k = 0; k < f.p; ++k) {
    double* bk = f.b + l * f.incb + k;
    const double t = c * zvdotjj(v, f.incu, bk, f.incb, len);
    zvxayjj(bk, f.incb, v, f.incu, len, t);
  }
}

void householder_step(const Factorisation& f, long l, double nu) {
  double* v = f.at(l, l);
  if (*v < 0.0) nu = -nu;
  for (long i = 0; i < f.m - l; ++i) v[i * f.incu] /= nu;
  *v += 1.0;
  f.alfa[l] = -nu;
  if (f.pivoting()) f.sum[l] = -*v;
  reflect_rest(f, l, -1.0 / *v);
}

}  // namespace

long zqrdec(long m, long n, long p, long incu, long incb, long* ipiv, double sing,
            double* u, double* b, double* alfa, double* sum) {
  Factorisation f{m, n, b ? p : 0, incu, incb, ipiv, u, b, alfa, sum};
  if (f.pivoting()) {
    if (long rc = place_fixed_columns(f); rc < 0) return rc;
  } else {
    for (long j = 0; j < n; ++j) alfa[j] = f.norm_from(0, j);
  }
  long negligible = 0;
  for (long l = 0; l < std::min(m, n); ++l) {
    if (f.pivoting() && f.initial <= l && l < n - f.final) choose_pivot(f, l);
    alfa[l] = 0.0;
    if (f.pivoting()) sum[l] = 0.0;
    double nu = f.norm_from(l, l);
    if (nu <= sing && f.pivoting()) nu = skip_negligible(f, l, nu, sing);
    if (nu <= sing) {
      ++negligible;
      *f.at(l, l) = 0.0;
      continue;
    }
    householder_step(f, l, nu);
  }
  return negligible;
}
