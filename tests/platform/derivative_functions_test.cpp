// The generated first and second derivatives of every operator and function
// of the language, against Richardson-extrapolated central differences of
// the program's own value, over a grid of points inside each domain.
#include <gtest/gtest.h>

#include <cmath>

#include "derivative_fixture.h"

namespace derivative_test {
namespace {

struct Case {
  const char* model;               // in the parameters a, b and the variable x
  std::vector<double> as, bs, xs;  // the grid
};

const std::vector<double> kA = {0.3, 0.85};
const std::vector<double> kB = {0.45, 1.2};
const std::vector<double> kX = {0.25, 0.7};

std::vector<Case> cases() {
  return {
      // Arithmetic and ** in all its forms.
      {"a + b*x - a*b", kA, kB, kX},
      {"a*b*x/(b + x)", kA, kB, kX},
      {"(a + x)**b", kA, kB, kX},
      {"a**2*b**3", kA, kB, kX},
      {"(a*x + b)**(-1.5)", kA, kB, kX},
      {"b**a * x", kA, kB, kX},
      {"(a + b)**(a*x)", kA, kB, kX},
      {"-(a*b) + -a/b", kA, kB, kX},
      {"a*x >< b", {0.3, 2.0}, kB, kX},
      {"a*x <> b", {0.3, 2.0}, kB, kX},
      // Exponential, logarithms, roots, absolute value.
      {"exp(a*x + b)", kA, kB, kX},
      {"log(a + b*x)", kA, kB, kX},
      {"log10(a*b + x)", kA, kB, kX},
      {"log2(a + b*b*x)", kA, kB, kX},
      {"sqrt(a + b*x)", kA, kB, kX},
      {"abs(a - b*x - 1) + abs(a*b)", kA, kB, kX},
      // Trigonometric and hyperbolic functions and their inverses.
      {"sin(a*x + b)", kA, kB, kX},
      {"cos(a*x*b)", kA, kB, kX},
      {"tan(a*x + b/2)", kA, kB, kX},
      {"arsin((a + b*x)/4) + asin(a*b/2)", kA, kB, kX},
      {"arcos((a + b*x)/4) + acos(a*b/2)", kA, kB, kX},
      {"atan(a*x + b)", kA, kB, kX},
      {"sinh(a*x + b)", kA, kB, kX},
      {"cosh(a*x - b)", kA, kB, kX},
      {"tanh(a*x + b)", kA, kB, kX},
      {"arsinh(a*x - b) + asinh(a*b)", kA, kB, kX},
      {"arcosh(1.5 + a*x + b) + acosh(1 + a*b)", kA, kB, kX},
      {"artanh((a*x - b)/3) + atanh(a*b/2)", kA, kB, kX},
      {"atan2(a + x, b)", kA, kB, kX},
      {"mod(a*x + 10, b + 4)", kA, kB, kX},
      // Error functions and the normal distribution.
      {"erf(a*x + b)", kA, kB, kX},
      {"erfc(a*x - b)", kA, kB, kX},
      {"probnorm(a*x - b)", kA, kB, kX},
      {"probit(0.2 + a*b*x/2)", kA, kB, kX},
      {"pdf('NORMAL', x, a, b)", kA, kB, kX},
      {"cdf('NORMAL', x, a, b) + pdf('NORMAL', a*x + b) + cdf('NORMAL', a - x)", kA, kB, kX},
      // The gamma family.
      {"lgamma(a + b*x)", kA, kB, kX},
      {"gamma(a + b*x + 0.5)", kA, kB, kX},
      {"digamma(a + b*x)", kA, kB, kX},
      {"trigamma(a*x + b)", kA, kB, kX},
      {"beta(a + x, b)", kA, kB, kX},
      // The t, F and beta distributions through their densities.
      {"probt(a*x - b, 5) + tinv(0.2 + a*b/3, 7)", kA, kB, kX},
      {"probf(a*x + b, 3, 8) + finv(0.1 + a*b/2, 4, 9)", kA, kB, kX},
      {"probbeta(0.2 + a*x*b/2, 2, 3) + betainv(0.1 + a*b/2, 3, 2)", kA, kB, kX},
      // Functions of several arguments.
      {"min(a*x, b, 2) + max(2*a, b*x, -1)", {0.3, 2.0}, kB, kX},
      {"sum(a, b*x, a*b) + mean(a*a, b)", kA, kB, kX},
      // Rounding, sign, comparisons and logical operators: zero derivatives.
      {"a*b + int(a*x + 3.5) + round(b*4.1) + floor(b + 2.3) + ceil(a*x) + sign(a - b)", kA, kB,
       kX},
      {"a*(b > x) + (a < 2 and b >= x) + (a = b) + (b ^= 7) + not(a)", kA, kB, kX},
  };
}

class FunctionDerivatives : public DerivativeTest {};

TEST_F(FunctionDerivatives, MatchRichardsonDifferencesOverTheGrid) {
  data_.variables = {compiler_test::numeric("x", 1)};
  for (const Case& c : cases()) {
    reset();
    const std::string program = std::string("parms a = 1 b = 1;\nmodel y = ") + c.model + ";\n";
    ASSERT_TRUE(compile_model(program)) << c.model << "\n" << log_text();
    for (double a : c.as)
      for (double b : c.bs)
        for (double x : c.xs)
          expect_matches_differences({a, b}, {x},
                                     std::string(c.model) + " at a=" + std::to_string(a) +
                                         " b=" + std::to_string(b) + " x=" + std::to_string(x));
  }
}

TEST_F(FunctionDerivatives, PowersOfZeroHaveZeroDerivatives) {
  // 0**b is 0 for every b > 0, so at x = 0 every derivative is 0 (a power
  // model with a dose of 0), not 0 * log(0); likewise (a*x)**(b+2), and
  // (b*x)**k with k = 1 (as in a loop over powers) has no 0 * 0**-1.
  data_.variables = {compiler_test::numeric("x", 1)};
  ASSERT_TRUE(compile_model(
      "parms a = 1 b = 1;\nk = 1 + x;\nmodel y = a*x**b + (a*x)**(b + 2) + (b*x)**k;\n"));
  for (double b : {0.45, 1.2}) {
    EXPECT_EQ(model_at({0.7, b}, {0.0}, 1), 0.0);
    for (int i = 0; i < 2; ++i) {
      EXPECT_EQ(gradient(i), 0.0) << "b=" << b << " d/d" << i;
      for (int j = 0; j <= i; ++j) EXPECT_EQ(hessian(i, j), 0.0) << "b=" << b << " d2/d" << i << j;
    }
  }
}

TEST_F(FunctionDerivatives, DigammaFamilyHasItsHigherDerivatives) {
  // The third and fourth derivatives of log-gamma, which the derivatives of
  // trigamma use, against series written out here: psi''(x) = -2 sum 1/(x+k)^3,
  // psi'''(x) = 6 sum 1/(x+k)^4 (summed far, with the integral of the tail).
  data_.variables = {compiler_test::numeric("x", 1)};
  for (double x : {0.3, 1.0, 2.5, 7.0, 31.0}) {
    long double s3 = 0, s4 = 0;
    const int n = 200000;
    for (int k = 0; k < n; ++k) {
      const long double t = x + k;
      s3 += 1 / (t * t * t);
      s4 += 1 / (t * t * t * t);
    }
    const long double tail = x + n - 0.5L;
    s3 += 1 / (2 * tail * tail);
    s4 += 1 / (3 * tail * tail * tail);
    reset();
    ASSERT_TRUE(compile_model("parms a = 1;\nmodel y = trigamma(a);\n"));
    model_at({x}, {0.0}, 1);
    EXPECT_NEAR(gradient(0), static_cast<double>(-2 * s3),
                1e-12 * std::fabs(static_cast<double>(2 * s3)));
    EXPECT_NEAR(hessian(0, 0), static_cast<double>(6 * s4), 1e-12 * static_cast<double>(6 * s4));
  }
}

TEST_F(FunctionDerivatives, ShapeArgumentsThatVaryAreReported) {
  data_.variables = {compiler_test::numeric("x", 1)};
  EXPECT_FALSE(compile_model("parms a = 1;\nmodel y = probt(x, a);\n"));
  EXPECT_NE(log_text().find("PROBT with respect to its argument 2"), std::string::npos)
      << log_text();
  reset();
  // A fixed shape is fine.
  EXPECT_TRUE(compile_model("parms a = 1;\nd = 4;\nmodel y = probt(a*x, d);\n")) << log_text();
}

}  // namespace
}  // namespace derivative_test
