// The vector kernels against full-matrix expansions and the reference BLAS,
// and their edge behaviour.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "host/missing.h"
#include "linalg/packed.h"
#include "linalg/vector_kernels.h"
#include "matrices.h"

namespace {

using testmat::Vec;

Vec random_vector(int n, unsigned seed) { return testmat::random_dense(1, n, seed); }

TEST(PackedIndex, SymmetricAnd64Bit) {
  EXPECT_EQ(zisub(3, 1), 7);
  EXPECT_EQ(zisub(1, 3), 7);
  for (int j = 0; j < 20; ++j) EXPECT_EQ(zisub(j, j), j * (j + 3) / 2);
  EXPECT_EQ(zisub(50000, 0), 50000L * 50001L / 2);
}

// Every walk kernel against the same sums over an explicit matrix.
TEST(VectorKernels, WalksMatchFullMatrixSums) {
  const int n = 13;
  const auto s = random_vector(testmat::packed_size(n), 1);
  const auto s2 = random_vector(testmat::packed_size(n), 2);
  const auto b = random_vector(3 * n, 3);
  auto S = [&](int i, int j) { return s[zisub(i, j)]; };
  auto S2 = [&](int i, int j) { return s2[zisub(i, j)]; };
  for (int j = 0; j < n; ++j) {
    for (int len : {1, j, j + 1, n}) {
      if (len < 1) continue;
      double dots1 = 0, dotsj = 0;
      for (int k = 0; k < len; ++k) {
        dots1 += S(j, k) * b[k];
        dotsj += S(j, k) * b[3 * k];
      }
      EXPECT_NEAR(zvdots1(&s[zisub(j, 0)], j, b.data(), len), dots1, 1e-13) << j << " " << len;
      EXPECT_NEAR(zvdotsj(&s[zisub(j, 0)], j, b.data(), 3, len), dotsj, 1e-13);
      for (int jb = 0; jb < n; ++jb) {
        double dotss = 0;
        for (int k = 0; k < len; ++k) dotss += S(j, k) * S2(jb, k);
        EXPECT_NEAR(zvdotss(&s[zisub(j, 0)], j, &s2[zisub(jb, 0)], jb, len), dotss, 1e-13);
      }
    }
    // Lower-triangle column walks from the diagonal (j, j) to row n-1.
    double dott1 = 0;
    for (int k = j; k < n; ++k) dott1 += S2(k, j) * b[k];
    EXPECT_NEAR(zvdott1(&s2[zisub(j, j)], j, b.data(), n), dott1, 1e-13);
    for (int ja = 0; ja < n; ++ja) {
      double dotsl = 0;
      for (int k = j; k < n; ++k) dotsl += S(ja, k) * S2(k, j);
      EXPECT_NEAR(zvdotsl(&s[zisub(ja, 0)], ja, &s2[zisub(j, j)], j, n), dotsl, 1e-13);
    }
  }
}

TEST(VectorKernels, InPlaceAndZeroAlphaEdges) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  Vec z = {1, 2, 3}, y = {inf, inf, inf}, x = {4, 5, 6};
  zvaxpy(z.data(), z.data(), y.data(), 3, 0.0);  // untouched despite infinities
  EXPECT_EQ(z, (Vec{1, 2, 3}));
  zvaxpy(z.data(), x.data(), y.data(), 3, 0.0);  // a copy of x
  EXPECT_EQ(z, x);
  zvaxpy(z.data(), x.data(), y.data(), -1, 2.0);
  EXPECT_EQ(z, x);
  Vec a = {1, -2, 3}, nans = {nan, nan, nan};
  zvxay11(a.data(), a.data(), 3, 1.0);
  EXPECT_EQ(a, (Vec{2, -4, 6}));
  zvxay11(a.data(), nans.data(), 3, 0.0);
  EXPECT_EQ(a, (Vec{2, -4, 6}));
  // Rotation by (0, 1) maps (x, y) to (y, -x).
  Vec rx = {1, 2}, ry = {3, 4};
  zvrotg(rx.data(), 1, ry.data(), 1, 2, 0.0, 1.0);
  EXPECT_EQ(rx, (Vec{3, 4}));
  EXPECT_EQ(ry, (Vec{-1, -2}));
}

TEST(VectorKernels, MagnitudesAndNorm) {
  const double v[] = {3, -5, 5};
  EXPECT_EQ(zvamxi(v, 3), 1);
  EXPECT_EQ(zvamxi(v, 1), 0);
  EXPECT_EQ(zvamx(v, 3), 5.0);
  EXPECT_EQ(zvamx(v, 0), 0.0);
  EXPECT_EQ(zvamxj(v, 2, 2), 5.0);
  EXPECT_EQ(zvamxj(v, 1, 1), 3.0);
  EXPECT_EQ(zvsum(v, 3), 3.0);
  EXPECT_EQ(zvsum(v, 0), 0.0);
  const double three_four[] = {3, 4}, zeros[] = {0, 0, 0}, big[] = {1e200, 1e200};
  EXPECT_DOUBLE_EQ(zvenorm(2, 1, three_four), 5.0);
  EXPECT_EQ(zvenorm(3, 1, zeros), 0.0);
  EXPECT_EQ(zvenorm(0, 1, three_four), 0.0);
  EXPECT_NEAR(zvenorm(2, 1, big) / 1e200, std::sqrt(2.0), 1e-15);
  // A value negligible beside sqrt(xmax) adds nothing.
  const double negligible[] = {1e20, 1e-20};
  EXPECT_EQ(zvenorm(2, 1, negligible), 1e20);
  const double strided[] = {3, 99, 4};
  EXPECT_DOUBLE_EQ(zvenorm(2, 2, strided), 5.0);
}

// zscp accumulates exactly what dspr does on the same packed layout.
TEST(CrossProducts, AccumulationMatchesDspr) {
  for (int nv : {1, 2, 7, 16, 33}) {
    Vec ours(testmat::packed_size(nv), 0.0), theirs = ours;
    for (int obs = 0; obs < 20; ++obs) {
      auto data = random_vector(nv, 100 + obs);
      if (nv > 2) data[1] = 0.0;
      const double w = 0.25 + obs;
      ASSERT_EQ(zscp(data.data(), nv, w, ours.data()), 1);
      const int one = 1;
      dspr_("U", &nv, &w, data.data(), &one, theirs.data(), 1);
    }
    for (std::size_t k = 0; k < ours.size(); ++k) EXPECT_NEAR(ours[k], theirs[k], 1e-12) << nv;
  }
}

TEST(CrossProducts, RefusalsLeaveTheMatrixBitForBit) {
  Vec sscp = {1, 2, 3}, before = sscp;
  double data[] = {1.0, 2.0};
  double with_missing[] = {1.0, missing_value()};
  EXPECT_EQ(zscp(with_missing, 2, 1.0, sscp.data()), 0);
  EXPECT_EQ(zscp(data, 2, letter_missing_value('B'), sscp.data()), 0);
  EXPECT_EQ(zscp(data, 2, 0.0, sscp.data()), 0);
  EXPECT_EQ(std::memcmp(sscp.data(), before.data(), sizeof(double) * 3), 0);
  EXPECT_EQ(zscp(data, 0, 1.0, sscp.data()), 1);
  // An ordinary NaN is a value, not a missing value: it is accumulated.
  double nan_data[] = {std::numeric_limits<double>::quiet_NaN(), 1.0};
  EXPECT_EQ(zscp(nan_data, 2, 1.0, sscp.data()), 1);
  // A zero value leaves its row untouched, even where the row holds a NaN.
  Vec rows = {std::numeric_limits<double>::quiet_NaN(), 5, 6};
  double zero_first[] = {0.0, 2.0};
  EXPECT_EQ(zscp(zero_first, 2, 1.0, rows.data()), 1);
  EXPECT_TRUE(std::isnan(rows[0]));
  EXPECT_EQ(rows[1], 5.0);
  EXPECT_EQ(rows[2], 10.0);
  // A negative weight subtracts (the quasi-Newton update's use).
  EXPECT_EQ(zscp(zero_first, 2, -1.0, rows.data()), 1);
  EXPECT_EQ(rows[2], 6.0);
}

}  // namespace
