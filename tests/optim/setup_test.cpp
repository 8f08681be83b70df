// Setting up a run record: constraint capacity and lists, the nonlinear
// part's compressed rows, defaults that never overwrite the caller's values,
// work storage sizes and growth, and failures (storage, bad input).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host/pool.h"
#include "optim/zopt.h"
#include "support/host_fixture.h"

namespace {

class SetupTest : public HostTest {
 protected:
  ZOPTGLOBAL* record(int n, void* pool = nullptr) {
    pool = pool ? pool : step_pool();
    auto* g = static_cast<ZOPTGLOBAL*>(vmalcp_handler(pool, sizeof(ZOPTGLOBAL), kPoolCleared));
    g->mem.pool = pool;
    g->opts.num_parms = n;
    return g;
  }
  int add(ZOPTGLOBAL* g, int inequality, int col = 0) {
    cols_[0] = col;
    coef_[0] = &one_;
    return zoptac(cols_, coef_, 1, &value_, inequality, nullptr, nullptr, nullptr, 0, nullptr,
                  nullptr, g);
  }
  int cols_[1] = {0};
  double one_ = 1, value_ = 0;
  double* coef_[1] = {nullptr};
};

TEST_F(SetupTest, NoCapacityRefusesEveryConstraint) {
  ZOPTGLOBAL* g = record(2);
  ASSERT_EQ(zoptcnt(0, 0, g), 0);
  EXPECT_NE(g->state.marqu, nullptr);
  EXPECT_EQ(g->state.conp, nullptr);
  EXPECT_EQ(g->state.conp_i, nullptr);
  EXPECT_EQ(add(g, 0), 1);
  EXPECT_EQ(add(g, 1), 1);
}

TEST_F(SetupTest, EachKindIsLimitedToItsOwnCapacity) {
  ZOPTGLOBAL* g = record(3);
  ASSERT_EQ(zoptcnt(1, 2, g), 0);
  EXPECT_EQ(g->state.max_conp, 3);
  EXPECT_EQ(g->state.max_conp_i, 2);
  EXPECT_EQ(add(g, 0), 0);
  // A second equality would take room the inequalities need once active.
  EXPECT_EQ(add(g, 0), 1);
  EXPECT_EQ(add(g, 1, 1), 0);
  EXPECT_EQ(add(g, 1, 2), 0);
  EXPECT_EQ(add(g, 1), 1);
  const ZOPTMARQU& mq = *g->state.marqu;
  EXPECT_EQ(mq.perm, 1);
  EXPECT_EQ(mq.ninequal, 2);
  EXPECT_EQ(g->state.conp_i[1]->cols[0], 2);
  EXPECT_EQ(g->state.conp_i[1]->mat[0], &one_);  // coefficients stay in the caller's storage
  EXPECT_EQ(g->state.conp_i[1]->val, &value_);
  EXPECT_EQ(g->state.conp_i[1]->nc, nullptr);
  EXPECT_EQ(mq.ruvacon, 0);
}

TEST_F(SetupTest, BadConstraintsAreRefused) {
  ZOPTGLOBAL* g = record(2);
  ASSERT_EQ(zoptcnt(0, 3, g), 0);
  EXPECT_EQ(add(g, 1, 2), 1);   // no parameter 2
  EXPECT_EQ(add(g, 1, -1), 1);
  EXPECT_EQ(zoptac(cols_, coef_, 1, nullptr, 1, nullptr, nullptr, nullptr, 0, nullptr, nullptr, g), 1);
  EXPECT_EQ(zoptcnt(-1, 0, g), 1);
}

// Terms (row, column): (2,0) (0,1) (2,2) (1,1) (2,1) give rows 0: one term,
// 1: one, 2: three in reverse input order.
TEST_F(SetupTest, NonlinearTermsAreSortedByRowInReverseOrder) {
  ZOPTGLOBAL* g = record(3);
  ASSERT_EQ(zoptcnt(0, 1, g), 0);
  int rows[5] = {2, 0, 2, 1, 2}, ncols[5] = {0, 1, 2, 1, 1};
  double cells[5] = {10, 11, 12, 13, 14};
  double* nmat[5] = {&cells[0], &cells[1], &cells[2], &cells[3], &cells[4]};
  cols_[0] = 0;
  coef_[0] = &one_;
  ASSERT_EQ(zoptac(cols_, coef_, 1, &value_, 1, ncols, rows, nmat, 5, nullptr, nullptr, g), 0);
  const NCONSTR* nc = g->state.conp_i[0]->nc;
  ASSERT_NE(nc, nullptr);
  EXPECT_EQ(nc->n, 5);
  const int expected_rows[4] = {0, 1, 2, 5};
  for (int r = 0; r < 4; ++r) EXPECT_EQ(nc->rows[r], expected_rows[r]) << r;
  const double expected_cells[5] = {11, 13, 14, 12, 10};
  const int expected_cols[5] = {1, 1, 1, 2, 0};
  for (int k = 0; k < 5; ++k) {
    EXPECT_EQ(*nc->mat[k], expected_cells[k]) << k;
    EXPECT_EQ(nc->cols[k], expected_cols[k]) << k;
  }
  EXPECT_EQ(g->state.marqu->ruvacon, 1);
}

TEST_F(SetupTest, DefaultsFillOnlyEmptyFields) {
  ZOPTGLOBAL* g = record(2);
  ASSERT_EQ(zoptcnt(0, 0, g), 0);
  g->opts.maxiters = 7;
  g->opts.ceps = 1e-6;
  g->opts.sing = 1e-9;
  g->opts.linesearch = 'H';
  ASSERT_EQ(zoptsu(g), 0);
  EXPECT_EQ(g->opts.maxiters, 7);
  EXPECT_EQ(g->opts.ceps, 1e-6);
  EXPECT_EQ(g->opts.maxsubiters, 20);
  EXPECT_EQ(g->opts.rel_lagr, 0.1);
  EXPECT_EQ(g->opts.ndec, 7);
  EXPECT_EQ(g->opts.ndecfmt, 99);
  EXPECT_EQ(std::string(g->opts.estype, 8), "        ");
  EXPECT_EQ(g->lnsrch.damp, 1.0);
  EXPECT_EQ(g->lnsrch.pdamp, 1.0);
  EXPECT_EQ(g->lnsrch.linesearch, 'H');
  EXPECT_EQ(g->lnsrch.gradient, g->state.grad);
  EXPECT_EQ(g->lnsrch.user_ptr, g);
  EXPECT_EQ(g->state.swpi->sing, 1e-9);
  EXPECT_EQ(g->state.marqu->sweepx, g->state.swpi->sweepx);
}

// n = 2 parameters and C = 3 constraints: a bordered matrix of order 6, work
// of m = max(n, C) + 1 = 4, a sweep record of order m + C = 7.
TEST_F(SetupTest, StorageIsSizedForParametersAndConstraints) {
  ZOPTGLOBAL* g = record(2);
  ASSERT_EQ(zoptcnt(1, 2, g), 0);
  g->opts.moorepenrose = 1;
  ASSERT_EQ(zoptsu(g), 0);
  EXPECT_EQ(g->mem.hesl, 21L * 8);
  EXPECT_EQ(g->mem.siz1, 10L * 8);
  EXPECT_EQ(g->mem.siz2, 8L * 8);
  EXPECT_EQ(g->mem.siz3, 4L * 8);
  EXPECT_EQ(g->mem.siz4, 4L * 8);
  EXPECT_EQ(g->state.swpi->n, 7);
  EXPECT_NE(g->state.swpi->inv, nullptr);  // room for the covariance's pseudo-inverse
  EXPECT_EQ(g->state.swpi->moorep, 0);     // but the steps sweep
  const ZOPTMARQU& mq = *g->state.marqu;
  ASSERT_NE(g->state.pmap, nullptr);
  EXPECT_EQ(g->state.pmap[0], 0);
  EXPECT_EQ(g->state.pmap[1], 1);
  EXPECT_EQ(mq.mat[1] - mq.mat[0], 2);  // rows of n doubles in one block
  EXPECT_EQ(mq.Q[1] - mq.Q[0], 2);
  EXPECT_NE(mq.pk, nullptr);
  EXPECT_NE(mq.singrowsc, nullptr);
}

TEST_F(SetupTest, ASecondSetupNeverShrinksTheWorkVectors) {
  ZOPTGLOBAL* g = record(5);
  ASSERT_EQ(zoptcnt(0, 0, g), 0);
  ASSERT_EQ(zoptsu(g), 0);
  double* wrk1 = g->mem.wrk1;
  g->opts.num_parms = 2;
  ASSERT_EQ(zoptsu(g), 0);
  EXPECT_EQ(g->mem.wrk1, wrk1);
  EXPECT_EQ(g->mem.siz1, 21L * 8);
  EXPECT_EQ(g->mem.hesl, 6L * 8);  // the Hessian follows the new size
}

TEST_F(SetupTest, FailsWithoutStorageOrParameters) {
  platform::Pool small(2000);
  ZOPTGLOBAL* g = record(40, small.handle());
  ASSERT_EQ(zoptcnt(0, 0, g), 0);
  EXPECT_EQ(zoptsu(g), 1);
  platform::take_memory_shortage();

  ZOPTGLOBAL* none = record(0);
  EXPECT_EQ(zoptsu(none), 1);
}

}  // namespace
