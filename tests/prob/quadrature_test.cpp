// The double-exponential quadrature on each kind of interval, with scaled
// sums and its failure paths.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "prob/quadrature.h"

namespace {

shrdarg request(int i_type, double a, double b, double peak, QuadratureIntegrand f) {
  shrdarg qs{};
  qs.eps = 1e-13, qs.cycles = 10, qs.c_type = 1, qs.i_type = i_type;
  qs.a = a, qs.b = b, qs.peak = peak, qs.fentry = f;
  return qs;
}

int inverse_sqrt(double x, void*, double* r) { return *r = 1 / std::sqrt(x), 0; }
int decaying(double x, void*, double* r) { return *r = std::exp(-x), 0; }
int gaussian(double x, void*, double* r) { return *r = std::exp(-x * x), 0; }
int rising(double x, void*, double* r) { return *r = std::exp(x), 0; }
int failing(double, void*, double*) { return 1; }

// e^(1000 - x) on [0, inf), returned divided by e^nshft as it goes.
int huge(double x, void* user, double* r) {
  auto* qs = static_cast<shrdarg*>(user);
  const double v = 1000 - x;
  if (std::floor(v) > qs->nshft) qs->nshft = static_cast<int>(std::floor(v));
  return *r = std::exp(v - qs->nshft), 0;
}

TEST(Quadrature, IntegratesOnEachKindOfInterval) {
  struct Case {
    int i_type;
    double a, b, peak;
    QuadratureIntegrand f;
    double want;
  } cases[] = {
      {0, 0, 1, 0, inverse_sqrt, 2.0},              // an end singularity
      {2, 0, 0, 1, decaying, 1.0},                  // [0, inf)
      {2, 3, 0, 4, decaying, std::exp(-3.0)},       // [3, inf)
      {1, 0, 0, -1, rising, 1.0},                   // (-inf, 0]
      {3, 0, 0, 0, gaussian, std::sqrt(M_PI)},      // the whole line
  };
  for (const Case& c : cases) {
    // The tighter criterion stops at a change of eps^(3/4); the default
    // one at sqrt(eps), when the error is about that change squared.
    for (bool tighter : {true, false}) {
      shrdarg qs = request(c.i_type, c.a, c.b, c.peak, c.f);
      if (tighter) qs.UseTighterConvergence = 1234567;
      double result = 0;
      ASSERT_EQ(zhrdys(&qs, &result), 0) << c.i_type;
      EXPECT_NEAR(result, c.want, (tighter ? 1e-14 : 1e-11) * c.want) << c.i_type;
      EXPECT_LT(qs.updt, 5000);
    }
  }
}

TEST(Quadrature, ScaledSumsCarryResultsBeyondTheDoubleRange) {
  shrdarg qs = request(2, 0, 0, 1, huge);
  qs.UseTighterConvergence = 1234567;
  qs.fscale = 1;
  qs.base = 2.718281828459045;
  qs.userptr = &qs;
  double result = 0;
  ASSERT_EQ(zhrdys(&qs, &result), 0);
  EXPECT_TRUE(std::isinf(result) || result > 1e300);
  EXPECT_NEAR(std::log(qs.esprob) + qs.nshft * qs.logbase, 1000.0, 1e-12);
}

TEST(Quadrature, FailuresAreReportedNotReturnedAsValues) {
  shrdarg no_halving = request(2, 0, 0, 1, decaying);
  no_halving.cycles = 0;  // the estimate cannot settle
  // A failing integrand, an empty interval, an unknown interval type, no integrand.
  for (shrdarg qs : {request(2, 0, 0, 1, failing), request(0, 1, 0, 0, decaying),
                     request(7, 0, 1, 0, decaying), no_halving, request(2, 0, 0, 1, nullptr)}) {
    double result;
    EXPECT_EQ(zhrdys(&qs, &result), 1);
  }
}

}  // namespace
