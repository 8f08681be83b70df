// The sweep inverse: trace scaling and its undoing, rank, determinant,
// range failures that leave the matrix alone, the Moore-Penrose branch
// against LAPACK's singular value decomposition, and the record's release.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "host/globals.h"
#include "host/pool.h"
#include "linalg/packed.h"
#include "linalg/sweep_inverse.h"
#include "matrices.h"
#include "support/host_fixture.h"

namespace {

using Matrix = std::vector<double>;

class SweepInverseTest : public HostTest {
 protected:
  static ZSWPN* make(int n, int moorep = 0) {
    return zswpnsu(step_pool(), n, nullptr, nullptr, moorep);
  }
  static int invert(ZSWPN* swpi, Matrix& x, int nest, int nest1, char* singrows = nullptr) {
    std::fill_n(swpi->sweepx, swpi->n, '0');
    return zswpn(x.data(), singrows, nest, nest1, swpi);
  }
};

// Scaling by the trace must not move the result: matrices of 1e-150 and
// 1e100 scale invert as well as those of unit scale.
TEST_F(SweepInverseTest, RandomMatricesOfAnyScaleMatchLapack) {
  EXPECT_EQ(zswpnsu(nullptr, 3, nullptr, nullptr, 0), nullptr);
  ZSWPN* swpi = make(12);
  for (double scale : {1.0, 1e-150, 1e100}) {
    Matrix x = testmat::random_spd(12, 4);
    for (double& v : x) v *= scale;
    const Matrix expected = testmat::lapack_inverse(x, 12);
    ASSERT_EQ(invert(swpi, x, 12, 12), 0);
    EXPECT_EQ(swpi->rank, 12);
    for (std::size_t k = 0; k < x.size(); ++k) EXPECT_NEAR(x[k] / expected[k], 1.0, 1e-12) << scale;
  }
}

// A rank-deficient matrix's determinant is that of its full-rank part: the
// trace factor counts once per swept pivot, not once per row.
TEST_F(SweepInverseTest, RankAndDeterminantOfDiagonalMatrices) {
  struct Case { Matrix x, inverse; int rank; double det; const char* sweepx; };
  ZSWPN* swpi = make(2);
  swpi->detflag = 1;
  for (const Case& c : {Case{{4, 0, 9}, {0.25, 0, 1.0 / 9}, 2, 36.0, "11"},
                        Case{{4, 0, 0}, {0.25, 0, 0}, 1, 4.0, "10"},
                        Case{{0, 0, 0}, {0, 0, 0}, 0, 1.0, "00"},
                        // Rows of very different scale (a parameter of 1e125
                        // beside one of 1) are both pivots: only a diagonal
                        // below the normal range of the trace is zero.
                        Case{{1e250, 0, 4}, {1e-250, 0, 0.25}, 2, 4e250, "11"}}) {
    Matrix x = c.x;
    ASSERT_EQ(invert(swpi, x, 2, 2), 0);
    EXPECT_EQ(swpi->rank, c.rank);
    EXPECT_NEAR(swpi->det / c.det, 1.0, 1e-12);
    EXPECT_EQ(std::string(swpi->sweepx, 2), c.sweepx);
    for (int k = 0; k < 3; ++k) EXPECT_DOUBLE_EQ(x[k], c.inverse[k]) << c.sweepx;
  }
}

// The bordered matrix of a regression: the border row receives the
// coefficients, its corner the residual sum of squares, both unscaled.
TEST_F(SweepInverseTest, BorderRowsAreCarriedAndRescaled) {
  testmat::LineFit fit = testmat::line_fit();
  Matrix& m = fit.sscp;
  ZSWPN* swpi = make(3);
  ASSERT_EQ(invert(swpi, m, 2, 3), 0);
  EXPECT_NEAR(m[zisub(2, 0)], fit.intercept, 1e-12);
  EXPECT_NEAR(m[zisub(2, 1)], fit.slope, 1e-12);
  EXPECT_NEAR(m[zisub(2, 2)], fit.sse, 1e-12);
  EXPECT_NEAR(m[zisub(0, 0)], 55.0 / 50.0, 1e-13);  // (X'X)^-1 = [55 -15; -15 5]/50
  EXPECT_NEAR(m[zisub(1, 0)], -15.0 / 50.0, 1e-13);

  // With no pivots at all the border block comes back unscaled.
  Matrix border = {3.0, 1.0, 2.0};
  ASSERT_EQ(invert(swpi, border, 0, 2), 0);
  EXPECT_EQ(border, (Matrix{3.0, 1.0, 2.0}));
}

TEST_F(SweepInverseTest, RowsNotAllowedAreMarkedTwoAndKeptInScale) {
  ZSWPN* swpi = make(3);
  Matrix x = {4, 1, 9, 2, 3, 16};
  char singrows[] = {'1', '0', '1'};
  ASSERT_EQ(invert(swpi, x, 3, 3, singrows), 0);
  EXPECT_EQ(std::string(swpi->sweepx, 3), "121");
  EXPECT_EQ(swpi->rank, 2);
  // Row 1 is the Schur complement 9 - [1 3] inv([4 2; 2 16]) [1 3]', in the
  // original scale.
  const double schur = 9 - (16 * 1 * 1 - 2 * 2 * 1 * 3 + 4 * 3 * 3) / 60.0;
  EXPECT_NEAR(x[zisub(1, 1)], schur, 1e-13);
}

TEST_F(SweepInverseTest, FailuresLeaveTheMatrixAsItWas) {
  ZSWPN* swpi = make(2);
  Matrix x = {1, 2, 3};
  EXPECT_EQ(zswpn(x.data(), nullptr, 3, 3, swpi), kSwpnOutOfRange);  // larger than the record
  EXPECT_EQ(x, (Matrix{1, 2, 3}));
  // Off-diagonal 2e103 over the trace 2 exceeds the range limit.
  swpi->rank = 5;
  Matrix huge = {1, 2e103, 1};
  EXPECT_EQ(invert(swpi, huge, 2, 2), kSwpnOutOfRange);
  EXPECT_EQ(huge, (Matrix{1, 2e103, 1}));
  EXPECT_EQ(swpi->rank, 0);
  Matrix fits = {1, 1e103, 1};
  EXPECT_EQ(invert(swpi, fits, 2, 2), 0);
}

TEST_F(SweepInverseTest, DebugPrintDoesNotChangeTheMatrix) {
  ZSWPN* swpi = make(2);
  char a[] = "a", b[] = "b";
  char* names[] = {a, b};
  ZMATINFO info{1, 14, names, 8, 4};
  swpi->matinfo = &info;
  swpi->debug = swpi->itprint = 1;
  Matrix x = {4, 0, 9}, y = x;
  ASSERT_EQ(invert(swpi, x, 2, 2), 0);
  swpi->debug = 0;
  ASSERT_EQ(invert(swpi, y, 2, 2), 0);
  EXPECT_EQ(x, y);
}

TEST_F(SweepInverseTest, CorrelationForm) {
  Matrix x = {4, 2, 9, 0, 0, 0};
  double wrk[3];
  corr(x.data(), wrk, 3, 3, nullptr);
  EXPECT_EQ(wrk[0], 2.0);
  EXPECT_EQ(wrk[1], 3.0);
  EXPECT_EQ(wrk[2], 0.0);
  EXPECT_EQ(x, (Matrix{1, 2.0 / 6, 1, 0, 0, 0}));
}

TEST_F(SweepInverseTest, MoorePenroseWithoutStorageOrDecompositionReportsFailure) {
  ZSWPN* swpi = make(3);
  swpi->moorep = 1;  // switched on without its storage
  Matrix ones = {1, 1, 1, 2, 2, 5};
  EXPECT_EQ(invert(swpi, ones, 2, 3), kSwpnNoPseudoInverse);
  EXPECT_EQ(ones, (Matrix{1, 1, 1, 2, 2, 5}));
  EXPECT_EQ(swpi->rank, 0);
  EXPECT_EQ(moore_penrose(ones.data(), 2, swpi), 0);
}

TEST_F(SweepInverseTest, MoorePenroseOfTheAllOnesMatrix) {
  ZSWPN* swpi = make(3, 1);
  Matrix ones = {1, 1, 1};
  ASSERT_EQ(invert(swpi, ones, 2, 2), 0);
  EXPECT_EQ(swpi->rank, 1);
  for (double v : ones) EXPECT_NEAR(v, 0.25, 1e-15);
  EXPECT_EQ(std::string(swpi->sweepx, 2), "10");
  // A border row b gets A+ b and the Schur complement, as a sweep leaves it.
  Matrix bordered = {2, 0, 4, 1, 2, 3};
  ASSERT_EQ(invert(swpi, bordered, 2, 3), 0);
  EXPECT_NEAR(bordered[zisub(2, 0)], 0.5, 1e-15);
  EXPECT_NEAR(bordered[zisub(2, 1)], 0.5, 1e-15);
  EXPECT_NEAR(bordered[zisub(2, 2)], 3 - 0.5 - 1.0, 1e-15);
}

// The pseudo-inverse V S+ U' of a full symmetric n by n matrix from LAPACK.
Matrix lapack_pseudo_inverse(Matrix a, int n) {
  Matrix s(n), u(n * n), vt(n * n), work(10 * n);
  int info = 0, lwork = 10 * n;
  dgesvd_("A", "A", &n, &n, a.data(), &n, s.data(), u.data(), &n, vt.data(), &n, work.data(), &lwork,
          &info, 1, 1);
  Matrix pinv(n * n, 0.0);
  for (int k = 0; k < n; ++k) {
    if (s[k] <= 1e-12 * s[0]) continue;
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) pinv[i * n + j] += vt[k + i * n] * u[j + k * n] / s[k];
  }
  return pinv;
}

// Columns u, u, v: the second parameter repeats the first. The statuses
// belong to the rows, as the plain sweep marks them: the repeated row is
// the dependent one, not the last row by position (which would freeze the
// third parameter's step and drop its standard error).
TEST_F(SweepInverseTest, MoorePenroseMarksTheDependentRowNotTheLast) {
  const Matrix u = {1, 2, 3, 4, 5}, v = {2, -1, 0, 1, 3};
  const Matrix cols[3] = {u, u, v};
  Matrix full(9);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) full[i * 3 + j] = testmat::dot(cols[i].data(), cols[j].data(), 5);
  Matrix x = testmat::pack(full, 3);
  ZSWPN* swpi = make(3, 1);
  ASSERT_EQ(invert(swpi, x, 3, 3), 0);
  EXPECT_EQ(swpi->rank, 2);
  EXPECT_EQ(std::string(swpi->sweepx, 3), "101");
  const Matrix want = testmat::pack(lapack_pseudo_inverse(full, 3), 3);
  for (std::size_t k = 0; k < x.size(); ++k) EXPECT_NEAR(x[k], want[k], 1e-12 * std::fabs(want[0])) << k;
}

// A Newton Hessian away from the minimum: the data determine a + b and K
// alone, and the curvature along K is negative (A = L'HL, L the map to
// (a + b, K), H = [1 -2; -2 1]). minimum_norm_sweep keeps the rows the
// default sweep keeps, a alone (K's pivot is then 1 - 4), its inverse
// made minimum-norm along the null direction a - b: 1/4 over the a, b
// block, 0 in K's row. The step on the gradient (1, 1, 5) is (1/2, 1/2,
// 0), a descent. zswpn's pseudo-inverse proper keeps K: LAPACK's.
TEST_F(SweepInverseTest, TheMinimumNormSweepInvertsOnlyTheRowsTheSweepKeeps) {
  const Matrix full = {1, 1, -2, 1, 1, -2, -2, -2, 1};
  ZSWPN* swpi = make(4, 1);
  Matrix x = testmat::pack(full, 3);
  x.insert(x.end(), {1, 1, 5, 10});
  ASSERT_EQ(minimum_norm_sweep(x.data(), 3, 4, swpi), 0);
  EXPECT_EQ(swpi->rank, 1);
  EXPECT_EQ(std::string(swpi->sweepx, 3), "100");
  const Matrix want = {0.25, 0.25, 0.25, 0, 0, 0, 0.5, 0.5, 0, 9};
  for (std::size_t k = 0; k < x.size(); ++k) EXPECT_NEAR(x[k], want[k], 1e-15) << k;
  Matrix mp = testmat::pack(full, 3);
  ASSERT_EQ(invert(swpi, mp, 3, 3), 0);
  EXPECT_EQ(swpi->rank, 2);
  const Matrix proper = testmat::pack(lapack_pseudo_inverse(full, 3), 3);
  for (std::size_t k = 0; k < mp.size(); ++k) EXPECT_NEAR(mp[k], proper[k], 1e-14) << k;
}

// The cross products of columns given as rows of `cols` (each of length m).
Matrix cross_products(const std::vector<Matrix>& cols, int m) {
  const int n = static_cast<int>(cols.size());
  Matrix full(n * n);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) full[i * n + j] = testmat::dot(cols[i].data(), cols[j].data(), m);
  return full;
}

// D^-1/2 S+ D^-1/2 for S = D^-1/2 A D^-1/2 (D the diagonal of A, 1 where
// it is 0), S+ from LAPACK, packed.
Matrix scaled_pseudo_inverse(const Matrix& a, int n) {
  Matrix d(n), s(n * n);
  for (int i = 0; i < n; ++i) d[i] = a[i * n + i] > 0 ? std::sqrt(a[i * n + i]) : 1.0;
  for (int i = 0; i < n * n; ++i) s[i] = a[i] / d[i / n] / d[i % n];
  Matrix g = lapack_pseudo_inverse(s, n);
  for (int i = 0; i < n * n; ++i) g[i] /= d[i / n] * d[i % n];
  return testmat::pack(g, n);
}

// The rank is decided on the matrix scaled to unit diagonal, as the sweep
// judges its pivots, so that the units of a parameter do not matter:
// - u, 1e-6 u, 1e8 v: the second column repeats the first in other units;
//   rank 2 (the unscaled singular values are 1e28 apart);
// - u, u + 1e-4 w, 1e6 v: nearly collinear but the smallest scaled pivot is
//   above SINGULAR=, so the sweep and G4 both invert it in full;
// - u, 0, v: a parameter the model does not use has a zero row;
// - u, 1e-305 e1, v: a derivative that underflows leaves a row that is zero
//   but for cross products at the underflow's edge (its square is 0): it is
//   the zero row, not a repeat of u scaled to unit entries.
// The directions left undetermined are those of S's null space.
TEST_F(SweepInverseTest, MoorePenroseDecidesTheRankOnTheScaledMatrix) {
  const Matrix u = {1, 2, 3, 4, 5, 6}, v = {2, -1, 0, 1, 3, -2}, w = {1, -1, 1, -1, 1, 1};
  auto times = [](Matrix c, double f) { for (double& x : c) x *= f; return c; };
  Matrix near = u;
  for (int i = 0; i < 6; ++i) near[i] += 1e-4 * w[i];
  const struct Case {
    std::vector<Matrix> cols;
    int rank;
    const char* sweepx;
  } cases[] = {{{u, times(u, 1e-6), times(v, 1e8)}, 2, "101"},
               {{u, near, times(v, 1e6)}, 3, "111"},
               {{u, Matrix(6, 0.0), v}, 2, "101"},
               {{u, {1e-305, 0, 0, 0, 0, 0}, v}, 2, "101"}};
  ZSWPN* swpi = make(3, 1);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sweepx);
    const Matrix full = cross_products(c.cols, 6);
    Matrix x = testmat::pack(full, 3), swept = x;
    ASSERT_EQ(invert(swpi, x, 3, 3), 0);
    EXPECT_EQ(swpi->rank, c.rank);
    EXPECT_EQ(std::string(swpi->sweepx, 3), c.sweepx);
    ZSWPN* plain = make(3);
    ASSERT_EQ(invert(plain, swept, 3, 3), 0);
    EXPECT_EQ(plain->rank, c.rank) << "the default sweep's rank";
    const Matrix want = scaled_pseudo_inverse(full, 3);
    for (std::size_t k = 0; k < x.size(); ++k) EXPECT_NEAR(x[k], want[k], 1e-6 * std::fabs(want[k]) + 1e-300) << k;
    for (std::size_t k = 0; c.rank == 3 && k < x.size(); ++k)
      EXPECT_NEAR(x[k], swept[k], 1e-6 * std::fabs(swept[k])) << k;
    // The directions left undetermined: S z = 0 for unit z, S the scaled matrix.
    Matrix a = testmat::pack(full, 3), z(9), scales(3);
    ASSERT_EQ(undetermined_directions(a.data(), 3, swpi, z.data(), scales.data()), 3 - c.rank);
    for (int k = 0; k < 3 - c.rank; ++k) {
      EXPECT_NEAR(testmat::dot(&z[3 * k], &z[3 * k], 3), 1.0, 1e-14);
      for (int i = 0; i < 3; ++i) {
        double sz = 0;
        for (int j = 0; j < 3; ++j) sz += full[i * 3 + j] / scales[i] / scales[j] * z[3 * k + j];
        EXPECT_NEAR(sz, 0.0, 1e-12) << i;
      }
    }
  }
}

// The condition number of the kept rows in the infinity norm, in closed
// form: S = [1 r; r 1] has ||S|| ||S^-1|| = (1 + r)/(1 - r). A third
// parameter repeating the second in other units is not kept and does not
// count; nor do the units of the others. A is left as it was.
TEST_F(SweepInverseTest, TheConditionOfTheKeptRowsIsThatOfTheScaledMatrix) {
  ZSWPN* swpi = make(3, 1);
  for (const double r : {0.5, 0.999}) {
    SCOPED_TRACE(r);
    const double d[3] = {1e-3, 2e4, 7.0};
    const double s[9] = {1, r, r, r, 1, 1, r, 1, 1};
    Matrix full(9);
    for (int k = 0; k < 9; ++k) full[k] = s[k] * d[k / 3] * d[k % 3];
    const Matrix a = testmat::pack(full, 3);
    Matrix work(6);
    EXPECT_NEAR(kept_rows_condition(a.data(), 3, swpi, work.data()), (1 + r) / (1 - r), 1e-9 * (1 + r) / (1 - r));
    EXPECT_EQ(std::count(swpi->sweepx, swpi->sweepx + 3, '1'), 2);
    EXPECT_EQ(a, testmat::pack(full, 3));
  }
}

// A pool that records every block and delivers it uncleared: zswpnfr must
// hand back exactly the blocks zswpnsu took, each with the length it was
// taken with (never a pointer the record did not set), and the bytes
// zswpnsu reports are the record, 25n for the vectors and 16n^2 for the
// Moore-Penrose matrices.
struct Ledger {
  std::map<void*, long> live, freed;
  int taken = 0, refused = -1;  // the block, counted from 0, that is not delivered
};
struct RecordingPool {  // the pool's first two words are its entries
  PoolAllocFn alloc;
  PoolFreeFn free;
  Ledger* ledger;
};
void* take_block(void* pool, long length, long) {
  Ledger* ledger = static_cast<RecordingPool*>(pool)->ledger;
  if (ledger->taken++ == ledger->refused) return nullptr;
  void* block = ::operator new(static_cast<std::size_t>(length));
  std::memset(block, 0xA5, static_cast<std::size_t>(length));
  ledger->live[block] = length;
  return block;
}
void give_block(void* pool, void* block, long length, long) {
  Ledger* ledger = static_cast<RecordingPool*>(pool)->ledger;
  ledger->freed[block] = length;
  ledger->live.erase(block);
  ::operator delete(block);
}

TEST_F(SweepInverseTest, ReleaseReturnsEveryBlockWithItsLength) {
  for (const int moorep : {0, 1}) {
    Ledger ledger;
    RecordingPool pool{&take_block, &give_block, &ledger};
    long bytes = -1;
    ZSWPN* swpi = zswpnsu(&pool, 7, nullptr, &bytes, moorep);
    ASSERT_NE(swpi, nullptr);
    EXPECT_EQ(bytes, static_cast<long>(sizeof(ZSWPN)) + 25 * 7 + moorep * 16 * 49);
    const std::map<void*, long> taken = ledger.live;
    EXPECT_EQ(taken.size(), 3u + moorep);
    zswpnfr(&pool, swpi);
    EXPECT_TRUE(ledger.live.empty());
    EXPECT_EQ(ledger.freed, taken) << "moorep " << moorep;
  }
  zswpnfr(nullptr, nullptr);  // nothing to release
  // A block that cannot be had: no record, and nothing kept.
  for (int refused = 0; refused < 4; ++refused) {
    Ledger ledger;
    ledger.refused = refused;
    RecordingPool pool{&take_block, &give_block, &ledger};
    EXPECT_EQ(zswpnsu(&pool, 7, nullptr, nullptr, 1), nullptr) << refused;
    EXPECT_TRUE(ledger.live.empty()) << refused;
  }
}

}  // namespace
