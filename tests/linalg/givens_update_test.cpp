// The square-root-free Givens update: single rotations worked by hand, and a
// triangular factor built row by row against LAPACK's QR of the stacked rows.
#include <gtest/gtest.h>

#include <cmath>

#include "lapack.h"
#include "linalg/givens_update.h"
#include "matrices.h"

namespace {

using testmat::Vec;

TEST(GivensUpdateTest, HandWorkedRotations) {
  // d1 = d2 = 1, x1 = 3, x2 = 4: row 2 dominates.
  double d1 = 1, d2 = 1;
  Vec b1 = {3, 1}, b2 = {4, 2};
  zgg(0, 2, &d1, &d2, b1.data(), b2.data(), 1.0, 0, 0, nullptr, nullptr);
  EXPECT_DOUBLE_EQ(b1[0], 6.25);
  EXPECT_DOUBLE_EQ(d1, 0.64);
  EXPECT_DOUBLE_EQ(d2, 0.64);
  EXPECT_DOUBLE_EQ(std::sqrt(d1) * b1[0], 5.0);
  // The rotation preserves the represented rows: column 1 becomes
  // (3·1 + 4·2)/5 and (3·2 - 4·1)/5 up to sign.
  EXPECT_NEAR(std::sqrt(d1) * b1[1], 11.0 / 5.0, 1e-15);
  EXPECT_NEAR(std::fabs(std::sqrt(d2) * b2[1]), 2.0 / 5.0, 1e-15);
  EXPECT_EQ(b2[0], 0.0);

  // Equal scaled magnitudes (2·1 and 1·2) take the row-2 formulas:
  // c = (4·1)/(1·2) = 2, r = 1/2, t = 2.
  d1 = 4, d2 = 1;
  b1 = {1, 0}, b2 = {2, 0};
  zgg(0, 2, &d1, &d2, b1.data(), b2.data(), 1.0, 0, 0, nullptr, nullptr);
  EXPECT_EQ(b1[0], 4.0);
  EXPECT_EQ(d1, 0.5);
  EXPECT_EQ(d2, 2.0);
}

TEST(GivensUpdateTest, EmptyRowTakesOverAndZeroElementIsDropped) {
  double d1 = 0, d2 = 2;
  Vec b1 = {0, 0, 0}, b2 = {5, 6, 7}, f1 = {0}, f2 = {9};
  zgg(0, 3, &d1, &d2, b1.data(), b2.data(), 1.0, 1, 1, f1.data(), f2.data());
  EXPECT_EQ(d1, 2.0);
  EXPECT_EQ(d2, 0.0);
  EXPECT_EQ(b1, (Vec{5, 6, 7}));
  EXPECT_EQ(b2, (Vec{0, 0, 0}));
  EXPECT_EQ(f1[0], 9.0);
  EXPECT_EQ(f2[0], 0.0);

  d1 = 1, d2 = 1;
  b1 = {1, 2, 3}, b2 = {0, 8, 9};
  zgg(0, 3, &d1, &d2, b1.data(), b2.data(), 1.0, 0, 0, nullptr, nullptr);
  EXPECT_EQ(b1, (Vec{1, 2, 3}));
  EXPECT_EQ(b2, (Vec{0, 8, 9}));
  EXPECT_EQ(d1, 1.0);
}

TEST(GivensUpdateTest, WeightsBelowTwoToMinus24AreRescaled) {
  // Equal rows: c = r = 1 and t = 2, so each weight is halved.
  const double tiny = 0x1p-24;
  double d1 = 2 * tiny, d2 = 2 * tiny;
  Vec b1 = {1, 4}, b2 = {1, 8};
  zgg(0, 2, &d1, &d2, b1.data(), b2.data(), 1e-300, 0, 0, nullptr, nullptr);
  EXPECT_EQ(d1, tiny);  // exactly 2^-24: not rescaled
  d1 = 1.5 * tiny, d2 = 1.5 * tiny;
  b1 = {1, 4}, b2 = {1, 8};
  zgg(0, 2, &d1, &d2, b1.data(), b2.data(), 1e-300, 0, 0, nullptr, nullptr);
  EXPECT_EQ(d1, 0.75);  // 0.75·2^-24·2^24
  EXPECT_EQ(b1[0], 2.0 * 0x1p-12);
  EXPECT_EQ(d2, 0.75);
  EXPECT_EQ(b2[1], 4.0 * 0x1p-12);  // 8 - 1·4, then scaled
}

// Rows folded into an empty factor one by one give R with R'R = X'X, the
// diagonal of LAPACK's R up to sign, and the right-hand side R'f = X'y.
TEST(GivensUpdateTest, RowByRowFactorMatchesQrOfStackedRows) {
  const int rows = 40, p = 5;
  Vec x = testmat::random_dense(rows, p, 600), y = testmat::random_dense(rows, 1, 601);
  Vec u(p * p, 0.0), d(p, 0.0), f(p, 0.0), size(p, 0.0);
  for (int i = 0; i < rows; ++i) {
    Vec row(x.begin() + i * p, x.begin() + (i + 1) * p);
    double rhs = y[i], scale = 1.0;
    for (int j = 0; j < p; ++j) size[j] = std::fmax(size[j], 500 * std::fabs(row[j]));
    for (int k = 0; k < p; ++k)
      zgg(k, p, &d[k], &scale, &u[k * p], row.data(), size[k], 1, 1, &f[k], &rhs);
  }
  Vec r(p * p, 0.0), rf(p);
  for (int k = 0; k < p; ++k) {
    for (int j = k; j < p; ++j) r[k * p + j] = std::sqrt(d[k]) * u[k * p + j];
    rf[k] = std::sqrt(d[k]) * f[k];
  }
  Vec xt = testmat::transpose(x, rows, p);
  EXPECT_LT(testmat::max_abs_diff(testmat::multiply(testmat::transpose(r, p, p), r, p, p, p),
                                  testmat::multiply(xt, x, p, rows, p)),
            1e-12);
  EXPECT_LT(testmat::max_abs_diff(testmat::multiply(testmat::transpose(r, p, p), rf, p, p, 1),
                                  testmat::multiply(xt, y, p, rows, 1)),
            1e-12);
  int m = rows, n = p, lwork = 64 * p, info = 0;
  Vec col = xt, tau(p), work(lwork);
  dgeqrf_(&m, &n, col.data(), &m, tau.data(), work.data(), &lwork, &info);
  for (int k = 0; k < p; ++k) EXPECT_NEAR(std::fabs(r[k * p + k]), std::fabs(col[k + k * m]), 1e-13);
}

}  // namespace
