// Bounds and linear constraints end to end: optima on a bound with the
// multiplier's sign and size from the problem's own gradient, an infeasible
// start moved onto the constraints before the first objective, an equality
// held at every evaluation, a working constraint released by its negative
// multiplier, the working set of a finished run not hiding a violated
// bound from a later evaluation, and a step that starts on a bound and
// heads across it.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "constraint_sets.h"
#include "mgh_problems.h"
#include "random/engine_congruential.h"
#include "support/host_fixture.h"
#include "support/nist_problem.h"

namespace {

// A run of `fit` under the linear constraints `set`.
ZOPTGLOBAL* constrained(lsq::Fit& fit, constraints::Linear& set, const char* method = "MH",
                        double atol = 1e-8) {
  lsq::Options o = lsq::method(method, atol);
  set.apply(o, fit);
  return lsq::make_run(step_pool(), &fit, o);
}

// J'r, half the gradient of r'r, at x.
std::vector<double> half_gradient(const lsq::Problem& p, const double* x) {
  std::vector<double> r(p.m), jac(static_cast<std::size_t>(p.m) * p.n), g(p.n, 0.0);
  p.eval(x, r.data(), jac.data());
  for (int i = 0; i < p.m; ++i)
    for (int j = 0; j < p.n; ++j) g[j] += jac[static_cast<std::size_t>(i) * p.n + j] * r[i];
  return g;
}

class BoundedFit : public HostTest, public ::testing::WithParamInterface<const char*> {};

// Rosenbrock with x1 <= 0.5: the minimum moves to (0.5, 0.25), F = 0.25,
// where g = J'r = (-0.5, 0) = lambda a with a = (-1, 0): lambda = +0.5.
TEST_P(BoundedFit, RosenbrockEndsOnTheBoundWithAPositiveMultiplier) {
  const mgh::Case c = mgh::rosenbrock();
  for (const std::vector<double>& start : {c.start, std::vector<double>{0.3, 2.0}}) {
    lsq::Fit fit(&c.problem);
    constraints::Linear bounds;
    ZOPTGLOBAL* g = constrained(fit, bounds.upper(0, 0.5, "Bound0"), GetParam());
    ASSERT_NE(g, nullptr);
    ASSERT_EQ(lsq::run(g, start), 0) << "error " << g->state.error;
    const ZOPTMARQU& mq = *g->state.marqu;
    EXPECT_NEAR(g->state.parms[0], 0.5, 1e-10);
    EXPECT_NEAR(g->state.parms[1], 0.25, 1e-8);
    EXPECT_NEAR(g->state.objective, 0.25, 1e-12);
    ASSERT_EQ(mq.nact, 1);
    EXPECT_EQ(std::string(g->state.conp[0]->name), "Bound0");
    EXPECT_NEAR(mq.lagrange[0], 0.5, 1e-7);
  }
}

INSTANTIATE_TEST_SUITE_P(Methods, BoundedFit, ::testing::ValuesIn(lsq::kMethods),
                         [](const auto& info) { return std::string(info.param); });

// Misra1a, y = b1 (1 - exp(-b2 x)), whose certified optimum (238.9, 5.50e-4)
// violates either bound below. With b1 held on its bound the optimal b2
// solves the one-parameter problem, found here by Newton's method on the
// exact derivatives; the multiplier is the problem's own gradient
// component along the bound's normal, positive.
struct MisraData {
  std::vector<double> x, y;
  MisraData() {
    const nist::Problem p = nist::read_problem("Misra1a");
    x = nist::column(p, "x");
    y = nist::column(p, "y");
  }
  lsq::Problem problem() const {
    const int m = static_cast<int>(x.size());
    return dual::problem("Misra1a", 2, m, [this, m](const dual::Dual* b, dual::Dual* r) {
      for (int i = 0; i < m; ++i) r[i] = y[i] - b[0] * (1.0 - dual::exp(-x[i] * b[1]));
    });
  }
  // The optimal b2 for a fixed b1, by Newton's method in long double.
  double best_b2(double b1, double b2) const {
    for (int k = 0; k < 100; ++k) {
      long double g = 0, h = 0;
      for (std::size_t i = 0; i < x.size(); ++i) {
        const long double e = std::exp(-static_cast<long double>(b2) * x[i]);
        const long double r = y[i] - b1 * (1 - e), dr = -b1 * x[i] * e, d2r = b1 * x[i] * x[i] * e;
        g += r * dr;
        h += dr * dr + r * d2r;
      }
      b2 = static_cast<double>(b2 - g / h);
    }
    return b2;
  }
  // The optimal b1 for a fixed b2: linear least squares.
  double best_b1(double b2) const {
    double num = 0, den = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
      const double u = 1 - std::exp(-b2 * x[i]);
      num += u * y[i];
      den += u * u;
    }
    return num / den;
  }
};

TEST_P(BoundedFit, MisraEndsOnEitherBoundWithTheProblemsMultiplier) {
  const MisraData data;
  const lsq::Problem problem = data.problem();
  struct Case {
    int parameter;
    bool upper;
    double bound;
  };
  for (const Case& k : {Case{0, true, 200.0}, Case{1, false, 6e-4}}) {
    lsq::Fit fit(&problem);
    constraints::Linear bounds;
    if (k.upper) bounds.upper(k.parameter, k.bound, "Bound0");
    else bounds.lower(k.parameter, k.bound, "Bound0");
    // A golden-section search ends within 0.001 of its bracket and resolves
    // no step whose decrease is below the objective's rounding: here it
    // reaches R < 1e-8 only by chance, from about half of the starts near
    // this one, and R < 1e-7 from all of them.
    const bool golden = GetParam()[1] == 'G';
    ZOPTGLOBAL* g = constrained(fit, bounds, GetParam(), golden ? 1e-7 : 1e-8);
    ASSERT_EQ(lsq::run(g, {500, 1e-4}), 0) << "error " << g->state.error;
    const double b1 = k.parameter == 0 ? k.bound : data.best_b1(k.bound);
    const double b2 = k.parameter == 1 ? k.bound : data.best_b2(k.bound, 5.5e-4);
    EXPECT_NEAR(g->state.parms[0] / b1, 1, 1e-8);
    EXPECT_NEAR(g->state.parms[1] / b2, 1, 1e-7);
    ASSERT_EQ(g->state.marqu->nact, 1);
    const double reference[2] = {b1, b2};
    const std::vector<double> gradient = half_gradient(problem, reference);
    const double normal = k.upper ? -1 : 1;
    const double multiplier = gradient[k.parameter] / normal;
    EXPECT_GT(multiplier, 0);
    EXPECT_NEAR(g->state.marqu->lagrange[0] / multiplier, 1, 1e-5);
  }
}

class ConstraintStart : public HostTest {};

// The first point of a run, as the objective sees it.
std::function<void(ZOPTGLOBAL*)> record_first(std::vector<double>* first) {
  return [first](ZOPTGLOBAL* g) {
    if (first->empty()) first->assign(g->state.parms, g->state.parms + 2);
  };
}

// From (2, 1) the bound x1 <= 0.5 is violated: the feasibility phase joins
// it to the working set and moves onto it before the first objective; the
// run then keeps x1 on the bound. Afterwards, with the bound still working,
// an evaluation of the constraints beyond it (the next BY group's grid
// search) must report the violation. With x1 + x2 >= 3 as well, which every
// point of that correction breaks, the search fails, the second inequality
// joins, and the pass starts again from (2, 1) onto both: their corner
// (0.5, 2.5) is the first point evaluated.
TEST_F(ConstraintStart, AnInfeasibleStartIsMovedOntoTheBound) {
  const mgh::Case c = mgh::rosenbrock();
  std::vector<double> first;
  lsq::Fit fit(&c.problem);
  fit.on_objective = record_first(&first);
  auto start = [&](constraints::Linear& bounds) {
    first.clear();
    ZOPTGLOBAL* g = constrained(fit, bounds);
    EXPECT_EQ(lsq::run(g, {2.0, 1.0}), 0);
    EXPECT_EQ(first.size(), 2u);
    first.resize(2);
    return g;
  };
  constraints::Linear bounds;
  ZOPTGLOBAL* g = start(bounds.upper(0, 0.5, "Bound0"));
  EXPECT_NEAR(first[0], 0.5, 1e-12);
  EXPECT_EQ(first[1], 1.0);  // the minimum-norm correction moves x1 only
  EXPECT_NEAR(g->state.parms[0], 0.5, 1e-10);
  EXPECT_NEAR(g->state.parms[1], 0.25, 1e-8);

  ASSERT_EQ(g->state.marqu->nact, 1);
  g->state.parms[0] = 0.9;
  EXPECT_EQ(zngcon(g), 0);
  EXPECT_EQ(g->state.marqu->boundv, 1);
  EXPECT_EQ(g->state.conp_i[0]->act, 'v');

  constraints::Linear corner;
  start(corner.upper(0, 0.5, "Bound0").add({0, 1}, {1, 1}, -3, true, "Sum"));
  EXPECT_NEAR(first[0], 0.5, 1e-12);
  EXPECT_NEAR(first[1], 2.5, 1e-12);
}

// Rosenbrock on the line x1 + x2 = 1 from (0.5, 0), which is off it:
// every objective is evaluated on the line, and the minimum is that of
// f(t) = (1 - t)^2 + 100 (1 - t - t^2)^2 at x = (t, 1 - t).
TEST_F(ConstraintStart, AnEqualityHoldsAtEveryEvaluation) {
  const mgh::Case c = mgh::rosenbrock();
  double worst = 0;
  lsq::Fit fit(&c.problem);
  fit.on_objective = [&worst](ZOPTGLOBAL* g) {
    worst = std::max(worst, std::fabs(g->state.parms[0] + g->state.parms[1] - 1));
  };
  double t = 0.6;
  for (int k = 0; k < 50; ++k) {
    const double u = 1 - t - t * t, du = -1 - 2 * t;
    t -= (-2 * (1 - t) + 200 * u * du) / (2 + 200 * (du * du - 2 * u));
  }
  constraints::Linear line;
  line.add({0, 1}, {1, 1}, -1, false, "Line");
  for (const char* method : {"MH", "SH"}) {
    ZOPTGLOBAL* g = constrained(fit, line, method);
    ASSERT_EQ(lsq::run(g, {0.5, 0.0}), 0) << method;
    EXPECT_LT(worst, 1e-12) << method;
    EXPECT_NEAR(g->state.parms[0], t, 1e-9) << method;
    EXPECT_NEAR(g->state.parms[1], 1 - t, 1e-9) << method;
    EXPECT_EQ(g->state.marqu->perm, 1);
  }
}

// The circle x1^2 + x2^2 = 1 has no gradient at the origin: a start there
// is first moved by standard normal deviates drawn from the seed 123, the
// same on every run, and the phase then brings it onto the circle.
TEST_F(ConstraintStart, ADegenerateEqualityIsPerturbedReproducibly) {
  const mgh::Case c = mgh::rosenbrock();
  lsq::Fit fit(&c.problem);
  constraints::Circle circle;
  lsq::Options o = lsq::method("MH", 1e-8);
  circle.apply(o, fit, true);
  ZOPTGLOBAL* g = lsq::make_run(step_pool(), &fit, o);
  g->state.parms[0] = g->state.parms[1] = 0;
  g->state.marqu->factored = 0;
  ASSERT_EQ(zncmat(g), 0);
  ASSERT_EQ(check_constraints(g, g->state.marqu->mat, 2, 1), 1);
  long seed = 123;
  const double first = zrannor(&seed), second = zrannor(&seed);
  EXPECT_EQ(g->state.parms[0], first);
  EXPECT_EQ(g->state.parms[1], second);

  std::vector<double> ends[2];
  for (auto& end : ends) {
    std::vector<double> start;
    fit.on_objective = record_first(&start);
    ASSERT_EQ(lsq::run(g, {0.0, 0.0}), 0);
    ASSERT_EQ(start.size(), 2u);
    EXPECT_NEAR(start[0] * start[0] + start[1] * start[1], 1, 1e-10);
    end.assign(g->state.parms, g->state.parms + 2);
  }
  EXPECT_EQ(ends[0], ends[1]);
}

// x1 + x2 = 0 and x1 + x2 = 1 cannot both hold, and their rows are
// dependent. With a single pass allowed, the pass from (3, 0) reduces the
// violation but leaves it: the phase has run out of passes, and the notes
// say so and name the dependent rows. With passes to spare the next
// correction cannot reduce the violation any further: the line search
// fails, which is noted without the dependence.
TEST_F(ConstraintStart, AFailedFeasibilityPhaseSaysWhy) {
  const lsq::Problem p = lsq::distance_to(0, 0);
  lsq::Fit fit(&p);
  constraints::Linear both;
  both.add({0, 1}, {1, 1}, 0, false, "Zero").add({0, 1}, {1, 1}, -1, false, "One");
  const std::string dependent = "linearly dependent";
  for (int maxiters : {0, 200}) {
    listing_.str("");
    lsq::Options o = lsq::method("MH", 1e-8);
    both.apply(o, fit);
    ZOPTGLOBAL* g = lsq::make_run(step_pool(), &fit, o);
    g->opts.maxiters = maxiters;  // after the set-up, which takes 0 for its default
    g->opts.printerror = 1;
    EXPECT_EQ(lsq::run(g, {3.0, 0.0}), 1);
    EXPECT_EQ(g->state.error, s_nofeas);
    const double sum = g->state.parms[0] + g->state.parms[1];
    EXPECT_TRUE(std::fabs(sum) < 1e-12 || std::fabs(sum - 1) < 1e-12) << sum;
    const std::string text = listing_text();
    const auto note = text.find(maxiters == 0 ? "no feasible point (pass 1)" : "no feasible point (pass");
    EXPECT_NE(note, std::string::npos) << text;
    if (maxiters == 0)
      EXPECT_GT(text.find(dependent), note) << text;
    else
      EXPECT_EQ(text.find(dependent), std::string::npos) << text;
    EXPECT_EQ(fit.objective_calls, 0);
  }
}

// x1 + x2 = 1 declared twice, the second row dependent on the first; from
// (1, 0) the way to (0.5, 0.5) meets x1 >= 0.8, which joins the working set
// at (0.8, 0.2). Under iteration printing the projection then logs the
// dependent rows, ending the note with the caller's name for the fit.
TEST_F(ConstraintStart, TheLogNoteOfDependentRowsNamesTheFit) {
  const lsq::Problem p = lsq::distance_to(2, 2);
  lsq::Fit fit(&p);
  constraints::Linear set;
  set.add({0, 1}, {1, 1}, -1, false, "One").add({0, 1}, {1, 1}, -1, false, "Again").lower(0, 0.8, "Low");
  for (const char* where : {" in the BY group g=2", ""}) {
    log_.str("");
    ZOPTGLOBAL* g = constrained(fit, set);
    g->opts.itprint = 1;
    g->opts.where = *where ? where : nullptr;
    EXPECT_EQ(lsq::run(g, {1.0, 0.0}), 0);
    EXPECT_NEAR(g->state.parms[0], 0.8, 1e-8);
    const std::string note = std::string("linearly dependent") + where + "; the dependent rows are left out.";
    EXPECT_NE(log_text().find(note), std::string::npos) << log_text();
  }
}

// F = (x1 - 2)^2 + (x2 - 2)^2 on the circle x1^2 + x2^2 = 1: the minimum is
// (1, 1)/sqrt(2), where g = (x - 2) = lambda (2 x) gives
// lambda = (1/sqrt(2) - 2) / sqrt(2). With the circle's curvature declared
// the projected Hessian carries the Lagrangian's second-order term and the
// restoration step brings the iterates back onto the circle. Declared as if
// it were linear, the steps along its tangents leave it: the run must not
// end there as converged.
TEST_F(ConstraintStart, ACurvedEqualityEndsAtItsTangentPoint) {
  const lsq::Problem p = lsq::distance_to(2, 2);
  const double root = std::sqrt(0.5);
  for (bool curved : {true, false}) {
    lsq::Fit fit(&p);
    constraints::Circle circle;
    lsq::Options o = lsq::method("MH", 1e-8);
    circle.apply(o, fit, curved);
    ZOPTGLOBAL* g = lsq::make_run(step_pool(), &fit, o);
    const int rc = lsq::run(g, {0.2, 1.5});
    const double* x = g->state.parms;
    if (!curved) {
      EXPECT_TRUE(rc != 0 || std::fabs(x[0] * x[0] + x[1] * x[1] - 1) < 1e-9);
      continue;
    }
    ASSERT_EQ(rc, 0);
    EXPECT_NEAR(x[0], root, 1e-8);
    EXPECT_NEAR(x[1], root, 1e-8);
    EXPECT_NEAR(g->state.marqu->lagrange[0], (root - 2) / (2 * root), 1e-7);
  }
}

// F = (x1 - 2)^2 + (x2 - 3)^2 with x2 >= 1, from (0, 0): the bound joins at
// the start and holds the first steps on x2 = 1; its multiplier there is
// -2, so at the first convergence candidate it is released and the run
// ends at the free minimum (2, 3) with an empty working set.
TEST_F(ConstraintStart, AConstraintWithANegativeMultiplierIsReleased) {
  const lsq::Problem p = lsq::distance_to(2, 3);
  std::vector<int> working;
  lsq::Fit fit(&p);
  fit.on_objective = [&working](ZOPTGLOBAL* g) { working.push_back(g->state.marqu->nact); };
  constraints::Linear bounds;
  bounds.lower(1, 1.0, "Bound0");
  for (const char* method : {"MH", "SH"}) {
    working.clear();
    ZOPTGLOBAL* g = constrained(fit, bounds, method);
    ASSERT_EQ(lsq::run(g, {0.0, 0.0}), 0) << method;
    ASSERT_FALSE(working.empty());
    EXPECT_EQ(working.front(), 1) << method;
    EXPECT_NEAR(g->state.parms[0], 2, 1e-12) << method;
    EXPECT_NEAR(g->state.parms[1], 3, 1e-12) << method;
    EXPECT_EQ(g->state.marqu->nact, 0) << method;
  }
}

// y = (a + b) t with a <= b: the data determine a + b = sum t y / sum t^2 =
// 28.5 / 14 alone. From a = b the sweep's step moves a only, across the
// bound, so no factor of it is feasible: the bound joins before any trial
// (the one sub-iteration is the zero step at the minimum, which finds no
// decrease). A caller's test of the change between iterates, here without
// minimum iterations, must not take that iteration, which did not move,
// for convergence.
TEST_F(ConstraintStart, AStepAcrossTheBoundItStartsOnJoinsItWithoutHalving) {
  const std::vector<double> t = {1, 2, 3}, y = {2, 4.1, 6.1};
  const lsq::Problem p = {"a+b", 2, 3, [&](const double* x, double* r, double* jac) {
                            for (int i = 0; i < 3; ++i) {
                              r[i] = y[i] - (x[0] + x[1]) * t[i];
                              jac[2 * i] = jac[2 * i + 1] = -t[i];
                            }
                            return true;
                          }};
  static std::vector<double> last;
  last.clear();
  lsq::Fit fit(&p);
  constraints::Linear bounds;
  bounds.add({0, 1}, {-1, 1}, 0, true, "Bound0");
  ZOPTGLOBAL* g = constrained(fit, bounds, "SH");
  g->funcs.usconv = [](ZOPTGLOBAL* run) {
    const std::vector<double> now(run->state.parms, run->state.parms + 2);
    const bool same = now == last;
    last = now;
    return same ? 1 : 0;
  };
  ASSERT_EQ(lsq::run(g, {1.0, 1.0}), 0);
  EXPECT_LE(g->state.totsubiters, 1);
  EXPECT_NEAR(g->state.parms[0] + g->state.parms[1], 28.5 / 14, 1e-12);
  EXPECT_EQ(g->state.parms[0], g->state.parms[1]);
  EXPECT_EQ(g->state.marqu->nact, 1);
}

}  // namespace
