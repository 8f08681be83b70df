// How a run ends: each error code from a callback built to provoke it, and
// the faults mended in this library (a non-finite objective, an oversized
// step at the first index, state left behind by an abandoned run).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <utility>
#include <vector>

#include "host/missing.h"
#include "least_squares.h"
#include "mgh_problems.h"
#include "support/host_fixture.h"
#include "synthetic.h"

namespace {

class OutcomeTest : public HostTest, public ::testing::WithParamInterface<char> {
 protected:
  synthetic::Caller caller_;
  ZOPTGLOBAL* make() { return synthetic::make_run(step_pool(), &caller_, GetParam()); }
};

// A failing first objective ends the run with the callback's code; a
// non-finite one is a failed evaluation too.
TEST_P(OutcomeTest, AFailedFirstObjectiveEndsTheRun) {
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<std::pair<double, int>> cases = {
      {1, 7}, {std::nan(""), 0}, {inf, 0}, {-inf, 0}};
  for (auto [value, rc] : cases) {
    caller_.objective = [value = value](double, double) { return value; };
    caller_.objective_rc = rc;
    caller_.trials.clear();
    ZOPTGLOBAL* g = make();
    EXPECT_EQ(synthetic::run(g, 0.0), rc ? rc : 1) << value;
    EXPECT_EQ(g->state.error, s_noobject) << value;
    EXPECT_EQ(caller_.trials.size(), 1u) << value;
  }
}

TEST_P(OutcomeTest, ARecordWithoutObjectiveOrSetUpIsRefused) {
  caller_.objective = [](double, double) { return 1.0; };
  ZOPTGLOBAL* g = make();
  g->funcs.usgrd = nullptr;
  EXPECT_EQ(synthetic::run(g, 0.0), 1);
  EXPECT_EQ(g->state.error, s_noobject);
  EXPECT_TRUE(caller_.trials.empty());
  ZOPTGLOBAL bare{};
  EXPECT_EQ(zopt(&bare), 1);
  EXPECT_EQ(zopt(nullptr), 1);
}

TEST_P(OutcomeTest, IterationLimit) {
  const mgh::Case c = mgh::rosenbrock();
  lsq::Fit fit(&c.problem);
  lsq::Options o;
  o.method = GetParam();
  o.maxiters = 1;
  ZOPTGLOBAL* g = lsq::make_run(step_pool(), &fit, o);
  EXPECT_EQ(lsq::run(g, c.start), 1);
  EXPECT_EQ(g->state.error, s_iterexceed);
  EXPECT_EQ(g->state.iters, 2);
}

TEST_P(OutcomeTest, NoDecreaseRestoresTheLastAcceptedPoint) {
  // The gradient points the wrong way: every step raises 1 + x^2.
  caller_.gradient = [](double) { return -1.0; };
  ZOPTGLOBAL* g = make();
  g->opts.printerror = 1;
  EXPECT_EQ(synthetic::run(g, 0.0), 1);
  EXPECT_EQ(g->state.error, s_nodecr);
  EXPECT_EQ(g->state.parms[0], 0.0);
  EXPECT_EQ(g->state.objective, 1.0);
  EXPECT_EQ(g->state.marqu->failed, 1);
  const char* note = GetParam() == 'M' ? "Marquardt step found no decrease" : "line search found no decrease in 30 trials";
  EXPECT_NE(listing_text().find(note), std::string::npos) << listing_text();
}

TEST_P(OutcomeTest, NoStepWhenTheHessianIsZero) {
  caller_.hessian = 0;
  ZOPTGLOBAL* g = make();
  EXPECT_EQ(synthetic::run(g, 0.0), 1);
  EXPECT_EQ(g->state.error, s_nodelta);
  EXPECT_EQ(g->state.rankxpx, 0);
  EXPECT_TRUE(wzmis(g->state.r));
}

// A step of 1e153 in the first (here the only) parameter exceeds the
// largest accepted component and is refused, so no step exists.
TEST_P(OutcomeTest, AnOversizedStepIsRefusedAtTheFirstIndexToo) {
  caller_.objective = [](double, double) { return 1.0; };
  caller_.gradient = [](double) { return 1e13; };
  caller_.hessian = 1e-140;
  ZOPTGLOBAL* g = make();
  EXPECT_EQ(synthetic::run(g, 0.0), 1);
  EXPECT_EQ(g->state.error, s_nodelta);
  EXPECT_EQ(g->state.worstp, 0);
  EXPECT_EQ(g->state.parms[0], 0.0);
  EXPECT_EQ(caller_.trials.size(), 1u);
}

TEST_P(OutcomeTest, ConstraintsThatCannotBeEvaluatedGiveNoFeasibleStart) {
  ZOPTGLOBAL* g = synthetic::make_run(step_pool(), &caller_, GetParam(), 1);
  ASSERT_NE(g, nullptr);
  double value = 0, one = 1;
  int col = 0;
  double* coefficient = &one;
  ASSERT_EQ(zoptac(&col, &coefficient, 1, &value, 1, nullptr, nullptr, nullptr, 0, nullptr,
                   nullptr, g),
            0);
  g->funcs.uscon = synthetic::constraint_cb;
  caller_.constraint_rc = 3;
  EXPECT_EQ(synthetic::run(g, 0.0), 1);
  EXPECT_EQ(g->state.error, s_nofeas);
  EXPECT_TRUE(caller_.trials.empty());

  // Evaluable and satisfied: the run goes on with an empty working set.
  caller_.constraint_rc = 0;
  value = 0.5;
  caller_.gradient = [](double x) { return x; };
  caller_.hessian = 1;
  EXPECT_EQ(synthetic::run(g, 0.3), 0);
  EXPECT_EQ(g->state.parms[0], 0.0);
}

INSTANTIATE_TEST_SUITE_P(Methods, OutcomeTest, ::testing::Values('M', 'S'));

class HalvingTest : public HostTest {};

// F(x) = 1 - x + x^2/2 has its minimum 0.5 at x = 1; the Hessian handed
// over is half the true one, so the full step lands at x = 2, where the
// objective is -infinity. That point must be refused: halving then lands
// exactly on the minimum.
TEST_F(HalvingTest, AMinusInfiniteTrialIsRefused) {
  synthetic::Caller caller;
  caller.objective = [](double x, double) {
    return x > 1.5 ? -std::numeric_limits<double>::infinity() : 1 - x + 0.5 * x * x;
  };
  caller.gradient = [](double x) { return 0.5 * (x - 1); };
  caller.hessian = 0.25;
  ZOPTGLOBAL* g = synthetic::make_run(step_pool(), &caller, 'S');
  ASSERT_EQ(synthetic::run(g, 0.0), 0);
  EXPECT_EQ(g->state.parms[0], 1.0);
  EXPECT_EQ(g->state.objective, 0.5);
  ASSERT_GE(caller.trials.size(), 3u);
  EXPECT_EQ(caller.trials[1].x, 2.0);  // refused
  EXPECT_EQ(caller.trials[2].x, 1.0);  // half the step
}

// A failed line-search step of method G switches the run to Marquardt for
// good, with a note; here no step can lower 1 + x^2 against the gradient.
TEST_F(HalvingTest, AFailedStepOfMethodGSwitchesToMarquardt) {
  synthetic::Caller caller;
  caller.gradient = [](double) { return -1.0; };
  ZOPTGLOBAL* g = synthetic::make_run(step_pool(), &caller, 'G');
  g->opts.printerror = 1;
  EXPECT_EQ(synthetic::run(g, 0.0), 1);
  EXPECT_EQ(g->opts.method, 'M');
  EXPECT_EQ(g->state.error, s_nodecr);
  EXPECT_EQ(g->state.parms[0], 0.0);
  EXPECT_NE(listing_text().find("The line-search step failed; the Marquardt method is used from now on."),
            std::string::npos)
      << listing_text();
  EXPECT_NE(listing_text().find("Marquardt step found no decrease"), std::string::npos);
}

// A run abandoned by an exception from a callback (the caller's recovery)
// leaves ridge and sub-iteration flags set; one that ended inside the step
// report leaves ridgeflag set and a stale R. The next run on the same
// record must behave exactly as a run on a fresh record.
class AbandonedRunTest : public HostTest {};

TEST_F(AbandonedRunTest, TheNextRunStartsClean) {
  const mgh::Case c = mgh::rosenbrock();
  lsq::Fit fresh_fit(&c.problem);
  ZOPTGLOBAL* fresh = lsq::make_run(step_pool(), &fresh_fit);
  ASSERT_EQ(lsq::run(fresh, c.start), 0);

  lsq::Fit fit(&c.problem);
  ZOPTGLOBAL* g = lsq::make_run(step_pool(), &fit);
  fit.on_objective = [](ZOPTGLOBAL* z) {
    if (z->state.ridge && z->state.doingsubit) throw std::runtime_error("recovery");
  };
  EXPECT_THROW(lsq::run(g, c.start), std::runtime_error);
  EXPECT_EQ(g->state.ridge, 1);
  EXPECT_EQ(g->state.doingsubit, 1);
  g->state.marqu->ridgeflag = 1;
  g->state.r = 0;
  fit.on_objective = nullptr;
  fit.objective_calls = 0;

  ASSERT_EQ(lsq::run(g, c.start), 0);
  EXPECT_EQ(g->state.iters, fresh->state.iters);
  EXPECT_EQ(g->state.totsubiters, fresh->state.totsubiters);
  EXPECT_EQ(fit.objective_calls, fresh_fit.objective_calls);
  for (int j = 0; j < 2; ++j) EXPECT_EQ(g->state.parms[j], fresh->state.parms[j]);
}

}  // namespace
