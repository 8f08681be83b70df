// Householder reduction to upper bidiagonal form with column scaling, and the
// accumulation of the transformations into V and U (the first two phases of
// the Golub-Reinsch decomposition). Each reflection works on a column or row
// divided by the sum of its magnitudes, so that squares neither overflow nor
// underflow.
#include <algorithm>
#include <cmath>

#include "linalg/svd.h"
#include "linalg/vector_kernels.h"

namespace {

constexpr double kTiny = 2.225073858507202e-308;

struct Bidiagonal {
  int wu, m, n, p, inu, inb, inv;
  double *u, *b, *v, *q, *e;

  double* U(int i, int j) const { return u + static_cast<long>(i) * inu + j; }
  double* V(int i, int j) const { return v + static_cast<long>(i) * inv + j; }
  double* B(int i, int k) const { return b + static_cast<long>(i) * inb + k; }
};

// g of a reflection that maps x (with x[0] = f and squared length s) onto a
// multiple of the first unit vector; the sign avoids cancellation in f - g.
double reflection_g(double f, double s) { return f >= 0.0 ? -std::sqrt(s) : std::sqrt(s); }

void divide_strided(double* x, long stride, int len, double divisor) {
  for (int k = 0; k < len; ++k) x[k * stride] /= divisor;
}

void multiply_strided(double* x, long stride, int len, double factor) {
  for (int k = 0; k < len; ++k) x[k * stride] *= factor;
}

// Reflection of column i over rows i .. m-1, applied to the later columns and
// to b; returns the new diagonal element scale·g.
double left_reflection(const Bidiagonal& s, int i) {
  if (i >= s.m) return 0.0;
  double* col = s.U(i, i);
  const int len = s.m - i;
  const double scale = zvasumj(col, s.inu, len);
  if (scale <= kTiny) return 0.0;
  divide_strided(col, s.inu, len, scale);
  const double ss = zvdotjj(col, s.inu, col, s.inu, len);
  const double f = col[0], g = reflection_g(f, ss), h = f * g - ss;
  col[0] = f - g;
  if (std::fabs(h) > kTiny) {
    for (int j = i + 1; j < s.n; ++j)
      zvxayjj(s.U(i, j), s.inu, col, s.inu, len, zvdotjj(col, s.inu, s.U(i, j), s.inu, len) / h);
    for (int k = 0; k < s.p; ++k)
      zvxayjj(s.B(i, k), s.inb, col, s.inu, len, zvdotjj(col, s.inu, s.B(i, k), s.inb, len) / h);
  }
  multiply_strided(col, s.inu, len, scale);
  return scale * g;
}

// Reflection of row i over columns i+1 .. n-1, applied to the later rows;
// returns the new superdiagonal element scale·g. e[i+1 ..] serves as scratch
// for the scaled reflection vector (e[i+1] is set at the next step).
double right_reflection(const Bidiagonal& s, int i) {
  if (i >= s.m || i >= s.n - 1) return 0.0;
  double* row = s.U(i, i + 1);
  const int len = s.n - i - 1;
  const double scale = zvasumj(row, 1, len);
  if (scale <= kTiny) return 0.0;
  divide_strided(row, 1, len, scale);
  const double ss = zinner(row, row, len);
  const double f = row[0], g = reflection_g(f, ss), h = f * g - ss;
  row[0] = f - g;
  if (std::fabs(h) > kTiny) {
    double* w = s.e + i + 1;
    for (int k = 0; k < len; ++k) w[k] = row[k] / h;
    for (int j = i + 1; j < s.m; ++j) zvxay11(s.U(j, i + 1), w, len, zinner(s.U(j, i + 1), row, len));
  }
  multiply_strided(row, 1, len, scale);
  return scale * g;
}

// Column i of V below row i from the reflection vector in row i of u, with
// the division arranged against underflow.
double v_entry(double uij, double ul, double g) {
  if (std::fabs(ul) > kTiny) return (uij / ul) / g;
  const double d = g * ul;
  return std::fabs(d) > kTiny ? uij / d : 0.0;
}

void accumulate_v(const Bidiagonal& s) {
  for (int i = s.n - 1; i >= 0; --i) {
    if (i < s.n - 1) {
      const int l = i + 1, len = s.n - l;
      const double g = s.e[l];
      if (std::fabs(g) > kTiny && i < s.m) {
        const double ul = *s.U(i, l);
        for (int j = l; j < s.n; ++j) *s.V(j, i) = v_entry(*s.U(i, j), ul, g);
        for (int j = l; j < s.n; ++j)
          zvxayjj(s.V(l, j), s.inv, s.V(l, i), s.inv, len, zvdotj1(s.V(l, j), s.inv, s.U(i, l), len));
      }
      for (int j = l; j < s.n; ++j) *s.V(i, j) = *s.V(j, i) = 0.0;
    }
    *s.V(i, i) = 1.0;
  }
}

void accumulate_u(const Bidiagonal& s) {
  const int mn = std::min(s.m, s.n);
  for (int i = mn - 1; i >= 0; --i) {
    const int l = i + 1;
    const double g = s.q[i];
    for (int j = l; j < s.n; ++j) *s.U(i, j) = 0.0;
    double* col = s.U(i, i);
    const int len = s.m - i;
    if (std::fabs(g) > kTiny) {
      if (i != mn - 1)
        for (int j = l; j < s.n; ++j) {
          const double dot = zvdotjj(s.U(l, i), s.inu, s.U(l, j), s.inu, s.m - l);
          zvxayjj(s.U(i, j), s.inu, col, s.inu, len, (dot / col[0]) / g);
        }
      divide_strided(col, s.inu, len, g);
    } else {
      for (int k = 0; k < len; ++k) col[static_cast<long>(k) * s.inu] = 0.0;
    }
    col[0] += 1.0;
  }
}

}  // namespace

double zsvd1(int wu, int m, int n, int p, int inu, int inb, int inv, double* u, double* b,
             double* v, double* q, double* e) {
  const Bidiagonal s{wu, m, n, b ? p : 0, inu, inb, inv, u, b, v, q, e};
  double anorm = 0.0, g = 0.0;
  for (int i = 0; i < n; ++i) {
    e[i] = g;
    q[i] = left_reflection(s, i);
    g = right_reflection(s, i);
    const double t = std::fabs(q[i]) + std::fabs(e[i]);
    anorm = std::isnan(t) ? t : std::max(anorm, t);  // a NaN stays, for the caller's check
  }
  if (v) accumulate_v(s);
  if (wu) accumulate_u(s);
  return anorm;
}
