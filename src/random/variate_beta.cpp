// BETA and F. The shapes choose the method: Cheng's BB when both exceed 1,
// Cheng's BC when one exceeds 1 and the other lies below it, the switching
// algorithm of Atkinson and Whittaker when both lie below 1, and closed
// forms when a shape is 1. The set-up is cached under both shapes.
#include <bit>
#include <cfloat>
#include <cmath>

#include "random/variate_fill.h"
#include "random/variate_operations.h"

using variates::uniform;

namespace {

constexpr double kLog4 = 1.38629436;
constexpr double kOnePlusLog5 = 2.60943791;
constexpr double kLogLargest = 709.782712893384;
// The double just above the smallest normal double.
const double kAboveSmallestNormal = std::bit_cast<double>(0x0010000000000001ull);

bool fresh(const ZRANBET& c, double a, double b) {
  return !(c.alphasave == a && c.betasave == b);
}
void keep(ZRANBET& c, double a, double b) {
  c.alphasave = a;
  c.betasave = b;
}

double logit(double u) {
  return std::log(u / (1 - u));
}

// Both shapes above 1.
double cheng_bb(MRandPtr q, double A, double B) {
  ZRANBET& c = q->bet;
  if (fresh(c, A, B)) {
    keep(c, A, B);
    c.d1 = std::fmin(A, B);
    c.d2 = std::fmax(A, B);
    c.d3 = c.d1 + c.d2;
    c.d4 = std::sqrt((c.d3 - 2) / (2 * c.d1 * c.d2 - c.d3));
    c.d5 = c.d1 + 1 / c.d4;
  }
  const double a = c.d1, b = c.d2, s0 = c.d3, beta0 = c.d4, gamma0 = c.d5;
  for (long trial = 0; trial < variates::kMaxTrials; ++trial) {
    const double u1 = uniform(q);
    const double u2 = uniform(q);
    const double v = beta0 * logit(u1);
    const double w = a * std::exp(v);
    const double z = u1 * u1 * u2;
    const double r = gamma0 * v - kLog4;
    const double s = (r + a) - w;
    bool accept = s + kOnePlusLog5 > 5 * z;
    if (!accept) {
      const double t = std::log(z);
      accept = s >= t || r + s0 * std::log(s0 / (b + w)) >= t;
    }
    if (accept) return a == A ? w / (b + w) : b / (b + w);
  }
  return variates::invalid();
}

void set_up_bc(ZRANBET& c, double A, double B) {
  keep(c, A, B);
  c.d1 = std::fmax(A, B);
  c.d2 = std::fmin(A, B);
  c.d3 = c.d1 + c.d2;
  c.d4 = 1 / c.d2;
  c.d5 = 1 + c.d1 - c.d2;
  c.d6 = c.d5 * (0.0138888889 + 0.0416666667 * c.d2) / (c.d1 * c.d4 - 0.777777778);
  c.d7 = 0.25 + (0.5 + 0.25 / c.d5) * c.d2;
  c.toobig = kLogLargest - std::log(c.d1);
}

// The value of an accepted w (infinite when e^v overflows).
double bc_result(double A, double a, double b, double w) {
  if (std::isinf(w)) return a == A ? 1 : 0;
  if (a == A) return w == DBL_MAX ? 1 : w / (b + w);
  return w == DBL_MAX ? 0 : b / (b + w);
}

// One shape above 1, the other below.
double cheng_bc(MRandPtr q, double A, double B) {
  ZRANBET& c = q->bet;
  if (fresh(c, A, B)) set_up_bc(c, A, B);
  const double a = c.d1, b = c.d2, s0 = c.d3, beta0 = c.d4, k1 = c.d6, k2 = c.d7;
  for (long trial = 0; trial < variates::kMaxTrials; ++trial) {
    const double u1 = uniform(q);
    const double u2 = uniform(q);
    double z;
    if (u1 < 0.5) {
      const double y = u1 * u2;
      z = u1 * y;
      if (0.25 * u2 + z - y >= k1) continue;
    } else {
      z = u1 * u1 * u2;
      if (z <= 0.25) {
        const double v = beta0 * logit(u1);
        return bc_result(A, a, b, v > c.toobig ? INFINITY : a * std::exp(v));
      }
      if (z >= k2) continue;
    }
    const double v = beta0 * logit(u1);
    if (v > c.toobig) {
      if (s0 * (v + std::log(s0 / (b + DBL_MAX) + kAboveSmallestNormal)) - kLog4 >= std::log(z))
        return bc_result(A, a, b, INFINITY);
      continue;
    }
    const double w = a * std::exp(v);
    if (s0 * (v + std::log(s0 / (b + w))) - kLog4 >= std::log(z)) return bc_result(A, a, b, w);
  }
  return variates::invalid();
}

// Both shapes below 1.
double switching(MRandPtr q, double A, double B) {
  ZRANBET& c = q->bet;
  if (fresh(c, A, B)) {
    keep(c, A, B);
    c.d1 = 1 / (1 + std::sqrt((1 - B) * B / A / (1 - A)));
    c.d2 = B * c.d1 / ((1 - c.d1) * A + B * c.d1);
  }
  const double t = c.d1, p = c.d2;
  for (long trial = 0; trial < variates::kMaxTrials; ++trial) {
    const double u1 = uniform(q);
    const double e = -std::log(uniform(q));
    if (u1 <= p) {
      const double x = t * std::pow(u1 / p, 1 / A);
      if (e >= (t - x) * (1 - B) / (1 - t) || e >= (1 - B) * std::log((1 - x) / (1 - t))) return x;
    } else {
      const double x = 1 - (1 - t) * std::pow((1 - u1) / (1 - p), 1 / B);
      if (e >= (x / t - 1) * (1 - A) || e >= (1 - A) * std::log(x / t)) return x;
    }
  }
  return variates::invalid();
}

// A shape of 1: u^(1/A) or 1 - u^(1/B).
double closed_form(MRandPtr q, double A, double B) {
  if (A == 1 && B == 1) return uniform(q);
  ZRANBET& c = q->bet;
  if (fresh(c, A, B)) {
    keep(c, A, B);
    c.d1 = 1 / A;
    c.d2 = 1 / B;
  }
  return A == 1 ? 1 - std::pow(uniform(q), c.d2) : std::pow(uniform(q), c.d1);
}

}  // namespace

// Shapes that are not positive and finite have no variate.
double GetOneVariateBETA(MRandPtr q, double A, double B) {
  zrand_check(q, 1);
  if (!(A > 0 && B > 0 && A < INFINITY && B < INFINITY)) return variates::invalid();
  if (A == 1 || B == 1) return closed_form(q, A, B);
  if (A > 1 && B > 1) return cheng_bb(q, A, B);
  if (A < 1 && B < 1) return switching(q, A, B);
  return cheng_bc(q, A, B);
}

// When the beta draw rounds to 1 the ratio has no finite value to give:
// the variate is +infinity, as BETA itself gives 1 when its w overflows.
double GetOneVariateF(MRandPtr q, double d1, double d2) {
  zrand_check(q, 1);
  if (!(d1 > 0 && d2 > 0)) return variates::invalid();
  const double b = GetOneVariateBETA(q, d1 / 2, d2 / 2);
  if (is_missing(b)) return b;
  if (b == 1) return INFINITY;
  return (d2 * b / d1) / (1 - b);
}

int FillTheBufferBETA(MRandPtr q, double alpha, double beta) {
  return variates::fill<&GetOneVariateBETA>(q, alpha, beta);
}
int FillTheBufferF(MRandPtr q, double ndf, double ddf) {
  return variates::fill<&GetOneVariateF>(q, ndf, ddf);
}
