// The minimiser extension "qxznlo", loaded by name and driven through its
// tables: Rosenbrock's function from the classic start reaches its minimum
// at (1, 1), and each way a run can end short has its own code.
#include <gtest/gtest.h>

#include <cmath>

#include "host/ext_newton_minimiser_qxznlo.h"
#include "support/host_fixture.h"
#include "support/refit_driver.h"

namespace {

bool g_values_fail = false;  // the objective alone cannot be had
bool g_all_fail = false;     // nor the objective with its derivatives

void rosenbrock(NLOSTR* nlo, bool derivatives) {
  const double x = nlo->UserOptionsPtr->xest[0], y = nlo->UserOptionsPtr->xest[1];
  const double f = 100 * (y - x * x) * (y - x * x) + (1 - x) * (1 - x);
  nlo->ObjectivePtr->crit = *nlo->WorkPtr->func = f;
  ++nlo->WorkPtr->nfct;
  if (!derivatives) return;
  nlo->ObjectivePtr->grad[0] = -400 * x * (y - x * x) - 2 * (1 - x);
  nlo->ObjectivePtr->grad[1] = 200 * (y - x * x);
  double* h = nlo->HessianPtr->hess;
  h[0] = 1200 * x * x - 400 * y + 2, h[1] = -400 * x, h[2] = 200;
}
int value(QXMemPtr p) {
  rosenbrock(static_cast<NLOSTR*>(p), false);
  return g_values_fail;
}
int all(QXMemPtr p) {
  rosenbrock(static_cast<NLOSTR*>(p), true);
  return g_all_fail;
}

class NewtonMinimiser : public HostTest {
 protected:
  NewtonMinimiser() {
    g_values_fail = g_all_fail = false;
    ext_ = static_cast<NLOExtension*>(refit_driver::load_extension("qxznlo"));
    nlo_ = ext_->CreateInstance(ext_, 1);
  }
  ~NewtonMinimiser() override {
    nlo_->gen.destroy(nlo_);
    ext_->gen.destroy(ext_);
  }
  // A run from (-1.2, 1) with the options changed by `adjust`.
  int run(void (*adjust)(NLOTYPE_USER_OPTIONS*)) {
    NLOTYPE_FACTORY& f = *nlo_->FactoryPtr;
    f.ResetTheObject(nlo_);
    NLOTYPE_USER_OPTIONS& o = *nlo_->UserOptionsPtr;
    f.ResetTheUserOptions(nlo_, &o);
    x_[0] = -1.2, x_[1] = 1;
    o.xest = x_;
    o.nvar = 2;
    adjust(&o);
    f.TransferTheOptions(nlo_);
    nlo_->ExternalPtr->UserFunction = &value;
    nlo_->ExternalPtr->UserHessianGradientAndFunction = &all;
    return f.RunTheOptimization(nlo_);
  }
  NLOExtension* ext_ = nullptr;
  NLOSTR* nlo_ = nullptr;
  double x_[2] = {};
};

TEST_F(NewtonMinimiser, ReachesTheMinimumOrSaysWhyNot) {
  EXPECT_GE(run([](NLOTYPE_USER_OPTIONS*) {}), 0);
  EXPECT_NEAR(x_[0], 1.0, 1e-8);
  EXPECT_NEAR(x_[1], 1.0, 1e-8);
  EXPECT_EQ(run([](NLOTYPE_USER_OPTIONS* o) { o->maxi = 1; }), kNloIterationLimit);
  EXPECT_EQ(run([](NLOTYPE_USER_OPTIONS* o) { o->maxf = 2; }), kNloFunctionLimit);
  EXPECT_EQ(run([](NLOTYPE_USER_OPTIONS* o) { o->bounds = 1; }), kNloBadSetup);
  g_values_fail = true;  // no trial point can be judged: no step falls
  EXPECT_EQ(run([](NLOTYPE_USER_OPTIONS*) {}), kNloNoDecrease);
  g_values_fail = false;
  g_all_fail = true;
  EXPECT_EQ(run([](NLOTYPE_USER_OPTIONS*) {}), kNloBadSetup);
}

}  // namespace
