// A compiled model program with generated first and second derivatives of
// its MODEL value with respect to its parameters, set up as the procedure
// does (parameters in storage of the caller's, cmpder for the first
// derivatives, cmpder on the gradient for the second), and finite
// differences of the program's own value as the reference.
#pragma once

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "compiler_fixture.h"

namespace derivative_test {

class DerivativeTest : public compiler_test::CompilerTest {
 protected:
  // A fresh compiler block and derivatives.
  void reset() {
    reset_block();
    first_ = second_ = CMPDER{};
    hessian_.clear();
  }

  // Compiles the program; first (and with `second` also second)
  // derivatives of MODEL.<dep> with respect to every parameter.
  bool compile_model(std::string_view text, bool second = true, const char* dep = "MODEL.y") {
    add(text);
    cmprslv(data_.variables.empty() ? nullptr : &data_, &cmp_);
    parms_ = {};
    cmplstb(&parms_, kCmpKindParms, -1, &cmp_);
    parm_.assign(static_cast<std::size_t>(parms_.n), 0.0);
    cmplsts(&parms_, parm_.data(), &cmp_);
    cmpdfla(0, 0, 0, 1, &cmp_);
    cmpchck(&cmp_);
    CMPLIST objective{};
    cmplst(&objective, sym(dep), &cmp_);
    if (cmpder(&first_, &objective, &parms_, 101, 'p', 1, 0, &cmp_) != 0 || nretain_) return false;
    // The gradient list: one symbol per parameter, the literal 0 for none.
    gradient_ = {};
    cmplsta(&gradient_, parms_.n, &cmp_);
    for (int j = 0; j < parms_.n; ++j) cmplst(&gradient_, cmplit("0", 1, &cmp_), &cmp_);
    for (int k = 0; k < first_.der.n; ++k) gradient_.s[first_.wrtindex[k]] = first_.der.s[k];
    if (second) {
      if (cmpder(&second_, &gradient_, &parms_, 201, 'p', 1, 0, &cmp_) != 0 || nretain_)
        return false;
      hessian_.assign(static_cast<std::size_t>(parms_.n * (parms_.n + 1) / 2),
                      cmplit("0", 1, &cmp_));
      for (int k = 0; k < second_.der.n; ++k) {
        const int i = second_.objindex[k], j = second_.wrtindex[k];
        hessian_[static_cast<std::size_t>(std::max(i, j) * (std::max(i, j) + 1) / 2 +
                                          std::min(i, j))] = second_.der.s[k];
      }
    }
    model_ = sym(dep);
    if (before_generation_) before_generation_();
    const bool generated = cmpgen(&cmp_) == 0 && nretain_ == 0;
    if (generated && !data_.variables.empty()) cmppdv(&data_, &dataptr_, &cmp_);
    return generated;
  }

  int index_of(const char* parm) const {
    for (int j = 0; j < parms_.n; ++j)
      if (std::string(parms_.s[j]->name) == parm) return j;
    return -1;
  }

  // The model value for one observation at the parameters `b`.
  double model_at(const std::vector<double>& b,
                  const std::vector<compiler_test::FakeDataset::Value>& row, int derivatives = 0) {
    parm_ = b;
    cmpexi(1, 0, 0, &cmp_);
    cmpexi(0, 0, 0, &cmp_);
    if (!row.empty()) data_.load(row);
    int nerr = 0, nmiss = 0;
    cmprun(0, 0, 0, 1, 1, derivatives, 1, 0, &nerr, &nmiss, &cmp_);
    return *cmp_cell(model_);
  }

  // Generated first derivative j and second derivative (i, j) after a run.
  double gradient(int j) const { return *cmp_cell(gradient_.s[j]); }
  double hessian(int i, int j) const {
    const int hi = std::max(i, j), lo = std::min(i, j);
    return *cmp_cell(hessian_[static_cast<std::size_t>(hi * (hi + 1) / 2 + lo)]);
  }

  // Richardson-extrapolated central difference in parameter j of `value`
  // (a function of the parameters), the parameter stepped in proportion to
  // its size.
  template <class Value>
  double central_difference(const std::vector<double>& b, int j, Value value) {
    const auto k = static_cast<std::size_t>(j);
    const double s = step(b[k]);
    auto f = [&](double t) {
      std::vector<double> up = b, down = b;
      up[k] += s * t;
      down[k] -= s * t;
      const double high = value(up);
      return (high - value(down)) / (2 * s * t);
    };
    return richardson(f);
  }

  // Differences of the program's value.
  double fd_first(const std::vector<double>& b, int j,
                  const std::vector<compiler_test::FakeDataset::Value>& row) {
    return central_difference(b, j, [&](const std::vector<double>& p) { return model_at(p, row); });
  }

  // Differences of the generated first derivative i with respect to
  // parameter j: one order of differencing less than differences of the
  // value, so a reference for the second derivatives good to many more
  // digits (the first derivatives are checked against the value's).
  double fd_second(const std::vector<double>& b, int i, int j,
                   const std::vector<compiler_test::FakeDataset::Value>& row) {
    return central_difference(b, j, [&](const std::vector<double>& p) {
      model_at(p, row, 1);
      return gradient(i);
    });
  }

  // Every generated first and second derivative at `b` for the observation
  // `row` against the differences. Besides a relative 1e-9 (first) or 1e-8
  // (second), the tolerance allows the rounding noise of the differences:
  // a few hundred rounding errors of the differenced value over the step.
  void expect_matches_differences(const std::vector<double>& b,
                                  const std::vector<compiler_test::FakeDataset::Value>& row,
                                  const std::string& what) {
    const int n = static_cast<int>(b.size());
    constexpr double kNoise = 300 * 2.220446049250313e-16;
    const double value = std::fabs(model_at(b, row, 1));
    std::vector<double> g(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) g[static_cast<std::size_t>(i)] = std::fabs(gradient(i));
    for (int i = 0; i < n; ++i) {
      const double want = fd_first(b, i, row);
      model_at(b, row, 1);
      const double h = step(b[static_cast<std::size_t>(i)]);
      EXPECT_NEAR(gradient(i), want, 1e-9 * std::max(1.0, std::fabs(want)) + kNoise * value / h)
          << what << " d/d" << i;
      if (hessian_.empty()) continue;
      for (int j = 0; j <= i; ++j) {
        const double want2 = fd_second(b, i, j, row);
        model_at(b, row, 1);
        const double hj = step(b[static_cast<std::size_t>(j)]);
        EXPECT_NEAR(
            hessian(i, j), want2,
            1e-8 * std::max(1.0, std::fabs(want2)) + kNoise * g[static_cast<std::size_t>(i)] / hj)
            << what << " d2/d" << i << "d" << j;
      }
    }
  }

  // The step of a parameter's differences: a hundredth of its size, or of
  // `step_floor_` when that is larger (0 for parameters of any scale).
  double step(double x) const {
    const double scale = std::max(std::fabs(x), step_floor_);
    return 0.01 * (scale > 0 ? scale : 1.0);
  }
  double step_floor_ = 1.0;

  // Neville's tableau over t = 1, 1/2, 1/4, ... for a difference whose error
  // expands in even powers of t.
  static double richardson(const std::function<double(double)>& d) {
    constexpr int kLevels = 6;
    double t[kLevels][kLevels];
    for (int i = 0; i < kLevels; ++i) {
      t[i][0] = d(1 / std::pow(2.0, i));
      for (int k = 1; k <= i; ++k) {
        const double f = std::pow(4.0, k);
        t[i][k] = (f * t[i][k - 1] - t[i - 1][k - 1]) / (f - 1);
      }
    }
    return t[kLevels - 1][kLevels - 1];
  }

  CMPLIST parms_{};
  CMPLIST gradient_{};
  std::vector<CMPSYM*> hessian_;
  std::vector<double> parm_;
  CMPDER first_{};
  CMPDER second_{};
  CMPSYM* model_ = nullptr;
  std::function<void()> before_generation_;  // more requests, after the model's
};

}  // namespace derivative_test
