// The orthonormal span: the rank of random vectors drawn from a subspace of
// chosen dimension, and the distance of a vector from the span against the
// closed form of a hand-worked case.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <random>
#include <vector>

#include "linalg/orthonormal_span.h"

namespace {

TEST(OrthonormalSpanTest, RankOfVectorsFromASubspaceAndDistanceFromTheSpan) {
  std::mt19937 engine(7);
  std::normal_distribution<double> normal;
  const int length = 6;
  for (int rank = 0; rank <= 4; ++rank) {
    std::vector<std::vector<double>> generators(rank, std::vector<double>(length));
    for (auto& g : generators)
      for (double& x : g) x = normal(engine);
    linalg::OrthonormalSpan span(length);
    for (int k = 0; k < 7; ++k) {  // combinations of the generators, scaled far apart
      std::vector<double> v(length, 0.0);
      for (const auto& g : generators) {
        const double w = normal(engine) * std::pow(10.0, k - 3);
        for (int j = 0; j < length; ++j) v[j] += w * g[j];
      }
      span.add(v.data(), 1e-9 * std::sqrt(std::inner_product(v.begin(), v.end(), v.begin(), 0.0)));
      EXPECT_LT(span.outside(v.data()), 1e-12 * std::pow(10.0, k));
    }
    EXPECT_EQ(span.size(), rank);
  }
  // (1, 1, 0) and (0, 1, 1) span the plane x - y + z = 0; (1, 0, 0) lies
  // 1/sqrt(3) from it; a zero vector is never taken.
  linalg::OrthonormalSpan plane(3);
  const double a[3] = {1, 1, 0}, b[3] = {0, 1, 1}, e[3] = {1, 0, 0}, zero[3] = {0, 0, 0};
  EXPECT_TRUE(plane.add(a, 0));
  EXPECT_TRUE(plane.add(b, 0));
  EXPECT_FALSE(plane.add(zero, 0));
  EXPECT_NEAR(plane.outside(e), 1 / std::sqrt(3.0), 1e-15);
  EXPECT_NEAR(plane.outside(b), 0, 1e-15);
}

}  // namespace
