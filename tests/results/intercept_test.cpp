// Whether the model has an intercept: from the program when a parameter's
// derivative is a constant, otherwise from the derivatives' values: the
// column of ones in their span. The decision must not depend on how well the
// model fits: y = exp(a) + b x has an intercept however noisy the data, and
// y = b x fitted exactly has none.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "fitted_context.h"
#include "linalg/packed.h"
#include "procedure/model_run.h"
#include "procedure/procedure_fixture.h"
#include "support/output_fixture.h"

namespace {

using Json = nlohmann::json;

// --- From the program: the set-up's derivative symbols, every parameter
// given a positive variance.
int g_intercept = -1;

void symbolic_body() {
  RUVACOM* ctx = ruva_new_context();
  xinit();
  xytexit(RUVAEndofTask);
  if (ruvapar(ctx) != 0) xexit(3000, 0);
  if (ruvaint(ctx) != 0 || ruvares() != 0) xexit(1012, 0);
  for (int i = 0; i < ctx->nparm; ++i) ctx->xpx[zisub(i, i)] = 1.0;
  std::memset(ctx->parmdf, '1', static_cast<std::size_t>(ctx->nparm));
  g_intercept = isintercept(ctx);
  xexit(0, 0);
}

class SymbolicInterceptTest : public procedure_test::ProcedureTest {
 protected:
  SymbolicInterceptTest() { write_file("d.csv", "x,y\n1,2\n2,4.1\n3,5.9\n"); }
  int intercept(const std::string& statements) {
    g_intercept = -1;
    EXPECT_EQ(run("proc ruva data=d; parms b0=1 b1=1; " + statements, symbolic_body), 0) << log_text();
    return g_intercept;
  }
};

TEST_F(SymbolicInterceptTest, AConstantDerivativeIsAnIntercept) {
  EXPECT_EQ(intercept("model y = b0 + b1*x;"), 1);
  EXPECT_EQ(intercept("model y = 2*b0 + b1*x;"), 1);
  EXPECT_EQ(intercept("model y = b1*x + b0/4;"), 1);
  EXPECT_EQ(intercept("model y = b0 + b1*x; der.b0 = 1; der.b1 = x;"), 1);
}

TEST_F(SymbolicInterceptTest, DerivativesThatVaryAreNone) {
  EXPECT_EQ(intercept("model y = b0*x + b1*x*x;"), 0);
  EXPECT_EQ(intercept("model y = b0*exp(b1*x);"), 0);
}

// --- From the values, with the optimiser's fit.
results_test::Problem g_problem;

void tabulate() { results_test::fit_and_tabulate(g_problem, {}); }

class NumericInterceptTest : public OutputTest {
 protected:
  // True when the ANOVA was corrected for the mean.
  bool corrected(results_test::Problem p) {
    g_problem = std::move(p);
    EXPECT_EQ(run_as_step(tabulate), 0) << log_text();
    const Json a = json_named("ANOVA");
    const std::string third = a["rows"][2][0];
    EXPECT_EQ(a["notes"].empty(), third == "Corrected Total");
    return third == "Corrected Total";
  }
};

const std::vector<double> kX = {1, 2, 3, 4, 5, 6, 7, 8};

results_test::Problem exp_plus_line(std::vector<double> y) {
  results_test::Problem p;
  p.names = {"a", "b"};
  p.start = {0.5, 1};
  p.y = std::move(y);
  p.model = [](const double* b, int i, double* f, double* df) {
    *f = std::exp(b[0]) + b[1] * kX[i];
    df[0] = std::exp(b[0]);
    df[1] = kX[i];
  };
  return p;
}

TEST_F(NumericInterceptTest, AConstantColumnScaledByAParameterIsAnInterceptWhateverTheFit) {
  EXPECT_TRUE(corrected(exp_plus_line({3.9, 5.2, 5.8, 7.3, 7.9, 9.4, 9.8, 11.3})));
  std::vector<double> exact;
  for (double x : kX) exact.push_back(2 + 1.1 * x);
  EXPECT_TRUE(corrected(exp_plus_line(exact)));
  results_test::Problem weighted = exp_plus_line({3.9, 5.2, 5.8, 7.3, 7.9, 9.4, 9.8, 11.3});
  weighted.w = {1, 2, 0.5, 1, 3, 1, 0.25, 2};
  EXPECT_TRUE(corrected(weighted));
}

TEST_F(NumericInterceptTest, ANoiseFreeModelWithoutInterceptStaysUncorrected) {
  results_test::Problem p;
  p.names = {"b"};
  p.start = {1};
  for (double x : kX) p.y.push_back(1.5 * x);
  p.model = [](const double* b, int i, double* f, double* df) {
    *f = b[0] * kX[i];
    df[0] = kX[i];
  };
  EXPECT_FALSE(corrected(p));
}

}  // namespace
