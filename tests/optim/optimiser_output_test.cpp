// The optimiser's own output through the output service: the step report of
// the first Rosenbrock step, worked by hand at (-1.2, 1) where r = (-4.4,
// 2.2) and J = [24 10; -1 0]: J'J = [577 240; 240 100], g = J'r = (-107.8,
// -44), F = 24.2, (J'J)^-1 = [1 -2.4; -2.4 5.77] and the step
// (J'J)^-1 g = (-2.2, 4.84); the IterInfo row with its detail columns; the
// singular-rows section; the bounded text of the relative changes; and the
// constrained steps' tables. Printing must not change the run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "constraint_sets.h"
#include "host/missing.h"
#include "host/parse_print_record.h"
#include "host/output_tables.h"
#include "mgh_problems.h"
#include "optim/optimiser_output.h"
#include "support/output_fixture.h"

namespace {

using Json = nlohmann::json;
using dual::Dual;

char g_x1[] = "x1", g_x2[] = "x2", g_x3[] = "x3", g_residual[] = "Residual";
char g_proj0[] = "Proj0", g_proj1[] = "Proj1";
char* g_two[] = {g_x1, g_x2, g_residual};
char* g_three[] = {g_x1, g_x2, g_x3, g_residual};
char* g_rows[] = {g_proj0, g_proj1, g_residual};  // only n + 1 row names, as the procedure gives
int g_rc;
ZOPTSTATE g_printed, g_plain;

// The caller names the n parameters and then the objective column.
ZOPTGLOBAL* printing_run(lsq::Fit* fit, char** names, const lsq::Options& o = {}) {
  ZOPTGLOBAL* g = lsq::make_run(step_pool(), fit, o);
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
  static const lsq::Problem p = dual::problem("dependent", 3, 6, [](const Dual* b, Dual* r) {
    for (int i = 0; i < 6; ++i)
      r[i] = (1 + 0.5 * i + 0.1 * (i % 2)) - (b[0] + i * b[1] + 2.0 * i * b[2]);
  });
  static lsq::Fit fit(&p);
  g_rc = lsq::run(printing_run(&fit, g_three), {0.0, 0.0, 0.0});
}

// Rosenbrock on the circle x1^2 + x2^2 = 1 from (2, 1): the first pass
// solves (4, 2) . d = 4, so d = (0.8, 0.4), and ends at (1.2, 0.6), off the
// circle, so that its tables are written.
void circle_step() {
  xinit();
  const mgh::Case c = mgh::rosenbrock();
  lsq::Fit fit(&c.problem);
  constraints::Circle circle;
  lsq::Options o;
  o.atol = 1e-8;
  circle.apply(o, fit, true);
  ZOPTGLOBAL* g = printing_run(&fit, g_two, o);
  g->opts.rname = g_rows;
  g->opts.resid = g_residual;
  g->opts.debug = 1;
  lsq::run(g, {2.0, 1.0});
}

// Each expected[i][j] against row i, column j + 1 (after the row's name).
void expect_rows(const Json& rows, const std::vector<std::vector<double>>& expected, double tol) {
  ASSERT_GE(rows.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i)
    for (std::size_t j = 0; j < expected[i].size(); ++j)
      EXPECT_NEAR(rows[i][j + 1].get<double>(), expected[i][j], tol) << i << "," << j;
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
  const Json rows = xpx["rows"];
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0][0], "x1");
  EXPECT_EQ(rows[2][0], "Residual");
  expect_rows(rows, {{577}, {240, 100}, {-107.8, -44, 24.2}}, 1e-9);
  expect_rows(json_named("InvXPXMat")["rows"], {{1}, {-2.4, 5.77}, {-2.2, 4.84}}, 1e-9);
  expect_rows(json_named("ParmChange")["rows"], {{-2.2}, {4.84}}, 1e-9);

  // The first row: R = 1 (the linear model explains all of F), the angle
  // between g and the step acos(24.2 / (116.43 * 5.3166)) = 87.76 degrees,
  // the slope (g.d / |d|) / F = 0.18809, and the largest relative change
  // 4.84 / (1 + 1e-6) in x2.
  const Json t = json_named("IterInfo");
  ASSERT_TRUE(t.is_object());
  ASSERT_EQ(t["rows"].size(), 1u);  // each row is a table of its own in an "esterr" group
  const Json row = t["rows"][0];
  EXPECT_EQ(row[1], 0);
  EXPECT_EQ(row[2], 2);
  EXPECT_EQ(row[3], 1.0);
  EXPECT_NEAR(row[4].get<double>(), 24.2, 1e-12);
  EXPECT_NEAR(row[7].get<double>(), 87.7595, 1e-4);
  EXPECT_EQ(row[8], 2);
  EXPECT_NEAR(row[9].get<double>(), 0.188092, 1e-6);
  EXPECT_EQ(row[10], "4.84(x2)");
  EXPECT_EQ(row[11], "");
  EXPECT_EQ(row[12], -1.2);
}

// The output service refuses the first group (300) or the first row (329)
// of the iteration report: the host's message is logged, and the run is
// the unprinted run's.
int g_refused_selector;
void refused_request_step() {
  platform::Host::current().output().inject_failure(g_refused_selector, kOutputWrongState);
  rosenbrock_step();
}

TEST_F(OptimiserOutputTest, ARefusedReportRequestLeavesTheRunAsItIs) {
  for (int selector : {300, 329}) {
    g_refused_selector = selector;
    run_as_step(refused_request_step);
    EXPECT_NE(log_text().find("An output request came when its object could not take it."), std::string::npos)
        << selector << log_text();
    ASSERT_EQ(g_rc, 0);
    EXPECT_EQ(g_printed.iters, g_plain.iters);
    EXPECT_EQ(g_printed.objective, g_plain.objective);
  }
}

// Plain steps with step halving, printed with or without the details.
bool g_details;
void line_search_step() {
  xinit();
  static const mgh::Case c = mgh::rosenbrock();
  static lsq::Fit fit(&c.problem);
  ZOPTGLOBAL* g = printing_run(&fit, g_two, lsq::method("SH"));
  g->opts.details = g_details;
  g_rc = lsq::run(g, c.start);
  g_printed = g->state;
}

// A line-search step shows its step size (a Marquardt step its lambda), or
// only its sub-iteration count without the details; beyond the rows of the
// start and of each iteration, the trials of the searches have theirs.
TEST_F(OptimiserOutputTest, LineSearchStepsShowTheirStepSizeAndSubiterations) {
  for (bool details : {true, false}) {
    json_.str("");
    g_details = details;
    ASSERT_EQ(run_as_step(line_search_step), 0) << log_text();
    ASSERT_EQ(g_rc, 0);
    std::vector<std::string> names;
    long rows = 0;
    for (const Json& j : json_objects()) {
      if (j.value("name", "") != "IterInfo") continue;
      rows += static_cast<long>(j["rows"].size());
      if (names.empty())
        for (const Json& col : j["columns"]) names.push_back(col["name"]);
    }
    auto has = [&](const char* name) { return std::find(names.begin(), names.end(), name) != names.end(); };
    EXPECT_EQ(has("stepsize"), details);
    EXPECT_FALSE(has("lambda"));
    EXPECT_EQ(has("Nsubit"), !details);
    EXPECT_GT(g_printed.totsubiters, 0);
    EXPECT_GT(rows, 1 + g_printed.iters) << details;
  }
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

TEST_F(OptimiserOutputTest, ConstrainedTablesShowTheCorrectionAndNameTheWorkingRows) {
  ASSERT_EQ(run_as_step(circle_step), 0) << log_text();
  Json correction;
  for (const Json& j : json_objects())
    if (j.value("label", "") == "Correction towards the constraints" && correction.is_null())
      correction = j;
  ASSERT_TRUE(correction.is_object());
  ASSERT_EQ(correction["rows"].size(), 2u);
  EXPECT_EQ(correction["rows"][0][0], "x1");
  expect_rows(correction["rows"], {{0.8}, {0.4}}, 1e-15);
  expect_rows(json_named("ParmVector")["rows"], {{1.2}, {0.6}}, 1e-15);

  EXPECT_EQ(json_named("FirstLagrMultEst")["rows"][0][0], "Circle");
  const std::string text = listing_text();
  const auto at = text.find("Working constraint matrix");
  ASSERT_NE(at, std::string::npos);
  EXPECT_NE(text.find("Circle", at), std::string::npos);
}

}  // namespace
