// Constraints for the tests, held as the procedure holds its bounds: each
// value in a slot of its own and each coefficient in a cell that the
// optimiser reads through a pointer, all refreshed from the parameters by
// the constraint callbacks. An inequality reads value >= 0.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "least_squares.h"

namespace constraints {

struct Row {
  std::vector<int> cols;
  std::vector<double> coefs;
  std::vector<double*> cells;
  double constant = 0;
  double value = 0;
  bool inequality = true;
  std::string name;
};

class Linear {
 public:
  // value = sum coefs[k] x[cols[k]] + constant.
  Linear& add(std::vector<int> cols, std::vector<double> coefs, double constant, bool inequality,
              std::string name) {
    rows_.push_back(std::make_unique<Row>(
        Row{std::move(cols), std::move(coefs), {}, constant, 0, inequality, std::move(name)}));
    for (double& c : rows_.back()->coefs) rows_.back()->cells.push_back(&c);
    return *this;
  }
  // x_j <= bound, as BOUNDS x <= c: value = c - x_j.
  Linear& upper(int j, double bound, std::string name) { return add({j}, {-1}, bound, true, name); }
  // x_j >= bound, as BOUNDS x >= c: value = x_j - c.
  Linear& lower(int j, double bound, std::string name) { return add({j}, {1}, -bound, true, name); }

  // Room, declarations and callbacks for a run made by lsq::make_run.
  void apply(lsq::Options& o, lsq::Fit& fit) {
    for (const auto& row : rows_) (row->inequality ? o.inequalities : o.equalities) += 1;
    o.declare = [this](ZOPTGLOBAL* g) {
      for (const auto& row : rows_)
        if (zoptac(row->cols.data(), row->cells.data(), static_cast<int>(row->cols.size()),
                   &row->value, row->inequality, nullptr, nullptr, nullptr, 0, row->name.data(),
                   row.get(), g) != 0)
          return 1;
      return 0;
    };
    fit.constraints = [this](const double* x) {
      for (const auto& row : rows_) {
        row->value = row->constant;
        for (std::size_t k = 0; k < row->cols.size(); ++k)
          row->value += row->coefs[k] * x[row->cols[k]];
      }
    };
  }

 private:
  std::vector<std::unique_ptr<Row>> rows_;
};

// The equality x1^2 + x2^2 = 1 over the first two parameters; its gradient
// (2 x1, 2 x2) vanishes at the origin. With `curved` its second
// derivatives (2 on the diagonal) are declared as its nonlinear part.
class Circle {
 public:
  void apply(lsq::Options& o, lsq::Fit& fit, bool curved = false) {
    o.equalities += 1;
    o.declare = [this, curved](ZOPTGLOBAL* g) {
      return zoptac(cols_, cells_, 2, &value_, 0, cols_, cols_, curvature_, curved ? 2 : 0, name_,
                    nullptr, g);
    };
    fit.constraints = [this](const double* x) {
      value_ = x[0] * x[0] + x[1] * x[1] - 1;
      coefs_[0] = 2 * x[0];
      coefs_[1] = 2 * x[1];
    };
  }

 private:
  double value_ = 0;
  double coefs_[2] = {};
  double* cells_[2] = {&coefs_[0], &coefs_[1]};
  int cols_[2] = {0, 1};
  double two_ = 2;
  double* curvature_[2] = {&two_, &two_};
  char name_[7] = "Circle";
};

}  // namespace constraints
