// The working set's single decisions: when an addition waits, how a
// constraint joins and where the parameters go, and which active
// inequality the multiplier test drops, also when it holds a direction the
// data leave undetermined.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "constraint_sets.h"
#include "host/missing.h"
#include "linalg/packed.h"
#include "support/host_fixture.h"

namespace {

// F = (x1 - 1)^2 + (x2 - 1)^2 with x1 >= 0 and x2 >= 0 (a = e1, e2).
class WorkingSetTest : public HostTest {
 protected:
  WorkingSetTest() {
    bounds_.lower(0, 0.0, "Bound0").lower(1, 0.0, "Bound1");
    lsq::Options o;
    bounds_.apply(o, fit_);
    g_ = lsq::make_run(step_pool(), &fit_, o);
    g_->state.marqu->penalty = 1.110223024625157e-16;
  }

  // Both bounds in the working set, factored, with the gradient g.
  void both_active(double g1, double g2) {
    ZOPTSTATE& st = g_->state;
    for (int i = 0; i < 2; ++i) {
      st.conp[i] = st.conp_i[i];
      st.conp_i[i]->act = '1';
    }
    st.marqu->nact = 2;
    st.grad[0] = g1, st.grad[1] = g2;
    ASSERT_EQ(zncmat(g_), 0);
  }

  const lsq::Problem problem_ = lsq::distance_to(1, 1);
  lsq::Fit fit_{&problem_};
  constraints::Linear bounds_;
  ZOPTGLOBAL* g_ = nullptr;
};

// With sub-iterations allowed, an addition waits while the last step still
// moved the parameters by more than 0.1 percent; without them it is made at
// once and the parameters are moved onto the constraint.
TEST_F(WorkingSetTest, AnAdditionWaitsForTheStepsToStallAndThenMovesOntoTheBound) {
  ZOPTSTATE& st = g_->state;
  g_->lnsrch.maxsubiters = 10;
  st.pparms[0] = -0.4, st.pparms[1] = 2;
  st.parms[0] = -0.5, st.parms[1] = 2;
  znaddac(0, g_);
  EXPECT_EQ(st.marqu->nact, 0);

  g_->lnsrch.maxsubiters = 0;
  znaddac(0, g_);
  ASSERT_EQ(st.marqu->nact, 1);
  EXPECT_EQ(st.conp[0], st.conp_i[0]);
  EXPECT_EQ(st.conp_i[0]->act, '1');
  EXPECT_EQ(st.marqu->added_bound, 1);
  EXPECT_NEAR(st.parms[0], 0, 1e-15);
  EXPECT_EQ(st.parms[1], 2);
  EXPECT_EQ(st.marqu->inumconstr, 1);

  znaddac(0, g_);  // already working: nothing changes
  EXPECT_EQ(st.marqu->nact, 1);
}

// lambda = g for these bounds. Equal negative estimates: the later one
// leaves; positive ones hold; a negative first one leaves the list.
TEST_F(WorkingSetTest, OfTwoEqualNegativeMultipliersTheLaterIsDropped) {
  both_active(-1, -1);
  g_->state.r = 0;  // near convergence: the estimates are not compared
  zndelac(g_);
  ZOPTSTATE& st = g_->state;
  ASSERT_EQ(st.marqu->nact, 1);
  EXPECT_EQ(st.conp[0], st.conp_i[0]);
  EXPECT_EQ(st.conp_i[1]->act, '0');
  EXPECT_EQ(st.marqu->inumconstr, 1);

  both_active(0.5, 2);
  zndelac(g_);
  EXPECT_EQ(st.marqu->nact, 2);

  // Only the first is negative: it leaves and the second takes its place.
  both_active(-1, 2);
  zndelac(g_);
  ASSERT_EQ(st.marqu->nact, 1);
  EXPECT_EQ(st.conp[0], st.conp_i[1]);
  EXPECT_EQ(st.conp_i[0]->act, '0');
  EXPECT_EQ(st.conp_i[1]->act, '1');
}

// Away from convergence the second estimate, from the gradient the saved
// Hessian predicts after the step (g - H delta), must agree with the first.
TEST_F(WorkingSetTest, DisagreeingEstimatesDropNothing) {
  both_active(-1, -1);
  ZOPTSTATE& st = g_->state;
  st.r = missing_value();
  st.pr = 1;
  g_->opts.aftl = 1e-30;
  st.marqu->savhes[zisub(0, 0)] = st.marqu->savhes[zisub(1, 1)] = 1;
  st.marqu->delta[0] = 0, st.marqu->delta[1] = 2;
  g_->lnsrch.pdamp = 1;
  zndelac(g_);
  EXPECT_DOUBLE_EQ(st.marqu->nlagr[1], -3);
  EXPECT_EQ(st.marqu->nact, 2);

  st.marqu->delta[1] = 0;  // the estimates agree again
  zndelac(g_);
  EXPECT_EQ(st.marqu->nact, 1);
}

// A bound given twice is one constraint row twice: the restoration step
// leaves the second out as dependent, and says so when iterations print.
TEST_F(WorkingSetTest, ARepeatedBoundIsADependentRowTheStepLeavesOut) {
  constraints::Linear twice;
  twice.lower(0, 0.0, "Bound0").lower(0, 0.0, "Again");
  lsq::Options o;
  twice.apply(o, fit_);
  ZOPTGLOBAL* g = lsq::make_run(step_pool(), &fit_, o);
  ZOPTSTATE& st = g->state;
  for (int i = 0; i < 2; ++i) {
    st.conp[i] = st.conp_i[i];
    st.conp_i[i]->act = '1';
  }
  st.marqu->nact = 2;
  ASSERT_EQ(zncmat(g), 0);
  st.marqu->added_bound = 1;
  g->opts.itprint = 1;
  ASSERT_EQ(get_pk(g), 1);
  EXPECT_EQ(st.marqu->inumconstr, 1);
  EXPECT_NE(log_text().find("The working constraints are linearly dependent"), std::string::npos) << log_text();
}

// With x1 >= 0 alone working, lambda = g1 while g2 is the free direction's.
// A first estimate of -1e-20 beside g2 = 5 is rounding, not a sign: the
// bound holds. One of -1e-12 is far outside the rounding (about 1e-15)
// and releases it.
TEST_F(WorkingSetTest, AMultiplierWithinTheGradientsRoundingHoldsItsBound) {
  ZOPTSTATE& st = g_->state;
  for (const double g1 : {-1e-20, -1e-12}) {
    st.conp[0] = st.conp_i[0];
    st.conp_i[0]->act = '1';
    st.marqu->nact = 1;
    st.grad[0] = g1, st.grad[1] = 5;
    ASSERT_EQ(zncmat(g_), 0);
    st.r = 0;
    zndelac(g_);
    EXPECT_EQ(st.marqu->nact, g1 < -1e-15 ? 0 : 1) << g1;
  }
}

// r = x1 + x2 + 2 x3 - 4 with x2 - x3 >= 0 active, a = (0, 1, -1): the
// data see x1 + x2 + 2 x3 alone, and what the bound holds x1 makes up, so
// its multiplier is 0 whatever the data. Short of the minimum, g = J'r =
// s (1, 1, 2), the least-squares estimate a'g / a'a = -s/2 is the fit's
// convergence error and must not release it. A gradient with a part -t a
// along the flat direction the bound holds (no sum of squares has one) is
// a multiplier of -t there, negative, and releases it.
TEST_F(WorkingSetTest, ABoundBesideAnUndeterminedDirectionIsReleasedOnlyByTheSlopeAlongIt) {
  const lsq::Problem sum = {"x1+x2+2x3", 3, 1, [](const double* x, double* r, double* jac) {
                              r[0] = x[0] + x[1] + 2 * x[2] - 4;
                              jac[0] = jac[1] = 1, jac[2] = 2;
                              return true;
                            }};
  lsq::Fit fit(&sum);
  constraints::Linear bound;
  bound.add({1, 2}, {1, -1}, 0, true, "Bound0");
  lsq::Options o;
  bound.apply(o, fit);
  ZOPTGLOBAL* g = lsq::make_run(step_pool(), &fit, o);
  ZOPTSTATE& st = g->state;
  const double j[3] = {1, 1, 2}, s = 1e-3;
  for (int a = 0; a < 3; ++a)
    for (int b = 0; b <= a; ++b) st.marqu->savhes[zisub(a, b)] = j[a] * j[b];
  for (const double t : {0.0, 1e-3}) {
    st.conp[0] = st.conp_i[0];
    st.conp_i[0]->act = '1';
    st.marqu->nact = 1;
    st.grad[0] = s, st.grad[1] = s - t, st.grad[2] = 2 * s + t;
    ASSERT_EQ(zncmat(g), 0);
    st.r = 0;
    zndelac(g);
    EXPECT_EQ(st.marqu->nact, t > 0 ? 0 : 1) << t;
  }
}

}  // namespace
