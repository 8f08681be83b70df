// The packed/full helpers of the diagnostics: the small cases worked by
// hand, then every routine against full-storage loops written here on
// random matrices of orders 1 to 9 (the unrolled loops' tails included).
// The products must equal, bit for bit, the sum taken term by term in
// ascending order of the summation index: the diagnostics rely on it.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "results/packed_full_matrices.h"

namespace {

using Vec = std::vector<double>;

TEST(PackedFullMatrices, HandWorkedCases) {
  const Vec L = {1, 2, 3};  // [[1, 0], [2, 3]] as a lower triangle, or [[1, 2], [2, 3]]
  Vec full(4, -1);
  copyfrom_triangular(L.data(), full.data(), 2, 0);
  EXPECT_EQ(full, (Vec{1, 2, 0, 3}));
  copyfrom_triangular(L.data(), full.data(), 2, 1);
  EXPECT_EQ(full, (Vec{1, 0, 2, 3}));

  const Vec from = {1, 2, 4, 3};
  Vec packed(3, -1);
  move_tritosym(from.data(), packed.data(), 2, 0);
  EXPECT_EQ(packed, (Vec{1, 2, 3}));
  move_tritosym(from.data(), packed.data(), 2, 1);
  EXPECT_EQ(packed, (Vec{1, 4, 3}));

  symmat_symmat(L.data(), L.data(), full.data(), 2, 0);
  EXPECT_EQ(full, (Vec{5, 8, 8, 13}));
  symmat_symmat(L.data(), L.data(), full.data(), 2, 1);
  EXPECT_EQ(full, (Vec{10, 16, 16, 26}));

  // Lᵀ·(1, 1) = (3, 3) added to what res holds.
  Vec res = {10, 20};
  const Vec ones = {1, 1};
  tri_vec_mul(L.data(), ones.data(), res.data(), 2, 0, 1);
  EXPECT_EQ(res, (Vec{13, 23}));

  // Order 1 works on the single element; order 0 touches nothing.
  double one = 7, v = 2, r = -1;
  symmat_vec(&one, &v, &r, 1, 0);
  EXPECT_EQ(r, 14);
  tri_vec_mul(&one, &v, &r, 1, 1, 1);
  EXPECT_EQ(r, 28);
  transpose_triangular(&one, 1, 0);
  EXPECT_EQ(one, 7);
  copyfrom_symmetric(&one, &r, 1);
  EXPECT_EQ(r, 7);
  symmat_symmat(&one, &one, &r, 0, 0);
  symmat_vec(&one, &v, &r, -1, 0);
  EXPECT_EQ(r, 7);
}

struct Random {
  std::mt19937_64 engine{2024};
  Vec draw(int count) {
    std::uniform_real_distribution<double> u(-1, 1);
    Vec out(count);
    for (double& x : out) x = u(engine);
    return out;
  }
};

double at(const Vec& packed, int i, int j) { return i >= j ? packed[i * (i + 1) / 2 + j] : packed[j * (j + 1) / 2 + i]; }

TEST(PackedFullMatrices, AgreeWithFullStorageTermByTerm) {
  Random rnd;
  for (int n = 1; n <= 9; ++n) {
    const int q = n * (n + 1) / 2;
    const Vec A = rnd.draw(q), B = rnd.draw(q), x = rnd.draw(n), start = rnd.draw(n * n);
    Vec sym(n * n), lower(n * n, 0.0), upper(n * n, 0.0);
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) {
        sym[i * n + j] = at(A, i, j);
        if (j <= i) lower[i * n + j] = upper[j * n + i] = at(A, i, j);
      }
    Vec full(n * n);
    copyfrom_symmetric(A.data(), full.data(), n);
    EXPECT_EQ(full, sym) << n;
    copyfrom_triangular(A.data(), full.data(), n, 1);
    EXPECT_EQ(full, lower) << n;
    copyfrom_triangular(A.data(), full.data(), n, 0);
    EXPECT_EQ(full, upper) << n;
    Vec packed(q);
    move_tritosym(upper.data(), packed.data(), n, 0);
    EXPECT_EQ(packed, A) << n;
    move_tritosym(lower.data(), packed.data(), n, 1);
    EXPECT_EQ(packed, A) << n;
    Vec m = start;
    transpose_triangular(m.data(), n, 0);  // the upper triangle of `start`, transposed
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) EXPECT_EQ(m[i * n + j], j > i ? 0.0 : start[j * n + i]) << n;
    m = start;
    transpose_triangular(m.data(), n, 1);
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) EXPECT_EQ(m[i * n + j], j < i ? 0.0 : start[j * n + i]) << n;

    // Products from zero (flag 0, whatever the output held) and added to
    // what the output holds (flag nonzero).
    for (const bool add : {false, true}) {
      Vec sv(n), lv(n), tv(n), ss(n * n);
      for (int i = 0; i < n; ++i) {
        sv[i] = lv[i] = tv[i] = add ? start[i] : 0.0;
        for (int k = 0; k < n; ++k) sv[i] += sym[i * n + k] * x[k];
        for (int k = 0; k <= i; ++k) lv[i] += lower[i * n + k] * x[k];
        for (int k = i; k < n; ++k) tv[i] += lower[k * n + i] * x[k];
        for (int j = 0; j < n; ++j) {
          ss[i * n + j] = add ? start[i * n + j] : 0.0;
          for (int k = 0; k < n; ++k) ss[i * n + j] += sym[i * n + k] * at(B, k, j);
        }
      }
      const Vec held(start.begin(), start.begin() + n);
      Vec r = held;
      symmat_vec(A.data(), x.data(), r.data(), n, add);
      EXPECT_EQ(r, sv) << n;
      r = held;
      tri_vec_mul(A.data(), x.data(), r.data(), n, 1, add);
      EXPECT_EQ(r, lv) << n;
      r = held;
      tri_vec_mul(A.data(), x.data(), r.data(), n, 0, add);
      EXPECT_EQ(r, tv) << n;
      m = start;
      symmat_symmat(A.data(), B.data(), m.data(), n, add);
      EXPECT_EQ(m, ss) << n;
    }
  }
}

}  // namespace
