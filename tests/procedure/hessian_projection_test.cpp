// The projections of a packed symmetric matrix onto the free directions of
// active constraints, against the products formed here from full matrices.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "linalg/packed.h"
#include "optim/optimiser.h"
#include "procedure/data_pass.h"
#include "procedure/procedure_context.h"

namespace {

using Matrix = std::vector<std::vector<double>>;

Matrix multiply(const Matrix& a, const Matrix& b) {
  Matrix c(a.size(), std::vector<double>(b[0].size(), 0.0));
  for (std::size_t i = 0; i < a.size(); ++i)
    for (std::size_t j = 0; j < b[0].size(); ++j)
      for (std::size_t k = 0; k < b.size(); ++k) c[i][j] += a[i][k] * b[k][j];
  return c;
}

Matrix transpose(const Matrix& a) {
  Matrix t(a[0].size(), std::vector<double>(a.size()));
  for (std::size_t i = 0; i < a.size(); ++i)
    for (std::size_t j = 0; j < a[0].size(); ++j) t[j][i] = a[i][j];
  return t;
}

const Matrix kH = {{4, 1, -2}, {1, 3, 0.5}, {-2, 0.5, 5}};

std::vector<double> packed(const Matrix& a) {
  std::vector<double> p;
  for (std::size_t i = 0; i < a.size(); ++i)
    for (std::size_t j = 0; j <= i; ++j) p.push_back(a[i][j]);
  return p;
}

// Two orthonormal rows spanning the directions free of x1 + x2 + x3 = c.
const Matrix kZ = {{0.7071067811865476, -0.7071067811865476, 0},
                   {0.4082482904638631, 0.4082482904638631, -0.8164965809277261}};

TEST(HessianProjection, TheFreeDirectionsQuadraticFormIsZtHZ) {
  // com_zhz takes the basis as columns: Z' of the rows above.
  const Matrix zc = transpose(kZ);
  std::vector<double> z;
  for (const auto& row : zc) z.insert(z.end(), row.begin(), row.end());
  const std::vector<double> h = packed(kH);
  std::vector<double> out(3), work(3);
  com_zhz(h.data(), 3, z.data(), 2, out.data(), work.data());
  const std::vector<double> want = packed(multiply(multiply(kZ, kH), zc));
  for (int k = 0; k < 3; ++k) EXPECT_NEAR(out[k], want[k], 1e-14);
}

TEST(HessianProjection, JovfhesLeavesZtZHZtZ) {
  auto ctx = std::make_unique<RUVACOM>();
  ZOPTGLOBAL g{};
  ZOPTMARQU mq{};
  std::vector<double> zrows, wrk1(16), wrk3(4);
  for (const auto& row : kZ) zrows.insert(zrows.end(), row.begin(), row.end());
  double* z[2] = {zrows.data(), zrows.data() + 3};
  mq.z = z;
  mq.inumconstr = 1;
  g.state.marqu = &mq;
  g.opts.num_parms = 3;
  g.mem.wrk1 = wrk1.data();
  g.mem.wrk3 = wrk3.data();
  ctx->zoptg = &g;
  std::vector<double> h = packed(kH);
  jovfhes(ctx.get(), h.data());
  const std::vector<double> want = packed(multiply(multiply(transpose(kZ), multiply(multiply(kZ, kH), transpose(kZ))), kZ));
  for (int k = 0; k < 6; ++k) EXPECT_NEAR(h[k], want[k], 1e-14);
  // No active constraint, or none free: unchanged.
  mq.inumconstr = 0;
  std::vector<double> same = packed(kH);
  jovfhes(ctx.get(), same.data());
  EXPECT_EQ(same, packed(kH));
}

}  // namespace
