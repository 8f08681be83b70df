// The beta distribution on the log scale: log tail probabilities, log
// density and quantiles for shapes and tails beyond the reach of zibeta's
// linear scale.
#pragma once

#include <cstdint>

// A beta request and its result.
struct ARGBET {
  std::int32_t Objective;  // bits: 1 tails at x, 2 log density at x, 4 quantile of the
                           // lower-tail Prob, 8 quantile of the upper-tail targetSDF; 0 means 1
  double x;                // the point; the quantile found
  double a;                // first shape
  double b;                // second shape
  double lpl;              // result: ln I_x(a, b)
  double lpr;              // result: ln(1 - I_x(a, b))
  double ldens;            // result: ln of the density at x
  double eps;              // relative tolerance of the continued fraction (at least 2^-51)
  double f;                // the continued fraction's value for the tail evaluated
  double logx;             // ln of the tail's argument (x, or 1 - x when switched)
  double onemx;            // 1 - x, kept exact where x came from the log scale
  double am1;              // a - 1
  double bm1;              // b - 1 (the integrand's power)
  double ab1;              // a + b - 1
  double LogBetaAandB;     // ln B(a, b)
  double APlusB;           // a + b
  double OriginalX;        // the request's x
  double OriginalA;        // the request's a
  double OriginalB;        // the request's b
  double Prob;             // the lower-tail probability of a quantile request
  std::int32_t UseAPlusOne;  // the fraction ran with its first shape raised by one
  std::int32_t SwitchX;      // the upper tail was evaluated directly
  std::int32_t Halley;       // the quantile iteration used Halley's method
  std::int32_t Method;       // how the last tail was found: 1 continued fraction,
                             // 2 integration, 3 leading term of the series at an end
  void* UserPtr;             // the quadrature state while integrating
  std::int32_t CalculatedTheMeanAndStdDeviation;  // Mean and StdDeviation are set
  double Mean;               // a / (a + b)
  double StdDeviation;       // sqrt(ab / ((a + b)^2 (a + b + 1)))
  double AbsoluteLowerBound; // below it I_x(a, b) is its leading term x^a / (a B(a, b))
                             // (raised to at least 1.491668147e-154)
  double QuantileEps;        // tolerance of the log-scale quantile, in the log probability
  double InitialGuess;       // the beta quantile iteration's result, where the refinement began
  double TargetProb;         // the tail probability the quantile iteration matches
  double targetSDF;          // the upper-tail probability of a quantile request
  double QuantileA;          // first shape of the quantile iteration (after any swap)
  double QuantileB;          // second shape of the quantile iteration
  char HitBound;             // 'L' or 'U' when the log-scale quantile sat at MinX or MaxX
  char swap;                 // 1 when the quantile was solved on the upper tail
  double MinX;               // lower clamp of the log-scale quantile
  double MaxX;               // upper clamp of the log-scale quantile
};

// Result 0; 1 for invalid arguments or when no method evaluates the tail;
// for a quantile 2 (3) when it lies below 2.2e-293 (above 1 - 1.1e-13),
// with x set to that bound.
int zlogbet(ARGBET* qbet);

// ln of the beta(a, b) density at x. Result 0, or 1 when x is outside
// [0, 1] or a shape is not positive. At x = 0 (1) the density is ln b
// (ln a) when a = 1 (b = 1), else the special missing value.
int zldnbet(double x, double a, double b, double* ldens);
