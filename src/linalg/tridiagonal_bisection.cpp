// Eigenvalues of a symmetric tridiagonal matrix by bisection on Sturm counts,
// selected by index, one diagonal block at a time. Every loop that halves an
// interval also stops when the midpoint is no longer strictly inside it, so
// that values that are not finite end the search instead of holding it.
#include <algorithm>
#include <cmath>

#include "linalg/tridiagonal_eigenvalues.h"

namespace {

constexpr double kEps = 1.110223024625157e-16;

double D(const BISECT* b, int i) { return b->d[i - 1]; }
double E(const BISECT* b, int i) { return b->e[i - 1]; }
double& E2(BISECT* b, int i) { return b->e2[i - 1]; }

// Working arrays, rows counted from 1: lower and upper ends of the interval
// known to hold each value.
struct Intervals {
  double *rv4, *rv5;
  double& lower(int i) const { return rv4[i - 1]; }
  double& upper(int i) const { return rv5[i - 1]; }
};

// Bisects the interval of value k of the block (indices mb1 .. k) down to the
// tolerance, narrowing the intervals of the other values on the way.
double bisect_value(BISECT* bis, const Intervals& iv, int k, int mb1, double lb, double& x0,
                    double tol) {
  double xu = lb;
  for (int i = k; i >= mb1; --i)
    if (iv.lower(i) > lb) {
      xu = iv.lower(i);
      break;
    }
  x0 = std::min(x0, iv.upper(k));
  double x;
  for (;;) {
    x = (xu + x0) * 0.5;
    const double width = x0 - xu;
    if (!(width > std::fabs(tol) + 2.220446049250314e-16 * (std::fabs(xu) + std::fabs(x0)))) break;
    if (!(xu < x && x < x0)) break;  // adjacent doubles, or not finite
    const int s = sturm(bis, x);
    if (s >= k) {
      x0 = x;
      continue;
    }
    xu = x;
    if (s < mb1) {
      iv.lower(mb1) = x;
    } else {
      iv.lower(s + 1) = x;
      iv.upper(s) = std::min(iv.upper(s), x);
    }
  }
  return xu < 0.0 && 0.0 < x0 ? 0.0 : x;
}

// The values of block p .. q inside [t1, t2] into iv.upper(mb1 .. mb2);
// returns false when the block holds none.
bool block_values(BISECT* bis, const Intervals& iv, double t1, double t2, double eps, int n,
                  int& mb1, int& mb2) {
  const int p = bis->p, q = bis->q;
  if (p == q) {
    if (!(t1 <= D(bis, p) && D(bis, p) <= t2)) return false;
    mb1 = mb2 = p;
    iv.upper(p) = D(bis, p);
    return true;
  }
  double xu, x0;
  gersch(bis, &xu, &x0, n);
  double x1 = kEps * std::max(std::fabs(xu), std::fabs(x0));
  const double tol = eps > 0.0 ? eps : x1;
  x1 *= q - p + 1;
  const double lb = std::max(t1, xu - x1), ub = std::min(t2, x0 + x1);
  mb1 = sturm(bis, lb) + 1;
  mb2 = sturm(bis, ub);
  if (mb1 > mb2) return false;
  for (int i = mb1; i <= mb2; ++i) {
    iv.upper(i) = ub;
    iv.lower(i) = lb;
  }
  x0 = ub;
  for (int k = mb2; k >= mb1; --k) iv.upper(k) = bisect_value(bis, iv, k, mb1, lb, x0, tol);
  return true;
}

// Merges the block's ascending values into val[0 .. r) (ascending), each new
// value after the stored values equal to it, keeping at most `room` values:
// a block's own Sturm counts can differ from the whole matrix's by rounding,
// and a value beyond the room is dropped from the end away from the wanted
// ones rather than written past the caller's arrays.
int merge_block(const Intervals& iv, int mb1, int mb2, int tag, double* val, int* ii, int r,
                int room, bool largest) {
  int extra = std::max(0, r + mb2 - mb1 + 1 - room);
  if (largest) mb1 += extra;
  else mb2 -= extra;
  int a = r - 1, out = r + mb2 - mb1;
  for (int b = mb2; b >= mb1; --out) {
    if (a >= 0 && val[a] > iv.upper(b)) {
      val[out] = val[a];
      ii[out] = ii[a];
      --a;
    } else {
      val[out] = iv.upper(b--);
      ii[out] = tag;
    }
  }
  return r + std::max(0, mb2 - mb1 + 1);
}

// Narrows the index range [m1, m2] and its interval [t1, t2] to the wanted
// values, widening the range to whole clusters at its edges.
void locate_range(BISECT* bis, int n, double x1, int& m1, int& m2, double& t1, double& t2) {
  if (m1 > 1) {
    bis->ncom = -1;
    t1 = cut(bis, m1 - 1, t1, t2);
    if (bis->ncom >= 0) {
      t1 -= x1;
      m1 = sturm(bis, t1) + 1;
    }
  }
  if (m2 < n) {
    bis->ncom = -1;
    t2 = cut(bis, m2, t1, t2);
    if (bis->ncom >= 0) {
      t2 += x1;
      m2 = sturm(bis, t2);
    }
  }
}

}  // namespace

int sturm(BISECT* bis, double x1) {
  int s = bis->p - 1;
  double u = 1.0;
  for (int i = bis->p; i <= bis->q; ++i) {
    const double v = u == 0.0 ? std::fabs(E(bis, i)) / kEps : E2(bis, i) / u;
    u = D(bis, i) - (v + x1);
    if (u < 0.0) ++s;
  }
  return s;
}

void gersch(BISECT* bis, double* xu, double* x0, int n) {
  double lo = D(bis, bis->p), hi = lo, radius = 0.0;
  for (int i = bis->p; i <= bis->q; ++i) {
    const double u = i == n ? 0.0 : std::fabs(E(bis, i + 1));
    lo = std::fmin(lo, D(bis, i) - (radius + u));
    hi = std::fmax(hi, radius + u + D(bis, i));
    radius = u;
  }
  *xu = lo;
  *x0 = hi;
}

double cut(BISECT* bis, int j, double t1, double t2) {
  if (j == -1) return t1;
  for (;;) {
    const double x = (t1 + t2) * 0.5;
    const int s = sturm(bis, x);
    if (!(t1 < x && x < t2)) {
      bis->ncom = s;
      return x;
    }
    if (s == j) return x;
    if (s < j)
      t1 = x;
    else
      t2 = x;
  }
}

int zbisect(int n, int nval, double eps, double* trid, double* val, int* ii, double* work) {
  if (n < 1) return 0;
  BISECT bis{1, n, -1, trid, trid + n, trid + 2L * n};
  const Intervals iv{work, work + n};
  int m1 = nval > 0 ? n - nval + 1 : 1, m2 = nval > 0 ? n : -nval;
  E2(&bis, 1) = 0.0;
  for (int i = 2; i <= n; ++i)
    if (std::fabs(E(&bis, i)) <= kEps * (std::fabs(D(&bis, i - 1)) + std::fabs(D(&bis, i))))
      E2(&bis, i) = 0.0;
  double xu, x0;
  gersch(&bis, &xu, &x0, n);
  const double x1 = n * (kEps * std::max(std::fabs(xu), std::fabs(x0)));
  double t1 = xu - x1, t2 = x0 + x1;
  locate_range(&bis, n, x1, m1, m2, t1, t2);
  const int count = m2 - m1 + 1;
  if (count <= 0) return 0;
  bis.ncom = count;
  int r = 0, tag = 0;
  for (bis.q = 0; r < count && bis.q < n;) {
    ++tag;
    bis.p = bis.q + 1;
    bis.q = bis.p;
    while (bis.q < n && E2(&bis, bis.q + 1) != 0.0) ++bis.q;
    int mb1, mb2;
    if (block_values(&bis, iv, t1, t2, eps, n, mb1, mb2))
      r = merge_block(iv, mb1, mb2, tag, val, ii, r, count, nval > 0);
  }
  if (nval > 0) {
    std::reverse(val, val + r);
    std::reverse(ii, ii + r);
    E2(&bis, 1) = 2.0;
  }
  return r;
}
