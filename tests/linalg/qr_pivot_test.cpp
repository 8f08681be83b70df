// Householder QR with and without column pivoting against LAPACK's dgeqp3,
// and through the factorisation identity A·P = Q·R with Q' formed by applying
// the reflections to the identity.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>

#include "lapack.h"
#include "linalg/qr_pivot.h"
#include "matrices.h"

namespace {

using testmat::Vec;

struct Qr {
  int m, n;
  Vec u, alfa, sum, qt;  // qt: Q' (m by m)
  std::vector<long> ipiv;
  long rc;
};

Qr factor(const Vec& a, int m, int n, bool pivot, double sing = 0.0) {
  Qr f{m, n, a, Vec(n), Vec(n), Vec(static_cast<size_t>(m) * m, 0.0), std::vector<long>(n, 0), 0};
  for (int i = 0; i < m; ++i) f.qt[i * m + i] = 1.0;
  f.rc = zqrdec(m, n, m, n, m, pivot ? f.ipiv.data() : nullptr, sing, f.u.data(), f.qt.data(),
                f.alfa.data(), f.sum.data());
  return f;
}

// R as a dense min(m, n) by n matrix: alfa on the diagonal, u above it.
Vec r_factor(const Qr& f) {
  const int k = std::min(f.m, f.n);
  Vec r(static_cast<size_t>(k) * f.n, 0.0);
  for (int i = 0; i < k; ++i) {
    r[i * f.n + i] = f.alfa[i];
    for (int j = i + 1; j < f.n; ++j) r[i * f.n + j] = f.u[i * f.n + j];
  }
  return r;
}

// Checks Q' Q = I and Q'·A·P = R (rows of Q'·A·P below min(m, n) vanish).
void expect_factorisation(const Vec& a, const Qr& f, double tol) {
  EXPECT_LT(testmat::orthonormality_error(f.qt.data(), f.m, f.m), tol);
  Vec ap(a.size());
  for (int i = 0; i < f.m; ++i)
    for (int j = 0; j < f.n; ++j) ap[i * f.n + j] = a[i * f.n + (f.ipiv.empty() ? j : f.ipiv[j])];
  Vec qtap = testmat::multiply(f.qt, ap, f.m, f.m, f.n);
  Vec r = r_factor(f);
  r.resize(qtap.size(), 0.0);
  EXPECT_LT(testmat::max_abs_diff(qtap, r), tol);
}

// LAPACK's |R(l, l)| and column order (0-based) of dgeqp3: free pivoting, or
// with every column fixed in place, which is the unpivoted factor.
void lapack_factor(const Vec& a, int m, int n, bool pivot, Vec& rdiag, std::vector<int>& perm) {
  Vec col = testmat::transpose(a, m, n);  // column-major
  std::vector<int> jpvt(n, pivot ? 0 : 1);
  Vec tau(std::min(m, n)), work(3 * n + 1 + 64 * (n + 1));
  int lwork = static_cast<int>(work.size()), info = 0;
  dgeqp3_(&m, &n, col.data(), &m, jpvt.data(), tau.data(), work.data(), &lwork, &info);
  ASSERT_EQ(info, 0);
  for (int l = 0; l < std::min(m, n); ++l) rdiag.push_back(std::fabs(col[l + l * m]));
  for (int j : jpvt) perm.push_back(j - 1);
}

TEST(QrPivotTest, FactorMatchesLapackWithAndWithoutPivoting) {
  struct Shape { int m, n; };
  for (bool pivot : {true, false})
    for (Shape s : {Shape{8, 5}, Shape{6, 6}, Shape{4, 7}, Shape{7, 4}}) {
      Vec a = testmat::random_dense(s.m, s.n, 200 + s.m * s.n);
      Qr f = factor(a, s.m, s.n, pivot);
      if (!pivot) f.ipiv.clear();
      EXPECT_EQ(f.rc, 0);
      Vec rdiag;
      std::vector<int> perm;
      lapack_factor(a, s.m, s.n, pivot, rdiag, perm);
      for (int l = 0; l < std::min(s.m, s.n); ++l) {
        EXPECT_NEAR(std::fabs(f.alfa[l]), rdiag[l], 1e-13);
        if (!pivot) continue;
        EXPECT_EQ(f.ipiv[l], perm[l]);
        EXPECT_TRUE(l == 0 || std::fabs(f.alfa[l]) <= std::fabs(f.alfa[l - 1])) << l;
      }
      expect_factorisation(a, f, 1e-13);
    }
}

// A = B·C with B m by r and C r by n has rank r: the remaining columns all
// become negligible and are counted.
TEST(QrPivotTest, RankOfConstructedRankDeficientMatrices) {
  struct Case { int m, n, r; };
  for (Case c : {Case{9, 6, 3}, Case{6, 6, 5}, Case{5, 8, 2}}) {
    Vec a = testmat::multiply(testmat::random_dense(c.m, c.r, 400 + c.r),
                              testmat::random_dense(c.r, c.n, 500 + c.n), c.m, c.r, c.n);
    Qr f = factor(a, c.m, c.n, true, 1e-10);
    EXPECT_EQ(std::min(c.m, c.n) - f.rc, c.r);
    Vec rdiag;
    std::vector<int> perm;
    lapack_factor(a, c.m, c.n, true, rdiag, perm);
    const long lapack_rank =
        std::count_if(rdiag.begin(), rdiag.end(), [&](double d) { return d > 1e-10 * rdiag[0]; });
    EXPECT_EQ(lapack_rank, c.r);
    expect_factorisation(a, f, 1e-12);
  }
}

TEST(QrPivotTest, NegligibleColumnsAndTheirLayout) {
  // Columns (1, 0, 0) and (2, 0, 0), no pivoting.
  Vec u = {1, 2, 0, 0, 0, 0}, alfa(2);
  EXPECT_EQ(zqrdec(3, 2, 0, 2, 0, nullptr, 0.0, u.data(), nullptr, alfa.data(), nullptr), 1);
  EXPECT_EQ(alfa, (Vec{-1.0, 0.0}));
  EXPECT_EQ(u[0], 2.0);
  EXPECT_EQ(u[1], -2.0);
  EXPECT_EQ(u[3], 0.0);

  // Columns (1, 0, 0), (2, 0, 0), (0, 1, 0), free pivoting.
  Vec v = {1, 2, 0, 0, 0, 1, 0, 0, 0}, a3(3), s3(3);
  std::vector<long> ipiv(3, 0);
  EXPECT_EQ(zqrdec(3, 3, 0, 3, 0, ipiv.data(), 0.0, v.data(), nullptr, a3.data(), s3.data()), 1);
  EXPECT_EQ(ipiv, (std::vector<long>{1, 2, 0}));

  // A column whose norm equals sing exactly is negligible.
  Vec w = {3, 0, 4, 0}, a2(2);
  EXPECT_EQ(zqrdec(2, 2, 0, 2, 0, nullptr, 5.0, w.data(), nullptr, a2.data(), nullptr), 2);
}

TEST(QrPivotTest, FixedColumnsAndTies) {
  // Column 1 asks for position 0 but is zero: it is rotated to the end and
  // the columns behind it move forward.
  Vec u = {1, 0, 5, 2, 0, 1, 3, 0, 2}, alfa(3), sum(3);
  std::vector<long> ipiv = {0, 1, 0};
  EXPECT_EQ(zqrdec(3, 3, 0, 3, 0, ipiv.data(), 1e-12, u.data(), nullptr, alfa.data(), sum.data()),
            1);
  EXPECT_EQ(ipiv[2], 1);
  EXPECT_EQ(alfa[2], 0.0);

  // Only position 0 may be requested by a single positive entry.
  std::vector<long> bad = {2, 0, 0};
  Vec z(9, 1.0);
  EXPECT_EQ(zqrdec(3, 3, 0, 3, 0, bad.data(), 0.0, z.data(), nullptr, alfa.data(), sum.data()), -1);

  // A final column stays last; equal norms pick the later free column.
  // Columns (1, 1, 0, 0), (0, 0, 0, 1), (0, 0, 1, 1), (1, 0, 0, 0).
  Vec t = {1, 0, 0, 1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 1, 1, 0};
  std::vector<long> fixed = {0, 0, 0, -4};
  Vec a4(4), s4(4);
  EXPECT_EQ(zqrdec(4, 4, 0, 4, 0, fixed.data(), 0.0, t.data(), nullptr, a4.data(), s4.data()), 0);
  EXPECT_EQ(fixed[0], 2);
  EXPECT_EQ(fixed[3], 3);
}

}  // namespace
