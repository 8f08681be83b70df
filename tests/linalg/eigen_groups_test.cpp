// Runs of close eigenvalues and the sign rule of the eigenvectors, on vectors
// worked by hand.
#include <gtest/gtest.h>

#include "linalg/eigen_groups.h"
#include "matrices.h"

namespace {

using testmat::Vec;

// A tridiagonal form of sum norm 1 (only d and e are read).
Vec unit_form(int n) {
  Vec tri(3 * n, 0.0);
  tri[0] = 1.0;
  return tri;
}

TEST(EigenGroupsTest, RunOfEqualValuesBecomesTheTriangularFactor) {
  // Values (2, 2, 1): the run is rows 0 and 1, unit vectors e_1 and e_3.
  Vec tri = unit_form(4), val = {2, 2, 1};
  Vec vec = {0, 1, 0, 0, 0, 0, 0, 1, 0.6, 0, 0.8, 0}, w(16);
  EXPECT_EQ(zeiggrp(4, 3, tri.data(), val.data(), vec.data(), w.data()), 0);
  EXPECT_EQ(vec, (Vec{0, -1, 0, 0, 0, 0, 0, -1, 0.6, 0, 0.8, 0}));
  zeigref(4, 3, vec.data());
  EXPECT_EQ(vec, (Vec{0, 1, 0, 0, 0, 0, 0, 1, 0.6, 0, 0.8, 0}));

  // A rotated basis of the same span comes out the same.
  const double c = 0.6, s = 0.8;
  Vec rotated = {0, c, 0, s, 0, -s, 0, c}, val2 = {2, 2};
  EXPECT_EQ(zeiggrp(4, 2, tri.data(), val2.data(), rotated.data(), w.data()), 0);
  zeigref(4, 2, rotated.data());
  EXPECT_LT(testmat::max_abs_diff(rotated, Vec{0, 1, 0, 0, 0, 0, 0, 1}), 1e-15);

  // Distinct values leave the vectors alone.
  Vec distinct = rotated, val3 = {3, 2};
  EXPECT_EQ(zeiggrp(4, 2, tri.data(), val3.data(), distinct.data(), w.data()), 0);
  EXPECT_EQ(distinct, rotated);
}

TEST(EigenGroupsTest, DependentRunIsReported) {
  Vec tri = unit_form(3), val = {1, 1};
  Vec vec = {1, 0, 0, 1, 0, 0}, w(12);
  EXPECT_EQ(zeiggrp(3, 2, tri.data(), val.data(), vec.data(), w.data()), 1);
}

TEST(EigenGroupsTest, SignRule) {
  struct Case {
    Vec in, out;
  };
  const double h = 0.7071067811865476;
  for (const Case& c : {Case{{0.6, -0.8}, {-0.6, 0.8}}, Case{{h, -h}, {h, -h}},
                        Case{{-h, h}, {h, -h}}, Case{{1e-9, -2e-9}, {1e-9, -2e-9}}}) {
    Vec x = c.in;
    zeigref(2, 1, x.data());
    EXPECT_EQ(x, c.out);
  }
  Vec ten(10, 0.0);
  ten[0] = -1e-15;
  ten[3] = 0.5;
  zeigref(10, 1, ten.data());
  EXPECT_EQ(ten[0], 0.0);
  EXPECT_EQ(ten[3], 0.5);
}

}  // namespace
