// The set-up caches of the variate generators, kept in every stream. A
// cache holds the set-up of the parameters in its key fields; a draw with
// other parameters recomputes it. Rewinding a stream puts the gamma,
// binomial and Poisson keys outside every valid parameter and drops the
// stored normal deviate.
#pragma once

#include <cstdint>

// The normal pair: the second deviate of the last polar step.
struct ZRANNOR {
  std::uint8_t HaveOne;    // a deviate is stored
  double storedVariate;    // that deviate, always a plain standard normal
  std::int32_t savedflag;  // not used by the variates
  struct {
    double savednorm;
    double norm;
  } norms;  // not used by the variates
};

// Gamma set-up, shared by GAMMA, ERLANG, CHISQUARE, T and NEGBINOMIAL.
struct ZRANGAM {
  double alphasave;  // shape of the cached set-up
  double a, b, c;    // set-up for shapes above 1
  double d;          // fractional part of the shape
  double dm1;        // d - 1
  double dinv;       // 1/d
  double p;          // branch probability of the small-shape method
  std::int64_t k;    // integer part of the shape
};

// Beta set-up, shared by BETA and F.
struct ZRANBET {
  double alphasave, betasave;  // the two shapes of the cached set-up
  double d1, d2, d3, d4, d5, d6, d7;
  double toobig;  // overflow bound of algorithm BC
};

struct ZRANBIN {
  double psave;  // p of the cached set-up
  double mean;   // n p
  double sd;
  double omega;  // probability that the less likely outcome never occurs
  double b;
  double c;
  std::int64_t nsave;      // n of the cached set-up
  std::uint8_t underflow;  // omega fell below the inversion's underflow bound
};

struct ZRANPOI {
  double lambdasave;  // lambda of the cached set-up
  double test;        // upper bound of a cumulative sum
  double savea;       // e^-lambda
  double omega;       // e^-(lambda - m)
  double qm;          // cumulative Poisson(m) probability at m
  double pm;          // Poisson(m) probability at m
  double m;           // floor of lambda
  std::int32_t flag;  // 0 inversion from zero, 1 from the mode, 2 normal approximation
};
