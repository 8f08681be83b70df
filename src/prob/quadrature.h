// Adaptive quadrature by the trapezoidal rule after a double-exponential
// change of variable, halving the step until the estimate settles.
#pragma once

#include <cstdint>

// The integrand: *result = f(x); a nonzero return ends the quadrature.
using QuadratureIntegrand = int (*)(double x, void* userptr, double* result);

// The quadrature's request and state.
struct shrdarg {
  double updt;          // integrand evaluations so far
  double eps;           // requested accuracy
  double eps3;          // eps/3: the share left to truncating the sums' tails
  double eserr;         // the last change of the estimate (scaled like esprob)
  double esprob;        // the estimate; with fscale, scaled by base^-nshft
  double a;             // lower end of the interval (i_type 0 and 2)
  double b;             // upper end of the interval (i_type 0 and 1)
  double bma;           // b - a
  double w1;            // the working tolerance on the change between halvings
  std::int32_t nleft;   // most nodes a pass takes left of the peak
  std::int32_t nright;  // most nodes a pass takes right of the peak
  std::int32_t quit;    // set when a sum was cut off at its node limit
  std::int32_t cntnu;   // nonzero while the step is being refined
  double peak;          // where the integrand's mass sits: the change of variable centres there
  double sigma;         // the width of that mass relative to the distance peak - a (or b - peak)
  double h;             // the current step in the transformed variable
  double h0;            // the first step (taken as 1 when not positive)
  std::int32_t cycles;  // most halvings of the step
  std::int32_t acycles; // halvings done
  std::int32_t i_type;  // 0 finite [a, b]; 1 (-inf, b]; 2 [a, +inf); 3 the whole line
  std::int32_t c_type;  // 0 an absolute, 1 a relative change ends the refinement
  double crit;          // the last change, in the measure c_type chooses
  double base;          // base of the scaled sums (fscale)
  double rlogb;         // 1 / ln base
  std::int32_t oshft;   // the scale of the sums held: base^oshft
  std::int32_t nshft;   // the largest integer part of the integrand's log seen so far
  std::int32_t fscale;  // the integrand returns f / base^nshft and raises nshft as it goes
  void* userptr;        // handed to the integrand
  QuadratureIntegrand fentry;  // the integrand
  double steph;         // the step in x at the peak, last pass
  double steph0;        // the step in x at the peak, first pass
  double e1;            // the estimate before the last halving
  double logbase;       // ln base
  std::int32_t MaxCount;      // most integrand evaluations (at least 32767)
  std::int32_t AcceptLogOne;  // kept for the caller; not read here
  std::int32_t InstanceFlag;  // kept for the caller; not read here
  std::int32_t Direction;     // the side being summed: -1 left, 1 right, 0 the peak
  std::int32_t UseTighterConvergence;  // 1234567: tolerance eps^(3/4) in place of sqrt(eps)
  std::int32_t ReachedExactFiniteBoundary;  // a node fell on a finite end and was dropped
};

// Integrates fentry over the interval. Result 0 with *prob; 1 when the
// request is invalid, the integrand fails, a limit is reached before the
// estimate settles, or the sums overflow.
int zhrdys(shrdarg* qs, double* prob);
