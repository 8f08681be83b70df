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

// A pivot of at most sing in magnitude stops the inversion with code 1, the
// pivots before it swept; a NaN pivot is not small.
TEST(TriangularInverseTest, SmallPivotStopsWithTheEarlierPivotsSwept) {
  struct Case { Vec a; double sing; int rc; Vec out; };
  for (const Case& c : {Case{{2, 1, 4}, 0.0, 0, {0.5, -0.125, 0.25}}, Case{{2, 1, 4}, 2.0, 1, {2, 1, 4}},
                        Case{{4, 1, 2}, 3.0, 1, {0.25, 0.25, 2}}}) {
    Vec a = c.a, work(2);
    EXPECT_EQ(zinvlo(a.data(), 2, work.data(), c.sing), c.rc);
    EXPECT_EQ(a, c.out);
  }
  Vec nan_pivot = {NAN, 0.0, 1.0}, work(2);
  EXPECT_EQ(zinvlo(nan_pivot.data(), 2, work.data(), 0.5), 0);
}

}  // namespace
