// The nearest point that satisfies linear constraints: a chain of bounds
// a <= b <= c <= d (either way) gives the isotonic regression of the start
// (pool-adjacent-violators), a cycle gives every parameter the mean; over
// random mixed sets of inequalities and equalities the point agrees with
// the nearest of the projections onto every subset of the constraints
// (LAPACK's minimum-norm solutions) that satisfies them all, and a set none
// of whose subsets gives such a point is found contradictory.
#include "optim/nearest_feasible.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "lapack.h"
#include "support/isotonic_regression.h"

namespace {

using optim::LinearSet;
using optim::Nearest;

constexpr int kN = 4;

LinearSet empty_set() {
  LinearSet set;
  set.n = kN;
  return set;
}

// value = x_hi - x_lo + constant >= 0, as BOUNDS x_lo <= x_hi does (constant 0).
void add(LinearSet* set, int lo, int hi, double constant, const std::vector<double>& x, bool equality = false) {
  std::vector<double> row(kN, 0.0);
  if (lo >= 0) row[lo] = -1;
  if (hi >= 0) row[hi] = 1;
  double value = constant;
  for (int j = 0; j < kN; ++j) value += row[j] * x[j];
  set->rows.insert(set->rows.end(), row.begin(), row.end());
  set->values.push_back(value);
  set->tolerances.push_back(1e-10);
  set->equality.push_back(equality);
}

std::vector<double> nearest(const LinearSet& set, const std::vector<double>& x, Nearest* outcome) {
  std::vector<double> move, point = x;
  std::vector<int> active;
  *outcome = optim::nearest_feasible(set, &move, &active);
  if (*outcome == Nearest::kFound)
    for (int j = 0; j < kN; ++j) point[j] += move[j];
  return point;
}

TEST(NearestFeasible, ChainsGiveTheIsotonicRegressionAndACycleTheMean) {
  std::mt19937 random(20261208);
  std::uniform_real_distribution<double> start(0, 150);
  for (int trial = 0; trial < 200; ++trial) {
    std::vector<double> x(kN);
    for (double& v : x) v = start(random);
    LinearSet up = empty_set(), down = empty_set(), cycle = empty_set();
    for (int j = 0; j + 1 < kN; ++j) add(&up, j, j + 1, 0, x), add(&down, j + 1, j, 0, x), add(&cycle, j, j + 1, 0, x);
    add(&cycle, kN - 1, 0, 0, x);
    Nearest outcome;
    const std::vector<double> rising = pool_adjacent_violators(x);
    std::vector<double> negated(kN);
    for (int j = 0; j < kN; ++j) negated[j] = -x[j];
    const std::vector<double> falling = pool_adjacent_violators(negated);
    const double mean = (x[0] + x[1] + x[2] + x[3]) / kN;
    const std::vector<double> p_up = nearest(up, x, &outcome);
    ASSERT_EQ(outcome, Nearest::kFound);
    const std::vector<double> p_down = nearest(down, x, &outcome);
    ASSERT_EQ(outcome, Nearest::kFound);
    const std::vector<double> p_cycle = nearest(cycle, x, &outcome);
    ASSERT_EQ(outcome, Nearest::kFound);
    for (int j = 0; j < kN; ++j) {
      EXPECT_NEAR(p_up[j], rising[j], 1e-11 * 150) << trial;
      EXPECT_NEAR(p_down[j], -falling[j], 1e-11 * 150) << trial;
      EXPECT_NEAR(p_cycle[j], mean, 1e-11 * 150) << trial;
    }
  }
}

// The projection of x onto {a_S'd = -values_S}, for every subset S: the
// nearest of those that satisfy every constraint is the nearest point.
bool nearest_by_subsets(const LinearSet& set, const std::vector<double>& x, std::vector<double>* best) {
  const int m = static_cast<int>(set.values.size());
  double best_distance = INFINITY;
  for (int mask = 0; mask < (1 << m); ++mask) {
    std::vector<double> rows, rhs;
    for (int i = 0; i < m; ++i) {
      if (!(mask >> i & 1)) continue;
      rows.insert(rows.end(), set.rows.begin() + i * kN, set.rows.begin() + (i + 1) * kN);
      rhs.push_back(-set.values[i]);
    }
    std::vector<double> d(kN, 0.0);
    if (!rhs.empty()) d = lapack::min_norm_solution(rows, static_cast<int>(rhs.size()), kN, rhs, 1e-12);
    bool holds = true;
    for (int i = 0; i < m; ++i) {
      double v = set.values[i];
      for (int j = 0; j < kN; ++j) v += set.rows[i * kN + j] * d[j];
      holds = holds && (set.equality[i] ? std::fabs(v) <= 1e-9 : v >= -1e-9);
    }
    double distance = 0;
    for (double v : d) distance += v * v;
    if (!holds || distance >= best_distance) continue;
    best_distance = distance;
    for (int j = 0; j < kN; ++j) (*best)[j] = x[j] + d[j];
  }
  return best_distance < INFINITY;
}

TEST(NearestFeasible, MixedSetsAgreeWithTheNearestProjectionOntoASubset) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> parameter(-1, kN - 1), size(2, 7);
  std::uniform_real_distribution<double> start(-10, 10), constant(-6, 6), coin(0, 1);
  int contradictory = 0;
  for (int trial = 0; trial < 300; ++trial) {
    std::vector<double> x(kN);
    for (double& v : x) v = start(random);
    LinearSet set = empty_set();
    for (int k = size(random); k > 0; --k) {
      int lo = parameter(random), hi = parameter(random);
      if (lo == hi) hi = -1;
      if (lo < 0 && hi < 0) lo = 0;
      add(&set, lo, hi, constant(random), x, coin(random) < 0.1);
    }
    Nearest outcome;
    const std::vector<double> p = nearest(set, x, &outcome);
    std::vector<double> reference(kN);
    const bool admits = nearest_by_subsets(set, x, &reference);
    ASSERT_NE(outcome, Nearest::kUndecided) << trial;
    ASSERT_EQ(outcome == Nearest::kFound, admits) << trial;
    contradictory += !admits;
    for (int j = 0; admits && j < kN; ++j) EXPECT_NEAR(p[j], reference[j], 1e-9) << trial;
  }
  EXPECT_GT(contradictory, 10);  // both kinds of set were met
  EXPECT_LT(contradictory, 290);
}

// A bound between constants (no coefficients) that fails contradicts any set.
TEST(NearestFeasible, AFailingBoundWithoutParametersContradicts) {
  const std::vector<double> x(kN, 1.0);
  LinearSet set = empty_set();
  add(&set, 0, 1, 0, x);
  set.rows.insert(set.rows.end(), kN, 0.0);
  set.values.push_back(-1);  // 2 <= 1
  set.tolerances.push_back(1e-10);
  set.equality.push_back(0);
  Nearest outcome;
  nearest(set, x, &outcome);
  EXPECT_EQ(outcome, Nearest::kNone);
}

}  // namespace
