// The packed matrix library against plain dense products of the unpacked
// matrices.
#include <gtest/gtest.h>

#include "linalg/packed_matrix.h"
#include "matrices.h"

namespace {

using testmat::Vec;
constexpr int kN = 5;
constexpr double kTol = 1e-13;

// Random packed S1, S2, a packed lower triangle L and their dense forms.
struct Operands {
  Vec s1 = testmat::random_packed(kN, 11), s2 = testmat::random_packed(kN, 12);
  Vec l = testmat::random_packed(kN, 13);
  Vec S1 = testmat::unpack(s1, kN), S2 = testmat::unpack(s2, kN);
  Vec L = testmat::unpack_lower(l, kN);
  Vec Lt = testmat::transpose(L, kN, kN);
};

Vec mul(const Vec& a, const Vec& b) { return testmat::multiply(a, b, kN, kN, kN); }
Vec packed(const Vec& a) { return testmat::pack(a, kN); }

TEST(PackedMatrixTest, ScalarFormsMatchDenseSums) {
  Operands o;
  double trace = 0.0, trace_ab = 0.0;
  for (int i = 0; i < kN; ++i) trace += o.S1[i * kN + i];
  for (int k = 0; k < kN * kN; ++k) trace_ab += o.S1[k] * o.S2[k];
  EXPECT_NEAR(zmxtr(o.s1.data(), kN), trace, kTol);
  EXPECT_NEAR(zmxins(o.s1.data(), o.s2.data(), kN), trace_ab, kTol);

  // x with stride 3, taken from a 3-column matrix; y with a zero entry.
  Vec x3 = testmat::random_dense(kN, 3, 14), y = testmat::random_dense(1, kN, 15);
  y[2] = 0.0;
  Vec x(kN), ax(kN, 0.0);
  for (int i = 0; i < kN; ++i) x[i] = x3[i * 3];
  for (int i = 0; i < kN; ++i)
    for (int j = 0; j < kN; ++j) ax[i] += o.S1[i * kN + j] * x[j];
  const double xax = testmat::dot(x.data(), ax.data(), kN);
  EXPECT_NEAR(zmxq1(x3.data(), o.s1.data(), kN, 3), xax, kTol);
  EXPECT_NEAR(zmxq1(x.data(), o.s1.data(), kN, 1), xax, kTol);
  EXPECT_NEAR(zmxq2(x3.data(), o.S1.data(), kN, 3), xax, kTol);
  EXPECT_NEAR(zmxbi(y.data(), x.data(), o.s1.data(), kN), testmat::dot(y.data(), ax.data(), kN),
              kTol);
  EXPECT_NEAR(zmxin1(x3.data(), x3.data(), kN, 3), testmat::dot(x.data(), x.data(), kN), kTol);
  EXPECT_NEAR(zmxin2(x3.data(), x.data(), kN, 3, 1), testmat::dot(x.data(), x.data(), kN), kTol);

  Vec sx(kN);
  zmxvs(x3.data(), o.s1.data(), sx.data(), 3, kN);
  EXPECT_LT(testmat::max_abs_diff(sx, ax), kTol);

  // trace(R' S R) for R n by 3.
  Vec rt = testmat::transpose(x3, kN, 3);
  Vec rtsr = testmat::multiply(testmat::multiply(rt, o.S1, 3, kN, kN), x3, 3, kN, 3);
  EXPECT_NEAR(zmxtq(x3.data(), o.s1.data(), kN, 3), rtsr[0] + rtsr[4] + rtsr[8], kTol);
  EXPECT_EQ(zmxq1(x.data(), o.s1.data(), 0, 1), 0.0);
}

TEST(PackedMatrixTest, CongruenceProductsMatchDenseProducts) {
  Operands o;
  Vec work(kN * kN);
  Vec s = o.s2;
  zmxlsu(o.l.data(), s.data(), kN, work.data());
  EXPECT_LT(testmat::max_abs_diff(s, packed(mul(mul(o.L, o.S2), o.Lt))), kTol);
  s = o.s2;
  zmxusl(o.l.data(), s.data(), kN, work.data());
  EXPECT_LT(testmat::max_abs_diff(s, packed(mul(mul(o.Lt, o.S2), o.L))), kTol);
  s = o.s2;
  zmxsss(o.s1.data(), s.data(), kN, work.data());
  EXPECT_LT(testmat::max_abs_diff(s, packed(mul(mul(o.S1, o.S2), o.S1))), kTol);
}

// Cells outside a row profile hold garbage that the profiled routines must not
// read; the reference uses the triangle with zeros there.
TEST(PackedMatrixTest, ProfiledCongruenceSkipsCellsOutsideTheProfile) {
  Operands o;
  int len[kN] = {1, 2, 1, 3, 2};
  Vec l = o.l, clean = o.l;
  for (int i = 0; i < kN; ++i)
    for (int j = 0; j <= i - len[i]; ++j) {
      l[zisub(i, j)] = 1e30;
      clean[zisub(i, j)] = 0.0;
    }
  Vec L = testmat::unpack_lower(clean, kN), Lt = testmat::transpose(L, kN, kN);
  Vec work(kN * kN), s = o.s2;
  zmxls1(l.data(), s.data(), kN, work.data(), len);
  EXPECT_LT(testmat::max_abs_diff(s, packed(mul(mul(L, o.S2), Lt))), kTol);
  s = o.s2;
  zmxus1(l.data(), s.data(), kN, work.data(), len);
  EXPECT_LT(testmat::max_abs_diff(s, packed(mul(mul(Lt, o.S2), L))), kTol);
}

TEST(PackedMatrixTest, TriangularSquaresInPlace) {
  Operands o;
  Vec l = o.l;
  zmxllt(l.data(), kN);
  EXPECT_LT(testmat::max_abs_diff(l, packed(mul(o.L, o.Lt))), kTol);
  l = o.l;
  zmxltl(l.data(), kN);
  EXPECT_LT(testmat::max_abs_diff(l, packed(mul(o.Lt, o.L))), kTol);
}

TEST(PackedMatrixTest, ProductsMatchDenseProducts) {
  Operands o;
  Vec r(kN * kN), p(kN * (kN + 1) / 2);
  zmxsl(o.s1.data(), o.l.data(), r.data(), kN);
  EXPECT_LT(testmat::max_abs_diff(r, mul(o.S1, o.L)), kTol);
  zmxss(o.s1.data(), o.s2.data(), r.data(), kN);
  EXPECT_LT(testmat::max_abs_diff(r, mul(o.S1, o.S2)), kTol);
  zmxs2(o.s1.data(), p.data(), kN);
  EXPECT_LT(testmat::max_abs_diff(p, packed(mul(o.S1, o.S1))), kTol);
  zmxss1(o.s1.data(), o.s2.data(), p.data(), kN);
  Vec sym = mul(o.S1, o.S2);
  Vec ba = mul(o.S2, o.S1);
  for (int k = 0; k < kN * kN; ++k) sym[k] += ba[k];
  EXPECT_LT(testmat::max_abs_diff(p, packed(sym)), kTol);

  // Rectangular operands: A 3 by 5, B 5 by 2.
  Vec a = testmat::random_dense(3, kN, 16), b = testmat::random_dense(kN, 2, 17);
  Vec ab(6), ata(kN * (kN + 1) / 2), aat(6, 1.0);
  zmxrr(a.data(), b.data(), ab.data(), 3, kN, 2);
  EXPECT_LT(testmat::max_abs_diff(ab, testmat::multiply(a, b, 3, kN, 2)), kTol);
  zmxrtr(a.data(), 3, kN, ata.data());
  Vec at = testmat::transpose(a, 3, kN);
  EXPECT_LT(testmat::max_abs_diff(ata, packed(testmat::multiply(at, a, kN, 3, kN))), kTol);
  zmxrrt(a.data(), 3, kN, aat.data());  // adds into r
  Vec expect = testmat::pack(testmat::multiply(a, at, 3, kN, 3), 3);
  for (double& x : expect) x += 1.0;
  EXPECT_LT(testmat::max_abs_diff(aat, expect), kTol);
  Vec rl(3 * kN);
  zmxrl(a.data(), o.l.data(), rl.data(), 3, kN);
  EXPECT_LT(testmat::max_abs_diff(rl, testmat::multiply(a, o.L, 3, kN, kN)), kTol);
}

TEST(PackedMatrixTest, RSRtStoresOrAddsMultiples) {
  Operands o;
  Vec r = testmat::random_dense(3, kN, 18);
  r[1] = 0.0;  // a zero cell of R is skipped
  Vec rsrt = testmat::pack(
      testmat::multiply(testmat::multiply(r, o.S1, 3, kN, kN), testmat::transpose(r, 3, kN), 3,
                        kN, 3),
      3);
  Vec result(6, 0.5);
  zmxrsr(r.data(), o.s1.data(), result.data(), 3, kN, 0);
  EXPECT_LT(testmat::max_abs_diff(result, rsrt), kTol);
  zmxrsr(r.data(), o.s1.data(), result.data(), 3, kN, -1);
  for (double x : result) EXPECT_NEAR(x, 0.0, kTol);

  // R' S R with R 3 by 5 and S 3 by 3, added twice into ones.
  Vec s3 = testmat::random_packed(3, 19), S3 = testmat::unpack(s3, 3);
  Vec rtsr = testmat::pack(
      testmat::multiply(testmat::multiply(testmat::transpose(r, 3, kN), S3, kN, 3, 3), r, kN, 3,
                        kN),
      kN);
  Vec out(kN * (kN + 1) / 2, 1.0), work(3);
  zmxrts(r.data(), s3.data(), out.data(), 3, kN, work.data(), 2);
  for (size_t k = 0; k < out.size(); ++k) EXPECT_NEAR(out[k], 1.0 + 2.0 * rtsr[k], kTol);
}

TEST(PackedMatrixTest, CrossProductAccumulation) {
  Vec data = {2.0, 0.0, -1.0};
  Vec s(6, 1.0);
  Vec untouched = s;
  EXPECT_EQ(zmxscp(data.data(), 3, 0.0, s.data()), 0);
  EXPECT_EQ(s, untouched);
  EXPECT_EQ(zmxscp(data.data(), 3, 0.5, s.data()), 1);
  // 1 + 0.5·x x' on rows 0 and 2; row 1 (data 0) untouched.
  EXPECT_EQ(s, (Vec{3.0, 1.0, 1.0, 0.0, 1.0, 1.5}));
  EXPECT_EQ(zmxsc1(data.data(), 3, s.data()), 1);
  EXPECT_EQ(s, (Vec{7.0, 1.0, 1.0, -2.0, 1.0, 2.5}));

  Vec outer(6, 0.0), a = {1.0, 0.0}, b = {1.0, 2.0, 3.0};
  zmxout(a.data(), b.data(), outer.data(), 2, 3);
  EXPECT_EQ(outer, (Vec{1.0, 2.0, 3.0, 0.0, 0.0, 0.0}));
}

TEST(PackedMatrixTest, InversePackedIndex) {
  int col = -1, row = -1;
  for (int i : {0, 1, 7, 100, 50000})
    for (int j : {0, i / 2, i}) {
      zmxun(static_cast<int>(zisub(i, j)), &col, &row);
      EXPECT_EQ(row, i);
      EXPECT_EQ(col, j);
    }
}

}  // namespace
