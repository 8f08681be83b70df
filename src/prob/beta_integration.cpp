// A beta tail as the integral of a beta-prime density: with T = (1 - X)/X,
// I_x(a, b) = P(T >= (1 - x)/x), T having density t^(b-1) (1 + t)^-(a+b) / B(a, b).
// The quadrature's sums are kept scaled so that tails far below the
// smallest double still come out as logarithms.
#include <climits>
#include <cmath>

#include "prob/beta_engine_detail.h"
#include "prob/log_gamma.h"
#include "prob/quadrature.h"

namespace {

constexpr double kQuadratureEps = 1e-13;
constexpr int kHalvings = 10;
constexpr double kE = 2.718281828459045;

int BetaIntegrand(double t, void* userptr, double* result) {
  auto* q = static_cast<ARGBET*>(userptr);
  auto* qs = static_cast<shrdarg*>(q->UserPtr);
  double v = q->bm1 * std::log(t) - q->LogBetaAandB - q->APlusB * zln1px(t);
  if (qs->fscale) {
    const double k = std::floor(v * qs->rlogb);
    if (k > qs->nshft) qs->nshft = k >= INT_MAX ? INT_MAX - 1 : static_cast<int>(k);
    v -= qs->nshft * qs->logbase;
  }
  *result = std::exp(v);
  return 0;
}

// Centres the change of variable on the integrand's mass beyond t0, for the
// density t^k (1 + t)^-n.
void place_peak(shrdarg* qs, double t0, double k, double n) {
  const double mode = k > 0.0 ? k / (n - k) : 0.0;
  if (mode > t0) {
    // The spread of ln T is about sqrt(1/(k + 1) + 1/(n - k - 1)).
    const double spread = std::sqrt(1.0 / (k + 1.0) + 1.0 / std::fmax(n - k - 1.0, 1e-300));
    qs->peak = mode;
    qs->sigma = std::fmin(1.0, mode * spread / (mode - t0));
  } else {
    // A decreasing integrand: its scale is the reciprocal of ln f's slope.
    const double decay = n / (1.0 + t0) - k / t0;
    qs->peak = t0 + (decay > 0.0 ? 1.0 / decay : 1.0 + t0);
    qs->sigma = 1.0;
  }
}

}  // namespace

int BetaIntegration(ARGBET* q, double x, double onemx, bool upper, double* log_tail) {
  q->bm1 = (upper ? q->a : q->b) - 1.0;
  q->APlusB = q->a + q->b;
  q->LogBetaAandB = zlbeta(q->a, q->b);
  shrdarg qs{};
  qs.eps = kQuadratureEps;
  qs.i_type = 2;
  qs.c_type = 1;
  qs.cycles = kHalvings;
  qs.a = upper ? x / onemx : onemx / x;
  qs.base = kE;
  qs.fscale = 1;
  qs.UseTighterConvergence = 1234567;
  qs.fentry = BetaIntegrand;
  qs.userptr = q;
  place_peak(&qs, qs.a, q->bm1, q->APlusB);
  q->UserPtr = &qs;
  double prob;
  const int rc = zhrdys(&qs, &prob);
  q->UserPtr = nullptr;
  q->bm1 = q->b - 1.0;
  if (rc != 0 || !(qs.esprob > 0.0)) return 1;
  *log_tail = std::log(qs.esprob) + qs.nshft * qs.logbase;
  return 0;
}
