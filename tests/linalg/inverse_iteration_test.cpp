// Inverse iteration against LAPACK's dstein on the same tridiagonal form,
// with close and coincident eigenvalues, and an iterate that can never grow.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "lapack.h"
#include "linalg/inverse_iteration.h"
#include "linalg/tridiagonal_eigenvalues.h"
#include "linalg/tridiagonal_reduction.h"
#include "matrices.h"

namespace {

using testmat::Vec;

// Eigenvalues by QL, then the vectors of the first nvec by inverse iteration.
struct Vectors {
  Vec val, z;
  std::vector<int> ind;
  int rc;
};

Vectors solve(Vec tri, int n, int nvec) {
  Vectors v{Vec(n), Vec(static_cast<size_t>(n) * nvec + 1, 7.0), std::vector<int>(n), 0};
  Vec work(5 * n);
  EXPECT_EQ(zimtqlv(n, tri.data(), v.val.data(), v.ind.data(), work.data()), 0);
  v.rc = ztinvit(n, nvec, tri.data(), v.val.data(), v.ind.data(), v.z.data(), work.data());
  return v;
}

TEST(InverseIterationTest, MatchesLapackUpToSign) {
  int n = 30;
  Vec a = testmat::random_packed(n, 1200), tri(3 * n);
  ztred3(n, a.data(), tri.data());
  Vectors ours = solve(tri, n, n);
  EXPECT_EQ(ours.rc, 0);

  Vec w(n), work(5 * n), z(n * n);
  std::vector<int> iblock(n), isplit(n), iwork(5 * n), ifail(n);
  int m = 0, nsplit = 0, info = 0, il = 0, iu = 0;
  double vl = 0, vu = 0, abstol = 0;
  dstebz_("A", "B", &n, &vl, &vu, &il, &iu, &abstol, tri.data(), tri.data() + n + 1, &m, &nsplit,
          w.data(), iblock.data(), isplit.data(), work.data(), iwork.data(), &info, 1, 1);
  ASSERT_EQ(info, 0);
  dstein_(&n, tri.data(), tri.data() + n + 1, &m, w.data(), iblock.data(), isplit.data(),
          z.data(), &n, work.data(), iwork.data(), ifail.data(), &info);
  ASSERT_EQ(info, 0);
  for (int r = 0; r < n; ++r) {
    const int k = static_cast<int>(
        std::min_element(w.begin(), w.end(),
                         [&](double x, double y) {
                           return std::fabs(x - ours.val[r]) < std::fabs(y - ours.val[r]);
                         }) -
        w.begin());
    const double* x = &ours.z[r * n];
    const double* y = &z[k * n];  // column k, column-major
    const double sign = testmat::dot(x, y, n) < 0 ? -1.0 : 1.0;
    for (int i = 0; i < n; ++i) EXPECT_NEAR(x[i], sign * y[i], 1e-12);
  }
  EXPECT_LT(testmat::orthonormality_error(ours.z.data(), n, n), 2e-14 * n);
}

TEST(InverseIterationTest, CoincidentShiftsStillGiveOrthogonalVectors) {
  // [[2, 1], [1, 2]] with its top value passed twice: the second shift is
  // moved below the first and the vector orthogonalised against the first.
  Vec tri = testmat::tridiagonal_form({2, 2}, {1});
  tri[4] = 2.0;  // descending order flag
  Vec val = {3, 3}, z(4), work(10);
  std::vector<int> ind = {1, 1};
  // The second vector lies in the other eigenspace, where the iterate grows
  // slowly, so it may need a relaxed test.
  const int rc = ztinvit(2, 2, tri.data(), val.data(), ind.data(), z.data(), work.data());
  EXPECT_LE(rc, 0);
  EXPECT_NE(rc, kInverseIterationFailed);
  EXPECT_NEAR(std::fabs(z[0]), M_SQRT1_2, 1e-15);
  EXPECT_NEAR(z[0], z[1], 1e-15);
  EXPECT_NEAR(testmat::dot(&z[2], &z[2], 2), 1.0, 1e-15);
  EXPECT_NEAR(testmat::dot(&z[0], &z[2], 2), 0.0, 1e-14);
}

TEST(InverseIterationTest, OneRowBlocksAndFewerVectors) {
  Vec tri = testmat::tridiagonal_form({1, 3, 2}, {0, 0});
  Vectors v = solve(tri, 3, 2);
  EXPECT_EQ(v.rc, 0);
  EXPECT_EQ(v.val, (Vec{3, 2, 1}));
  EXPECT_EQ(v.z, (Vec{0, 1, 0, 0, 0, 1, 7}));  // the guard cell behind nvec rows untouched
}

// A block whose e2 says it is coupled although d and e are all zero gives a
// zero block norm, zero pivots and an iterate that is never finite: the
// vector is given up with the failure code instead of iterating forever.
TEST(InverseIterationTest, IterateThatNeverGrowsFailsInsteadOfLooping) {
  Vec tri = {0, 0, 0, 0, 2.0, 1.0}, val = {0, 0}, z(4, 5.0), work(10);
  std::vector<int> ind = {1, 1};
  EXPECT_EQ(ztinvit(2, 2, tri.data(), val.data(), ind.data(), z.data(), work.data()),
            kInverseIterationFailed);
  EXPECT_EQ(z, (Vec{0, 0, 0, 0}));
}

}  // namespace
