// The continued fraction for I_x(a, b) evaluated by a forward recurrence on
// numerators and denominators, rescaled by powers of two to stay in range.
#include "prob/beta_fraction.h"

#include <cmath>

#include "prob/constants.h"

namespace {

constexpr int kMaxIterations = 399;
// Beyond this base-2 exponent the convergents are rescaled.
constexpr int kRescaleExponent = 354;

// The recurrence state: the convergents P1/Q, with P0 and Pm the
// second-order terms, and the running coefficients of the fraction.
struct Recurrence {
  double r, s, m, u, h, g, c;
  double p0 = 1.0, p1 = 1.0, q = 1.0, pm = 0.0;
};

// One step of the recurrence; returns the new convergent.
double advance(Recurrence& z) {
  const double g1 = z.g + z.h;
  z.g += 2.0 * z.h;
  z.s += 2.0;
  z.m += 2.0;
  const double r_old = z.r;
  z.r = z.s + r_old;
  const double alpha = z.u / z.c;
  z.u += z.m;
  const double beta = r_old / (z.c + g1);
  z.c += g1 + z.g;
  z.p0 = alpha * z.p0 + z.q;
  z.pm = alpha * z.pm + z.p1;
  z.q = z.p0 + beta * z.q;
  z.p1 = z.pm + beta * z.p1;
  if (z.q == 0.0) return kLargestDouble;
  const double f = z.p1 / z.q;
  int e = 0;
  const double mantissa = std::frexp(z.q, &e);
  if (e > kRescaleExponent || e < -kRescaleExponent) {
    z.q = mantissa;
    z.p1 = std::ldexp(z.p1, -e);
    z.p0 = std::ldexp(z.p0, -e);
    z.pm = std::ldexp(z.pm, -e);
  }
  return f;
}

}  // namespace

bool beta_use_upper_tail(double x, double a, double b) {
  return x * (a + b) > a + 2.0 * std::sqrt(a * b / (a + b + 1.0)) || x * (a + b + 6.0) > a + 3.0;
}

bool beta_continued_fraction(double X, double A, double B, double tol, double* result) {
  const bool shifted = A < 1.0;
  if (shifted) A += 1.0;
  Recurrence z;
  z.r = z.s = A + B;
  z.m = A - B;
  z.u = -A * (B - 1.0);
  z.h = 2.0 * (1.0 - X) / X;
  z.g = A * z.h;
  z.c = A * (A + 1.0) * (1.0 - X) / X;
  double f = 1.0;
  double f_prev = 0.0;
  bool converged = false;
  for (int it = 1; it <= kMaxIterations; ++it) {
    if (tol * f > std::fabs(f - f_prev)) {
      converged = true;
      break;
    }
    f_prev = f;
    f = advance(z);
  }
  if (!converged) return false;
  // Without the shift I_X(A, B) = f X d / A; with it, one step of the
  // recurrence I_x(a, b) = I_x(a + 1, b) + x^a (1 - x)^b / (a B(a, b)).
  *result = shifted ? (f * X * (A + B - 1.0) / A + (1.0 - X)) / (A - 1.0) : f / A;
  return true;
}
