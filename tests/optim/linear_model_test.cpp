// A model linear in its parameters: one Gauss-Newton step from anywhere is
// the least-squares solution (checked against LAPACK), so the run
// converges in one iteration, and started at the solution it returns at
// once. This pins the sign convention: the callbacks hand over g = J'r,
// half the gradient of r'r (J = dr/db, r = y - f), and the library steps to
// b - H^-1 g.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "lapack.h"
#include "least_squares.h"
#include "support/host_fixture.h"

namespace {

// y = 2 - 0.5 t + 0.03 t^2 plus a fixed wobble, t = 0..24.
std::vector<double> observations(std::vector<double>* t) {
  std::vector<double> y;
  for (int i = 0; i < 25; ++i)
    t->push_back(i), y.push_back(2 - 0.5 * i + 0.03 * i * i + 0.2 * std::sin(1.7 * i));
  return y;
}

class LinearModelTest : public HostTest, public ::testing::WithParamInterface<char> {
 protected:
  // The least-squares solution by LAPACK.
  std::vector<double> reference() const {
    return lapack::min_norm_solution(lsq::quadratic_design(t_), 25, 3, y_, 1e-12);
  }
  ZOPTGLOBAL* make() {
    lsq::Options o;
    o.method = GetParam();
    return lsq::make_run(step_pool(), &fit_, o);
  }
  std::vector<double> t_, y_ = observations(&t_);
  lsq::Problem problem_ = lsq::quadratic(t_, y_);
  lsq::Fit fit_{&problem_};
};

TEST_P(LinearModelTest, ConvergesInOneIterationToTheLeastSquaresSolution) {
  const std::vector<double> solution = reference();
  ASSERT_EQ(solution.size(), 3u);
  ZOPTGLOBAL* g = make();
  ASSERT_NE(g, nullptr);
  ASSERT_EQ(lsq::run(g, {10.0, 10.0, -3.0}), 0);
  EXPECT_EQ(g->state.error, s_ok);
  EXPECT_EQ(g->state.iters, 1);
  EXPECT_EQ(g->state.totsubiters, 0);
  for (int j = 0; j < 3; ++j)
    EXPECT_NEAR(g->state.parms[j], solution[j], 1e-11 * std::fabs(solution[j])) << j;
  EXPECT_LT(g->state.r, 1e-10);  // rounding only
}

// Callbacks, in the order the caller sees them: objective, Hessian and
// gradient at the start (derivatives follow every objective until the first
// step exists), the step hook, the output row; then per iteration the trial
// objective, the derivative refresh at the accepted point, the after-step
// hook with its own refresh, the step hook and the output row.
TEST_P(LinearModelTest, CallbacksComeInOrder) {
  ZOPTGLOBAL* g = make();
  g->opts.itprint = 1;
  g->funcs.usmprt = [](ZOPTGLOBAL* z) { return lsq::fit_of(z)->trace += 'P', 0; };
  g->funcs.usfout = [](ZOPTGLOBAL* z) { return lsq::fit_of(z)->trace += 'F', 0; };
  ASSERT_EQ(lsq::run(g, {1.0, 1.0, 1.0}), 0);
  EXPECT_EQ(fit_.trace, "OHGPF" "OHGPF");

  fit_.trace.clear();
  g->funcs.usnest = [](ZOPTGLOBAL* z) { return lsq::fit_of(z)->trace += 'N', 0; };
  ASSERT_EQ(lsq::run(g, {1.0, 1.0, 1.0}), 0);
  EXPECT_EQ(fit_.trace, "OHGPF" "OHGNHGPF");

  // Started at the solution it returns at once, unmoved; the after-step
  // hook still runs once, with its refresh and a new step.
  fit_.trace.clear();
  const std::vector<double> solution = reference();
  ASSERT_EQ(lsq::run(g, solution), 0);
  EXPECT_EQ(fit_.trace, "OHGPF" "NHGP");
  EXPECT_EQ(g->state.iters, 0);
  for (int j = 0; j < 3; ++j) EXPECT_EQ(g->state.parms[j], solution[j]);
}

INSTANTIATE_TEST_SUITE_P(Methods, LinearModelTest, ::testing::Values('M', 'S'));

}  // namespace
