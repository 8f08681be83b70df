// POISSON and NEGBINOMIAL. Below 85 the Poisson count is found by
// inversion: from zero for a mean below 8 that is not whole, otherwise from
// the mode m = floor(lambda) of Poisson(m), plus a Poisson(lambda - m)
// count from zero. From 85 on a rounded normal deviate stands in for it.
#include <bit>
#include <cmath>

#include "random/variate_fill.h"
#include "random/variate_operations.h"

using variates::uniform;

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kBelowOne = 0.9999999999999999;
const double kTiny = std::bit_cast<double>(0x3CA0000000000002ull);  // just above 2^-53

enum Method { kFromZero = 0, kFromMode = 1, kNormal = 2 };

void set_up(ZRANPOI& c, double lambda) {
  c.lambdasave = lambda;
  if (lambda >= 85) {
    c.flag = kNormal;
    return;
  }
  c.test = kBelowOne;
  c.m = std::floor(lambda);
  c.omega = std::exp(c.m - lambda);
  c.pm = c.qm = std::exp(-c.m);
  c.savea = std::exp(-lambda);
  c.flag = lambda >= 8 || lambda == c.m ? kFromMode : kFromZero;
  const int m = static_cast<int>(c.m);
  for (int j = 1; j <= m; ++j) {
    c.pm = c.pm * c.m / j;
    c.qm = c.qm + c.pm;
  }
}

// The count whose cumulative probability first reaches u, from 0 upward,
// for mean mu and probability f0 of 0.
double from_zero(MRandPtr q, double mu, double f0, double test) {
  const double u = uniform(q);
  double k = 0, f = f0, cumulative = f0;
  while (cumulative < u && cumulative <= test && f >= kTiny) {
    k += 1;
    f = f * mu / k;
    cumulative += f;
  }
  return k;
}

// Poisson(m) searched from its mode, down or up as u falls.
double from_mode(MRandPtr q, const ZRANPOI& c) {
  const double u = uniform(q);
  double x = c.m, cumulative = c.qm, f = c.pm;
  if (cumulative >= u) {
    for (;;) {
      cumulative -= f;
      if (u > cumulative) break;
      f = f * x / c.m;
      x -= 1;
      if (x == 0) break;
    }
  } else {
    do {
      x += 1;
      f = f * c.m / x;
      cumulative += f;
    } while (cumulative < u && cumulative < c.test && f > kTiny);
  }
  return x;
}

double normal_approximation(MRandPtr q, double lambda) {
  const double r = std::sqrt(std::log(uniform(q)) * (-2 * lambda));
  const double z = r * std::cos(kTwoPi * uniform(q));
  return std::fmax(0, std::floor(z + (lambda + 0.5)));
}

}  // namespace

// A negative, infinite or NaN mean has no variate.
double GetOneVariatePOISSON(MRandPtr q, double lambda) {
  zrand_check(q, 1);
  if (!(lambda >= 0 && lambda < INFINITY)) return variates::invalid();
  ZRANPOI& c = q->poi;
  if (c.lambdasave != lambda) set_up(c, lambda);
  switch (c.flag) {
    case kFromZero:
      return from_zero(q, lambda, c.savea, c.test);
    case kFromMode: {
      const double x = from_mode(q, c);
      return lambda == c.m ? x : x + from_zero(q, lambda - c.m, c.omega, c.test);
    }
    default:
      return normal_approximation(q, lambda);
  }
}

// A Poisson count whose mean is gamma-distributed: the gamma draw comes
// first and replaces the Poisson set-up on almost every draw.
double GetOneVariateNEGBINOMIAL(MRandPtr q, double prob_succ, double num_succ) {
  zrand_check(q, 1);
  if (!(prob_succ > 0 && prob_succ <= 1 && num_succ > 0)) return variates::invalid();
  if (prob_succ == 1) return 0;
  const double g = GetOneVariateGAMMA(q, num_succ);
  if (is_missing(g)) return g;
  return GetOneVariatePOISSON(q, ((1 - prob_succ) * g) / prob_succ);
}

int FillTheBufferPOISSON(MRandPtr q, double lambda) {
  return variates::fill<&GetOneVariatePOISSON>(q, lambda);
}
int FillTheBufferNEGBINOMIAL(MRandPtr q, double prob_succ, double num_succ) {
  return variates::fill<&GetOneVariateNEGBINOMIAL>(q, prob_succ, num_succ);
}
