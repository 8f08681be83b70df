// Setting up a run record: constraint capacity, defaults that never
// overwrite the caller's values, work storage that never shrinks, and
// failures (storage, bad input).
#include <gtest/gtest.h>

#include "host/pool.h"
#include "platform/pool.h"
#include "optim/optimiser.h"
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
    return zoptac(cols_, coef_, 1, &value_, inequality, nullptr, nullptr, nullptr, 0, nullptr,
                  nullptr, g);
  }
  int cols_[1] = {0};
  double one_ = 1, value_ = 0;
  double* coef_[1] = {&one_};
};

TEST_F(SetupTest, EachKindIsLimitedToItsOwnCapacity) {
  ZOPTGLOBAL* none = record(2);
  ASSERT_EQ(zoptcnt(0, 0, none), 0);
  EXPECT_EQ(add(none, 0), 1);
  EXPECT_EQ(add(none, 1), 1);

  ZOPTGLOBAL* g = record(3);
  ASSERT_EQ(zoptcnt(1, 2, g), 0);
  EXPECT_EQ(add(g, 0), 0);
  // A second equality would take room the inequalities need once active.
  EXPECT_EQ(add(g, 0), 1);
  EXPECT_EQ(add(g, 1, 1), 0);
  EXPECT_EQ(add(g, 1, 2), 0);
  EXPECT_EQ(add(g, 1), 1);
  EXPECT_EQ(g->state.marqu->perm, 1);
  EXPECT_EQ(g->state.marqu->ninequal, 2);
  EXPECT_EQ(g->state.conp_i[1]->cols[0], 2);
}

TEST_F(SetupTest, BadConstraintsAreRefused) {
  ZOPTGLOBAL* g = record(2);
  ASSERT_EQ(zoptcnt(0, 3, g), 0);
  EXPECT_EQ(add(g, 1, 2), 1);   // no parameter 2
  EXPECT_EQ(add(g, 1, -1), 1);
  EXPECT_EQ(zoptac(cols_, coef_, 1, nullptr, 1, nullptr, nullptr, nullptr, 0, nullptr, nullptr, g), 1);
  EXPECT_EQ(zoptcnt(-1, 0, g), 1);
}

TEST_F(SetupTest, DefaultsFillOnlyEmptyFields) {
  ZOPTGLOBAL* g = record(2);
  ASSERT_EQ(zoptcnt(0, 0, g), 0);
  g->opts.maxiters = 7;
  g->opts.ceps = 1e-6;
  g->opts.sing = 1e-9;
  ASSERT_EQ(zoptsu(g), 0);
  EXPECT_EQ(g->opts.maxiters, 7);
  EXPECT_EQ(g->opts.ceps, 1e-6);
  EXPECT_EQ(g->state.swpi->sing, 1e-9);
  EXPECT_GT(g->opts.maxsubiters, 0);
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

// Under every budget short of what a run with constraints needs, the
// set-up fails with 1 and the shortage is recorded; from the first budget
// that suffices it succeeds, with every constraint's storage in place.
TEST_F(SetupTest, EveryShortageOfTheSetUpFails) {
  int failures = 0;
  bool succeeded = false;
  for (std::size_t budget = 2000; budget < 40000 && !succeeded; budget += 8) {
    platform::Pool pool(budget);
    ZOPTGLOBAL* g = record(12, pool.handle());
    ASSERT_NE(g, nullptr);
    int rc = zoptcnt(0, 3, g);
    for (int k = 0; rc == 0 && k < 3; ++k) rc = add(g, 1, k);
    if (rc == 0) rc = zoptsu(g);
    const long shortage = platform::take_memory_shortage();
    if (rc != 0) {
      EXPECT_EQ(rc, 1);
      EXPECT_GT(shortage, 0) << budget;
      ++failures;
      continue;
    }
    succeeded = true;
    const ZOPTMARQU& mq = *g->state.marqu;
    EXPECT_TRUE(mq.singrowsc && mq.q && mq.beta && mq.mat && mq.fmat && mq.Q && mq.z && mq.pk && mq.yk &&
                g->state.pmap && mq.correction);
  }
  EXPECT_TRUE(succeeded);
  EXPECT_GT(failures, 100);
}

}  // namespace
