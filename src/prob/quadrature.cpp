// Trapezoidal sums in t after x = phi(t) maps the interval onto the real
// line with double-exponential decay at both ends (tanh-sinh for a finite
// interval, exp-sinh for a half line, sinh-sinh for the whole line). Each
// halving of the step adds only the new nodes; once the estimate settles to
// the working tolerance the error is about its square.
#include "prob/quadrature.h"

#include <climits>
#include <cmath>

namespace {

constexpr double kHalfPi = 1.5707963267948966;
constexpr int kDefaultNodes = 10000;
constexpr int kMinMaxCount = 32767;
constexpr double kOverflowGuard = 1.3407807929943e154;
constexpr double kLargestExponent = 709.782712893384;
constexpr int kNegligibleRun = 3;  // this many negligible terms end a side

// x = phi(t) and w = phi'(t); false once t maps onto or beyond an end.
bool map(shrdarg* qs, double t, double* x, double* w) {
  const double s = kHalfPi * std::sinh(t);
  const double c = kHalfPi * std::cosh(t);
  switch (qs->i_type) {
    case 0: {  // the distance to the nearer end, without cancellation
      const double half = qs->bma / 2.0;
      const double u = std::exp(-2.0 * std::fabs(s));
      const double dist = half * 2.0 * u / (1.0 + u);
      *x = t < 0.0 ? qs->a + dist : qs->b - dist;
      *w = half * c * 4.0 * u / ((1.0 + u) * (1.0 + u));
      if (*x == qs->a || *x == qs->b) {
        qs->ReachedExactFiniteBoundary = 1;
        return false;
      }
      return true;
    }
    case 1:
    case 2: {
      const bool upper = qs->i_type == 2;
      const double centre = upper ? qs->peak - qs->a : qs->b - qs->peak;
      const double scale = centre > 0.0 ? centre : 1.0;
      const double y = qs->sigma * (upper ? s : -s);
      if (y > kLargestExponent) return false;
      const double offset = scale * std::exp(y);
      *x = upper ? qs->a + offset : qs->b - offset;
      *w = offset * qs->sigma * c;
      return *x != (upper ? qs->a : qs->b) && std::isfinite(*x);
    }
    default: {
      if (std::fabs(s) > kLargestExponent) return false;
      *x = qs->peak + qs->sigma * std::sinh(s);
      *w = qs->sigma * std::cosh(s) * c;
      return std::isfinite(*w);
    }
  }
}

// The running state of one quadrature.
struct Sums {
  double raw = 0.0;       // sum of f w over the nodes of the current step
  double previous = 0.0;  // the estimate of the previous step
};

// Brings the sums to the integrand's new scale after it raised nshft.
void rescale(shrdarg* qs, Sums& sums) {
  if (!qs->fscale || qs->nshft == qs->oshft) return;
  const double factor =
      std::exp((static_cast<double>(qs->oshft) - static_cast<double>(qs->nshft)) * qs->logbase);
  sums.raw *= factor;
  sums.previous *= factor;
  qs->oshft = qs->nshft;
}

// Adds the node at t; sets *term to its contribution. Result 0, 1 on
// failure, 2 when t lies beyond an end.
int add(shrdarg* qs, Sums& sums, double t, double* term) {
  double x, w;
  if (!map(qs, t, &x, &w)) return 2;
  if (qs->updt >= qs->MaxCount) return 1;
  qs->updt += 1.0;
  double f;
  if (qs->fentry(x, qs->userptr, &f) != 0) return 1;
  rescale(qs, sums);
  *term = f * w;
  if (!std::isfinite(*term) || std::fabs(*term) > kOverflowGuard) return 1;
  sums.raw += *term;
  return 0;
}

// Sums one side of the peak: nodes k = first, first + stride, ... Result 0
// or 1 on failure.
int side(shrdarg* qs, Sums& sums, int direction, int first, int stride) {
  qs->Direction = direction;
  const int limit = direction < 0 ? qs->nleft : qs->nright;
  int negligible = 0;
  for (int k = first, nodes = 0;; k += stride, ++nodes) {
    if (nodes >= limit) {
      qs->quit = 1;
      return 1;
    }
    const double t = direction * k * qs->h;
    double term;
    const int rc = add(qs, sums, t, &term);
    if (rc == 2) return 0;
    if (rc != 0) return 1;
    const double reference = std::fabs(sums.raw) + std::fabs(sums.previous) / qs->h;
    negligible = std::fabs(term) <= qs->eps3 * reference ? negligible + 1 : 0;
    if (negligible >= kNegligibleRun && std::fabs(t) > 1.0) return 0;
  }
}

// One pass at the current step: every node on the first pass, the new odd
// ones after a halving.
int pass(shrdarg* qs, Sums& sums, bool first) {
  if (first) {
    double term;
    qs->Direction = 0;
    if (add(qs, sums, 0.0, &term) == 1) return 1;
  }
  const int stride = first ? 1 : 2;
  if (side(qs, sums, -1, 1, stride) != 0) return 1;
  return side(qs, sums, 1, 1, stride);
}

bool valid(const shrdarg* qs) {
  if (!(qs->eps > 0.0) || qs->fentry == nullptr || qs->cycles < 0) return false;
  switch (qs->i_type) {
    case 0: return std::isfinite(qs->a) && std::isfinite(qs->b) && qs->a < qs->b;
    case 1: return std::isfinite(qs->b) && std::isfinite(qs->peak);
    case 2: return std::isfinite(qs->a) && std::isfinite(qs->peak);
    case 3: return std::isfinite(qs->peak);
    default: return false;
  }
}

void prepare(shrdarg* qs) {
  qs->updt = 0.0;
  qs->nleft = qs->nright = kDefaultNodes;
  qs->quit = 0;
  qs->acycles = 0;
  qs->ReachedExactFiniteBoundary = 0;
  qs->eps3 = qs->eps / 3.0;
  qs->w1 = qs->UseTighterConvergence == 1234567 ? std::pow(qs->eps, 0.75) : std::sqrt(qs->eps);
  if (qs->MaxCount < kMinMaxCount) qs->MaxCount = kMinMaxCount;
  qs->bma = qs->b - qs->a;
  if (!(qs->sigma > 0.0)) qs->sigma = 1.0;
  if (!(qs->h0 > 0.0)) qs->h0 = 1.0;
  qs->h = qs->h0;
  if (qs->fscale) {
    if (!(qs->base > 1.0)) qs->base = 2.718281828459045;
    qs->logbase = std::log(qs->base);
    qs->rlogb = 1.0 / qs->logbase;
    qs->oshft = qs->nshft = INT_MIN + 1;
  }
}

// The step in x at the peak, for the record.
double step_at_peak(shrdarg* qs) {
  double x, w;
  return map(qs, 0.0, &x, &w) ? w * qs->h : 0.0;
}

}  // namespace

int zhrdys(shrdarg* qs, double* prob) {
  *prob = 0.0;
  if (!valid(qs)) return 1;
  prepare(qs);
  Sums sums;
  if (pass(qs, sums, true) != 0) return 1;
  qs->steph0 = step_at_peak(qs);
  double estimate = qs->h * sums.raw;
  qs->cntnu = 1;
  while (qs->cntnu) {
    if (qs->acycles >= qs->cycles) return 1;
    sums.previous = estimate;
    qs->h /= 2.0;
    ++qs->acycles;
    if (pass(qs, sums, false) != 0) return 1;
    estimate = qs->h * sums.raw;
    const double change = std::fabs(estimate - sums.previous);
    qs->crit = qs->c_type == 1 ? (change == 0.0 ? 0.0 : change / std::fabs(estimate)) : change;
    qs->eserr = change;
    qs->e1 = sums.previous;
    qs->cntnu = qs->crit > qs->w1;
  }
  qs->steph = step_at_peak(qs);
  qs->esprob = estimate;
  *prob = qs->fscale ? estimate * std::exp(qs->nshft * qs->logbase) : estimate;
  return 0;
}
