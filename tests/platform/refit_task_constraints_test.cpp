// A refit's end point moved exactly onto the constraints it breaks by the
// optimiser's tolerance.
#include "platform/refit/refit_task_constraints.h"

#include <gtest/gtest.h>

namespace {

using platform::refit::LinearConstraint;
using platform::refit::project_onto;

LinearConstraint single(int col, QXPROF_REL_OP rel, double value) {
  return {{col}, {1.0}, value, rel};
}
LinearConstraint below(int a, int b) {
  return {{a, b}, {1.0, -1.0}, 0.0, LEQ};
}  // x[a] <= x[b]

TEST(TaskConstraints, ProjectionLandsExactlyOnTheBrokenConstraints) {
  struct Case {
    std::vector<LinearConstraint> constraints;
    std::vector<double> x, projected;
  } cases[] = {
      // A limit overshot by rounding; one that holds moves nothing.
      {{single(0, LEQ, 1.8), single(1, GEQ, -1.0)}, {1.8000000000095, 0.5}, {1.8, 0.5}},
      {{single(0, GEQ, 0.1)}, {0.09999999999, 3.0}, {0.1, 3.0}},
      // An order between two parameters: both move to where they are equal.
      {{below(0, 1)}, {1.00000000002, 1.0}, {1.00000000001, 1.00000000001}},
      // A parameter that a profile fixes keeps its value; the other moves.
      {{below(0, 1), single(0, EQUAL, 2.0)}, {2.0, 1.99999999999}, {2.0, 2.0}},
      // An equality between two parameters is broken either way.
      {{{{0, 1}, {1.0, -1.0}, 0.0, EQUAL}}, {0.99999999999, 1.0}, {0.999999999995, 0.999999999995}},
  };
  for (const Case& c : cases) {
    std::vector<double> x = c.x;
    project_onto(c.constraints, &x);
    for (std::size_t i = 0; i < x.size(); ++i) EXPECT_DOUBLE_EQ(x[i], c.projected[i]) << i;
    if (c.constraints[0].cols.size() == 2)
      EXPECT_EQ(x[0], x[1]);
    else
      EXPECT_EQ(x[0], c.projected[0]);
  }
  // 0.7a + 0.3b <= 0.1 from (a, b) = (1.444..., 1.193...): the nearest point
  // on the line, x - r·c/|c|², rounds to a level above 0.1; b is then solved
  // for, so that the level is 0.1 (or below) exactly.
  const LinearConstraint tilted{{0, 1}, {0.7, 0.3}, 0.1, LEQ};
  std::vector<double> x = {1.4440354434132994, 1.1937557623097041};
  const double r = 0.7 * x[0] + 0.3 * x[1] - 0.1;
  project_onto({tilted}, &x);
  EXPECT_DOUBLE_EQ(x[0], 1.4440354434132994 - r * 0.7 / 0.58);
  EXPECT_DOUBLE_EQ(x[1], 1.1937557623097041 - r * 0.3 / 0.58);
  EXPECT_LE(0.7 * x[0] + 0.3 * x[1], 0.1);
}

// Only linear constraints on declared parameters are taken.
TEST(TaskConstraints, CopiesLinearConstraintsOnDeclaredParametersOnly) {
  std::int32_t cols[] = {0, 1};
  double coefs[] = {1.0, -1.0};
  QXPROF_CONSTRAINT relation{0.0, MULTI_PARM_LINEAR, LEQ, {}};
  relation.mp = {2, cols, nullptr, coefs};
  QXPROF_CONSTRAINT* list[] = {&relation};
  QXPROF_TASK_DESC d{};
  d.constr_type = SYM_CONSTR;
  d.constr.sym = {1, list};
  std::vector<LinearConstraint> out;
  ASSERT_TRUE(platform::refit::copy_constraints(d, 2, &out));
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].cols, (std::vector<int>{0, 1}));
  EXPECT_EQ(out[0].coefs, (std::vector<double>{1.0, -1.0}));
  EXPECT_FALSE(platform::refit::copy_constraints(d, 1, &out));  // parameter 1 is not declared
  relation.c_type = NONLINEAR;
  EXPECT_FALSE(platform::refit::copy_constraints(d, 2, &out));
}

}  // namespace
