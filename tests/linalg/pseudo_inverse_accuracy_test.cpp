// The Moore-Penrose branch of the sweep inverse on ill-conditioned cross
// products of quadratics in years with columns repeated in other units,
// under the procedure's default SINGULAR=. It is the pseudo-inverse Y of
// S = D^-1/2 A D^-1/2 (D the diagonal of A), as accurate as the sweep's
// inverse of the rows it keeps: against (S + N N')^-1 - N N' in long
// double (N the known orthonormal null directions: S + N N' is S+^-1 on the
// range and the identity on the null space), and by the Penrose
// conditions, with trace(Y S) the rank. S and Y are symmetric, so S Y = Y S
// says that both products are.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "host/pool.h"
#include "linalg/packed.h"
#include "linalg/sweep_inverse.h"
#include "matrices.h"
#include "support/host_fixture.h"

namespace {

using Matrix = std::vector<double>;
using Long = std::vector<long double>;

// The cross products of columns t^power 2^scale, t = shift + 1 .. shift + 30.
Matrix cross_products(double shift, const std::vector<std::pair<int, int>>& columns) {
  const int n = static_cast<int>(columns.size());
  std::vector<Matrix> x(n, Matrix(30));
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < 30; ++i)
      x[j][i] = std::ldexp(std::pow(shift + i + 1, columns[j].first), columns[j].second);
  Matrix a(n * n);
  for (int i = 0; i < n * n; ++i) a[i] = testmat::dot(x[i / n].data(), x[i % n].data(), 30);
  return a;
}

Long product(const Long& a, const Long& b, int n) {
  Long c(n * n, 0.0L);
  for (int i = 0; i < n * n; ++i)
    for (int k = 0; k < n; ++k) c[i] += a[i / n * n + k] * b[k * n + i % n];
  return c;
}

// Gauss-Jordan; the matrices inverted here are positive definite.
Long inverse(Long a, int n) {
  Long b(n * n, 0.0L);
  for (int i = 0; i < n; ++i) b[i * n + i] = 1;
  for (int k = 0; k < n; ++k) {
    const long double pivot = a[k * n + k];
    for (int j = 0; j < n; ++j) a[k * n + j] /= pivot, b[k * n + j] /= pivot;
    for (int i = 0; i < n; ++i) {
      const long double f = i == k ? 0.0L : a[i * n + k];
      for (int j = 0; j < n; ++j)
        a[i * n + j] -= f * a[k * n + j], b[i * n + j] -= f * b[k * n + j];
    }
  }
  return b;
}

// The largest |a - b| relative to the largest |b|.
long double relative_error(const Long& a, const Long& b) {
  long double worst = 0, size = 0;
  for (std::size_t k = 0; k < a.size(); ++k)
    worst = std::fmax(worst, std::fabs(a[k] - b[k])), size = std::fmax(size, std::fabs(b[k]));
  return worst / size;
}

struct Scaled {
  Long s, y;
  int rank;
  std::string status;
};

// S, and zswpn's inverse of A (G4 or not) scaled as S is.
Scaled invert(const Matrix& a, int n, int moorep) {
  ZSWPN* swpi = zswpnsu(step_pool(), n, nullptr, nullptr, moorep);
  swpi->sing = 1.110223024625157e-12;
  std::fill_n(swpi->sweepx, n, '0');
  Matrix x = testmat::pack(a, n);
  EXPECT_EQ(zswpn(x.data(), nullptr, n, n, swpi), 0);
  Scaled r{Long(n * n), Long(n * n), swpi->rank, std::string(swpi->sweepx, n)};
  for (int k = 0; k < n * n; ++k) {
    const long double d =
        std::sqrt(static_cast<long double>(a[k / n * (n + 1)]) * a[k % n * (n + 1)]);
    r.s[k] = a[k] / d;
    r.y[k] = x[zisub(k / n, k % n)] * d;
  }
  return r;
}

// How far the sweep's inverse of the rows marked '1' is from their exact inverse.
long double sweep_error(const Matrix& a, int n, const std::string& status) {
  std::vector<int> kept;
  for (int i = 0; i < n; ++i)
    if (status[i] == '1') kept.push_back(i);
  const int m = static_cast<int>(kept.size());
  Matrix block(m * m);
  for (int k = 0; k < m * m; ++k) block[k] = a[kept[k / m] * n + kept[k % m]];
  const Scaled swept = invert(block, m, 0);
  return relative_error(swept.y, inverse(swept.s, m));
}

using PseudoInverseAccuracy = HostTest;

TEST_F(PseudoInverseAccuracy, DependentColumnsAgainstLongDouble) {
  const struct Case {
    double shift;
    std::vector<std::pair<int, int>> columns;
    std::vector<Matrix> null;  // exact null directions of A, orthogonal in S
  } cases[] = {
      {1990, {{0, 0}, {1, 0}, {1, -20}, {2, 0}}, {{0, std::ldexp(1.0, -20), -1, 0}}},
      {1990, {{0, 0}, {1, 0}, {2, 30}, {0, 0}}, {{1, 0, 0, -1}}},
      {4990, {{0, 0}, {1, 0}, {2, 0}, {1, 8}, {0, -4}}, {{0, 256, 0, -1, 0}, {1, 0, 0, 0, -16}}},
  };
  for (const Case& c : cases) {
    const int n = static_cast<int>(c.columns.size()), rank = n - static_cast<int>(c.null.size());
    SCOPED_TRACE(testing::Message() << "shift " << c.shift << ", " << n << " columns");
    const Matrix a = cross_products(c.shift, c.columns);
    const Scaled g4 = invert(a, n, 1);
    ASSERT_EQ(g4.rank, rank);
    Long nn(n * n, 0.0L), w(n);
    for (const Matrix& v : c.null) {
      long double norm = 0;
      for (int i = 0; i < n; ++i) w[i] = v[i] * std::sqrt(static_cast<long double>(a[i * (n + 1)]));
      for (long double e : w) norm += e * e;
      for (int k = 0; k < n * n; ++k) nn[k] += w[k / n] * w[k % n] / norm;
    }
    Long want = g4.s;
    for (int k = 0; k < n * n; ++k) want[k] += nn[k];
    want = inverse(want, n);
    for (int k = 0; k < n * n; ++k) want[k] -= nn[k];
    const long double limit = 4 * sweep_error(a, n, g4.status);
    const Long &s = g4.s, &y = g4.y, sy = product(s, y, n), ys = product(y, s, n);
    EXPECT_LE(relative_error(y, want), limit);
    EXPECT_LE(relative_error(product(sy, s, n), s), limit);
    EXPECT_LE(relative_error(product(ys, y, n), y), limit);
    EXPECT_LE(relative_error(sy, ys), limit);
    long double trace = 0;
    for (int i = 0; i < n; ++i) trace += ys[i * (n + 1)];
    EXPECT_NEAR(static_cast<double>(trace), rank, static_cast<double>(limit * rank));
  }
}

}  // namespace
