// A model linear in its parameters: one Gauss-Newton step from anywhere is
// the least-squares solution (checked against LAPACK's dgels), so the run
// converges in one iteration, and started at the solution it returns at
// once. This pins the sign convention: the callbacks hand over g = J'r,
// half the gradient of r'r (J = dr/db, r = y - f), and the library steps to
// b - H^-1 g.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "least_squares.h"
#include "support/host_fixture.h"

extern "C" void dgels_(const char* trans, const int* m, const int* n, const int* nrhs, double* a,
                       const int* lda, double* b, const int* ldb, double* work, const int* lwork,
                       int* info, std::size_t trans_len);

namespace {

constexpr int kObs = 25;
constexpr int kParms = 3;

// y = 2 - 0.5 t + 0.03 t^2 plus a fixed wobble, t = 0..24.
struct Quadratic {
  std::vector<double> t, y;
  Quadratic() {
    for (int i = 0; i < kObs; ++i) {
      t.push_back(i);
      y.push_back(2 - 0.5 * i + 0.03 * i * i + 0.2 * std::sin(1.7 * i));
    }
  }
  lsq::Problem problem() const {
    lsq::Problem p{"quadratic", kParms, kObs, {}};
    p.eval = [this](const double* b, double* r, double* jac) {
      for (int i = 0; i < kObs; ++i) {
        const double x[kParms] = {1, t[i], t[i] * t[i]};
        r[i] = y[i] - (b[0] * x[0] + b[1] * x[1] + b[2] * x[2]);
        for (int j = 0; j < kParms; ++j) jac[i * kParms + j] = -x[j];
      }
      return true;
    };
    return p;
  }
  // The least-squares solution by LAPACK (QR of the design matrix).
  std::vector<double> reference() const {
    std::vector<double> a(kObs * kParms), b = y;
    for (int i = 0; i < kObs; ++i) {
      a[i] = 1;
      a[kObs + i] = t[i];
      a[2 * kObs + i] = t[i] * t[i];
    }
    const int m = kObs, n = kParms, nrhs = 1, lwork = 256;
    int info = 0;
    std::vector<double> work(lwork);
    dgels_("N", &m, &n, &nrhs, a.data(), &m, b.data(), &m, work.data(), &lwork, &info, 1);
    b.resize(kParms);
    return info == 0 ? b : std::vector<double>{};
  }
};

class LinearModelTest : public HostTest, public ::testing::WithParamInterface<char> {
 protected:
  Quadratic data_;
  lsq::Problem problem_ = data_.problem();
  lsq::Fit fit_{&problem_, {}, {}, 0};
};

TEST_P(LinearModelTest, ConvergesInOneIterationToTheLeastSquaresSolution) {
  const std::vector<double> solution = data_.reference();
  ASSERT_EQ(solution.size(), static_cast<std::size_t>(kParms));
  lsq::Options o;
  o.method = GetParam();
  ZOPTGLOBAL* g = lsq::make_run(step_pool(), &fit_, o);
  ASSERT_NE(g, nullptr);
  ASSERT_EQ(lsq::run(g, {10.0, 10.0, -3.0}), 0);
  EXPECT_EQ(g->state.error, s_ok);
  EXPECT_EQ(g->state.iters, 1);
  EXPECT_EQ(g->state.totsubiters, 0);
  for (int j = 0; j < kParms; ++j)
    EXPECT_NEAR(g->state.parms[j], solution[j], 1e-11 * std::fabs(solution[j])) << j;
  EXPECT_LT(g->state.r, 1e-10);  // rounding only
}

TEST_P(LinearModelTest, StartedAtTheSolutionReturnsAtOnce) {
  const std::vector<double> solution = data_.reference();
  lsq::Options o;
  o.method = GetParam();
  ZOPTGLOBAL* g = lsq::make_run(step_pool(), &fit_, o);
  ASSERT_EQ(lsq::run(g, solution), 0);
  EXPECT_EQ(g->state.iters, 0);
  EXPECT_EQ(fit_.objective_calls, 1);
  for (int j = 0; j < kParms; ++j) EXPECT_EQ(g->state.parms[j], solution[j]);
}

// Callbacks, in the order the caller sees them: objective, Hessian and
// gradient at the start (derivatives follow every objective until the first
// step exists), the step hook, the output row; then per iteration the trial
// objective, the derivative refresh at the accepted point, the after-step
// hook with its own refresh, the step hook and the output row.
TEST_P(LinearModelTest, CallbacksComeInOrder) {
  lsq::Options o;
  o.method = GetParam();
  ZOPTGLOBAL* g = lsq::make_run(step_pool(), &fit_, o);
  g->opts.itprint = 1;
  g->funcs.usmprt = [](ZOPTGLOBAL* z) { return lsq::fit_of(z)->trace += 'P', 0; };
  g->funcs.usfout = [](ZOPTGLOBAL* z) { return lsq::fit_of(z)->trace += 'F', 0; };
  ASSERT_EQ(lsq::run(g, {1.0, 1.0, 1.0}), 0);
  EXPECT_EQ(fit_.trace, "OHGPF" "OHGPF");

  fit_.trace.clear();
  g->funcs.usnest = [](ZOPTGLOBAL* z) { return lsq::fit_of(z)->trace += 'N', 0; };
  ASSERT_EQ(lsq::run(g, {1.0, 1.0, 1.0}), 0);
  EXPECT_EQ(fit_.trace, "OHGPF" "OHGNHGPF");

  // Converged at the first test: the after-step hook still runs once, with
  // its refresh and a new step.
  fit_.trace.clear();
  ASSERT_EQ(lsq::run(g, data_.reference()), 0);
  EXPECT_EQ(fit_.trace, "OHGPF" "NHGP");
}

INSTANTIATE_TEST_SUITE_P(Methods, LinearModelTest, ::testing::Values('M', 'S'));

}  // namespace
