// The constrained steps' tables: the feasibility phase's correction table
// shows the correction it took, and the working rows are labelled with
// their constraints' names (the caller names only the parameter rows).
// Rosenbrock on the circle x1^2 + x2^2 = 1 from (2, 1): the first pass
// solves (4, 2) . d = 4, so d = (0.8, 0.4), and ends at (1.2, 0.6), off the
// circle, so that its tables are written.
#include <gtest/gtest.h>

#include <string>

#include "constraint_sets.h"
#include "host/procstr.h"
#include "host/yol.h"
#include "mgh_problems.h"
#include "support/output_fixture.h"

namespace {

using Json = nlohmann::json;

char g_x1[] = "x1", g_x2[] = "x2", g_residual[] = "Residual";
char g_proj0[] = "Proj0", g_proj1[] = "Proj1";
char* g_names[] = {g_x1, g_x2, g_residual};
char* g_rows[] = {g_proj0, g_proj1, g_residual};  // only n + 1 row names, as the procedure gives

void circle_step() {
  xinit();
  const mgh::Case c = mgh::rosenbrock();
  lsq::Fit fit(&c.problem);
  constraints::Circle circle;
  lsq::Options o;
  o.atol = 1e-8;
  circle.apply(o, fit, true);
  ZOPTGLOBAL* g = lsq::make_run(step_pool(), &fit, o);
  g->opts.pname = g_names;
  g->opts.rname = g_rows;
  g->opts.resid = g_residual;
  g->opts.yolman = make_manager();
  g->opts.templ = yoltxt("stat.ruva.IterHistory", -1);
  g->opts.itprint = 2;
  g->opts.debug = 1;
  g->funcs.usfout = znpit;
  lsq::run(g, {2.0, 1.0});
}

using ConstrainedOutputTest = OutputTest;

TEST_F(ConstrainedOutputTest, TheCorrectionTableShowsTheCorrection) {
  ASSERT_EQ(run_as_step(circle_step), 0) << log_text();
  Json correction;
  for (const Json& j : json_objects())
    if (j.value("name", "") == "ParmChange" &&
        j.value("label", "") == "Correction towards the constraints") {
      correction = j;
      break;
    }
  ASSERT_TRUE(correction.is_object());
  const Json rows = correction["rows"];
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][0], "x1");
  EXPECT_NEAR(rows[0][1].get<double>(), 0.8, 1e-15);
  EXPECT_NEAR(rows[1][1].get<double>(), 0.4, 1e-15);
  const Json point = json_named("ParmVector")["rows"];
  EXPECT_NEAR(point[0][1].get<double>(), 1.2, 1e-15);
  EXPECT_NEAR(point[1][1].get<double>(), 0.6, 1e-15);
}

TEST_F(ConstrainedOutputTest, WorkingRowsAreNamedByTheirConstraints) {
  ASSERT_EQ(run_as_step(circle_step), 0) << log_text();
  const Json multipliers = json_named("FirstLagrMultEst");
  ASSERT_TRUE(multipliers.is_object());
  EXPECT_EQ(multipliers["rows"][0][0], "Circle");
  const std::string text = listing_text();
  const auto at = text.find("Working constraint matrix");
  ASSERT_NE(at, std::string::npos);
  EXPECT_NE(text.find("Circle", at), std::string::npos);
}

}  // namespace
