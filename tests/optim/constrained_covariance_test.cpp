// The covariance of the estimates under working constraints, taken as the
// procedure takes it after a fit (Hessian saved, projected, zoptcv), for
// the linear model y = b0 + b1 t + b2 t^2 with one active bound and with
// one active two-parameter constraint. The reference is the inverse of the
// bordered matrix K = [H a'; a 0] by LAPACK's LU: its parameter block is
// the constrained covariance Z (Z'H Z)^-1 Z', its constraint entry minus
// the multiplier's variance factor. The sweep and the Moore-Penrose form
// must both give it. Under the Moore-Penrose form the step on a working
// constraint is the minimum-norm one in the scaled parameters, against
// LAPACK's minimum-norm least squares.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "constraint_sets.h"
#include "lapack.h"
#include "linalg/packed.h"
#include "support/host_fixture.h"

namespace {

constexpr int kParms = 3;

// y = 1 + 0.8 t + 0.05 t^2 plus a fixed wobble, t = 0..11.
std::vector<double> observations(std::vector<double>* t) {
  std::vector<double> y;
  for (int i = 0; i < 12; ++i)
    t->push_back(i), y.push_back(1 + 0.8 * i + 0.05 * i * i + 0.3 * std::sin(2.1 * i));
  return y;
}

// The inverse of K = [H a'; a 0] with H = X'X, `shift11` added to H's (1, 1).
std::vector<double> bordered_inverse(const std::vector<double>& t, const std::vector<double>& a,
                                     double shift11 = 0) {
  const int order = kParms + 1;
  const std::vector<double> x = lsq::quadratic_design(t);
  std::vector<double> k(order * order, 0.0);
  for (int i = 0; i < kParms; ++i) {
    for (std::size_t r = 0; r < t.size(); ++r)
      for (int j = 0; j < kParms; ++j) k[i * order + j] += x[3 * r + i] * x[3 * r + j];
    k[i * order + kParms] = k[kParms * order + i] = a[i];
  }
  k[order + 1] += shift11;
  return lapack::symmetric_inverse(k, order);
}

struct Case {
  const char* name;
  std::vector<int> cols;
  std::vector<double> coefs;
  double constant;
};

class ConstrainedCovariance : public HostTest, public ::testing::WithParamInterface<int> {};

TEST_P(ConstrainedCovariance, IsTheParameterBlockOfTheBorderedInverse) {
  std::vector<double> t;
  const lsq::Problem problem = lsq::quadratic(t, observations(&t));
  // b2 <= 0.03 (the fit wants about 0.05) and b1 + b2 <= 0.5 (it wants 0.85).
  for (const Case& c : {Case{"bound", {2}, {-1}, 0.03}, Case{"sum", {1, 2}, {-1, -1}, 0.5}}) {
    SCOPED_TRACE(c.name);
    lsq::Fit fit(&problem);
    constraints::Linear constraint;
    constraint.add(c.cols, c.coefs, c.constant, true, "Bound0");
    lsq::Options o;
    o.atol = 1e-9;
    o.moorepenrose = GetParam();
    constraint.apply(o, fit);
    ZOPTGLOBAL* g = lsq::make_run(step_pool(), &fit, o);
    ASSERT_EQ(lsq::run(g, {0, 0, 0}), 0);
    ASSERT_EQ(g->state.marqu->nact, 1);
    // As the procedure: the last pass refills H, which is saved and projected.
    lsq::hessian_cb(g);
    lsq::gradient_cb(g);
    std::copy_n(g->state.hes, g->mem.hesl / 8, g->state.marqu->savhes);
    znprjhs(g);
    ASSERT_EQ(g->state.marqu->inumconstr, 1);
    ASSERT_EQ(zoptcv(g), 0);

    std::vector<double> a(kParms, 0.0);
    for (std::size_t k = 0; k < c.cols.size(); ++k) a[c.cols[k]] = c.coefs[k];
    const std::vector<double> inverse = bordered_inverse(t, a);
    ASSERT_EQ(inverse.size(), 16u);
    const double* hes = g->state.hes;
    for (int i = 0; i <= kParms; ++i)
      for (int j = 0; j <= i; ++j) {
        const double expected = inverse[i * 4 + j];
        EXPECT_NEAR(hes[zisub(i, j)], expected, 1e-9 * (std::fabs(expected) + 1e-3))
            << i << "," << j;
      }
    EXPECT_EQ(std::string(g->state.marqu->sweepx, kParms), "111");
    EXPECT_EQ(g->state.marqu->singrowsc[0], '1');
    // The multiplier's variance factor is positive.
    EXPECT_GT(-hes[zisub(kParms, kParms)], 0);
    if (c.cols.size() > 1) continue;
    // With the bound on b2 the free directions are b0 and b1: a vector
    // loses its b2 component and keeps the others.
    double v[3] = {1, -2, 5};
    zoptprv(g, v, 3);
    EXPECT_NEAR(v[0], 1, 1e-15);
    EXPECT_NEAR(v[1], -2, 1e-15);
    EXPECT_NEAR(v[2], 0, 1e-15);
  }
}

// y = d + (a + b + 2c) t with b = c held, fitted under G4 from x0: the data
// leave a against b + 2c undetermined, so the step is the constrained
// least-squares step of least norm in the parameters scaled to unit
// diagonal of H = X'X (D its diagonal). Reference: with the free directions
// as the columns of Z = [e_a, e_b + e_c, e_d], X Z = [t, 3t, 1] and
// Z'DZ = W^2 = diag(tt, 5 tt, n) (tt the sum of t^2); the scaled step
// s = W u is LAPACK's minimum-norm solution of X Z W^-1 s = r(x0), and the
// step Z W^-1 s. On a linear model the first step reaches it and later
// steps are of rounding size.
TEST_F(HostTest, G4StepUnderAWorkingConstraintIsTheMinimumNormStepInTheScaledParameters) {
  constexpr int kObs = 12;
  std::vector<double> t(kObs), y(kObs);
  double tt = 0;
  for (int i = 0; i < kObs; ++i) {
    t[i] = 0.5 * i + 1, y[i] = 3 + 40 * t[i] + 2 * std::sin(1.7 * i);
    tt += t[i] * t[i];
  }
  const lsq::Problem problem{"sum", 4, kObs, [&](const double* p, double* r, double* jac) {
                               for (int i = 0; i < kObs; ++i) {
                                 const double row[4] = {t[i], t[i], 2 * t[i], 1};
                                 r[i] = y[i];
                                 for (int j = 0; j < 4; ++j)
                                   r[i] -= row[j] * p[j], jac[4 * i + j] = -row[j];
                               }
                               return true;
                             }};
  const std::vector<double> x0 = {5, -2, -2, 1};
  const double w[3] = {std::sqrt(tt), std::sqrt(5 * tt), std::sqrt(double{kObs})};
  std::vector<double> xzw, r0;
  for (int i = 0; i < kObs; ++i) {
    xzw.insert(xzw.end(), {t[i] / w[0], 3 * t[i] / w[1], 1 / w[2]});
    r0.push_back(y[i] - (x0[0] + x0[1] + 2 * x0[2]) * t[i] - x0[3]);
  }
  const std::vector<double> s = lapack::min_norm_solution(xzw, kObs, 3, r0, 1e-10);
  ASSERT_EQ(s.size(), 3u);
  const double expected[4] = {x0[0] + s[0] / w[0], x0[1] + s[1] / w[1], x0[2] + s[1] / w[1],
                              x0[3] + s[2] / w[2]};

  lsq::Fit fit(&problem);
  constraints::Linear constraint;
  constraint.add({1, 2}, {1, -1}, 0, false, "Equal");
  lsq::Options o = lsq::method("SH", 1e-12);
  o.moorepenrose = 1;
  constraint.apply(o, fit);
  ZOPTGLOBAL* g = lsq::make_run(step_pool(), &fit, o);
  ASSERT_NE(g, nullptr);
  g->state.swpi->moorep = 1;  // as the procedure sets it under G4
  ASSERT_EQ(lsq::run(g, x0), 0);
  for (int j = 0; j < 4; ++j)
    EXPECT_NEAR(g->state.parms[j], expected[j], 1e-9 * (std::fabs(expected[j]) + 1)) << j;
}

// A Newton fit can stop where the Hessian curves down along a free
// direction: with b2 <= 0.03 active and H's (1, 1) lowered below
// H10^2 / H00, H is indefinite on the free b0, b1. The sweep, positive
// pivots only, leaves b1 out as if dependent; named as indefinite it is
// swept as it stands, and the covariance is again the parameter block of
// the inverse of K = [H a'; a 0], by LAPACK's LU.
TEST_F(HostTest, ConstrainedCovarianceInvertsARowNamedIndefinite) {
  std::vector<double> t;
  const lsq::Problem problem = lsq::quadratic(t, observations(&t));
  const std::vector<double> a = {0, 0, -1};
  for (const bool named : {false, true}) {
    SCOPED_TRACE(named);
    lsq::Fit fit(&problem);
    constraints::Linear constraint;
    constraint.add({2}, {-1}, 0.03, true, "Bound0");
    lsq::Options o;
    o.atol = 1e-9;
    constraint.apply(o, fit);
    ZOPTGLOBAL* g = lsq::make_run(step_pool(), &fit, o);
    ASSERT_EQ(lsq::run(g, {0, 0, 0}), 0);
    lsq::hessian_cb(g);
    lsq::gradient_cb(g);
    double* hes = g->state.hes;
    // H11 becomes (H10^2 / H00 - H11) / 2: the pivot of b1 after b0 is
    // then -(H10^2 / H00 + H11) / 2.
    const double h10 = hes[zisub(1, 0)], h11 = hes[zisub(1, 1)];
    const double shift = (h10 * h10 / hes[zisub(0, 0)] - h11) / 2 - h11;
    hes[zisub(1, 1)] += shift;
    std::copy_n(hes, g->mem.hesl / 8, g->state.marqu->savhes);
    znprjhs(g);
    const int indefinite[] = {1};
    ASSERT_EQ(zoptcv(g, named ? indefinite : nullptr, named ? 1 : 0), 0);
    EXPECT_EQ(std::string(g->state.marqu->sweepx, kParms), named ? "111" : "101");
    if (!named) continue;
    const std::vector<double> inverse = bordered_inverse(t, a, shift);
    ASSERT_EQ(inverse.size(), 16u);
    for (int i = 0; i < kParms; ++i)
      for (int j = 0; j <= i; ++j) {
        const double expected = inverse[i * 4 + j];
        EXPECT_NEAR(hes[zisub(i, j)], expected, 1e-9 * (std::fabs(expected) + 1e-3)) << i << "," << j;
      }
    EXPECT_LT(hes[zisub(1, 1)], 0) << "the covariance is indefinite";
  }
}

INSTANTIATE_TEST_SUITE_P(SweepAndMoorePenrose, ConstrainedCovariance, ::testing::Values(0, 1),
                         [](const auto& info) {
                           return std::string(info.param ? "MoorePenrose" : "Sweep");
                         });

}  // namespace
