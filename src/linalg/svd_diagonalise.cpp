// Implicit-shift QR iteration on the bidiagonal form (the third phase of the
// Golub-Reinsch decomposition): values converge from the bottom up, each
// after at most 50 sweeps; a negligible diagonal element above the unreduced
// block is first cancelled by rotations from the left.
#include <algorithm>
#include <cmath>

#include "linalg/svd.h"
#include "linalg/vector_kernels.h"

namespace {

constexpr double kTiny = 2.225073858507202e-308;
constexpr double kEps = 1.110223024625157e-16;
constexpr int kMaxSweeps = 50;

struct Diagonalise {
  int wu, m, n, p, inu, inb, inv;
  double *u, *b, *v, *q, *e;
  double tol;

  // Applies a rotation to the columns a and c of U, to the rows a and c of b.
  void rotate_left(int a, int c, double cs, double sn) const {
    if (wu) zvrotg(u + a, inu, u + c, inu, m, cs, sn);
    if (p > 0) zvrotg(b + static_cast<long>(a) * inb, 1, b + static_cast<long>(c) * inb, 1, p, cs, sn);
  }
  void rotate_right(int a, int c, double cs, double sn) const {
    if (v) zvrotg(v + a, inv, v + c, inv, n, cs, sn);
  }
};

// sqrt(a² + b²) without overflow, 0 when both parts are negligible.
double rotation_length(double a, double b) {
  const double fa = std::fabs(a), fb = std::fabs(b);
  if (fa <= kTiny && fb <= kTiny) return 0.0;
  if (fa <= fb) return fb * std::sqrt((a / b) * (a / b) + 1.0);
  return fa * std::sqrt((b / a) * (b / a) + 1.0);
}

// The top l of the unreduced block ending at k; `cancel` is set when it ends
// above a negligible diagonal element q[l-1]. e[0] is 0 by construction, so
// the search stops at 0 without reading before the arrays.
int find_split(const Diagonalise& s, int k, bool& cancel) {
  cancel = false;
  for (int l = k; l > 0; --l) {
    if (std::fabs(s.e[l]) <= s.tol) return l;
    if (std::fabs(s.q[l - 1]) <= s.tol) {
      cancel = true;
      return l;
    }
  }
  return 0;
}

// Chases e[l] out of the block when q[l-1] is negligible.
int cancel_superdiagonal(const Diagonalise& s, int l, int k) {
  double c = 0.0, sn = 1.0;
  for (int i = l; i <= k; ++i) {
    const double f = sn * s.e[i];
    s.e[i] = c * s.e[i];
    if (std::fabs(f) <= s.tol) return 0;
    const double g = s.q[i];
    if (std::fabs(f) <= std::fabs(g) && std::fabs(g) <= kTiny) return -(k + 1);
    const double h = rotation_length(f, g);
    if (h == 0.0) return -(k + 1);
    s.q[i] = h;
    c = g / h;
    sn = -f / h;
    s.rotate_left(l - 1, i, c, sn);
  }
  return 0;
}

// The rotation (c, s) that maps (f, h) onto (len, 0); the identity when the
// length is negligible.
void make_rotation(double f, double h, double len, double& c, double& sn) {
  if (len <= kTiny) {
    c = 1.0;
    sn = 0.0;
  } else {
    c = f / len;
    sn = h / len;
  }
}

// One QR sweep over rows l .. k with the shift from the trailing 2 by 2.
void qr_sweep(const Diagonalise& s, int l, int k) {
  double x = s.q[l], y = s.q[k - 1], g = s.e[k - 1], h = s.e[k];
  const double z0 = s.q[k];
  double f = ((y - z0) * (y + z0) + (g - h) * (g + h)) / (2.0 * h * y);
  g = std::fabs(f) <= 1.0 ? std::sqrt(f * f + 1.0) : std::fabs(f) * std::sqrt(1.0 / (f * f) + 1.0);
  f = ((x - z0) * (x + z0) + h * (y / (f + (f >= 0.0 ? g : -g)) - h)) / x;
  double c = 1.0, sn = 1.0;
  for (int i = l + 1; i <= k; ++i) {
    g = s.e[i];
    y = s.q[i];
    h = sn * g;
    g = c * g;
    double z = rotation_length(f, h);
    s.e[i - 1] = z;
    make_rotation(f, h, z, c, sn);
    f = x * c + g * sn;
    g = -x * sn + g * c;
    h = y * sn;
    y = y * c;
    s.rotate_right(i - 1, i, c, sn);
    z = rotation_length(f, h);
    s.q[i - 1] = z;
    make_rotation(f, h, z, c, sn);
    f = c * g + sn * y;
    x = -sn * g + c * y;
    s.rotate_left(i - 1, i, c, sn);
  }
  s.e[l] = 0.0;
  s.e[k] = f;
  s.q[k] = x;
}

// Iterates until value k has converged; returns 0 or -(k+1).
int converge_value(const Diagonalise& s, int k) {
  for (int sweeps = 0;; ++sweeps) {
    bool cancel;
    const int l = find_split(s, k, cancel);
    if (cancel)
      if (int rc = cancel_superdiagonal(s, l, k); rc != 0) return rc;
    if (l == k) {
      if (s.q[k] < 0.0) {
        s.q[k] = -s.q[k];
        if (s.v)
          for (int j = 0; j < s.n; ++j) s.v[static_cast<long>(j) * s.inv + k] *= -1.0;
      }
      return 0;
    }
    if (sweeps == kMaxSweeps) return -(k + 1);
    qr_sweep(s, l, k);
  }
}

}  // namespace

int zsvd2(int wu, int m, int n, int p, int inu, int inb, int inv, double* u, double* b,
          double* v, double* q, double* e, double anorm) {
  const Diagonalise s{wu, m, n, b ? p : 0, inu, inb, inv, u, b, v, q, e,
                      anorm * kEps * std::max(m, n)};
  for (int k = n - 1; k >= 0; --k)
    if (int rc = converge_value(s, k); rc != 0) return rc;
  return zvamx(e, n) > std::sqrt(s.tol) ? 1 : 0;
}
