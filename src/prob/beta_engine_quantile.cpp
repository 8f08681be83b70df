// Beta quantiles on the log scale. The target is taken on its smaller tail;
// the beta quantile iteration of zprobin gives the start, Newton steps on the
// log of that tail refine it, and where the iteration fails a bracketing
// search in u, x = exp(-exp(-u)), takes over.
#include <cmath>
#include <utility>

#include "prob/beta_engine_detail.h"
#include "prob/t_f_beta.h"

namespace {

constexpr double kLowestX = 2.225073858507202e-293;
constexpr double kHighestX = 0.999999999999889;
constexpr double kLogScaleEps = 1e-7;
constexpr int kPolishSteps = 8;
constexpr double kNoiseStep = 1e-11;  // steps this small that stop shrinking are noise
constexpr int kBracketSteps = 30;
constexpr int kMaxNarrowing = 200;
constexpr double kEpsilon = 2.220446049250313e-16;

// The target on its smaller tail: ln of its probability, and whether that
// is the upper tail.
struct Target {
  bool upper;
  double prob;
  double log_prob;
};

// Sets x and 1 - x from the smaller tail's variable y.
void place(ARGBET* q, const Target& t, double y) {
  q->x = t.upper ? 1.0 - y : y;
  q->onemx = t.upper ? y : 1.0 - y;
}

// G = ln(tail at the current x) - ln target, oriented to increase with x.
int evaluate(ARGBET* q, const Target& t, double* g) {
  if (ComputeTheProbability(q, q->x, q->onemx) != 0) return 1;
  *g = t.upper ? t.log_prob - q->lpr : q->lpl - t.log_prob;
  return 0;
}

int CheckBoundsQ(ARGBET* q, const Target& t) {
  double g;
  q->x = kLowestX;
  q->onemx = 1.0;
  if (evaluate(q, t, &g) != 0) return 1;
  if (g > 0.0) return 2;
  q->x = kHighestX;
  q->onemx = 1.0 - kHighestX;
  if (evaluate(q, t, &g) != 0) return 1;
  if (g < 0.0) return 3;
  return 0;
}

// Newton steps on G, in x or in 1 - x, whichever is smaller and so carries
// more digits, until a step is negligible or stops shrinking at the level
// of rounding noise; false when an evaluation fails, the point leaves (0, 1)
// or the steps do not settle.
bool polish(ARGBET* q, const Target& t) {
  double previous = 1.0;  // the last step, relative to the variable
  for (int i = 0; i < kPolishSteps; ++i) {
    double g;
    if (evaluate(q, t, &g) != 0) return false;
    if (g == 0.0) return true;
    // dG/dx = density / tail for either tail.
    const double step = -g * std::exp((t.upper ? q->lpr : q->lpl) - q->ldens);
    const bool in_x = q->x <= 0.5;
    const double y = in_x ? q->x : q->onemx;
    const double next = in_x ? y + step : y - step;
    if (!(next > 0.0 && next < 1.0)) return false;
    const double relative = std::fabs(next - y) / y;
    const bool settled =
        relative <= 2.0 * kEpsilon || (relative <= kNoiseStep && relative >= previous / 2.0);
    q->x = in_x ? next : 1.0 - next;
    q->onemx = in_x ? 1.0 - next : next;
    if (settled) return evaluate(q, t, &g) == 0;
    previous = relative;
  }
  return false;
}

// x = exp(-exp(-u)) clamped to [MinX, MaxX]; G there. Result 2 (3) when x sits
// at the lower (upper) clamp and the target still lies below (above).
int ComputeTheBetaFunctionForQ(ARGBET* q, const Target& t, double u, double* g) {
  const double e = std::exp(-u);
  q->x = std::exp(-e);
  q->onemx = -std::expm1(-e);
  q->HitBound = 0;
  if (q->x <= q->MinX) {
    q->x = q->MinX;
    q->onemx = 1.0 - q->MinX;
    q->HitBound = 'L';
  } else if (q->x >= q->MaxX) {
    q->x = q->MaxX;
    q->onemx = 1.0 - q->MaxX;
    q->HitBound = 'U';
  }
  if (evaluate(q, t, g) != 0) return 1;
  if (q->HitBound == 'L' && *g > 0.0) return 2;
  if (q->HitBound == 'U' && *g < 0.0) return 3;
  return 0;
}

// Brackets the root in u by unit steps from x0, then narrows the bracket by
// false position (Illinois) to QuantileEps in the log probability.
int UseLogScaleMethod(ARGBET* q, const Target& t, double x0) {
  q->QuantileEps = kLogScaleEps;
  if (!(q->MinX > 0.0)) q->MinX = kLowestX;
  if (!(q->MaxX > q->MinX && q->MaxX < 1.0)) q->MaxX = kHighestX;
  double lo = -std::log(-std::log(x0)), g_lo;
  int rc = ComputeTheBetaFunctionForQ(q, t, lo, &g_lo);
  if (rc != 0 || g_lo == 0.0) return rc;
  const double direction = g_lo < 0.0 ? 1.0 : -1.0;
  double hi, g_hi;
  for (int i = 0;; ++i) {
    if (i >= kBracketSteps) return 1;
    hi = lo + direction;
    if ((rc = ComputeTheBetaFunctionForQ(q, t, hi, &g_hi)) != 0) return rc;
    if ((g_hi < 0.0) != (g_lo < 0.0)) break;
    lo = hi;
    g_lo = g_hi;
  }
  if (lo > hi) {
    std::swap(lo, hi);
    std::swap(g_lo, g_hi);
  }
  int kept = 0;
  for (int i = 0; i < kMaxNarrowing; ++i) {
    const double u = lo - g_lo * (hi - lo) / (g_hi - g_lo);
    double g;
    if ((rc = ComputeTheBetaFunctionForQ(q, t, u, &g)) != 0) return rc;
    if (std::fabs(g) <= q->QuantileEps) return 0;
    if (g < 0.0) {
      lo = u, g_lo = g;
      if (kept == -1) g_hi /= 2.0;
      kept = -1;
    } else {
      hi = u, g_hi = g;
      if (kept == 1) g_lo /= 2.0;
      kept = 1;
    }
  }
  return 1;
}

// A request whose answer is an end of [0, 1]; false otherwise.
bool at_an_end(ARGBET* q, bool upper_request) {
  const double p = upper_request ? q->targetSDF : q->Prob;
  if (p != 0.0 && p != 1.0) return false;
  q->x = (p == 0.0) == upper_request ? 1.0 : 0.0;
  q->onemx = 1.0 - q->x;
  return true;
}

}  // namespace

int ComputeTheQuantile(ARGBET* q) {
  const bool upper_request = !(q->Objective & 4);
  if (at_an_end(q, upper_request)) return ComputeTheProbability(q, q->x, q->onemx);
  if (upper_request) q->Prob = 1.0 - q->targetSDF;
  // The smaller tail, formed without cancellation (1 - p is exact for p >= 1/2).
  const double p = upper_request ? q->targetSDF : q->Prob;
  const bool small = p <= 0.5;
  Target t;
  t.upper = upper_request == small;
  t.prob = small ? p : 1.0 - p;
  t.log_prob = std::log(t.prob);
  q->TargetProb = t.prob;
  q->swap = t.upper;
  q->QuantileA = t.upper ? q->b : q->a;
  q->QuantileB = t.upper ? q->a : q->b;
  q->Halley = q->QuantileA > 1.0 && q->QuantileB > 1.0;
  const int bounds = CheckBoundsQ(q, t);
  if (bounds != 0) return bounds;
  double y;
  double x0 = q->Mean;
  if (zprobin(t.prob, q->QuantileA, q->QuantileB, &y) == 0 && y > 0.0 && y < 1.0) {
    q->InitialGuess = y;
    place(q, t, y);
    if (polish(q, t)) return 0;
    x0 = t.upper ? 1.0 - y : y;
  }
  if (!(x0 > 0.0 && x0 < 1.0)) x0 = q->Mean;
  const int rc = UseLogScaleMethod(q, t, x0);
  if (rc != 0) return rc;
  return polish(q, t) ? 0 : 1;
}
