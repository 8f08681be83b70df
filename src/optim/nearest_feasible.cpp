// The nearest point that satisfies linear constraints (see the header). The
// rows are scaled to unit length, so that values are signed distances to
// their hyperplanes and one threshold tells a row in the span of others.
#include "optim/nearest_feasible.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "linalg/vector_kernels.h"
#include "optim/lq.h"

namespace {

using optim::LinearSet;
using optim::Nearest;

// A unit row whose part outside the span of the active rows is shorter
// than this lies in that span.
constexpr double kInSpan = 1e-12;
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// The constraints with unit rows; a constraint without coefficients is
// left out when it holds and makes the set contradictory when it does not.
struct UnitSet {
  int n = 0;
  std::vector<double> rows, values, tolerances;
  std::vector<char> equality, used;
  bool contradictory = false;

  explicit UnitSet(const LinearSet& set) : n(set.n), rows(set.rows), values(set.values), tolerances(set.tolerances),
                                           equality(set.equality), used(set.values.size(), 1) {
    for (std::size_t i = 0; i < values.size(); ++i) {
      double* a = rows.data() + i * static_cast<std::size_t>(n);
      const double length = zvenorm(n, 1, a);
      if (length > 0 && std::isfinite(length)) {
        for (int j = 0; j < n; ++j) a[j] /= length;
        values[i] /= length;
        tolerances[i] /= length;
        continue;
      }
      used[i] = 0;
      const bool holds = equality[i] ? std::fabs(values[i]) <= tolerances[i] : values[i] >= -tolerances[i];
      contradictory = contradictory || !holds;
    }
  }
  int size() const { return static_cast<int>(values.size()); }
  const double* row(int i) const { return rows.data() + static_cast<std::size_t>(i) * n; }
};

// The active rows (each oriented so that its value rises along it) and
// their LQ factors, formed anew after every change: the sets are small.
class ActiveRows {
 public:
  explicit ActiveRows(int n)
      : n_(n), rows_(static_cast<std::size_t>(n) * n), factors_(rows_.size()), pointers_(n),
        q_(static_cast<std::size_t>(n) * (n + 1) / 2), beta_(n), flags_(n), w_(n), w2_(n) {
    for (int i = 0; i < n; ++i) pointers_[i] = factors_.data() + static_cast<std::size_t>(i) * n;
  }
  int size() const { return size_; }
  bool full() const { return size_ == n_; }
  void add(const double* a) {
    std::copy_n(a, n_, row(size_++));
    stale_ = true;
  }
  void remove(int position) {
    for (int k = position; k + 1 < size_; ++k) std::copy_n(row(k + 1), n_, row(k));
    --size_;
    stale_ = true;
  }
  // a = A'lambda + z, z orthogonal to every active row.
  void split(const double* a, double* lambda, double* z) {
    std::copy_n(a, n_, z);
    if (size_ == 0) return;
    if (stale_) factor();
    std::copy_n(a, n_, w_.data());
    pre(size_, n_, q_.data(), w_.data(), beta_.data(), flags_.data());
    lq_backsolve(size_, pointers_.data(), w_.data(), lambda, flags_.data());
    for (int k = 0; k < size_; ++k) zvxay11(z, row(k), n_, -lambda[k]);
  }

 private:
  double* row(int k) { return rows_.data() + static_cast<std::size_t>(k) * n_; }
  void factor() {
    std::copy_n(rows_.data(), static_cast<std::size_t>(size_) * n_, factors_.data());
    znlqfct(size_, n_, pointers_.data(), w_.data(), w2_.data(), q_.data(), beta_.data(), flags_.data(), 0.0);
    stale_ = false;
  }

  int n_, size_ = 0;
  bool stale_ = true;
  std::vector<double> rows_, factors_;
  std::vector<double*> pointers_;
  std::vector<double> q_, beta_;
  std::vector<char> flags_;
  std::vector<double> w_, w2_;
};

enum class Join { kJoined, kSkipped, kNone, kUndecided };

// The dual method: the move d stays the nearest point to the start on the
// active constraints, and the multipliers u of the active inequalities stay
// nonnegative, while the violated constraints are brought in one by one.
class DualActiveSet {
 public:
  explicit DualActiveSet(const UnitSet& set)
      : set_(set), rows_(set.n), d_(set.n, 0.0), z_(set.n), r_(set.n),
        steps_left_(20 * (set.size() + set.n) + 50) {}

  Nearest solve(std::vector<double>* move, std::vector<int>* active) {
    if (set_.contradictory) return Nearest::kNone;
    for (int i = 0; i < set_.size(); ++i) {
      if (!set_.used[i] || !set_.equality[i]) continue;
      const Join j = join(i, value(i) > 0 ? -1.0 : 1.0);
      if (j == Join::kNone) return Nearest::kNone;
      if (j == Join::kUndecided) return Nearest::kUndecided;
    }
    for (int i = most_violated(); i >= 0; i = most_violated()) {
      const Join j = join(i, 1.0);
      if (j == Join::kNone) return Nearest::kNone;
      if (j == Join::kUndecided) return Nearest::kUndecided;
    }
    *move = d_;
    *active = index_;
    return Nearest::kFound;
  }

 private:
  double value(int i) const { return set_.values[i] + zvdot11(set_.row(i), d_.data(), set_.n); }

  bool is_active(int i) const { return std::find(index_.begin(), index_.end(), i) != index_.end(); }

  // The inequality furthest on the wrong side of its hyperplane; -1: none.
  int most_violated() const {
    int worst = -1;
    double lowest = 0;
    for (int i = 0; i < set_.size(); ++i) {
      if (!set_.used[i] || set_.equality[i] || is_active(i)) continue;
      const double v = value(i);
      if (v < -set_.tolerances[i] && v < lowest) lowest = v, worst = i;
    }
    return worst;
  }

  // The active inequality whose multiplier reaches 0 first as the new
  // constraint's grows by t: the smallest u_k / r_k over r_k > 0.
  int first_to_leave(double* t) const {
    int leaving = -1;
    *t = kInfinity;
    for (int k = 0; k < rows_.size(); ++k) {
      if (set_.equality[index_[k]] || !(r_[k] > 0)) continue;
      const double ratio = u_[k] / r_[k];
      if (ratio < *t) *t = ratio, leaving = k;
    }
    return leaving;
  }

  void leave(int k) {
    rows_.remove(k);
    index_.erase(index_.begin() + k);
    u_.erase(u_.begin() + k);
  }

  // Constraint i (its row times `sign`) joins: each pass moves along the
  // part of its row outside the active rows until it holds, or until an
  // active multiplier reaches 0 and that constraint leaves first.
  Join join(int i, double sign) {
    std::vector<double> a(set_.row(i), set_.row(i) + set_.n);
    for (double& x : a) x *= sign;
    double u_new = 0;
    while (steps_left_-- > 0) {
      rows_.split(a.data(), r_.data(), z_.data());
      const double outside = zvenorm(set_.n, 1, z_.data());
      double partial = 0;
      const int leaving = first_to_leave(&partial);
      double t = partial;
      bool holds = false;
      if (outside <= kInSpan || rows_.full()) {
        if (leaving < 0)
          return set_.equality[i] && std::fabs(value(i)) <= set_.tolerances[i] ? Join::kSkipped : Join::kNone;
      } else {
        const double full = -sign * value(i) / (outside * outside);
        holds = full <= partial;
        t = holds ? full : partial;
        zvxay11(d_.data(), z_.data(), set_.n, t);
      }
      for (int k = 0; k < rows_.size(); ++k) u_[k] -= t * r_[k];
      u_new += t;
      if (holds) {
        rows_.add(a.data());
        index_.push_back(i);
        u_.push_back(u_new);
        return Join::kJoined;
      }
      leave(leaving);
    }
    return Join::kUndecided;
  }

  const UnitSet& set_;
  ActiveRows rows_;
  std::vector<double> d_, z_, r_, u_;
  std::vector<int> index_;
  int steps_left_;
};

}  // namespace

namespace optim {

Nearest nearest_feasible(const LinearSet& set, std::vector<double>* move, std::vector<int>* active) {
  const UnitSet unit(set);
  DualActiveSet method(unit);
  return method.solve(move, active);
}

}  // namespace optim
