// Weighted cross products of many rows, summed into a packed symmetric
// triangle a block of rows at a time. Each cell takes, for each row in the
// order the rows came, a += (w v_i) v_j: the operations of the rank-one
// update a += w v v' in its order, so the sums have the same bits; but a
// cell stays in a register over a whole block of rows instead of being
// loaded and stored for every row, and four cells of a row share each
// operation.
#pragma once

#include <algorithm>
#include <vector>

namespace linalg {

class CrossProductBlock {
 public:
  // Four cells of row i from column j, at `sums` in the padded triangle.
  struct Run {
    int sums;
    int i;
    int j;
  };

  static constexpr int kRows = 32;  // rows held before they are summed

  // Sums of order m, all zero.
  void start(int m);
  // Adds row v (m values) with weight w.
  void add(const double* v, double w) { push<0>(v, w); }
  // Adds the product of row u (m values, the one weighted) and row v: each
  // cell (i, j) of the triangle takes u_i v_j, so that two calls, (u, v)
  // and (v, u), add u v' + v u'.
  void add_product(const double* u, const double* v) {
    if (count_ == kRows) flush();
    const std::size_t at = static_cast<std::size_t>(count_) * static_cast<std::size_t>(padded_);
    std::copy(v, v + m_, rows_.data() + at);
    std::copy(u, u + m_, scaled_.data() + at);
    ++count_;
  }
  // add() for rows of M values, known when compiled (M equal to the order
  // given to start()), whose copy the compiler unrolls.
  template <int M>
  void add_row(const double* v, double w) {
    push<M>(v, w);
  }
  // The sums of every row added since start(), into the packed lower
  // triangle `a` (m(m+1)/2 values, row by row).
  void finish(double* a);

 private:
  void flush();
  // add() with rows of M values, or of m_ when M is 0.
  template <int M>
  void push(const double* v, double w) {
    const int m = M > 0 ? M : m_;
    if (count_ == kRows) flush();
    double* row = rows_.data() + static_cast<std::size_t>(count_) * static_cast<std::size_t>(padded_);
    double* scaled = scaled_.data() + static_cast<std::size_t>(count_) * static_cast<std::size_t>(padded_);
#pragma GCC unroll 16
    for (int i = 0; i < m; ++i) {
      row[i] = v[i];
      scaled[i] = w * v[i];
    }
    ++count_;
  }

  int m_ = 0;
  int padded_ = 0;              // a row's length rounded up to four
  int count_ = 0;               // rows held
  std::vector<double> rows_;    // kRows rows of v, zero past m
  std::vector<double> scaled_;  // the same rows times their weights
  std::vector<double> sums_;    // row i of the triangle at offsets_[i], rounded up to four cells
  std::vector<int> offsets_;
  std::vector<Run> runs_;       // every run of the triangle
};

}  // namespace linalg
