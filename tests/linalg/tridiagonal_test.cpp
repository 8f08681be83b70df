// Tridiagonal reduction against LAPACK's dsptrd (our packed layout is its
// upper packed layout) and the tridiagonal eigenvalues of the QL and
// bisection routines against dstebz.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "lapack.h"
#include "linalg/tridiagonal_eigenvalues.h"
#include "linalg/tridiagonal_reduction.h"
#include "matrices.h"

namespace {

using testmat::Vec;

// The tridiagonal form of a packed matrix (3n doubles: d, e, e2).
Vec reduce(Vec a, int n) {
  Vec tri(3 * n);
  ztred3(n, a.data(), tri.data());
  return tri;
}

// All eigenvalues of (d, e[1 ..]) in ascending order by dstebz.
Vec lapack_values(const Vec& tri, int n) {
  Vec w(n), work(4 * n);
  std::vector<int> iblock(n), isplit(n), iwork(3 * n);
  int m = 0, nsplit = 0, info = 0, il = 0, iu = 0;
  double vl = 0, vu = 0, abstol = 0;
  dstebz_("A", "E", &n, &vl, &vu, &il, &iu, &abstol, tri.data(), tri.data() + n + 1, &m, &nsplit,
          w.data(), iblock.data(), isplit.data(), work.data(), iwork.data(), &info, 1, 1);
  EXPECT_EQ(info, 0);
  EXPECT_EQ(m, n);
  return w;
}

TEST(TridiagonalReductionTest, MatchesLapackAndReconstructs) {
  for (int n : {2, 8, 40}) {
    Vec a = testmat::random_packed(n, 1000 + n), work = a;
    Vec tri(3 * n);
    ztred3(n, work.data(), tri.data());
    Vec ap = a, d(n), e(n), tau(n);
    int info = 0;
    dsptrd_("U", &n, ap.data(), d.data(), e.data(), tau.data(), &info, 1);
    ASSERT_EQ(info, 0);
    for (int i = 0; i < n; ++i) EXPECT_NEAR(tri[i], d[i], 1e-13 * n);
    for (int i = 1; i < n; ++i) {
      EXPECT_NEAR(std::fabs(tri[n + i]), std::fabs(e[i - 1]), 1e-13 * n);
      EXPECT_NEAR(tri[2 * n + i], tri[n + i] * tri[n + i], 1e-13 * n);
    }
    // Back-transforming the identity gives Q (as rows) with A = Q T Q'.
    Vec z(n * n, 0.0);
    for (int i = 0; i < n; ++i) z[i * n + i] = 1.0;
    ztrbak3(n, n, work.data(), z.data());
    Vec q = testmat::transpose(z, n, n), t(n * n, 0.0);
    for (int i = 0; i < n; ++i) t[i * n + i] = tri[i];
    for (int i = 1; i < n; ++i) t[i * n + i - 1] = t[(i - 1) * n + i] = tri[n + i];
    Vec qtq = testmat::multiply(testmat::multiply(q, t, n, n, n), z, n, n, n);
    EXPECT_LT(testmat::max_abs_diff(qtq, testmat::unpack(a, n)), 1e-13 * n);
  }
}

TEST(TridiagonalReductionTest, OrderOneTridiagonalAndDiagonalInputs) {
  Vec one = {5.0}, tri1(3);
  ztred3(1, one.data(), tri1.data());
  EXPECT_EQ(tri1, (Vec{5.0, 0.0, 0.0}));
  EXPECT_EQ(one[0], 0.0);

  // Already tridiagonal: the diagonal and the magnitudes of e stay.
  Vec d = {1, 2, 3, 4}, e = {0.5, -0.25, 2};
  Vec tri = reduce(testmat::packed_tridiagonal(d, e), 4);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(tri[i], d[i]);
  for (int i = 1; i < 4; ++i) EXPECT_EQ(std::fabs(tri[4 + i]), std::fabs(e[i - 1]));

  // Diagonal, and a row whose off-diagonal sum is below the smallest normal:
  // no reflections, so back-transformation changes nothing.
  Vec a = testmat::packed_tridiagonal({1, 2, 3}, {0, 1e-310});
  tri = reduce(a, 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(tri[3 + i], 0.0);
  ztred3(3, a.data(), tri.data());
  for (int i = 0; i < 3; ++i) EXPECT_EQ(a[zisub(i, i)], 0.0);
  Vec z = {1, 2, 3, 4, 5, 6};
  ztrbak3(3, 2, a.data(), z.data());
  EXPECT_EQ(z, (Vec{1, 2, 3, 4, 5, 6}));
}

TEST(TridiagonalEigenvaluesTest, QlAndBisectionMatchLapack) {
  for (int n : {1, 5, 40}) {
    Vec tri = reduce(testmat::random_packed(n, 1100 + n), n);
    Vec ref = lapack_values(tri, n);
    std::reverse(ref.begin(), ref.end());
    Vec ql_tri = tri, ql(n), scratch(2 * n);
    std::vector<int> ind(n);
    ASSERT_EQ(zimtqlv(n, ql_tri.data(), ql.data(), ind.data(), scratch.data()), 0);
    EXPECT_EQ(ql_tri[2 * n], 2.0);
    Vec bi_tri = tri, bi(n);
    ASSERT_EQ(zbisect(n, n, 0.0, bi_tri.data(), bi.data(), ind.data(), scratch.data()), n);
    EXPECT_EQ(bi_tri[2 * n], 2.0);
    for (int i = 0; i < n; ++i) {
      EXPECT_NEAR(ql[i], ref[i], 1e-14 * n);
      EXPECT_NEAR(bi[i], ref[i], 1e-14 * n);
    }
    // The n smallest, ascending, with the ascending flag.
    bi_tri = tri;
    ASSERT_EQ(zbisect(n, -n, 0.0, bi_tri.data(), bi.data(), ind.data(), scratch.data()), n);
    EXPECT_EQ(bi_tri[2 * n], 0.0);
    for (int i = 0; i < n; ++i) EXPECT_NEAR(bi[i], ref[n - 1 - i], 1e-14 * n);
  }
}

TEST(TridiagonalEigenvaluesTest, BlocksTagsAndOrderOfEqualValues) {
  // Diagonal form: every row its own block.
  Vec tri = testmat::tridiagonal_form({2, 5, 2, 1}, {0, 0, 0});
  Vec w(4), scratch(8);
  std::vector<int> ind(4);
  Vec t = tri;
  ASSERT_EQ(zimtqlv(4, t.data(), w.data(), ind.data(), scratch.data()), 0);
  EXPECT_EQ(w, (Vec{5, 2, 2, 1}));
  EXPECT_EQ(ind, (std::vector<int>{2, 1, 3, 4}));  // equal values in row order
  t = tri;
  ASSERT_EQ(zbisect(4, 4, 0.0, t.data(), w.data(), ind.data(), scratch.data()), 4);
  EXPECT_EQ(w, (Vec{5, 2, 2, 1}));
  EXPECT_EQ(ind, (std::vector<int>{2, 3, 1, 4}));  // equal values in reverse row order

  // Two coupled blocks split by a zero coupling: tags follow the blocks and e2
  // is zero where the second block starts.
  t = testmat::tridiagonal_form({1, 1, 4, 4}, {1, 0, 1});
  ASSERT_EQ(zimtqlv(4, t.data(), w.data(), ind.data(), scratch.data()), 0);
  EXPECT_EQ(t[8 + 2], 0.0);
  EXPECT_EQ(ind, (std::vector<int>{2, 2, 1, 1}));
  EXPECT_NEAR(w[0], 5.0, 1e-15);
  EXPECT_NEAR(w[3], 0.0, 1e-15);
}

TEST(TridiagonalEigenvaluesTest, BisectionSelectsByIndex) {
  // [[1, 2], [2, 4]]: values 5 and 0, the last interval straddling 0.
  Vec tri = testmat::tridiagonal_form({1, 4}, {2}), w(2), scratch(4);
  std::vector<int> ind(2);
  ASSERT_EQ(zbisect(2, 2, 0.0, tri.data(), w.data(), ind.data(), scratch.data()), 2);
  EXPECT_EQ(w[1], 0.0);
  EXPECT_FALSE(std::signbit(w[1]));
  EXPECT_EQ(zbisect(2, 0, 0.0, tri.data(), w.data(), ind.data(), scratch.data()), 0);

  // diag(1, 2, 2, 3): the two largest cut through the pair of 2s, so the
  // range widens to the whole pair.
  Vec diag = testmat::tridiagonal_form({1, 2, 2, 3}, {0, 0, 0}), w4(4, -7), s4(8);
  std::vector<int> i4(4);
  ASSERT_EQ(zbisect(4, 2, 0.0, diag.data(), w4.data(), i4.data(), s4.data()), 3);
  EXPECT_EQ(w4, (Vec{3, 2, 2, -7}));

  // The single largest of the second-difference matrix of order 10.
  Vec sd = reduce(testmat::second_difference(10), 10), w1(1), s10(20);
  std::vector<int> i1(10);
  ASSERT_EQ(zbisect(10, 1, 0.0, sd.data(), w1.data(), i1.data(), s10.data()), 1);
  EXPECT_NEAR(w1[0], 2.0 - 2.0 * std::cos(10 * M_PI / 11), 1e-15);
}

// A value that cannot be located is not counted: the caller learns that fewer
// values were stored than the range holds.
TEST(TridiagonalEigenvaluesTest, BisectionReportsTheValuesStored) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  Vec tri = {1, nan, 3, 0, 0, 0, 0, 0, 0}, w(3, -7), scratch(6);
  std::vector<int> ind(3);
  EXPECT_EQ(zbisect(3, 3, 0.0, tri.data(), w.data(), ind.data(), scratch.data()), 2);
  EXPECT_EQ(w[0], 3.0);
  EXPECT_EQ(w[1], 1.0);

  // Interval ends that are not finite end the search instead of holding it.
  Vec t2 = {1, 2, 0, 1, 0, 1};
  BISECT bis{1, 2, -1, t2.data(), t2.data() + 2, t2.data() + 4};
  cut(&bis, 1, -HUGE_VAL, HUGE_VAL);
  EXPECT_GE(bis.ncom, 0);
  Vec inf_tri = {HUGE_VAL, 1, 0, 1, 0, 1}, wi(2), si(4);
  std::vector<int> ii(2);
  EXPECT_LE(zbisect(2, 1, 0.0, inf_tri.data(), wi.data(), ii.data(), si.data()), 2);
}

}  // namespace
