// A beta tail as the integral of a beta-prime density: with T = (1 - X)/X,
// I_x(a, b) = P(T >= t0), t0 = (1 - x)/x, T having density
// t^k (1 + t)^-n / B(a, b) with k = b - 1 and n = a + b (the upper tail
// likewise with k = a - 1 and t0 = x/(1 - x)). The quadrature runs over the
// relative offset s = (t - t0)/t0, and the integrand is taken relative to its
// value at t0, k ln(1 + s) - n ln(1 + s t0/(1 + t0)), so that huge shapes lose
// nothing to cancellation between the node and t0. Its sums are kept scaled,
// so tails far below the smallest double still come out as logarithms.
#include <climits>
#include <cmath>

#include "prob/beta_engine_detail.h"
#include "prob/log_gamma.h"
#include "prob/quadrature.h"

namespace {

constexpr double kQuadratureEps = 1e-13;
constexpr int kHalvings = 10;
constexpr double kE = 2.718281828459045;

// The integrand's parameters are ARGBET's bm1 (k) and APlusB (n), and
// t0/(1 + t0), kept in OriginalX while integrating.
int BetaIntegrand(double s, void* userptr, double* result) {
  auto* q = static_cast<ARGBET*>(userptr);
  auto* qs = static_cast<shrdarg*>(q->UserPtr);
  double v = q->bm1 * std::log1p(s) - q->APlusB * std::log1p(s * q->OriginalX);
  if (qs->fscale) {
    const double k = std::floor(v * qs->rlogb);
    if (k > qs->nshft) qs->nshft = k >= INT_MAX ? INT_MAX - 1 : static_cast<int>(k);
    v -= qs->nshft * qs->logbase;
  }
  *result = std::exp(v);
  return 0;
}

// Centres the change of variable on the integrand's mass beyond t0, for the
// density t^k (1 + t)^-n, whose log has slope k/t - n/(1 + t) and curvature
// n/(1 + t)^2 - k/t^2. Returns the centre's offset from t0 and sets sigma.
double place_peak(shrdarg* qs, double t0, double k, double n) {
  const double mode = k > 0.0 ? k / (n - k) : 0.0;
  if (mode > t0) {
    // Mass around the mode, of width 1/sqrt(-curvature) there.
    const double width = std::sqrt(k * n) / ((n - k) * std::sqrt(n - k));
    qs->sigma = std::fmin(1.0, width / (mode - t0));
    return mode - t0;
  }
  // A decreasing integrand: the distance over which its log falls by one.
  qs->sigma = 1.0;
  const double decay = n / (1.0 + t0) - k / t0;
  const double bend = k / (t0 * t0) - n / ((1.0 + t0) * (1.0 + t0));
  if (bend > 0.0) return 2.0 / (decay + std::sqrt(decay * decay + 2.0 * bend));
  return decay > 0.0 ? 1.0 / decay : 1.0 + t0;
}

}  // namespace

int BetaIntegration(ARGBET* q, double x, double onemx, bool upper, double* log_tail) {
  const double log_x = log_of_x(x, onemx);
  const double log_onemx = log_of_onemx(x, onemx);
  const double t0 = upper ? x / onemx : onemx / x;
  q->bm1 = (upper ? q->a : q->b) - 1.0;
  q->APlusB = q->a + q->b;
  q->LogBetaAandB = zlbeta(q->a, q->b);
  // ln of t0 times the density at t0: x^a (1 - x)^b / B(a, b) for either tail.
  const double at_t0 = q->a * log_x + q->b * log_onemx - q->LogBetaAandB;
  shrdarg qs{};
  qs.eps = kQuadratureEps;
  qs.i_type = 2;
  qs.c_type = 1;
  qs.cycles = kHalvings;
  qs.a = 0.0;
  qs.base = kE;
  qs.fscale = 1;
  qs.UseTighterConvergence = 1234567;
  qs.fentry = BetaIntegrand;
  qs.userptr = q;
  qs.peak = place_peak(&qs, t0, q->bm1, q->APlusB) / t0;
  const double saved_x = q->OriginalX;
  q->OriginalX = t0 / (1.0 + t0);
  q->UserPtr = &qs;
  double prob;
  const int rc = zhrdys(&qs, &prob);
  q->UserPtr = nullptr;
  q->OriginalX = saved_x;
  q->bm1 = q->b - 1.0;
  if (rc != 0 || !(qs.esprob > 0.0)) return 1;
  *log_tail = std::log(qs.esprob) + qs.nshft * qs.logbase + at_t0;
  return 0;
}
