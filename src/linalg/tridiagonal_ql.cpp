// Implicit QL iteration for the eigenvalues of a symmetric tridiagonal
// matrix. Values are taken off the top as they converge and inserted into
// descending order; the blocks into which the matrix splits are numbered as
// they are met and marked in e2 for inverse iteration.
#include <cmath>

#include "linalg/tridiagonal_eigenvalues.h"

namespace {

constexpr double kEps = 1.110223024625157e-16;
constexpr double kTiny = 2.225073858507202e-308;
constexpr double kSmall = 1.491668147e-154;
constexpr double kNearZero = 1.053671212772351e-08;
constexpr int kMaxSweeps = 50;

struct Ql {
  int n;
  double* w;    // the values
  double* rv1;  // the working sub-diagonal, rv1[i] couples i and i+1
  double* e2;   // the form's squares, marked at block boundaries
  int* ind;
  int tag = 0;  // blocks numbered so far
  int k = -1;   // end of the last block numbered
};

// A block ending at m that reaches past the last one numbered gets the next
// number, and its end is marked in e2.
void number_block(Ql& s, int m) {
  if (m <= s.k) return;
  if (m < s.n - 1) s.e2[m + 1] = 0.0;
  ++s.tag;
  s.k = m;
}

// End of the unreduced block that starts at l.
int block_end(Ql& s, int l) {
  int m = l;
  for (; m < s.n - 1; ++m) {
    const double off = std::fabs(s.rv1[m]);
    if (off <= kEps * (std::fabs(s.w[m]) + std::fabs(s.w[m + 1])) || off <= kSmall) break;
    if (s.e2[m + 1] == 0.0) {  // e2 underflowed although e did not: split here too
      ++s.tag;
      s.k = m;
      return m;
    }
  }
  number_block(s, m);
  return m;
}

// Givens rotation zeroing f against g, returned as (c, s) with rv1[i+1] the
// signed length; a negligible divisor gives a zero ratio.
void rotation(double f, double g, double& rr_out, double& c, double& s) {
  if (std::fabs(g) <= std::fabs(f)) {
    const double t = std::fabs(f) <= kTiny ? 0.0 : g / f;
    const double rr = std::sqrt(t * t + 1.0);
    rr_out = f * rr;
    s = 1.0 / rr;
    c = t * s;
  } else {
    const double t = std::fabs(g) <= kTiny ? 0.0 : f / g;
    const double rr = std::sqrt(t * t + 1.0);
    rr_out = g * rr;
    c = 1.0 / rr;
    s = t * c;
  }
}

// One implicit QL sweep over l .. m. Returns true when it made no progress.
bool ql_sweep(Ql& q, int l, int m) {
  double g = (q.w[l + 1] - q.w[l]) / (2.0 * q.rv1[l]);
  double r = std::fabs(g) > 1.0 ? std::fabs(g) * std::sqrt((1.0 / g) * (1.0 / g) + 1.0)
                                : std::sqrt(g * g + 1.0);
  g = q.rv1[l] / (g < 0.0 ? g - r : g + r) + (q.w[m] - q.w[l]);
  double s = 1.0, c = 1.0, p = 0.0;
  for (int i = m - 1; i >= l; --i) {
    const double f = s * q.rv1[i], b = c * q.rv1[i];
    rotation(f, g, q.rv1[i + 1], c, s);
    g = q.w[i + 1] - p;
    r = (q.w[i] - g) * s + 2.0 * c * b;
    p = s * r;
    q.w[i + 1] = g + p;
    g = c * r - b;
  }
  const bool stalled = std::fabs(p) <= kTiny && std::fabs(q.rv1[l] - g) <= kTiny;
  q.w[l] -= p;
  q.rv1[l] = g;
  q.rv1[m] = 0.0;
  return stalled;
}

// A stalled iteration may take w[l] as converged only when its coupling is
// negligible or small beside it.
bool may_accept_stalled(const Ql& q, int l) {
  const double off = std::fabs(q.rv1[l]), diag = std::fabs(q.w[l]);
  return off <= kSmall || (diag <= kEps && off <= kNearZero * diag);
}

void insert_descending(Ql& q, int l) {
  const double p = q.w[l];
  int i = l;
  for (; i > 0 && q.w[i - 1] < p; --i) {
    q.w[i] = q.w[i - 1];
    q.ind[i] = q.ind[i - 1];
  }
  q.w[i] = p;
  q.ind[i] = q.tag;
  q.e2[0] = 2.0;
}

}  // namespace

int zimtqlv(int n, double* tri, double* d, int* ind, double* e) {
  if (n < 1) return 0;
  const double* td = tri;
  const double* te = tri + n;
  Ql q{n, d, e, tri + 2L * n, ind};
  q.w[0] = td[0];
  for (int i = 1; i < n; ++i) {
    q.rv1[i - 1] = te[i];
    q.w[i] = td[i];
  }
  q.e2[0] = 0.0;
  q.rv1[n - 1] = 0.0;
  for (int l = 0; l < n; ++l) {
    bool stalled = false;
    for (int sweeps = 0;; ++sweeps) {
      int m;
      if (stalled) {
        if (!may_accept_stalled(q, l)) return -(l + 1);
        m = l;
        number_block(q, m);
      } else {
        m = block_end(q, l);
      }
      if (m == l) break;
      if (sweeps == kMaxSweeps) return -(l + 1);
      stalled = ql_sweep(q, l, m);
    }
    insert_descending(q, l);
  }
  return 0;
}
