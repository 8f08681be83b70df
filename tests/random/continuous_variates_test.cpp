// The continuous variates beyond the normal family: parameter checks,
// closed forms over scripted uniforms, exact identities between variates
// drawn from equal stream positions (which carry the gamma and beta checks
// over to chi-square, t and F), Kolmogorov-Smirnov tests against the
// distribution functions (the project's own F and beta functions; the gamma
// function of Boost), and the caps on rejection loops.
#include <gtest/gtest.h>

#include <boost/math/special_functions/gamma.hpp>
#include <cmath>
#include <functional>
#include <vector>

#include "distribution_checks.h"
#include "host/missing.h"
#include "prob/incomplete_beta.h"
#include "prob/t_f_beta.h"
#include "random/variate_operations.h"
#include "random_support.h"

namespace {

using rt::same_bits;
using Draw = std::function<double(MERSENNE_RAND*)>;

double beta_cdf(double x, double a, double b) {
  double p, d;
  if (x <= 0) return 0;
  if (x >= 1) return 1;
  EXPECT_EQ(zibeta(x, a, b, &p, &d), 0);
  return p;
}
double f_cdf(double f, double d1, double d2) {
  return f <= 0 ? 0 : 1 - zprbf(f, d1, d2);
}
double gamma_cdf(double x, double shape) {
  return x <= 0 ? 0 : boost::math::gamma_p(shape, x);
}

void expect_ks(const std::vector<double>& sample, const std::function<double(double)>& cdf,
               const char* what) {
  EXPECT_LT(dc::ks_statistic(sample, cdf), dc::kKolmogorov999) << what;
}

using ContinuousVariates = RandomTest;

TEST_F(ContinuousVariates, InvalidParametersDrawNothing) {
  dc::expect_invalid<&GetOneVariateCHISQUARE, &FillTheBufferCHISQUARE>(0.0);
  dc::expect_invalid<&GetOneVariateT, &FillTheBufferT>(0.05);
  dc::expect_invalid<&GetOneVariateT, &FillTheBufferT>(NAN);
  dc::expect_invalid<&GetOneVariateF, &FillTheBufferF>(0.0, 3.0);
  dc::expect_invalid<&GetOneVariateTRIANGLE, &FillTheBufferTRIANGLE>(1.5);
  dc::expect_invalid<&GetOneVariateWEIBULL, &FillTheBufferWEIBULL>(2.0, 0.0);
  dc::expect_invalid<&GetOneVariateBETA, &FillTheBufferBETA>(2.0, -1.0);
  dc::expect_invalid<&GetOneVariateBETA, &FillTheBufferBETA>(-1.0, 2.0);
  dc::expect_invalid<&GetOneVariateBETA, &FillTheBufferBETA>(0.5, 0.0);
  dc::expect_invalid<&GetOneVariateBETA, &FillTheBufferBETA>(NAN, 2.0);
  dc::expect_invalid<&GetOneVariateGAMMA, &FillTheBufferGAMMA>(-0.5);
  dc::expect_invalid<&GetOneVariateGAMMA, &FillTheBufferGAMMA>(NAN);
  dc::expect_invalid<&GetOneVariateERLANG, &FillTheBufferERLANG>(-2);
}

TEST_F(ContinuousVariates, ClosedFormsOverScriptedUniforms) {
  rt::Script script{{0.2, 0.6, 0.3, 0.25, 0.81, 0.5, 0.5, 0.4, 0.5, 0.6, 0.1, 0.3}};
  auto q = rt::scripted(&script);
  EXPECT_DOUBLE_EQ(GetOneVariateTRIANGLE(q.get(), 0.3), std::sqrt(0.2 * 0.3));
  EXPECT_DOUBLE_EQ(GetOneVariateTRIANGLE(q.get(), 0.3), 1 - std::sqrt(0.7 - 0.6 * 0.7));
  EXPECT_DOUBLE_EQ(GetOneVariateWEIBULL(q.get(), 2, 3), 3 * std::sqrt(-std::log(0.3)));
  EXPECT_DOUBLE_EQ(GetOneVariateBETA(q.get(), 1, 1), 0.25);
  EXPECT_DOUBLE_EQ(GetOneVariateBETA(q.get(), 2, 1), 0.9);
  // (0.5, 0.5) is the centre: no ratio, drawn again; then (0.4, 0.5) has
  // y = 0 as well; then x = 0.1, y = -0.4.
  EXPECT_DOUBLE_EQ(GetOneVariateCAUCHY(q.get()), 0.1 / -0.4);
  EXPECT_EQ(script.drawn, 11);
  EXPECT_DOUBLE_EQ(GetOneVariateBETA(q.get(), 1, 2), 1 - std::sqrt(0.3));

  rt::Script gamma{{0.3, 0.7}};
  auto g = rt::scripted(&gamma);
  EXPECT_EQ(GetOneVariateGAMMA(g.get(), 0), 0.0);
  EXPECT_EQ(gamma.drawn, 0);
  EXPECT_EQ(GetOneVariateGAMMA(g.get(), 1), -std::log(0.3));
  EXPECT_EQ(gamma.drawn, 1);
}

// Variates defined through others, drawn from two streams at equal positions.
TEST_F(ContinuousVariates, DefinitionsHoldExactly) {
  auto a = rt::new_stream(606), b = rt::new_stream(606);
  for (int i = 0; i < 200; ++i) {
    ASSERT_TRUE(same_bits(GetOneVariateERLANG(a.get(), 3), GetOneVariateGAMMA(b.get(), 3.0)));
    ASSERT_TRUE(same_bits(GetOneVariateERLANG(a.get(), 1), GetOneVariateEXPONENTIAL(b.get())));
    for (double df : {0.6, 2.0, 7.5})
      ASSERT_TRUE(
          same_bits(GetOneVariateCHISQUARE(a.get(), df), 2 * GetOneVariateGAMMA(b.get(), df / 2)));
    for (double df : {0.5, 4.0}) {
      const double z = GetOneVariateNORMAL(b.get());
      const double g = GetOneVariateGAMMA(b.get(), 0.5 * df);
      ASSERT_TRUE(same_bits(GetOneVariateT(a.get(), df), z / std::sqrt(2 * g / df)));
    }
    const double beta = GetOneVariateBETA(b.get(), 2.5, 3.5);
    ASSERT_TRUE(same_bits(GetOneVariateF(a.get(), 5, 7), (7 * beta / 5) / (1 - beta)));
  }
  // BB and BC give w/(b+w) for one order of the shapes and b/(b+w) for the other.
  for (const auto& [s, t] : {std::pair{2.0, 3.0}, std::pair{0.5, 3.0}, std::pair{4.0, 0.2}}) {
    auto c = rt::new_stream(17), d = rt::new_stream(17);
    for (int i = 0; i < 200; ++i) {
      const double x = GetOneVariateBETA(c.get(), s, t);
      ASSERT_NEAR(x + GetOneVariateBETA(d.get(), t, s), 1.0, 0x1p-52) << s << ' ' << t;
    }
  }
}

TEST_F(ContinuousVariates, FillsEqualSingleDraws) {
  dc::expect_fill_equals_draws<&GetOneVariateCAUCHY, &FillTheBufferCAUCHY>();
  dc::expect_fill_equals_draws<&GetOneVariateTRIANGLE, &FillTheBufferTRIANGLE>(0.4);
  dc::expect_fill_equals_draws<&GetOneVariateWEIBULL, &FillTheBufferWEIBULL>(0.7, 2.0);
  dc::expect_fill_equals_draws<&GetOneVariateGAMMA, &FillTheBufferGAMMA>(0.4);
  dc::expect_fill_equals_draws<&GetOneVariateERLANG, &FillTheBufferERLANG>(5);
  dc::expect_fill_equals_draws<&GetOneVariateCHISQUARE, &FillTheBufferCHISQUARE>(3.0);
  dc::expect_fill_equals_draws<&GetOneVariateT, &FillTheBufferT>(2.5);
  dc::expect_fill_equals_draws<&GetOneVariateBETA, &FillTheBufferBETA>(0.3, 0.8);
  dc::expect_fill_equals_draws<&GetOneVariateF, &FillTheBufferF>(3.0, 9.0);
}

TEST_F(ContinuousVariates, GammaFamilyMatchesItsDistributions) {
  auto q = rt::new_stream(31415);
  constexpr int n = 40000;
  for (double shape : {0.3, 1.0, 2.5, 30.0}) {
    const std::vector<double> x = dc::fill(
        q.get(), [&](auto r) { return FillTheBufferGAMMA(r, shape); }, n);
    expect_ks(
        x, [&](double v) { return gamma_cdf(v, shape); }, "gamma");
    const dc::Moments m = dc::moments(x);
    EXPECT_NEAR(m.mean, shape, 5 * std::sqrt(shape / n));
  }
  // A sum of four exponentials: 1 - e^-x (1 + x + x^2/2 + x^3/6).
  const std::vector<double> erlang = dc::fill(
      q.get(), [](auto r) { return FillTheBufferERLANG(r, 4); }, n);
  expect_ks(
      erlang, [](double v) { return 1 - std::exp(-v) * (1 + v + v * v / 2 + v * v * v / 6); },
      "erlang");
  // Three degrees of freedom: erf(sqrt(x/2)) - sqrt(2x/pi) e^(-x/2).
  const std::vector<double> chi = dc::fill(
      q.get(), [](auto r) { return FillTheBufferCHISQUARE(r, 3); }, n);
  expect_ks(
      chi,
      [](double v) {
        return std::erf(std::sqrt(v / 2)) - std::sqrt(2 * v / M_PI) * std::exp(-v / 2);
      },
      "chi-square");
}

TEST_F(ContinuousVariates, BetaAndOthersMatchTheirDistributions) {
  auto q = rt::new_stream(27182);
  constexpr int n = 40000;
  const std::pair<double, double> shapes[] = {{0.4, 0.7}, {2, 3}, {30, 0.5}, {0.5, 3},
                                              {3, 0.5},   {1, 2}, {2.5, 1},  {0.05, 0.1}};
  for (const auto& shape : shapes) {
    const double a = shape.first, b = shape.second;  // clang 14 lambdas capture no bindings
    const std::vector<double> x = dc::fill(
        q.get(), [&](auto r) { return FillTheBufferBETA(r, a, b); }, n);
    expect_ks(
        x, [&](double v) { return beta_cdf(v, a, b); }, "beta");
    EXPECT_NEAR(dc::moments(x).mean, a / (a + b), 0.01) << a << ' ' << b;
  }
  const std::vector<double> c = dc::fill(
      q.get(), [](auto r) { return FillTheBufferCAUCHY(r); }, n);
  expect_ks(
      c, [](double v) { return 0.5 + std::atan(v) / M_PI; }, "Cauchy");
  const std::vector<double> tri = dc::fill(
      q.get(), [](auto r) { return FillTheBufferTRIANGLE(r, 0.3); }, n);
  expect_ks(
      tri, [](double v) { return v <= 0.3 ? v * v / 0.3 : 1 - (1 - v) * (1 - v) / 0.7; },
      "triangle");
  const std::vector<double> w = dc::fill(
      q.get(), [](auto r) { return FillTheBufferWEIBULL(r, 1.5, 2); }, n);
  expect_ks(
      w, [](double v) { return 1 - std::exp(-std::pow(v / 2, 1.5)); }, "Weibull");
}

// F(8, 0.1): the beta draw rounds to 1 for about a sixth of the draws. Those
// F values lie beyond what the beta draw can tell apart and are +infinity;
// the rest follow the F distribution. Near that bound the beta draw's own
// resolution makes the F values coarse, so the distribution is compared
// below a cut a thousand times lower, with everything above it censored.
TEST_F(ContinuousVariates, FBeyondTheBetaResolutionIsInfinite) {
  auto q = rt::new_stream(4242);
  constexpr int n = 40000;
  const std::vector<double> f = dc::fill(
      q.get(), [](auto r) { return FillTheBufferF(r, 8, 0.1); }, n);
  const double bound = (0.1 / 8) * 0x1p54;  // B above 1 - 2^-54 rounds to 1
  const double tail = zprbf(bound, 8, 0.1);
  int infinite = 0;
  for (double v : f) {
    ASSERT_GT(v, 0.0);
    infinite += std::isinf(v);
  }
  EXPECT_NEAR(infinite / static_cast<double>(n), tail, 0.01);
  EXPECT_GT(tail, 0.15);
  const double cut = bound / 1000;
  std::vector<double> censored = f;
  for (double& v : censored)
    if (v >= cut) v = INFINITY;
  expect_ks(
      censored, [&](double v) { return std::isinf(v) ? 1.0 : f_cdf(std::fmin(v, cut), 8, 0.1); },
      "F(8, 0.1)");
}

// Algorithm BC beyond the range of exp: w is infinite, so the draw is 1 when
// the larger shape is alpha and 0 when it is beta.
TEST_F(ContinuousVariates, BetaBeyondTheExponentialsRangeIsAtItsBound) {
  const double cases[][3] = {{2.0, 0.01, 1.0}, {0.01, 2.0, 0.0}};
  for (const auto& c : cases) {
    rt::Script script{{0.9999, 0.2505}};  // z = u1 u1 u2 just above 1/4, v = 100 logit(u1)
    auto q = rt::scripted(&script);
    EXPECT_EQ(GetOneVariateBETA(q.get(), c[0], c[1]), c[2]) << c[0];
    EXPECT_EQ(script.drawn, 2);
  }
}

// Uniforms that no trial accepts: each loop gives up after its cap of
// trials with the special missing value.
TEST_F(ContinuousVariates, RejectionLoopsAreCapped) {
  struct Case {
    std::vector<double> uniforms;
    Draw draw;
    long draws_per_trial;
  };
  const Case cases[] = {{{0.9999}, [](auto q) { return GetOneVariateNORMAL(q); }, 2},
                        {{0.95}, [](auto q) { return GetOneVariateCAUCHY(q); }, 2},
                        {{0.9}, [](auto q) { return GetOneVariateGAMMA(q, 2.5); }, 2},
                        {{0.1, 0.999, 0.999}, [](auto q) { return GetOneVariateGAMMA(q, 0.5); }, 3},
                        {{0.9}, [](auto q) { return GetOneVariateBETA(q, 2, 3); }, 2},
                        {{0.9}, [](auto q) { return GetOneVariateBETA(q, 0.5, 3); }, 2},
                        {{0.9}, [](auto q) { return GetOneVariateBETA(q, 0.3, 0.4); }, 2}};
  for (const Case& c : cases) {
    rt::Script script{c.uniforms, 0, true};
    auto q = rt::scripted(&script);
    EXPECT_TRUE(is_special_missing(c.draw(q.get())));
    EXPECT_EQ(script.drawn, c.draws_per_trial * 1000000);
  }
  // A subtract-key stream without a key repeats its seed for ever.
  auto stuck = rt::new_stream(3865470566.0, "SUBKEY32");  // u = 0.9
  EXPECT_TRUE(is_special_missing(GetOneVariateNORMAL(stuck.get())));
  EXPECT_TRUE(is_special_missing(GetOneVariateLOGNORMAL(stuck.get())));
  EXPECT_TRUE(is_special_missing(GetOneVariateCAUCHY(stuck.get())));
  EXPECT_TRUE(is_special_missing(GetOneVariateT(stuck.get(), 5)));
}

}  // namespace
