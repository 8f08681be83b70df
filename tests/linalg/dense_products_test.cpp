// Quadratic forms and dense products against explicit triple loops.
#include <gtest/gtest.h>

#include "linalg/dense_products.h"
#include "matrices.h"

namespace {

using testmat::Vec;

Vec op(const Vec& m, int rows, int cols, int flag) {
  return flag ? testmat::transpose(m, rows, cols) : m;
}

TEST(QuadraticForms, ScalarAndPackedForms) {
  // (1, 1) [2 1; 1 3] (1, 1)' = 7, then added to the 7 already there.
  const double s[] = {2, 1, 3}, ones[] = {1, 1};
  double q = 0;
  zqform(s, 2, ones, 1, &q, nullptr, 0);
  EXPECT_EQ(q, 7.0);
  zqform(s, 2, ones, 1, &q, nullptr, 1);
  EXPECT_EQ(q, 14.0);

  // G S G' for a random 3 by 5 G against the explicit product.
  const int n = 5, p = 3;
  const Vec sym = testmat::random_packed(n, 7), g = testmat::random_dense(p, n, 8);
  const Vec gs = testmat::multiply(g, testmat::unpack(sym, n), p, n, n);
  const Vec expected = testmat::pack(testmat::multiply(gs, testmat::transpose(g, p, n), p, n, p), p);
  Vec packed(6), work(n);
  zqform(sym.data(), n, g.data(), p, packed.data(), work.data(), 0);
  EXPECT_LT(testmat::max_abs_diff(packed, expected), 1e-13);
}

TEST(DenseProducts, ConformingProductsThroughBlasForEveryTransposeFlag) {
  // The curvature measures' shapes: p by p times p by p, 1 by p times p by q,
  // p by 1 times 1 by p, p by q transposed times p by 1, p by p times p by 1.
  struct Shape { int nx, mx, xf, ny, my, yf; };
  const Shape shapes[] = {{3, 3, 0, 3, 3, 0}, {1, 3, 0, 3, 2, 0}, {3, 1, 0, 3, 1, 1},
                          {3, 2, 1, 3, 1, 0}, {3, 3, 0, 3, 1, 0}, {2, 3, 1, 4, 2, 1},
                          {2, 3, 0, 3, 2, 0}};
  for (const Shape& s : shapes) {
    const Vec x = testmat::random_dense(s.nx, s.mx, 1), y = testmat::random_dense(s.ny, s.my, 2);
    const int rows = s.xf ? s.mx : s.nx, inner = s.xf ? s.nx : s.mx, cols = s.yf ? s.ny : s.my;
    Vec expected = testmat::multiply(op(x, s.nx, s.mx, s.xf), op(y, s.ny, s.my, s.yf), rows, inner, cols);
    Vec r(expected.size(), 1.0);
    hzmmultr(r.data(), 0, x.data(), s.nx, s.mx, s.xf, y.data(), s.ny, s.my, s.yf);
    EXPECT_LT(testmat::max_abs_diff(r, expected), 1e-14);
    hzmmultr(r.data(), 1, x.data(), s.nx, s.mx, s.xf, y.data(), s.ny, s.my, s.yf);
    for (double& e : expected) e *= 2;
    EXPECT_LT(testmat::max_abs_diff(r, expected), 1e-14);
  }
}

TEST(DenseProducts, ScalarOperandsAndMisfits) {
  const double two = 2.0;
  const Vec y = {1, 2, 3, 4, 5, 6};  // 3 by 2
  Vec r(6, 0.0);
  hzmmultr(r.data(), 0, &two, 1, 1, 0, y.data(), 3, 2, 0);
  EXPECT_EQ(r, (Vec{2, 4, 6, 8, 10, 12}));
  const Vec y22 = {1, 2, 3, 4};
  Vec t(4, 0.0);
  hzmmultr(t.data(), 0, &two, 1, 1, 0, y22.data(), 2, 2, 1);
  EXPECT_EQ(t, (Vec{2, 6, 4, 8}));
  hzmmultr(t.data(), 1, y22.data(), 2, 2, 1, &two, 1, 1, 0);  // adds 2*y22'
  EXPECT_EQ(t, (Vec{4, 12, 8, 16}));
  Vec untouched(6, 9.0);
  hzmmultr(untouched.data(), 0, y.data(), 3, 2, 0, y.data(), 3, 2, 0);  // 3x2 times 3x2
  hzmmultr(untouched.data(), 0, y.data(), 0, 2, 0, y.data(), 2, 3, 0);
  EXPECT_EQ(untouched, Vec(6, 9.0));

  Vec s(6, 1.0);
  QXVEQzsmultr(s.data(), 0, 3.0, y.data(), 3, 2, 0);
  EXPECT_EQ(s, (Vec{3, 6, 9, 12, 15, 18}));
  // f = 1 reads b as 2 rows of 3 and writes its transpose.
  QXVEQzsmultr(s.data(), 0, 1.0, y.data(), 3, 2, 1);
  EXPECT_EQ(s, (Vec{1, 4, 2, 5, 3, 6}));
  QXVEQzsmultr(s.data(), 1, 1.0, y.data(), 3, 2, 0);
  EXPECT_EQ(s, (Vec{2, 6, 5, 9, 8, 12}));
}

}  // namespace
