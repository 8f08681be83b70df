// The quasi-Newton Hessian: one BFGS update against the textbook formula
// (a refused update leaves the matrix alone), the rebuild by finite
// differences with its repairs (a trial point past a bound, a parameter
// the objective ignores), and whole runs on a quadratic objective whose
// Hessian is only ever built by finite differences and updates: it stays
// positive definite at every iteration and the run reaches the
// least-squares solution.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "lapack.h"
#include "least_squares.h"
#include "linalg/packed.h"
#include "support/host_fixture.h"

namespace {

constexpr int kN = 3;

double smallest_eigenvalue(const double* packed, int n) {
  std::vector<double> full(static_cast<std::size_t>(n) * n);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) full[i * n + j] = packed[zisub(i, j)];
  const std::vector<double> w = lapack::eigenvalues(full, n);
  return w.empty() ? -1 : w[0];
}

// H0 = diag(2, 1, 3), A the curvature of the objective, y = A s. The old
// gradient is unrelated to H0 s: the update must not stand it in for -H s.
TEST(QuasiNewtonUpdate, MatchesTheTextbookFormula) {
  const double a[kN][kN] = {{4, 1, 0.5}, {1, 3, 0.2}, {0.5, 0.2, 2}};
  const double s[kN] = {0.3, -0.7, 0.4};
  double hes[6] = {};
  hes[zisub(0, 0)] = 2, hes[zisub(1, 1)] = 1, hes[zisub(2, 2)] = 3;
  double parm1[kN] = {1, 2, 3}, parm2[kN], grad1[kN] = {5, -1, 2}, grad2[kN], wrk[2 * kN];
  double y[kN] = {};
  for (int i = 0; i < kN; ++i) {
    parm2[i] = parm1[i] + s[i];
    for (int j = 0; j < kN; ++j) y[i] += a[i][j] * s[j];
    grad2[i] = grad1[i] + y[i];
  }
  // H - (H s)(H s)'/(s'H s) + y y'/(y's) with H = H0.
  const double h0[kN] = {2, 1, 3};
  double hs[kN], shs = 0, ys = 0;
  for (int i = 0; i < kN; ++i) hs[i] = h0[i] * s[i], shs += s[i] * hs[i], ys += y[i] * s[i];
  ASSERT_EQ(znupdat(hes, parm1, parm2, grad1, grad2, wrk, kN), 0);
  for (int i = 0; i < kN; ++i)
    for (int j = 0; j <= i; ++j) {
      const double expected = (i == j ? h0[i] : 0) - hs[i] * hs[j] / shs + y[i] * y[j] / ys;
      EXPECT_NEAR(hes[zisub(i, j)], expected, 1e-14) << i << "," << j;
    }
  EXPECT_GT(smallest_eigenvalue(hes, kN), 0);

  // A step along which the gradient does not grow: refused, H unchanged.
  const std::vector<double> before(hes, hes + 6);
  for (int i = 0; i < kN; ++i) grad2[i] = grad1[i] - y[i];
  EXPECT_EQ(znupdat(hes, parm1, parm2, grad1, grad2, wrk, kN), 1);
  EXPECT_EQ(std::vector<double>(hes, hes + 6), before);
}

// Residuals r = (x0 + 2 x1, x1) and, with three parameters, x2 in none:
// the half Hessian J'J is [[1, 2, 0], [2, 5, 0], [0, 0, 0]]. From x = 0
// each gradient difference is exact, so the rebuild is J'J itself before
// any repair. `usable` says where the objective can be evaluated and
// `lost` where observations drop out.
struct Rebuild : HostTest {
  std::function<bool(const double*)> usable = [](const double*) { return true; };
  std::function<bool(const double*)> lost = [](const double*) { return false; };
  lsq::Problem problem;
  std::unique_ptr<lsq::Fit> fit;

  // The parameter block after the first quasi-Newton call from x = 0.
  std::vector<double> first_hessian(int n) {
    problem = {"rebuild", n, 2, [this](const double* x, double* r, double* jac) {
                 r[0] = x[0] + 2 * x[1], r[1] = x[1];
                 const int n = problem.n;
                 std::fill(jac, jac + 2 * n, 0.0);
                 jac[0] = 1, jac[1] = 2, jac[n + 1] = 1;
                 return usable(x);
               }};
    fit = std::make_unique<lsq::Fit>(&problem);
    fit->on_objective = [this](ZOPTGLOBAL* g) {
      if (lost(g->state.parms)) g->state.nobs -= 1;
    };
    lsq::Options o;
    o.update_tech = 1;
    ZOPTGLOBAL* g = lsq::make_run(step_pool(), fit.get(), o);
    g->opts.debug = 1;
    std::fill(g->state.parms, g->state.parms + n, 0.0);
    EXPECT_EQ(zoptobj(g), 0);  // as the run does before its first call
    EXPECT_EQ(zoptqn(g), 0);
    std::vector<double> out;
    for (int i = 0; i < n; ++i)
      for (int j = 0; j <= i; ++j) out.push_back(g->state.hes[zisub(i, j)]);
    for (int j = 0; j < n; ++j) EXPECT_EQ(g->state.parms[j], 0.0);  // restored
    return out;
  }
};

// A parameter the objective ignores leaves a zero column: the matrix is
// made diagonally dominant, a unit diagonal where it was negligible and
// each off-diagonal cell at most min(h_ii, h_jj)/n.
TEST_F(Rebuild, ARankDeficientMatrixIsMadeDiagonallyDominant) {
  EXPECT_EQ(first_hessian(3), (std::vector<double>{1, 1.0 / 3, 5, 0, 0, 1}));
  EXPECT_NE(listing_text().find("Performing a restart"), std::string::npos);
}

// A forward point where the objective fails, or where observations are
// lost, is replaced by the backward point: the column is unchanged. When
// the objective fails on both sides the column is left out and the repair
// fills it in.
TEST_F(Rebuild, ATrialPointPastABoundIsTakenFromTheOtherSide) {
  const std::vector<double> exact = {1, 2, 5};
  usable = [](const double* x) { return x[0] <= 0; };
  EXPECT_EQ(first_hessian(2), exact);
  EXPECT_NE(listing_text().find("Ran into a boundary"), std::string::npos);
  usable = [](const double*) { return true; };
  lost = [](const double* x) { return x[1] > 0; };
  EXPECT_EQ(first_hessian(2), exact);
  usable = [](const double* x) { return x[0] == 0; };
  // (0, 0) = 0 and (1, 0) = half of column 1's 2: rank 1 after the sweep.
  EXPECT_EQ(first_hessian(2), (std::vector<double>{1, 0.5, 5}));
}

// y = b0 + b1 t + b2 t^2 + wobble, t = 0, 0.5, .., 7.
std::vector<double> observations(std::vector<double>* t) {
  std::vector<double> y;
  for (int i = 0; i < 15; ++i) {
    t->push_back(0.5 * i);
    y.push_back(3 - t->back() + 0.2 * t->back() * t->back() + 0.1 * std::cos(i));
  }
  return y;
}

int g_iterations;
double g_smallest;

class QuasiNewtonRun : public HostTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(QuasiNewtonRun, KeepsTheHessianPositiveDefiniteAndConverges) {
  std::vector<double> t;
  const std::vector<double> y = observations(&t);
  const lsq::Problem problem = lsq::quadratic(t, y);
  lsq::Fit fit(&problem);
  lsq::Options o = lsq::method(GetParam(), 1e-8);
  o.update_tech = 1;
  ZOPTGLOBAL* g = lsq::make_run(step_pool(), &fit, o);
  g->opts.itprint = 1;
  g_iterations = 0;
  g_smallest = 1e300;
  g->funcs.usfout = [](ZOPTGLOBAL* z) {
    // The Hessian the step was computed from.
    g_smallest = std::min(g_smallest, smallest_eigenvalue(z->state.marqu->savhes, kN));
    ++g_iterations;
    return 0;
  };
  ASSERT_EQ(lsq::run(g, {40, -20, 5}), 0) << "error " << g->state.error;
  EXPECT_GT(g_iterations, 1);
  EXPECT_GT(g_smallest, 0);
  const std::vector<double> solution =
      lapack::min_norm_solution(lsq::quadratic_design(t), 15, kN, y, 1e-12);
  ASSERT_EQ(solution.size(), 3u);
  for (int j = 0; j < kN; ++j)
    EXPECT_NEAR(g->state.parms[j], solution[j], 1e-6 * (1 + std::fabs(solution[j])));
}

INSTANTIATE_TEST_SUITE_P(Methods, QuasiNewtonRun, ::testing::Values("MH", "SH"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
