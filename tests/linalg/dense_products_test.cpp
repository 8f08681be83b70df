// Quadratic forms and dense products against explicit triple loops.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "linalg/dense_products.h"
#include "linalg/packed.h"

namespace {

using Matrix = std::vector<double>;

// op(m) of a rows by cols row-major m, as a row-major matrix.
Matrix op(const Matrix& m, int rows, int cols, int flag) {
  if (!flag) return m;
  Matrix t(m.size());
  for (int i = 0; i < rows; ++i)
    for (int j = 0; j < cols; ++j) t[j * rows + i] = m[i * cols + j];
  return t;
}

Matrix product(const Matrix& a, const Matrix& b, int n, int inner, int m) {
  Matrix r(static_cast<std::size_t>(n) * m, 0.0);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < m; ++j)
      for (int k = 0; k < inner; ++k) r[i * m + j] += a[i * inner + k] * b[k * m + j];
  return r;
}

Matrix random_matrix(int count, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> u(-1, 1);
  Matrix m(count);
  for (double& v : m) v = u(rng);
  return m;
}

TEST(QuadraticForms, ScalarAndPackedForms) {
  const double s[] = {2, 1, 3};
  const double ones[] = {1, 1};
  double q = 0;
  zqform(s, 2, ones, 1, &q, nullptr, 0);
  EXPECT_EQ(q, 7.0);
  zqform(s, 2, ones, 1, &q, nullptr, 1);
  EXPECT_EQ(q, 14.0);
  const double identity[] = {1, 0, 0, 1};
  double prod[3], work[2];
  zqform(s, 2, identity, 2, prod, work, 0);
  EXPECT_EQ(prod[0], 2.0);
  EXPECT_EQ(prod[1], 1.0);
  EXPECT_EQ(prod[2], 3.0);

  // G S G' for a random 3 by 5 G against the explicit product.
  const int n = 5, p = 3;
  const Matrix sym = random_matrix(15, 7), g = random_matrix(p * n, 8);
  Matrix full(n * n);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) full[i * n + j] = sym[zisub(i, j)];
  const Matrix expected = product(product(g, full, p, n, n), op(g, p, n, 1), p, n, p);
  double packed[6], scratch[5];
  zqform(sym.data(), n, g.data(), p, packed, scratch, 0);
  for (int c = 0; c < p; ++c)
    for (int d = 0; d <= c; ++d) EXPECT_NEAR(packed[zisub(c, d)], expected[c * p + d], 1e-13);
}

TEST(DenseProducts, ConformingProductsThroughBlasForEveryTransposeFlag) {
  // The curvature measures' shapes: p by p times p by p, 1 by p times p by q,
  // p by 1 times 1 by p, p by q transposed times p by 1, p by p times p by 1.
  struct Shape { int nx, mx, xf, ny, my, yf; };
  const Shape shapes[] = {{3, 3, 0, 3, 3, 0}, {1, 3, 0, 3, 2, 0}, {3, 1, 0, 3, 1, 1},
                          {3, 2, 1, 3, 1, 0}, {3, 3, 0, 3, 1, 0}, {2, 3, 1, 4, 2, 1},
                          {2, 3, 0, 3, 2, 0}};
  for (const Shape& s : shapes) {
    const Matrix x = random_matrix(s.nx * s.mx, 1), y = random_matrix(s.ny * s.my, 2);
    const int rows = s.xf ? s.mx : s.nx, inner = s.xf ? s.nx : s.mx, cols = s.yf ? s.ny : s.my;
    const Matrix expected = product(op(x, s.nx, s.mx, s.xf), op(y, s.ny, s.my, s.yf), rows, inner, cols);
    Matrix r(expected.size(), 1.0);
    hzmmultr(r.data(), 0, x.data(), s.nx, s.mx, s.xf, y.data(), s.ny, s.my, s.yf);
    for (std::size_t k = 0; k < r.size(); ++k) EXPECT_NEAR(r[k], expected[k], 1e-14);
    hzmmultr(r.data(), 1, x.data(), s.nx, s.mx, s.xf, y.data(), s.ny, s.my, s.yf);
    for (std::size_t k = 0; k < r.size(); ++k) EXPECT_NEAR(r[k], 2 * expected[k], 1e-14);
  }
}

TEST(DenseProducts, ScalarOperandsAndMisfits) {
  const double two = 2.0;
  const Matrix y = {1, 2, 3, 4, 5, 6};  // 3 by 2
  Matrix r(6, 0.0);
  hzmmultr(r.data(), 0, &two, 1, 1, 0, y.data(), 3, 2, 0);
  EXPECT_EQ(r, (Matrix{2, 4, 6, 8, 10, 12}));
  const Matrix y22 = {1, 2, 3, 4};
  Matrix t(4, 0.0);
  hzmmultr(t.data(), 0, &two, 1, 1, 0, y22.data(), 2, 2, 1);
  EXPECT_EQ(t, (Matrix{2, 6, 4, 8}));
  hzmmultr(t.data(), 1, y22.data(), 2, 2, 1, &two, 1, 1, 0);  // adds 2*y22'
  EXPECT_EQ(t, (Matrix{4, 12, 8, 16}));
  Matrix untouched(6, 9.0);
  hzmmultr(untouched.data(), 0, y.data(), 3, 2, 0, y.data(), 3, 2, 0);  // 3x2 times 3x2
  hzmmultr(untouched.data(), 0, y.data(), 0, 2, 0, y.data(), 2, 3, 0);
  EXPECT_EQ(untouched, Matrix(6, 9.0));

  Matrix s(6, 1.0);
  QXVEQzsmultr(s.data(), 0, 3.0, y.data(), 3, 2, 0);
  EXPECT_EQ(s, (Matrix{3, 6, 9, 12, 15, 18}));
  // f = 1 reads b as 2 rows of 3 and writes its transpose.
  QXVEQzsmultr(s.data(), 0, 1.0, y.data(), 3, 2, 1);
  EXPECT_EQ(s, (Matrix{1, 4, 2, 5, 3, 6}));
  QXVEQzsmultr(s.data(), 1, 1.0, y.data(), 3, 2, 0);
  EXPECT_EQ(s, (Matrix{2, 6, 5, 9, 8, 12}));
}

}  // namespace
