// Finite mixtures of normal distributions: log tail probabilities and log
// density at a point, and quantiles.
#pragma once

#include <cstdint>

// A normal-mixture request and its result. The arrays belong to the caller;
// verification normalises the proportions in place and, for a quantile,
// sorts the components by their means.
struct NORMAL_MIX_ARG {
  std::int32_t State;     // bit 0 set once the request has been verified
  std::int32_t Purpose;   // bit 1 or 2 set: a quantile; otherwise tails and density
  std::int32_t Shooting;  // quantile target: 1 ln lower tail by false position,
                          // 2 ln lower tail by Newton steps, 3 ln upper tail by Newton steps
  double InitialGuess;    // a starting point for the quantile, used when inside the bracket
  double Quantile;        // the point for tails and density; the quantile found
  double QTarget;         // the log tail probability the quantile solver matches
  double Probability;     // the lower-tail probability of a quantile (Shooting 1, 2)
  double targetSDF;       // the upper-tail probability of a quantile (Shooting 3)
  double LogRatio;        // ln(density / target tail) at the quantile: the Newton slope
  std::int64_t n;         // number of components
  double Right;           // upper end of the quantile's final bracket
  double Left;            // lower end of the quantile's final bracket
  double LeftSupport;     // lower end of the starting bracket (smallest component quantile)
  double RightSupport;    // upper end of the starting bracket (largest component quantile)
  double* Proportions;    // n mixing proportions (any positive scale)
  double* Mu;             // n component means
  double* Sigma;          // n component standard deviations (0 allowed)
  double LogLeftPr;       // result: ln P(X <= Quantile)
  double LogRightPr;      // result: ln P(X > Quantile)
  double LogDensity;      // result: ln of the mixture density at Quantile
};

// Verifies the request once (State bit 0), then computes the quantile when
// Purpose has bit 1 or 2 set, else the tails and density at Quantile.
// Result 0; a verification code (10n for a degenerate mixture or n < 0, -1
// for n = 0, n + i for a negative or missing proportion i, 2n + i for a
// negative or missing Sigma i); 1 when a Mills ratio fails, the point is
// missing, the target is outside (0, 1) or the quantile does not settle;
// 1000 for an unknown Shooting mode.
int zmxnorm(NORMAL_MIX_ARG* q);

// Phi(a) - Phi(b) without cancellation; delta = a - b as the caller knows it.
double DiffNormal(double a, double b, double delta);
