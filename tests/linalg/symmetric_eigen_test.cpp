// The symmetric eigen-solver against LAPACK's dspev (our packed layout is its
// upper packed layout) and closed forms for classic matrices, on both the QL
// path and the bisection fallback.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "lapack.h"
#include "linalg/symmetric_eigen.h"
#include "linalg/tridiagonal_eigenvalues.h"
#include "matrices.h"

namespace {

using testmat::Vec;

struct Eigen {
  int n;
  Vec val, vec;
  int rc;
  const double* v(int r) const { return &vec[static_cast<size_t>(r) * n]; }
};

// A first eigenvalue step that always fails (after marking e2, as a failed
// QL run does), so that the solver falls back to bisection.
int failing_ql(int n, double* tri, double* d, int* ind, double* e) {
  zimtqlv(n, tri, d, ind, e);
  return -1;
}

Eigen solve(Vec sym, int n, bool bisection = false) {
  Eigen r{n, Vec(n), Vec(static_cast<size_t>(n) * n), 0};
  Vec work(9 * n);
  r.rc = bisection ? zeigen2_using(&failing_ql, n, sym.data(), r.val.data(), n, r.vec.data(),
                                   work.data())
                   : zeigen2(n, sym.data(), r.val.data(), n, r.vec.data(), work.data());
  return r;
}

// LAPACK's values (ascending) and vectors (column k at z + k·n).
void lapack_eigen(Vec sym, int n, Vec& w, Vec& z) {
  w.assign(n, 0.0);
  z.assign(static_cast<size_t>(n) * n, 0.0);
  Vec work(3 * n);
  int info = 0;
  dspev_("V", "U", &n, sym.data(), w.data(), z.data(), &n, work.data(), &info, 1, 1);
  ASSERT_EQ(info, 0);
}

double residual(const Vec& sym, const Eigen& e) {
  const Vec a = testmat::unpack(sym, e.n);
  double worst = 0.0;
  for (int r = 0; r < e.n; ++r)
    for (int i = 0; i < e.n; ++i)
      worst = std::fmax(worst, std::fabs(testmat::dot(&a[i * e.n], e.v(r), e.n) - e.val[r] * e.v(r)[i]));
  return worst;
}

void expect_matches_lapack(const Vec& sym, const Eigen& e, double tol) {
  Vec w, z;
  lapack_eigen(sym, e.n, w, z);
  for (int r = 0; r < e.n; ++r) {
    EXPECT_NEAR(e.val[r], w[e.n - 1 - r], tol);
    if (r > 0) {
      EXPECT_GE(e.val[r - 1], e.val[r]);
    }
    const double* y = &z[static_cast<size_t>(e.n - 1 - r) * e.n];
    const double sign = testmat::dot(e.v(r), y, e.n) < 0 ? -1.0 : 1.0;
    for (int i = 0; i < e.n; ++i) EXPECT_NEAR(e.v(r)[i], sign * y[i], 100 * tol);
    EXPECT_TRUE(testmat::sign_rule_holds(Vec(e.v(r), e.v(r) + e.n))) << "vector " << r;
  }
}

TEST(SymmetricEigenTest, MatchesLapackOnRandomMatricesOnBothPaths) {
  for (int n : {1, 2, 10, 50})
    for (bool bisection : {false, true}) {
      Vec sym = testmat::random_packed(n, 1300 + n);
      Eigen e = solve(sym, n, bisection);
      EXPECT_EQ(e.rc % 10, bisection ? -1 : 0);
      expect_matches_lapack(sym, e, 1e-13);
      EXPECT_LT(residual(sym, e), 1e-13 * n);
      EXPECT_LT(testmat::orthonormality_error(e.vec.data(), n, n), 2e-14 * n);
    }
}

// The second-difference matrix: values 2 - 2cos(k pi/(n+1)), vectors
// sqrt(2/(n+1)) sin(j k pi/(n+1)). The Kac matrix: values n-1, n-3, ..., 1-n.
TEST(SymmetricEigenTest, ClosedFormsOnBothPaths) {
  const int n = 50;
  for (bool bisection : {false, true}) {
    Eigen e = solve(testmat::second_difference(n), n, bisection);
    EXPECT_EQ(e.rc, bisection ? -1 : 0);
    for (int r = 0; r < n; ++r) {
      const int k = n - r;  // values descending
      EXPECT_NEAR(e.val[r], 2.0 - 2.0 * std::cos(k * M_PI / (n + 1)), 1e-14);
      Vec exact(n);
      for (int j = 0; j < n; ++j) exact[j] = std::sqrt(2.0 / (n + 1)) * std::sin((j + 1) * k * M_PI / (n + 1));
      EXPECT_NEAR(std::fabs(testmat::dot(e.v(r), exact.data(), n)), 1.0, 1e-13);
      EXPECT_TRUE(testmat::sign_rule_holds(Vec(e.v(r), e.v(r) + n)));
    }
    for (int m : {20, 21}) {
      const Vec kac = testmat::kac(m);
      Eigen k = solve(kac, m, bisection);
      for (int r = 0; r < m; ++r) EXPECT_NEAR(k.val[r], m - 1 - 2 * r, 1e-12);
      EXPECT_LT(residual(kac, k), 1e-12);
      EXPECT_LT(testmat::orthonormality_error(k.vec.data(), m, m), 1e-13);
    }
  }
}

// W21+ has pairs agreeing to 14 digits: each pair is a run whose vectors are
// rotated to a fixed basis; the span must be LAPACK's. Its eigenvectors decay
// fast, and the sign rule flushes entries below n·1.11e-14 to 0, which bounds
// the residual at about |A|·n·1.11e-14.
TEST(SymmetricEigenTest, WilkinsonClosePairsKeepTheirSpan) {
  const int n = 21;
  const Vec sym = testmat::wilkinson_plus(n);
  Vec w, z;
  lapack_eigen(sym, n, w, z);
  for (bool bisection : {false, true}) {
    Eigen e = solve(sym, n, bisection);
    EXPECT_EQ(e.rc % 10, bisection ? -1 : 0);
    EXPECT_NEAR(e.val[0], 10.746194182903393, 1e-13);
    EXPECT_NEAR(e.val[1], 10.746194182903322, 1e-13);
    for (int r = 0; r < n; ++r) EXPECT_NEAR(e.val[r], w[n - 1 - r], 1e-13);
    EXPECT_LT(residual(sym, e), 5e-12);
    EXPECT_LT(testmat::orthonormality_error(e.vec.data(), n, n), 1e-12);
    // LAPACK's top two vectors lie in the span of ours.
    for (int k : {n - 1, n - 2}) {
      const double* y = &z[static_cast<size_t>(k) * n];
      const double a = testmat::dot(y, e.v(0), n), b = testmat::dot(y, e.v(1), n);
      EXPECT_NEAR(a * a + b * b, 1.0, 1e-13);
    }
  }
}

TEST(SymmetricEigenTest, DiagonalIdentityAndOrder1) {
  Vec diag = testmat::packed_tridiagonal({2, 5, -1}, {0, 0});
  Eigen e = solve(diag, 3);
  EXPECT_EQ(e.rc, 0);
  EXPECT_EQ(e.val, (Vec{5, 2, -1}));
  EXPECT_EQ(e.vec, (Vec{0, 1, 0, 1, 0, 0, 0, 0, 1}));

  Eigen id = solve(testmat::packed_tridiagonal({1, 1, 1, 1}, {0, 0, 0}), 4);
  EXPECT_EQ(id.val, (Vec{1, 1, 1, 1}));
  EXPECT_EQ(id.vec, testmat::unpack(testmat::packed_tridiagonal({1, 1, 1, 1}, {0, 0, 0}), 4));

  Vec one = {-3.5}, val(1), vec(1), work(9);
  EXPECT_EQ(zeigen2(1, one.data(), val.data(), 1, vec.data(), work.data()), 0);
  EXPECT_EQ(val[0], -3.5);
  EXPECT_EQ(vec[0], 1.0);
  EXPECT_EQ(one[0], 0.0);
}

TEST(SymmetricEigenTest, FewerVectorsWriteOnlyTheirRows) {
  const int n = 12;
  Vec sym = testmat::random_packed(n, 1500), all_sym = sym;
  Eigen all = solve(all_sym, n);
  Vec val(n), vec(3 * n + 1, 42.0), work(9 * n);
  ASSERT_EQ(zeigen2(n, sym.data(), val.data(), 3, vec.data(), work.data()), 0);
  EXPECT_EQ(val, all.val);
  EXPECT_EQ(vec[3 * n], 42.0);
  for (int k = 0; k < 3 * n; ++k) EXPECT_NEAR(vec[k], all.vec[k], 1e-15);
}

TEST(SymmetricEigenTest, BadArgumentsAndNonFiniteMatricesAreRejected) {
  Vec sym = {1, 2, 3}, val(2, -9), vec(4), work(18);
  double* s = sym.data();
  double* v = val.data();
  double* x = vec.data();
  double* w = work.data();
  EXPECT_EQ(zeigen2(0, s, v, 0, x, w), kEigenInvalid);
  EXPECT_EQ(zeigen2(2, s, v, -1, x, w), kEigenInvalid);
  EXPECT_EQ(zeigen2(2, s, v, 3, x, w), kEigenInvalid);
  EXPECT_EQ(zeigen2(2, nullptr, v, 2, x, w), kEigenInvalid);
  EXPECT_EQ(zeigen2(2, s, nullptr, 2, x, w), kEigenInvalid);
  EXPECT_EQ(zeigen2(2, s, v, 2, nullptr, w), kEigenInvalid);
  EXPECT_EQ(zeigen2(2, s, v, 2, x, nullptr), kEigenInvalid);
  EXPECT_EQ(val, (Vec{-9, -9}));
  for (double bad : {std::numeric_limits<double>::quiet_NaN(), HUGE_VAL}) {
    Vec m = {1, bad, 3};
    EXPECT_EQ(zeigen2(2, m.data(), v, 2, x, w), kEigenInvalid);
    EXPECT_EQ(val, (Vec{-9, -9}));
  }
  EXPECT_EQ(zeigen2(2, s, v, 0, nullptr, w), 0);  // values only
  EXPECT_NEAR(val[0], 2 + std::sqrt(5.0), 1e-15);
}

// Entries far from 1 must not meet the solver's absolute limits: scaled by a
// power of four the decomposition scales exactly, and at decimal scales it
// agrees with LAPACK's.
TEST(SymmetricEigenTest, MatricesOfExtremeScale) {
  const int n = 8;
  const Vec sym = testmat::random_packed(n, 1600);
  const Eigen unit = solve(sym, n);
  for (int k : {-1000, -530, 600, 1000}) {
    Vec scaled = sym;
    for (double& x : scaled) x = std::ldexp(x, k);
    Eigen e = solve(scaled, n);
    EXPECT_EQ(e.rc, 0);
    for (int r = 0; r < n; ++r) EXPECT_EQ(e.val[r], std::ldexp(unit.val[r], k));
    EXPECT_EQ(e.vec, unit.vec);
  }
  for (double s : {1e-300, 1e-160, 1e160, 1e300}) {
    Vec scaled = sym;
    for (double& x : scaled) x *= s;
    Eigen e = solve(scaled, n);
    EXPECT_EQ(e.rc, 0);
    Vec w, z;
    lapack_eigen(scaled, n, w, z);
    for (int r = 0; r < n; ++r) EXPECT_NEAR(e.val[r] / s, w[n - 1 - r] / s, 1e-13);
    EXPECT_LT(testmat::max_abs_diff(e.vec, unit.vec), 1e-12);
  }
}

// Entries from 1e-49 down to 1e-315, the largest far off the diagonal: the
// values crowd near 0 beside the norm, and inverse iteration meets an
// iterate that its orthogonalisation cancels exactly, which it restarts.
TEST(SymmetricEigenTest, EntriesSpanningTheRangeOfDoubles) {
  const int n = 6;
  const Vec sym = {8.356688705799396e-263, 4.7369373201831964e-263, 6.5001884806062949e-99,
                   9.8018116623732597e-165, -7.8703528802767374e-244, 7.2564890419736972e-113,
                   4.750604165141798e-125, -0.0, -8.2701873356048246e-315, -1.0402040084304253e-155,
                   8.1130696746252876e-49, -1.9022785860520974e-167, -5.6263426776456883e-214,
                   7.252065636488614e-190, 6.488571730791111e-300, 1.0014343774784318e-119,
                   -1.0216362627981201e-203, -4.7965600170126388e-281, -8.3397017242915e-147,
                   -3.8802507101109226e-281, -1.4538774527112885e-207};
  const Eigen e = solve(sym, n);
  EXPECT_EQ(e.rc, 0);
  const double norm = 8.1130696746252876e-49;
  Vec w, z;
  lapack_eigen(sym, n, w, z);
  for (int r = 0; r < n; ++r) EXPECT_NEAR(e.val[r] / norm, w[n - 1 - r] / norm, 1e-15);
  EXPECT_LT(residual(sym, e) / norm, 1e-15 * n);
  EXPECT_LT(testmat::orthonormality_error(e.vec.data(), n, n), 1e-14 * n);
}

// A last row of entries near 1e-300 beside ones near 1: its reflection is
// of that size too, yet it turns the leading rows by a finite angle, and the
// vectors must be turned back by it.
TEST(SymmetricEigenTest, AReflectionOfTinyEntriesIsUndoneInTheVectors) {
  for (int n : {3, 6})
    for (bool bisection : {false, true}) {
      Vec sym = testmat::random_packed(n, 1700 + n);
      for (int j = 0; j < n; ++j) sym[zisub(n - 1, j)] *= 1e-300;
      Eigen e = solve(sym, n, bisection);
      EXPECT_EQ(e.rc % 10, bisection ? -1 : 0);
      expect_matches_lapack(sym, e, 1e-14);
      EXPECT_LT(residual(sym, e), 1e-14 * n);
    }
}

}  // namespace
