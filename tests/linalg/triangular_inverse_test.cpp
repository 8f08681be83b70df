// The packed triangular inverse against LAPACK's dtptri: a lower triangle
// packed by rows is the transpose of an upper triangle packed by columns, so
// both routines take the same array.
#include <gtest/gtest.h>

#include <cmath>

#include "lapack.h"
#include "linalg/triangular_inverse.h"
#include "matrices.h"

namespace {

using testmat::Vec;

TEST(TriangularInverseTest, MatchesLapackOnRandomTriangles) {
  for (int n : {1, 2, 7, 30}) {
    Vec a = testmat::random_packed(n, 100 + n);
    for (int i = 0; i < n; ++i) a[zisub(i, i)] += i % 2 ? 3.0 : -3.0;  // well conditioned
    Vec ref = a;
    int info = 0;
    dtptri_("U", "N", &n, ref.data(), &info, 1, 1);
    ASSERT_EQ(info, 0);
    Vec work(n);
    ASSERT_EQ(zinvlo(a.data(), n, work.data(), 1e-12), 0);
    for (size_t k = 0; k < a.size(); ++k) EXPECT_NEAR(a[k], ref[k], 1e-14 * (1 + std::fabs(ref[k])));
  }
}

TEST(TriangularInverseTest, SmallPivotStopsWithTheEarlierPivotsSwept) {
  Vec a = {2.0, 1.0, 4.0}, work(2);
  EXPECT_EQ(zinvlo(a.data(), 2, work.data(), 0.0), 0);
  EXPECT_EQ(a, (Vec{0.5, -0.125, 0.25}));

  a = {2.0, 1.0, 4.0};
  EXPECT_EQ(zinvlo(a.data(), 2, work.data(), 2.0), 1);  // |2| <= 2 at the first pivot
  EXPECT_EQ(a, (Vec{2.0, 1.0, 4.0}));

  a = {4.0, 1.0, 2.0};
  EXPECT_EQ(zinvlo(a.data(), 2, work.data(), 3.0), 1);  // second pivot
  EXPECT_EQ(a, (Vec{0.25, 0.25, 2.0}));

  a = {NAN, 0.0, 1.0};  // a NaN pivot is not small
  EXPECT_EQ(zinvlo(a.data(), 2, work.data(), 0.5), 0);
}

}  // namespace
