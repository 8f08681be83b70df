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
}

}  // namespace
