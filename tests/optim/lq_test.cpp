// The LQ factorisation of the working constraints: over random matrices of
// chosen rank with dependent rows placed anywhere (and the rows (1,0,0),
// (1,0,0), (0,1,1) where a dependent row precedes an independent one), the
// flags mark exactly the rows in the span of the rows before them, Q is
// orthogonal and its trailing rows annihilate every working row; the
// minimum-norm solve and the multipliers agree with LAPACK.
#include "optim/lq.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "constraint_sets.h"
#include "lapack.h"
#include "support/host_fixture.h"

namespace {

using Matrix = std::vector<std::vector<double>>;

// A run record whose working rows are the equalities `rows` over n
// parameters, declared in order, with the callbacks that refresh them.
class WorkingRows {
 public:
  WorkingRows(const Matrix& rows, int n) {
    std::vector<int> cols(n);
    for (int j = 0; j < n; ++j) cols[j] = j;
    for (std::size_t i = 0; i < rows.size(); ++i)
      constraints_.add(cols, rows[i], 0, false, "Row" + std::to_string(i));
    lsq::Options o;
    constraints_.apply(o, fit_);
    g_ = lsq::make_record(step_pool(), n, &fit_, o);
    g_->funcs.uscon = g_->funcs.usjnc = lsq::constraint_cb;
  }
  ZOPTGLOBAL* run() const { return g_; }

 private:
  lsq::Fit fit_;
  constraints::Linear constraints_;
  ZOPTGLOBAL* g_ = nullptr;
};

double dot(const double* a, const double* b, int n) {
  double s = 0;
  for (int i = 0; i < n; ++i) s += a[i] * b[i];
  return s;
}

// Rows: random combinations of `rank` random rows, with a dependent row
// (a combination of earlier rows) at each position marked in `dependent`.
Matrix random_rows(std::mt19937& engine, int n, const std::string& pattern) {
  std::normal_distribution<double> normal;
  Matrix rows;
  for (char kind : pattern) {
    std::vector<double> row(n, 0.0);
    if (kind == '1' || rows.empty()) {
      for (double& v : row) v = normal(engine);
    } else {
      for (const auto& earlier : rows) {
        const double c = normal(engine);
        for (int j = 0; j < n; ++j) row[j] += c * earlier[j];
      }
    }
    rows.push_back(row);
  }
  return rows;
}

class LqTest : public HostTest {};

void expect_null_space(ZOPTGLOBAL* g, const Matrix& rows, const std::string& flags) {
  const int n = g->opts.num_parms;
  const int m = static_cast<int>(rows.size());
  ZOPTMARQU& mq = *g->state.marqu;
  ASSERT_EQ(zncmat(g), 0);
  EXPECT_EQ(std::string(mq.singrowsc, m), flags);
  int rank = 0;
  for (char f : flags) rank += f == '1';
  EXPECT_EQ(mq.inumconstr, rank);
  computeQ(g);
  for (int i = 0; i < n; ++i)
    for (int k = 0; k < n; ++k)
      EXPECT_NEAR(dot(mq.Q[i], mq.Q[k], n), i == k, 1e-13) << i << "," << k;
  for (int z = rank; z < n; ++z)
    for (int r = 0; r < m; ++r)
      EXPECT_NEAR(dot(mq.Q[z], rows[r].data(), n), 0, 1e-12) << "Z row " << z << " A row " << r;
}

TEST_F(LqTest, ADependentRowBeforeAnIndependentOneLeavesTheNullSpaceExact) {
  const Matrix rows = {{1, 0, 0}, {1, 0, 0}, {0, 1, 1}};
  WorkingRows w(rows, 3);
  expect_null_space(w.run(), rows, "101");
  // The one null-space direction is +-(0, 1, -1)/sqrt(2).
  const double* z = w.run()->state.marqu->Q[2];
  EXPECT_NEAR(std::fabs(z[1]), std::sqrt(0.5), 1e-15);
  EXPECT_NEAR(z[1] + z[2], 0, 1e-15);
}

TEST_F(LqTest, RandomRowsOfChosenRank) {
  std::mt19937 engine(20240611);
  const std::vector<std::pair<int, std::string>> cases = {
      {5, "11111"},   {6, "1101"},   {6, "0111"}, {5, "11011"},
      {7, "1100101"}, {4, "110101"}, {3, "11111"}};
  for (const auto& [n, pattern] : cases) {
    SCOPED_TRACE(pattern);
    const Matrix rows = random_rows(engine, n, pattern);
    std::string flags = pattern;
    if (flags[0] == '0') flags[0] = '1';  // a first row is always independent
    // More rows than columns: every row past the rank that fills the space is dependent.
    for (int i = 0, rank = 0; i < static_cast<int>(flags.size()); ++i) {
      if (rank == n) flags[i] = '0';
      rank += flags[i] == '1';
    }
    WorkingRows w(rows, n);
    expect_null_space(w.run(), rows, flags);
  }
}

// The correction of the feasibility phase and the restoration step: x with
// A x = b on the independent rows and of least norm, as LAPACK's SVD
// solution (which sees the dependent rows as consistent). The multipliers
// solve A' lambda = g in the least-squares sense (LAPACK's solution over the
// independent rows); a dependent row gets 0.
TEST_F(LqTest, SolvesMatchLapack) {
  std::mt19937 engine(7);
  std::normal_distribution<double> normal;
  const int n = 5;
  for (const std::string pattern : {"111", "1101", "1011"}) {
    SCOPED_TRACE(pattern);
    const Matrix rows = random_rows(engine, n, pattern);
    const int m = static_cast<int>(rows.size());
    std::vector<double> x0(n), b(m, 0.0), gradient(n), flat, transposed;
    for (double& v : x0) v = normal(engine);
    for (int i = 0; i < m; ++i) b[i] = dot(rows[i].data(), x0.data(), n);
    for (const auto& row : rows) flat.insert(flat.end(), row.begin(), row.end());
    WorkingRows w(rows, n);
    ZOPTGLOBAL* g = w.run();
    ZOPTMARQU& mq = *g->state.marqu;
    ASSERT_EQ(zncmat(g), 0);
    std::vector<double> x(std::max(m, n));
    lqsolve(m, n, mq.fmat, x.data(), b.data(), mq.q, mq.beta, mq.singrowsc);
    const std::vector<double> solution = lapack::min_norm_solution(flat, m, n, b, 1e-10);
    ASSERT_EQ(solution.size(), static_cast<std::size_t>(n));
    for (int j = 0; j < n; ++j) EXPECT_NEAR(x[j], solution[j], 1e-12) << j;

    for (int j = 0; j < n; ++j) g->state.grad[j] = gradient[j] = normal(engine);
    ASSERT_EQ(zoptlag(g), 1);
    std::vector<int> kept;  // A' over the independent rows, n by k row-major
    for (int i = 0; i < m; ++i)
      if (pattern[i] == '1') kept.push_back(i);
      else EXPECT_EQ(mq.lagrange[i], 0);
    for (int j = 0; j < n; ++j)
      for (int i : kept) transposed.push_back(rows[i][j]);
    const std::vector<double> lambda =
        lapack::min_norm_solution(transposed, n, static_cast<int>(kept.size()), gradient, 1e-12);
    for (std::size_t k = 0; k < kept.size(); ++k)
      EXPECT_NEAR(mq.lagrange[kept[k]], lambda[k], 1e-12);
    // A stale factorisation refuses to estimate.
    mq.factored = 0;
    EXPECT_EQ(zoptlag(g), 0);
  }
}

}  // namespace
