// The lambda schedule of Marquardt steps, worked by hand: with g = h = 1 the
// ridged step from the start p of an iteration is 1/(1 + lambda), and the
// objective refuses any point more than 0.2 away from p (elsewhere it is
// 1 + x, so every admissible step decreases it).
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "support/host_fixture.h"
#include "synthetic.h"

namespace {

class MarquardtTest : public HostTest {
 protected:
  synthetic::Caller caller_;
  void SetUp() override {
    caller_.objective = [](double x, double start) {
      return std::fabs(x - start) > 0.2 ? 10.0 : 1.0 + x;
    };
  }
};

TEST_F(MarquardtTest, LambdaFollowsItsScheduleAcrossIterations) {
  ZOPTGLOBAL* g = synthetic::make_run(step_pool(), &caller_, 'M');
  ASSERT_NE(g, nullptr);
  g->opts.maxiters = 3;
  // R stays 1 (g'H^-1g / F >= 1), so the run ends at the iteration limit.
  EXPECT_EQ(synthetic::run(g, 0.0), 1);
  EXPECT_EQ(g->state.error, s_iterexceed);
  EXPECT_EQ(g->state.iters, 4);

  // Ridge parameters of the trials, iteration by iteration. Iteration 1
  // starts at the floor 1e-7 with the plain step, then multiplies by 8 per
  // retry until 1/(1 + lambda) <= 0.2. Each later iteration divides the
  // lambda it inherits by 10 and by 8 before its first ridged trial.
  const std::vector<std::vector<double>> ridges = {
      {0, 1e-7, 8e-7, 6.4e-6, 5.12e-5, 4.096e-4, 3.2768e-3, 2.62144e-2, 0.2097152, 1.6777216,
       13.4217728},
      {1.34217728, 10.737418240000002},
      {1.0737418240000003, 8.5899345920000021},
  };
  ASSERT_FALSE(caller_.trials.empty());
  EXPECT_EQ(caller_.trials[0].x, 0.0);
  std::size_t call = 1;
  double start = 0;
  for (const auto& iteration : ridges) {
    for (double lambda : iteration) {
      ASSERT_LT(call, caller_.trials.size());
      const double expected = start - 1 / (1 + lambda);
      EXPECT_NEAR(caller_.trials[call].x, expected, 1e-14) << "call " << call;
      ++call;
    }
    start = caller_.trials[call - 1].x;  // the last trial of each iteration is accepted
  }
  EXPECT_EQ(call, caller_.trials.size());
  EXPECT_NEAR(g->state.marqu->lambda, 8 * 8.5899345920000021, 1e-9);
  EXPECT_EQ(g->state.totsubiters, 10 + 1 + 1);
}

TEST_F(MarquardtTest, ALargeLambdaIsResetBeforeTheFirstRidgedTrial) {
  ZOPTGLOBAL* g = synthetic::make_run(step_pool(), &caller_, 'M');
  ASSERT_EQ(synthetic::run(g, 0.0), 1);  // sets up a run to step from
  caller_.trials.clear();
  g->state.marqu->lambda = 1e11;  // 1e10 after the division, 1.25e9 > 1e8 after the eighth
  g->state.pparms[0] = g->state.parms[0];
  const double start = g->state.parms[0];
  g->state.subiters = 0;
  g->state.prevobj = g->state.objective;
  ASSERT_EQ(zoptmq(g), 0);
  ASSERT_FALSE(caller_.trials.empty());
  EXPECT_NEAR(caller_.trials[0].x, start - 1 / (1 + 10.0), 1e-14);
}

TEST_F(MarquardtTest, FailureNoteReportsTheLastRetry) {
  caller_.objective = [](double x, double start) { return x == start ? 1.0 : 2.0; };
  ZOPTGLOBAL* g = synthetic::make_run(step_pool(), &caller_, 'M');
  g->opts.printerror = 1;
  g->opts.maxsubiters = 3;
  EXPECT_EQ(synthetic::run(g, 0.0), 1);
  EXPECT_EQ(g->state.error, s_nodecr);
  EXPECT_EQ(g->state.parms[0], 0.0);  // back at the last accepted point
  // Three ridged retries are evaluated; the fourth finds the limit.
  EXPECT_NE(listing_text().find("no decrease in 3 sub-iterations"), std::string::npos) << listing_text();
}

}  // namespace
