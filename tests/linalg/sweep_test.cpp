// The sweep driver and step: inverses against LAPACK and known inverses,
// pivot order and tie-breaks, singular rows, options and statuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "host/services.h"
#include "linalg/packed.h"
#include "linalg/sweep.h"
#include "matrices.h"
#include "support/host_fixture.h"

namespace {

using Matrix = std::vector<double>;

// Sweeps every pivot ("0": all statuses reset first) and returns the count.
int sweep_all(Matrix& x, int n, std::string& df, double epsilon, double* logdet = nullptr,
              const char* options = "0", double* diag = nullptr) {
  df.assign(n, '?');
  std::vector<double> work(n);
  return zsweepr(x.data(), 0, n - 1, n, df.data(), diag, work.data(), epsilon, logdet, options,
                 nullptr, 0);
}

double max_relative_error(const Matrix& got, const Matrix& want) {
  double scale = 0;
  for (double w : want) scale = std::max(scale, std::fabs(w));
  return testmat::max_abs_diff(got, want) / scale;
}

// The pivots handed to the host's step, in order.
std::vector<long> g_pivots;
void* g_host_step = nullptr;
void recording_step(double* x, long k, long n, char* df, double* work, double tol) {
  g_pivots.push_back(k);
  reinterpret_cast<decltype(&recording_step)>(g_host_step)(x, k, n, df, work, tol);
}

class SweepTest : public HostTest {
 protected:
  void record_pivots() {
    g_pivots.clear();
    g_host_step = host().replace_service(11, 2, reinterpret_cast<void*>(&recording_step));
  }
  ~SweepTest() override {
    if (g_host_step) host().replace_service(11, 2, g_host_step);
    g_host_step = nullptr;
  }
};

TEST_F(SweepTest, InverseAndLogDeterminantMatchLapackOnRandomSpdMatrices) {
  for (int n : {1, 2, 5, 17, 60}) {
    Matrix x = testmat::random_spd(n, 10 + n);
    Matrix factor = x;
    const Matrix expected = testmat::lapack_inverse(x, n);
    int info = 0;
    dpptrf_("U", &n, factor.data(), &info, 1);
    double log_det = 0;
    for (int i = 0; i < n; ++i) log_det += 2 * std::log(factor[zisub(i, i)]);

    std::string df;
    double logdet = -1;
    EXPECT_EQ(sweep_all(x, n, df, 1e-12, &logdet), n);
    EXPECT_EQ(df, std::string(n, '1'));
    EXPECT_LT(max_relative_error(x, expected), 1e-13) << n;
    EXPECT_NEAR(logdet, log_det, 1e-12 * std::fabs(log_det) + 1e-14) << n;
  }
}

TEST_F(SweepTest, HilbertAndPascalInversesAgreeWithTheirExactIntegers) {
  for (int n : {3, 6, 8}) {
    Matrix x = testmat::hilbert(n);
    std::string df;
    std::vector<double> diag(n);
    EXPECT_EQ(sweep_all(x, n, df, 1e-15, nullptr, "d0", diag.data()), n);
    // Conditioning grows like e^(3.5 n): about 1e10 at order 8.
    EXPECT_LT(max_relative_error(x, testmat::hilbert_inverse(n)), n < 8 ? 1e-8 : 1e-5) << n;
  }
  for (int n : {4, 8, 10}) {
    Matrix x = testmat::pascal(n);
    std::string df;
    double logdet = 1;
    EXPECT_EQ(sweep_all(x, n, df, 1e-15, &logdet), n);
    EXPECT_LT(max_relative_error(x, testmat::pascal_inverse(n)), 1e-7) << n;
    EXPECT_NEAR(logdet, 0.0, 1e-8);  // det = 1
  }
}

// A later pivot must beat an earlier one by the tie margin; a negative
// epsilon lets negative pivots compete by magnitude.
TEST_F(SweepTest, PivotOrderNearTiesAndNegativePivots) {
  record_pivots();
  std::string df;
  Matrix x = {4.0, 0.0, 4.000000005};
  sweep_all(x, 2, df, 0.0);
  EXPECT_EQ(g_pivots, (std::vector<long>{0, 1}));
  g_pivots.clear();
  x = {4.0, 0.0, 4.00000002};
  sweep_all(x, 2, df, 0.0);
  EXPECT_EQ(g_pivots, (std::vector<long>{1, 0}));

  g_pivots.clear();
  x = {-5.0, 0.0, 3.0};
  double logdet = 0;
  EXPECT_EQ(sweep_all(x, 2, df, -1e-8, &logdet), 2);
  EXPECT_EQ(g_pivots, (std::vector<long>{0, 1}));
  EXPECT_EQ(x[0], -0.2);
  EXPECT_TRUE(std::isnan(logdet));  // the log of a negative pivot
  // With a positive epsilon the negative pivot never qualifies.
  x = {-5.0, 0.0, 3.0};
  EXPECT_EQ(sweep_all(x, 2, df, 1e-8), 1);
  EXPECT_EQ(df, "01");
}

// x3 = x1 + x2: the third row of X'X is dependent and must stay '0'; with
// 'z' its row and column become zero.
TEST_F(SweepTest, DependentRowsStayUnsweptAndAreZeroedWithZ) {
  const double rows[4][2] = {{0.1, 2.3}, {3.7, -1.1}, {0.5, 4.9}, {-2.3, 1.3}};
  Matrix x(6, 0.0);
  for (const auto& r : rows) {
    const double v[3] = {1e6 * r[0], 1e6 * r[1], 1e6 * (r[0] + r[1])};
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j <= i; ++j) x[zisub(i, j)] += v[i] * v[j];
  }
  std::string df;
  std::vector<double> diag(3);
  EXPECT_EQ(sweep_all(x, 3, df, 1e-10, nullptr, "zd0", diag.data()), 2);
  EXPECT_EQ(std::count(df.begin(), df.end(), '1'), 2);
  const int unswept = static_cast<int>(df.find('0'));
  for (int j = 0; j < 3; ++j) EXPECT_EQ(x[zisub(unswept, j)], 0.0);
}

// The ratio test ranks a remainder against the row's own diagonal: a
// remainder of 1e-3 on a diagonal of 1e12 is singular, a diagonal of 1e-12
// with nothing to remove is not. The absolute test decides both the other way.
TEST_F(SweepTest, RatioTestJudgesRemaindersAgainstTheirDiagonal) {
  std::string df;
  std::vector<double> diag(2);
  const Matrix dependent = {1e12, 1e12, 1e12 + 1e-3};
  Matrix x = dependent;
  EXPECT_EQ(sweep_all(x, 2, df, 1e-10, nullptr, "d0", diag.data()), 1);
  EXPECT_EQ(df, "10");
  x = dependent;
  EXPECT_EQ(sweep_all(x, 2, df, 1e-10, nullptr, "0"), 2);
  const Matrix tiny = {1.0, 0.0, 1e-12};
  x = tiny;
  EXPECT_EQ(sweep_all(x, 2, df, 1e-10, nullptr, "d0", diag.data()), 2);
  x = tiny;
  EXPECT_EQ(sweep_all(x, 2, df, 1e-10, nullptr, "0"), 1);
}

TEST_F(SweepTest, NeverSweepStatusIsNotChosenNorZeroed) {
  Matrix x = {2.0, 1.0, 3.0, 0.5, 0.25, 4.0};
  std::vector<double> work(3);
  char df[] = {'0', '2', '0'};
  EXPECT_EQ(zsweepr(x.data(), 0, 2, 3, df, nullptr, work.data(), 1e-10, nullptr, "z", nullptr, 0), 2);
  EXPECT_EQ(std::string(df, 3), "121");
  EXPECT_NE(x[zisub(1, 1)], 0.0);
}

TEST_F(SweepTest, SweepingAPivotTwiceRestoresMatrixAndStatus) {
  const Matrix original = testmat::random_spd(6, 3);
  Matrix x = original;
  char df[] = "000000";
  std::vector<double> work(6);
  for (int k : {2, 4}) zsweep(x.data(), k, 6, df, work.data(), 0.0);
  EXPECT_STREQ(df, "001010");
  for (int k : {4, 2}) zsweep(x.data(), k, 6, df, work.data(), 0.0);
  EXPECT_STREQ(df, "000000");
  EXPECT_LT(max_relative_error(x, original), 1e-14);
  // Sweeping in another order gives the same matrix up to rounding.
  Matrix a = original, b = original;
  char da[] = "000000", db[] = "000000";
  for (int k : {0, 3, 5}) zsweep(a.data(), k, 6, da, work.data(), 0.0);
  for (int k : {5, 0, 3}) zsweep(b.data(), k, 6, db, work.data(), 0.0);
  EXPECT_STREQ(da, db);
  EXPECT_LT(max_relative_error(a, b), 1e-14);
}

// The bordered matrix of a regression swept on its leading pivots holds the
// coefficients in its last row (positive sign) and the residual sum of
// squares in its corner.
TEST_F(SweepTest, BorderedMatrixYieldsCoefficientsAndResidualSumOfSquares) {
  testmat::LineFit fit = testmat::line_fit();
  char df[] = "000";
  std::vector<double> work(3);
  EXPECT_EQ(zsweepr(fit.sscp.data(), 0, 1, 3, df, nullptr, work.data(), 1e-10, nullptr, "", nullptr, 0), 2);
  EXPECT_NEAR(fit.sscp[zisub(2, 0)], fit.intercept, 1e-12);
  EXPECT_NEAR(fit.sscp[zisub(2, 1)], fit.slope, 1e-12);
  EXPECT_NEAR(fit.sscp[zisub(2, 2)], fit.sse, 1e-12);
}

TEST_F(SweepTest, EmptyRangesZeroMatricesAndRefusedSteps) {
  Matrix x = {2.0, 1.0, 3.0};
  std::vector<double> diag(2, -1), work(2);
  char df[] = "11";
  double logdet = 7;
  EXPECT_EQ(zsweepr(x.data(), 1, 0, 2, df, diag.data(), work.data(), 0, &logdet, "0d", nullptr, 0), 0);
  EXPECT_EQ(logdet, 0.0);
  EXPECT_STREQ(df, "00");
  EXPECT_EQ(diag, (std::vector<double>{2.0, 3.0}));

  Matrix zero(3, 0.0);
  EXPECT_EQ(zsweepr(zero.data(), 0, 1, 2, df, nullptr, work.data(), 0, nullptr, "0", nullptr, 0), 0);
  EXPECT_EQ(zero, Matrix(3, 0.0));

  // 'f' stores a copied diagonal of at most 2^-53 as 0.
  Matrix small = {1e-17, 0.0, 1.0};
  zsweepr(small.data(), 1, 0, 2, df, diag.data(), work.data(), 0, nullptr, "df", nullptr, 0);
  EXPECT_EQ(diag[0], 0.0);

  // A denormal pivot whose ratio to a still smaller reference qualifies is
  // refused by the step: it is not counted and adds no logarithm.
  Matrix denormal = {1e-310, 0.0, 1.0};
  std::vector<double> reference = {1e-311, 1.0};
  logdet = 7;
  EXPECT_EQ(zsweepr(denormal.data(), 0, 1, 2, df, reference.data(), work.data(), 1e-10, &logdet, "0",
                    nullptr, 0),
            0);
  EXPECT_EQ(logdet, 0.0);
  EXPECT_STREQ(df, "00");
  EXPECT_EQ(denormal[0], 1e-310);
}

TEST_F(SweepTest, HostStepRefusesTinyPivotsAndIgnoresBadIndexes) {
  Matrix x = {1e-9, 0.5, 2.0};
  const Matrix before = x;
  char df[] = "00";
  std::vector<double> work(2);
  zsweep(x.data(), 0, 2, df, work.data(), 1e-8);  // d <= tol
  zsweep(x.data(), 0, 2, df, work.data(), -1e-8); // |d| <= -tol
  zsweep(x.data(), 2, 2, df, work.data(), 0.0);
  zsweep(x.data(), -1, 2, df, work.data(), 0.0);
  EXPECT_EQ(x, before);
  EXPECT_STREQ(df, "00");
  zsweep(x.data(), 0, 2, df, work.data(), 1e-10);
  EXPECT_STREQ(df, "10");
  EXPECT_EQ(x[0], 1.0 / 1e-9);
}

}  // namespace
