// The singular value decomposition against LAPACK's dgesvd, through
// A·V = U·diag(q) with orthonormal U and V, and on matrices worked by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "lapack.h"
#include "linalg/svd.h"
#include "matrices.h"

namespace {

using testmat::Vec;

struct Svd {
  int m, n;
  Vec u, v, q, e;
  int rc;
  double U(int i, int j) const { return u[i * n + j]; }
  double V(int i, int j) const { return v[i * n + j]; }
};

Svd decompose(const Vec& a, int m, int n) {
  Svd s{m, n, a, Vec(n * n), Vec(n), Vec(n), 0};
  s.rc = zsvd(m, n, s.u.data(), s.v.data(), s.q.data(), s.e.data());
  return s;
}

void expect_decomposition(const Vec& a, const Svd& s, double tol) {
  ASSERT_EQ(s.rc, 0);
  for (int j = 0; j + 1 < s.n; ++j) EXPECT_GE(s.q[j], s.q[j + 1]);
  Vec vt = testmat::transpose(s.v, s.n, s.n);
  EXPECT_LT(testmat::orthonormality_error(vt.data(), s.n, s.n), tol);
  Vec av = testmat::multiply(a, s.v, s.m, s.n, s.n);
  for (int i = 0; i < s.m; ++i)
    for (int j = 0; j < s.n; ++j) EXPECT_NEAR(av[i * s.n + j], s.U(i, j) * s.q[j], tol);
  for (int j = 0; j < s.n; ++j) {
    Vec pair;
    for (int i = 0; i < s.m; ++i) pair.push_back(s.U(i, j));
    for (int i = 0; i < s.n; ++i) pair.push_back(s.V(i, j));
    EXPECT_TRUE(testmat::sign_rule_holds(pair)) << "column " << j;
  }
}

TEST(SvdTest, MatchesLapackOnRandomMatrices) {
  struct Shape { int m, n; };
  for (Shape sh : {Shape{7, 5}, Shape{6, 6}, Shape{30, 20}}) {
    int m = sh.m, n = sh.n;
    Vec a = testmat::random_dense(m, n, 700 + m * n);
    Svd s = decompose(a, m, n);
    expect_decomposition(a, s, 1e-13);
    EXPECT_LT(testmat::orthonormality_error(testmat::transpose(s.u, m, n).data(), n, m), 1e-13);

    Vec col = testmat::transpose(a, m, n), sv(n), lu(m * n), lvt(n * n), work(10 * (m + n));
    int lwork = static_cast<int>(work.size()), info = 0;
    dgesvd_("S", "A", &m, &n, col.data(), &m, sv.data(), lu.data(), &m, lvt.data(), &n,
            work.data(), &lwork, &info, 1, 1);
    ASSERT_EQ(info, 0);
    for (int j = 0; j < n; ++j) {
      EXPECT_NEAR(s.q[j], sv[j], 1e-13 * sv[0]);
      // Distinct values: the vectors agree up to one sign per pair.
      double sign = 0.0;
      for (int i = 0; i < n; ++i) sign += s.V(i, j) * lvt[j + i * n];
      sign = sign < 0 ? -1.0 : 1.0;
      for (int i = 0; i < n; ++i) EXPECT_NEAR(s.V(i, j), sign * lvt[j + i * n], 1e-12);
      for (int i = 0; i < m; ++i) EXPECT_NEAR(s.U(i, j), sign * lu[i + j * m], 1e-12);
    }
  }
}

TEST(SvdTest, RankDeficientAndWideMatrices) {
  Svd ones = decompose(Vec(12, 1.0), 4, 3);
  expect_decomposition(Vec(12, 1.0), ones, 1e-14);
  EXPECT_NEAR(ones.q[0], std::sqrt(12.0), 1e-14);
  EXPECT_NEAR(ones.q[1], 0.0, 1e-14);

  // Fewer rows than columns: n - m values are 0 and A·V = U·diag(q) holds.
  Vec a = testmat::random_dense(4, 6, 800);
  Svd wide = decompose(a, 4, 6);
  expect_decomposition(a, wide, 1e-13);
  EXPECT_NEAR(wide.q[4], 0.0, 1e-14);
  EXPECT_NEAR(wide.q[5], 0.0, 1e-14);
}

TEST(SvdTest, SmallMatricesWorkedByHand) {
  struct Case { Vec a, q, u, v; };
  for (const Case& c : {Case{{1, 0, 0, 1}, {1, 1}, {1, 0, 0, 1}, {1, 0, 0, 1}},
                        Case{{1, 0, 0, 3}, {3, 1}, {0, 1, 1, 0}, {0, 1, 1, 0}},
                        Case{{-2, 0, 0, 1}, {2, 1}, {1, 0, 0, 1}, {-1, 0, 0, 1}}}) {
    Svd s = decompose(c.a, 2, 2);
    EXPECT_EQ(s.q, c.q);
    EXPECT_EQ(s.u, c.u);
    EXPECT_EQ(s.v, c.v);
  }
  Svd ones = decompose({1, 1, 1, 1}, 2, 2);
  EXPECT_NEAR(ones.q[0], 2.0, 1e-15);
  EXPECT_NEAR(ones.q[1], 0.0, 1e-15);
  EXPECT_NEAR(ones.U(0, 0), M_SQRT1_2, 1e-15);
  EXPECT_NEAR(ones.V(1, 0), M_SQRT1_2, 1e-15);
  EXPECT_GT(ones.U(0, 1), 0.0);  // sum near 0: the first largest entry decides
  // Rank one with a zero row or proportional rows: the second value is
  // exactly 0 and its rotation against it the identity.
  for (const auto& [a, q0] : {std::pair<Vec, double>{{0, 0, 1, 1}, std::sqrt(2.0)}, {{2, 2, 1, 1}, std::sqrt(10.0)}}) {
    Svd s = decompose(a, 2, 2);
    expect_decomposition(a, s, 1e-15);
    EXPECT_NEAR(s.q[0], q0, 1e-15);
    EXPECT_EQ(s.q[1], 0.0);
    EXPECT_NEAR(std::fabs(s.V(0, 0)), M_SQRT1_2, 1e-15);
  }

  double none = 0;
  EXPECT_EQ(zsvd(0, 0, &none, &none + 1, &none, &none), 0);
}

TEST(SvdTest, RightVectorsFormedInPlace) {
  const int n = 6;
  Vec a = testmat::random_dense(n, n, 900);
  Svd ref = decompose(a, n, n);
  Vec u = a, q(n), e(n);
  ASSERT_EQ(zsvd(n, n, u.data(), u.data(), q.data(), e.data()), 0);
  EXPECT_LT(testmat::max_abs_diff(q, ref.q), 1e-14);
  // Without U the orientation looks at V alone, so a column may be negated.
  for (int j = 0; j < n; ++j) {
    double sign = 0.0;
    for (int i = 0; i < n; ++i) sign += u[i * n + j] * ref.V(i, j);
    for (int i = 0; i < n; ++i) EXPECT_NEAR(u[i * n + j], (sign < 0 ? -1 : 1) * ref.V(i, j), 1e-13);
  }
}

TEST(SvdTest, NonFiniteInputIsRejectedUntouched) {
  for (double bad : {std::numeric_limits<double>::quiet_NaN(), HUGE_VAL, -HUGE_VAL}) {
    Vec a = {1, 2, 3, bad}, u = a, v(4), q(2), e(2);
    EXPECT_EQ(zsvd(2, 2, u.data(), v.data(), q.data(), e.data()), kSvdNotFinite);
    EXPECT_EQ(std::memcmp(u.data(), a.data(), sizeof(double) * 4), 0);
  }
}

// With a tolerance that is not a number no split test succeeds; the search
// must still stop at the first row instead of reading before the arrays.
TEST(SvdTest, SplitSearchStaysInsideTheArrays) {
  Vec u = {1, 2, 3, 4}, v(4), q(2), e(2);
  zsvd1(1, 2, 2, 0, 2, 0, 2, u.data(), nullptr, v.data(), q.data(), e.data());
  e[0] = 1.0;
  const int rc = zsvd2(1, 2, 2, 0, 2, 0, 2, u.data(), nullptr, v.data(), q.data(), e.data(),
                       std::numeric_limits<double>::quiet_NaN());
  EXPECT_NE(rc, 0);
}

// Right-hand sides given to the two phases receive U'b, U taken before the
// sort; the module itself passes none.
TEST(SvdTest, RightHandSidesReceiveTheLeftVectorsTransposedTimesThem) {
  const int m = 6, n = 4, p = 2;
  const Vec a = testmat::random_dense(m, n, 77), b = testmat::random_dense(m, p, 78);
  Vec u = a, v(n * n), q(n), e(n), ub = b;
  const double anorm = zsvd1(1, m, n, p, n, p, n, u.data(), ub.data(), v.data(), q.data(), e.data());
  ASSERT_EQ(zsvd2(1, m, n, p, n, p, n, u.data(), ub.data(), v.data(), q.data(), e.data(), anorm), 0);
  for (int j = 0; j < n; ++j)
    for (int c = 0; c < p; ++c) {
      double want = 0;
      for (int i = 0; i < m; ++i) want += u[i * n + j] * b[i * p + c];
      EXPECT_NEAR(ub[j * p + c], want, 1e-13) << j << " " << c;
    }
}

TEST(SvdTest, MatricesOfExtremeScale) {
  const int m = 7, n = 5;
  const Vec a = testmat::random_dense(m, n, 1700);
  const Svd unit = decompose(a, m, n);
  for (int k : {-1000, -530, 600, 1000}) {
    Vec scaled = a;
    for (double& x : scaled) x = std::ldexp(x, k);
    Svd s = decompose(scaled, m, n);
    ASSERT_EQ(s.rc, 0);
    for (int j = 0; j < n; ++j) EXPECT_EQ(s.q[j], std::ldexp(unit.q[j], k));
    EXPECT_EQ(s.u, unit.u);
    EXPECT_EQ(s.v, unit.v);
  }
  for (double f : {1e-300, 1e-160, 1e160, 1e300}) {
    Vec scaled = a;
    for (double& x : scaled) x *= f;
    Svd s = decompose(scaled, m, n);
    ASSERT_EQ(s.rc, 0);
    for (int j = 0; j < n; ++j) EXPECT_NEAR(s.q[j] / f, unit.q[j], 1e-13);
    EXPECT_LT(testmat::max_abs_diff(s.v, unit.v), 1e-12);
  }
}

}  // namespace
