// The optimiser's own output through the output service: the step report of
// the first Rosenbrock step, worked by hand at (-1.2, 1) where r = (-4.4,
// 2.2) and J = [24 10; -1 0]: J'J = [577 240; 240 100], g = J'r = (-107.8,
// -44), F = 24.2, (J'J)^-1 = [1 -2.4; -2.4 5.77] and the step
// (J'J)^-1 g = (-2.2, 4.84); the IterInfo row with its detail columns; the
// iteration groups; the singular-rows section; and the bounded text of the
// relative changes. Printing must not change the run.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host/missing.h"
#include "host/procstr.h"
#include "host/yol.h"
#include "mgh_problems.h"
#include "optim/zopt_output.h"
#include "support/output_fixture.h"

namespace {

using Json = nlohmann::json;

char g_x1[] = "x1", g_x2[] = "x2", g_x3[] = "x3", g_residual[] = "Residual";
char* g_two[] = {g_x1, g_x2, g_residual};
char* g_three[] = {g_x1, g_x2, g_x3, g_residual};
int g_rc;
ZOPTSTATE g_printed, g_plain;

// The caller names the n parameters and then the objective column.
ZOPTGLOBAL* printing_run(lsq::Fit* fit, char** names) {
  ZOPTGLOBAL* g = lsq::make_run(step_pool(), fit);
  g->opts.pname = names;
  g->opts.yolman = make_manager();
  g->opts.templ = yoltxt("stat.ruva.IterHistory", -1);
  g->opts.itprint = 2;
  g->opts.details = g->opts.xpx = g->opts.i = 1;
  g->opts.printerror = 1;
  g->funcs.usfout = znpit;
  return g;
}

void rosenbrock_step() {
  xinit();
  static const mgh::Case c = mgh::rosenbrock();
  static lsq::Fit fit(&c.problem);
  ZOPTGLOBAL* printed = printing_run(&fit, g_two);
  g_rc = lsq::run(printed, c.start);
  g_printed = printed->state;
  ZOPTGLOBAL* plain = lsq::make_run(step_pool(), &fit);
  lsq::run(plain, c.start);
  g_plain = plain->state;
}

// y = b1 + b2 t + b3 (2t): the third column repeats the second.
void singular_step() {
  xinit();
  static lsq::Problem p{"dependent", 3, 6, [](const double* b, double* r, double* jac) {
                          for (int i = 0; i < 6; ++i) {
                            const double x[3] = {1.0, double(i), 2.0 * i};
                            r[i] = (1 + 0.5 * i + 0.1 * (i % 2)) - (b[0] + b[1] * x[1] + b[2] * x[2]);
                            for (int j = 0; j < 3; ++j) jac[i * 3 + j] = -x[j];
                          }
                          return true;
                        }};
  static lsq::Fit fit(&p);
  g_rc = lsq::run(printing_run(&fit, g_three), {0.0, 0.0, 0.0});
}

using OptimiserOutputTest = OutputTest;

TEST_F(OptimiserOutputTest, FirstStepReportMatchesTheHandWorkedStep) {
  ASSERT_EQ(run_as_step(rosenbrock_step), 0) << log_text();
  ASSERT_EQ(g_rc, 0);
  EXPECT_EQ(g_printed.iters, g_plain.iters);
  EXPECT_EQ(g_printed.totsubiters, g_plain.totsubiters);
  EXPECT_EQ(g_printed.objective, g_plain.objective);
  const Json xpx = json_named("XPXMat");
  ASSERT_TRUE(xpx.is_object());
  EXPECT_EQ(xpx["template"], "wyv.model.XPXMatrix");
  EXPECT_EQ(xpx["groups"], Json::parse(R"(["estiter0"])"));
  EXPECT_EQ(xpx["label"], "Cross-product matrix, Iteration    0         ");
  const Json rows = xpx["rows"];
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0][0], "x1");
  EXPECT_EQ(rows[2][0], "Residual");
  EXPECT_NEAR(rows[0][1].get<double>(), 577, 1e-9);
  EXPECT_NEAR(rows[1][1].get<double>(), 240, 1e-9);
  EXPECT_NEAR(rows[1][2].get<double>(), 100, 1e-9);
  EXPECT_NEAR(rows[2][1].get<double>(), -107.8, 1e-9);
  EXPECT_NEAR(rows[2][2].get<double>(), -44, 1e-9);
  EXPECT_NEAR(rows[2][3].get<double>(), 24.2, 1e-9);

  const Json inv = json_named("InvXPXMat")["rows"];
  EXPECT_NEAR(inv[0][1].get<double>(), 1, 1e-9);
  EXPECT_NEAR(inv[1][1].get<double>(), -2.4, 1e-9);
  EXPECT_NEAR(inv[1][2].get<double>(), 5.77, 1e-9);
  EXPECT_NEAR(inv[2][1].get<double>(), -2.2, 1e-9);
  EXPECT_NEAR(inv[2][2].get<double>(), 4.84, 1e-9);

  const Json step = json_named("ParmChange")["rows"];
  EXPECT_NEAR(step[0][1].get<double>(), -2.2, 1e-9);
  EXPECT_NEAR(step[1][1].get<double>(), 4.84, 1e-9);
}

// The first row: R = 1 (the linear model explains all of F), the angle
// between g and the step acos(24.2 / (116.43 * 5.3166)) = 87.76 degrees, the
// slope (g.d / |d|) / F = 0.18809, and the largest relative change
// 4.84 / (1 + 1e-6) in x2.
TEST_F(OptimiserOutputTest, IterationRowCarriesTheDetailColumns) {
  ASSERT_EQ(run_as_step(rosenbrock_step), 0) << log_text();
  const Json t = json_named("IterInfo");
  ASSERT_TRUE(t.is_object());
  std::vector<std::string> names;
  for (const auto& c : t["columns"]) names.push_back(c["name"]);
  EXPECT_EQ(names, (std::vector<std::string>{"Esttype", "Iteration", "Nobs", "R", "Objective",
                                             "Subiteration", "lambda", "theta", "RankXPX", "Phi",
                                             "ppc", "rpc", "x1", "x2"}));
  ASSERT_EQ(t["rows"].size(), 1u);  // each row is a table of its own in an "esterr" group
  const Json row = t["rows"][0];
  EXPECT_EQ(row[1], 0);
  EXPECT_EQ(row[2], 2);
  EXPECT_EQ(row[3], 1.0);
  EXPECT_NEAR(row[4].get<double>(), 24.2, 1e-12);
  EXPECT_EQ(row[6], 1e-7);
  EXPECT_NEAR(row[7].get<double>(), 87.7595, 1e-4);
  EXPECT_EQ(row[8], 2);
  EXPECT_NEAR(row[9].get<double>(), 0.188092, 1e-6);
  EXPECT_EQ(row[10], "4.84(x2)");
  EXPECT_EQ(row[11], "");
  EXPECT_EQ(row[12], -1.2);
}

TEST_F(OptimiserOutputTest, SingularRowsAreListedAndGetNoStep) {
  ASSERT_EQ(run_as_step(singular_step), 0) << log_text();
  EXPECT_EQ(g_rc, 0);
  const std::string text = listing_text();
  const auto at = text.find(" The cross-product matrix has rank 2 of 3 parameters; 1 rows are singular:");
  ASSERT_NE(at, std::string::npos) << text;
  EXPECT_NE(text.find("x3", at), std::string::npos);
  const Json step = json_named("ParmChange")["rows"];
  EXPECT_EQ(step[2][1], 0.0);
}

// "%6.89f(%s)" into 256 bytes could overflow; the text is now cut to fit.
TEST_F(OptimiserOutputTest, RelativeChangesAreFormattedWithinTheirBuffers) {
  const mgh::Case c = mgh::rosenbrock();
  lsq::Fit fit(&c.problem);
  ZOPTGLOBAL* g = lsq::make_run(step_pool(), &fit);
  std::string long_name(600, 'p');
  char* pname[3] = {long_name.data(), g_x2, g_residual};
  g->opts.pname = pname;
  g->opts.details = 1;
  char ppc[256], rpc[256];
  g->state.ppc_out = ppc;
  g->state.rpc_out = rpc;
  g->state.iters = 3;
  g->state.ppc = 1.5e300;
  g->state.worstp = 0;
  g->state.rpc = 0.25;
  g->state.worstr = 1;
  znpit(g);  // no output manager: the texts are formatted, nothing is delivered
  EXPECT_EQ(std::strlen(ppc), 255u);
  EXPECT_EQ(std::string(ppc, 9), "1.5e+300(");
  EXPECT_STREQ(rpc, "0.25(x2)");
  g->state.rpc = missing_value();  // no previous change to show
  znpit(g);
  EXPECT_STREQ(rpc, "");
}

TEST_F(OptimiserOutputTest, LabelOfTheFinalStep) {
  char label[optim::kIterLabelBytes];
  char estype[8] = {'O', 'L', 'S', ' ', ' ', ' ', ' ', ' '};
  EXPECT_STREQ(znprnit(missing_value(), estype, label), "Final step OLS     ");
}

}  // namespace
