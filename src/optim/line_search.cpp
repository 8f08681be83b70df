// Line searches along a step: trial points parms = pparms - a * delta for a
// scalar factor a. The searches see the objective only through
// `objfunc(user_ptr)` and report through `subpfunc(user_ptr)`, so that other
// objectives (the feasibility phase) can use them too.
//
// Slopes: g0 = -(gradient . delta) is half the slope of the objective along
// the search, because the library's gradient is half the objective's
// gradient. The acceptance tests are written in g0; the interpolating
// searches fit their polynomials to the true slope 2 g0, so that the point
// they propose is the minimiser of the interpolant.
#include <algorithm>
#include <cmath>

#include "linalg/vector_kernels.h"
#include "optim/optimiser_internal.h"

namespace {

using namespace optim;

// The fixed quantities of one search.
struct Search {
  double f0;      // objective at a = 0
  double size_p;  // |parms| at entry
  double size_d;  // |delta|
  double g0;      // half the slope at a = 0
};

double half_slope(const double* delta, int n, const LINESRCH* ls, double f0) {
  return ls->gradient ? -zinner(ls->gradient, delta, n) : -0.5 * f0;
}

Search begin(const double* delta, const double* parms, int n, const LINESRCH* ls) {
  return {ls->oldobj, zvenorm(n, 1, parms), zvenorm(n, 1, delta),
          half_slope(delta, n, ls, ls->oldobj)};
}

// The step a delta has become negligible against the parameters.
bool negligible(const Search& s, double a) {
  return a * s.size_d < s.size_p * kRoundoff;
}

// An evaluation at a: records the factor, reports it and keeps its objective.
double evaluate_at(double a, double* delta, double* parms, double* pparms, int n, LINESRCH* ls) {
  const double f = evalfunc(a, delta, parms, pparms, n, ls);
  ls->damp = a;
  ls->currobj = f;
  if (ls->subpfunc) ls->subpfunc(ls->user_ptr);
  return f;
}

// One counted trial (a sub-iteration).
double trial(double a, double* delta, double* parms, double* pparms, int n, LINESRCH* ls) {
  ls->subiter += 1;
  return evaluate_at(a, delta, parms, pparms, n, ls);
}

// After a successful search: remember the accepted factor and propose the
// next iteration's starting factor from how much the objective fell.
void propose_damp(LINESRCH* ls, double a, double f) {
  const double f0 = ls->oldobj;
  ls->pdamp = ls->damp;
  if (f0 != 0 && f != 0 && std::fabs(f) < kBig && f0 < kBig)
    ls->damp = std::fabs(a / ((1 - a) * f / (5 * f0) + a));
}

// The minimiser in (0, 1) of the cubic on [0, 1] with values f0, f1 and
// slopes s0, s1 at its ends, or of the quadratic through f0, s0 and f1 when
// the slope at 1 is unknown; -1 when there is none inside.
double interpolated_minimum(double f0, double f1, double s0, double s1, bool s1_known) {
  const double c2 = s1_known ? 3 * (f1 - f0) - 2 * s0 - s1 : f1 - f0 - s0;
  const double c3 = s1_known ? s0 + s1 - 2 * (f1 - f0) : 0.0;
  // phi'(t) = s0 + 2 c2 t + 3 c3 t^2; its root where phi'' > 0.
  const double disc = c2 * c2 - 3 * c3 * s0;
  if (!(disc >= 0) || std::fabs(c2) > kBig || std::fabs(c3) > kBig) return -1;
  double t = -1;
  if (c2 > 0)
    t = -s0 / (c2 + std::sqrt(disc));
  else if (c3 != 0)
    t = (-c2 + std::sqrt(disc)) / (3 * c3);
  return t > 0 && t < 1 ? t : -1;
}

}  // namespace

double evalfunc(double alpha, double* delta, double* parms, double* pparms, int n, LINESRCH* ls) {
  for (int i = 0; i < n; ++i) parms[i] = pparms[i] - alpha * delta[i];
  return ls->objfunc(ls->user_ptr);
}

int stephalv(double* delta, double* parms, double* pparms, int n, LINESRCH* ls) {
  const Search s = begin(delta, parms, n, ls);
  double a = ls->damp;
  // The first trial is not counted: a sub-iteration is a halving.
  ls->subiter = 0;
  double f = evaluate_at(a, delta, parms, pparms, n, ls);
  if (ls->maxsubiters == 0) return 1;
  while (!(f < s.f0)) {
    if (ls->subiter >= ls->maxsubiters) return 0;
    a /= 2;
    f = trial(a, delta, parms, pparms, n, ls);
    if (negligible(s, a)) return 0;
  }
  propose_damp(ls, a, f);
  return 1;
}

int quadsearch(double* delta, double* parms, double* pparms, int n, LINESRCH* ls) {
  const Search s = begin(delta, parms, n, ls);
  double a = 1;
  ls->subiter = 0;
  double f = evaluate_at(a, delta, parms, pparms, n, ls);
  const double slope = 2 * s.g0;
  while ((f > s.f0 + 0.25 * s.g0 * a || half_slope(delta, n, ls, s.f0) < -kHuge) &&
         ls->subiter < ls->maxsubiters) {
    const double c = (f - s.f0 - slope * a) / (a * a);
    if (std::fabs(s.g0) > kBig || std::fabs(c) < kSqrtTiny) {
      a /= 2;
    } else {
      const double t = -slope / (2 * c);
      a = t <= 0 || t >= 1 ? a / 2 : std::max(t, 0.1 * a);
    }
    f = trial(a, delta, parms, pparms, n, ls);
    if (negligible(s, a)) return 0;
  }
  // Only a point below the start counts, and not one found on the last trial.
  if (ls->subiter >= ls->maxsubiters || !(f < s.f0)) return 0;
  propose_damp(ls, a, f);
  return 1;
}

int cubesearch(double* delta, double* parms, double* pparms, int n, LINESRCH* ls) {
  const Search s = begin(delta, parms, n, ls);
  double a = 1;
  ls->subiter = 0;
  double f = evaluate_at(a, delta, parms, pparms, n, ls);
  if (f > kBig) return stephalv(delta, parms, pparms, n, ls);
  // The slope at a trial is known only when the objective refreshed the
  // gradient there; an unchanged value is the slope at 0, not at the trial.
  double g1 = half_slope(delta, n, ls, s.f0);
  bool g1_known = ls->gradient && g1 != s.g0;
  auto acceptable = [&] { return f <= s.f0 + 0.25 * a * s.g0 && (!g1_known || g1 >= 0.95 * s.g0); };
  if (!acceptable() && ls->subiter < ls->maxsubiters) {
    for (;;) {
      if (f > kBig) return stephalv(delta, parms, pparms, n, ls);
      // The cubic lives on the bracket [0, a]: its slopes are per unit of
      // the bracket, 2 g a. As in the quadratic search the new factor is
      // at least a tenth of the old: an interpolant fitted to a far
      // overshoot puts its minimum too close to 0.
      const double t = interpolated_minimum(s.f0, f, 2 * s.g0 * a, 2 * g1 * a, g1_known);
      a = t > 0 ? std::max(t, 0.1) * a : a / 2;
      f = trial(a, delta, parms, pparms, n, ls);
      g1 = half_slope(delta, n, ls, s.f0);
      g1_known = ls->gradient && g1 != s.g0;
      if (negligible(s, a)) return stephalv(delta, parms, pparms, n, ls);
      if (acceptable() || ls->subiter >= ls->maxsubiters || (ls->subiter > 2 && f < s.f0)) break;
    }
  }
  if (!(f < s.f0)) return stephalv(delta, parms, pparms, n, ls);
  propose_damp(ls, a, f);
  return 1;
}

int goldsearch(double* delta, double* parms, double* pparms, int n, LINESRCH* ls) {
  const Search s = begin(delta, parms, n, ls);
  double lo = 0, hi = 3;
  double x1 = 1.1458980337503157, x2 = 1.8541019662496843;  // the golden points of [0, 3]
  ls->subiter = 0;
  double f2 = evaluate_at(x2, delta, parms, pparms, n, ls);
  double f1 = evaluate_at(x1, delta, parms, pparms, n, ls);
  double best_a = f1 <= f2 ? x1 : x2, best_f = std::fmin(f1, f2), last_a = x1;
  while (ls->subiter < ls->maxsubiters) {
    if (f1 <= f2) {
      hi = x2, x2 = x1, f2 = f1;
      x1 = lo + (hi - x2);
      f1 = trial(last_a = x1, delta, parms, pparms, n, ls);
    } else {
      lo = x1, x1 = x2, f1 = f2;
      x2 = lo + (hi - x1);
      f2 = trial(last_a = x2, delta, parms, pparms, n, ls);
    }
    if (ls->currobj < best_f) best_a = last_a, best_f = ls->currobj;
    if (negligible(s, x2)) return 0;
    if ((hi - lo) / (hi + kRoundoff) <= 0.001) break;
  }
  // The search ends at the best point it saw, and only one below the start.
  if (!(best_f < s.f0)) return 0;
  if (best_a != last_a) evaluate_at(best_a, delta, parms, pparms, n, ls);
  ls->pdamp = ls->damp;
  return 1;
}

int zlnsrch(double* delta, double* parms, double* pparms, int n, LINESRCH* ls) {
  switch (ls->linesearch) {
    case 'C':
      return cubesearch(delta, parms, pparms, n, ls);
    case 'G':
      return goldsearch(delta, parms, pparms, n, ls);
    case 'Q':
      return quadsearch(delta, parms, pparms, n, ls);
    default:
      return stephalv(delta, parms, pparms, n, ls);
  }
}
