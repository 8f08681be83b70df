// The line searches on objectives along one line, parms = pparms - a delta
// with pparms = 0 and delta = -1, so that the trial point is a itself. The
// gradient handed to a search is half the objective's derivative (the
// library's convention) and, when `refresh` is set, follows the trial point.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "optim/optimiser.h"

namespace {

struct Line {
  std::function<double(double)> f;
  std::function<double(double)> derivative;
  bool refresh = false;
  double parms = 0, pparms = 0, delta = -1, gradient = 0;
  std::vector<double> trials;
  LINESRCH ls{};

  Line(std::function<double(double)> objective, std::function<double(double)> slope, char method,
       int maxsubiters = 30)
      : f(std::move(objective)), derivative(std::move(slope)) {
    gradient = 0.5 * derivative(0);
    ls.damp = ls.pdamp = 1;
    ls.oldobj = f(0);
    ls.gradient = &gradient;
    ls.user_ptr = this;
    ls.objfunc = [](void* self) {
      auto* line = static_cast<Line*>(self);
      line->trials.push_back(line->parms);
      if (line->refresh) line->gradient = 0.5 * line->derivative(line->parms);
      return line->f(line->parms);
    };
    ls.maxsubiters = maxsubiters;
    ls.linesearch = method;
  }
  int search() { return zlnsrch(&delta, &parms, &pparms, 1, &ls); }
};

// (a - 1/4)^2: the full step overshoots four times. The quadratic through
// f(0), f'(0) and f(1) is the objective itself, so its minimum is the
// second trial; with the half slope it would have been 1/6.
TEST(LineSearchTest, QuadraticInterpolationLandsOnTheMinimumOfAQuadratic) {
  Line line([](double a) { return (a - 0.25) * (a - 0.25); },
            [](double a) { return 2 * (a - 0.25); }, 'Q');
  ASSERT_EQ(line.search(), 1);
  ASSERT_EQ(line.trials.size(), 2u);
  EXPECT_EQ(line.trials[0], 1);
  EXPECT_DOUBLE_EQ(line.trials[1], 0.25);
  EXPECT_DOUBLE_EQ(line.ls.currobj, 0);
  EXPECT_EQ(line.ls.subiter, 1);
}

// Slopes beyond 1e154 (1e160 (a - 1/4)^2) are not interpolated, whose
// coefficients could overflow: the search halves down to the minimum.
TEST(LineSearchTest, QuadraticSearchHalvesWhenTheSlopeIsTooLargeToInterpolate) {
  Line line([](double a) { return 1e160 * (a - 0.25) * (a - 0.25); },
            [](double a) { return 2e160 * (a - 0.25); }, 'Q');
  ASSERT_EQ(line.search(), 1);
  EXPECT_EQ(line.trials, (std::vector<double>{1, 0.5, 0.25}));
  EXPECT_EQ(line.ls.currobj, 0);
}

// phi(a) = a^3 + a^2 - a has its minimum at 1/3 (phi' = 3a^2 + 2a - 1). The
// cubic through the values and slopes at 0 and 1 is phi itself: its
// minimiser is the second trial and satisfies both conditions.
TEST(LineSearchTest, CubicInterpolationTakesTheTrueStationaryPoint) {
  Line line([](double a) { return a * a * a + a * a - a; },
            [](double a) { return 3 * a * a + 2 * a - 1; }, 'C');
  line.refresh = true;
  ASSERT_EQ(line.search(), 1);
  ASSERT_EQ(line.trials.size(), 2u);
  EXPECT_DOUBLE_EQ(line.trials[1], 1.0 / 3);
  EXPECT_DOUBLE_EQ(line.ls.pdamp, 1.0 / 3);
}

// phi(a) = a^3 - a^2/2 - a/5: the cubic's quadratic term is negative, its
// minimiser (1 + sqrt 3.4)/6 comes from the root on the cubic term's side.
TEST(LineSearchTest, CubicWithANegativeQuadraticTermTakesTheOtherRoot) {
  Line line([](double a) { return a * a * a - 0.5 * a * a - 0.2 * a; },
            [](double a) { return 3 * a * a - a - 0.2; }, 'C');
  line.refresh = true;
  ASSERT_EQ(line.search(), 1);
  ASSERT_EQ(line.trials.size(), 2u);
  EXPECT_NEAR(line.trials[1], (1 + std::sqrt(3.4)) / 6, 1e-15);
}

// phi(a) = (a - 0.05)^2 (a + 1) has its minimum at 0.05. The first cubic,
// on [0, 1], finds it but is held to a tenth of the bracket: a = 0.1,
// where phi is above phi(0). The second cubic lives on [0, 0.1], with the
// slopes per unit of that bracket (0.1 phi'): it is phi again, and its
// minimiser 0.05 the third trial.
TEST(LineSearchTest, CubicSlopesFollowTheBracket) {
  auto f = [](double a) { return (a - 0.05) * (a - 0.05) * (a + 1); };
  auto d = [](double a) { return (a - 0.05) * (3 * a + 1.95); };
  Line line(f, d, 'C');
  line.refresh = true;
  ASSERT_EQ(line.search(), 1);
  ASSERT_EQ(line.trials.size(), 3u);
  EXPECT_DOUBLE_EQ(line.trials[1], 0.1);
  EXPECT_NEAR(line.trials[2], 0.05, 1e-15);
}

// Without a refreshed gradient the slope at a trial is unknown: the search
// interpolates the quadratic through f(0), f'(0) and f(a) and accepts on
// sufficient decrease alone, instead of taking the stale slope for the
// trial's.
TEST(LineSearchTest, CubicWithoutTrialSlopesAcceptsTheFullStepOfAQuadratic) {
  Line line([](double a) { return (a - 1) * (a - 1); }, [](double a) { return 2 * (a - 1); }, 'C');
  ASSERT_EQ(line.search(), 1);
  EXPECT_EQ(line.trials.size(), 1u);
  EXPECT_EQ(line.parms, 1);
}

// Golden section keeps the best point it evaluated: for (a - 1)^2 the last
// point evaluated is often worse than one before it. With no point of
// (0, 3] below the start it fails, whatever the trials' count.
TEST(LineSearchTest, GoldenSectionEndsAtTheBestPointEvaluated) {
  Line line([](double a) { return (a - 1) * (a - 1) + 0.5; }, [](double a) { return 2 * (a - 1); },
            'G');
  ASSERT_EQ(line.search(), 1);
  double best = 1e300, best_a = -1;
  for (double a : line.trials)
    if (line.f(a) < best) best = line.f(a), best_a = a;
  EXPECT_EQ(line.parms, best_a);
  // evaluated again at the end
  EXPECT_EQ(std::count(line.trials.begin(), line.trials.end(), best_a), 2);
  EXPECT_EQ(line.ls.currobj, best);
  EXPECT_EQ(line.ls.damp, best_a);
  EXPECT_NEAR(best_a, 1, 2e-3);

  Line rising([](double a) { return a * a; }, [](double a) { return 2 * a; }, 'G');
  EXPECT_EQ(rising.search(), 0);
}

}  // namespace
