// GAMMA and the variates drawn through it: ERLANG, CHISQUARE and T. The
// set-up of a shape is kept in the stream's gamma cache until a draw with
// another shape.
#include <cmath>

#include "random/variate_fill.h"
#include "random/variate_operations.h"

using variates::uniform;

namespace {

constexpr double kRootOfE = 0.606530659712633;  // e^-0.5
constexpr double kLargestK = 2147483647.0;

void set_up(ZRANGAM& g, double alpha) {
  g.alphasave = alpha;
  g.k = alpha < kLargestK ? static_cast<std::int64_t>(std::floor(alpha)) : 2147483647;
  g.d = alpha - static_cast<double>(g.k);
  if (alpha > 1) {
    g.a = 1 / std::sqrt(2 * alpha - 1);
    g.b = alpha - std::log(4.0);
    g.c = alpha + 1 / g.a;
  } else if (g.d == 0) {
    g.dm1 = -1;
    g.p = 1;
  } else {
    g.dinv = 1 / g.d;
    g.dm1 = g.d - 1;
    g.p = 0.5 / (0.5 + kRootOfE * g.d);
  }
}

// Cheng's algorithm GB, without its quick acceptance.
double cheng_gb(MRandPtr q, const ZRANGAM& g, double alpha) {
  for (long trial = 0; trial < variates::kMaxTrials; ++trial) {
    const double u1 = uniform(q);
    const double u2 = uniform(q);
    const double v = g.a * std::log(u1 / (1 - u1));
    const double x = alpha * std::exp(v);
    const double z = u1 * u1 * u2;
    if ((g.c * v + g.b) - x >= std::log(z)) return x;
  }
  return variates::invalid();
}

// Gamma of the fractional shape d by rejection from an envelope in two
// pieces split at 1/2; false when no trial accepts.
bool fractional_part(MRandPtr q, const ZRANGAM& g, double* x) {
  for (long trial = 0; trial < variates::kMaxTrials; ++trial) {
    if (uniform(q) <= g.p) {
      *x = 0.5 * std::pow(uniform(q), g.dinv);
      if (std::exp(-*x) >= uniform(q)) return true;
    } else {
      *x = 0.5 - std::log(uniform(q));
      if (std::pow(2 * *x, g.dm1) >= uniform(q)) return true;
    }
  }
  return false;
}

// Shapes up to 1: the fractional part plus k (0 or 1) exponentials.
double small_shape(MRandPtr q, const ZRANGAM& g) {
  double x = 0;
  if (g.d != 0 && !fractional_part(q, g, &x)) return variates::invalid();
  double product = 1;
  for (std::int64_t i = 0; i < g.k; ++i) product = uniform(q) * product;
  return x - std::log(product);
}

}  // namespace

// A negative, infinite or NaN shape has no variate.
double GetOneVariateGAMMA(MRandPtr q, double alpha) {
  zrand_check(q, 1);
  if (!(alpha >= 0 && alpha < INFINITY)) return variates::invalid();
  ZRANGAM& g = q->gam;
  if (g.alphasave != alpha) set_up(g, alpha);
  return alpha > 1 ? cheng_gb(q, g, alpha) : small_shape(q, g);
}

double GetOneVariateERLANG(MRandPtr q, std::int32_t alpha) {
  return GetOneVariateGAMMA(q, static_cast<double>(alpha));
}

double GetOneVariateCHISQUARE(MRandPtr q, double df) {
  zrand_check(q, 1);
  if (!(df > 0)) return variates::invalid();
  const double g = GetOneVariateGAMMA(q, df / 2);
  return is_missing(g) ? g : 2 * g;
}

double GetOneVariateT(MRandPtr q, double df) {
  zrand_check(q, 1);
  if (!(df >= 0.1)) return variates::invalid();
  const double z = MakeNormalSequence(q);
  if (is_missing(z)) return z;
  const double g = GetOneVariateGAMMA(q, 0.5 * df);
  return is_missing(g) ? g : z / std::sqrt(2 * g / df);
}

int FillTheBufferGAMMA(MRandPtr q, double alpha) {
  return variates::fill<&GetOneVariateGAMMA>(q, alpha);
}
int FillTheBufferERLANG(MRandPtr q, std::int32_t alpha) {
  return variates::fill<&GetOneVariateERLANG>(q, alpha);
}
int FillTheBufferCHISQUARE(MRandPtr q, double df) {
  return variates::fill<&GetOneVariateCHISQUARE>(q, df);
}
int FillTheBufferT(MRandPtr q, double df) {
  return variates::fill<&GetOneVariateT>(q, df);
}
