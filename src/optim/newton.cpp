#include "optim/newton.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "linalg/constants.h"
#include "linalg/symmetric_eigen.h"
#include "optim/optimiser.h"

namespace {

constexpr double kFloor = 1e-10;  // eigenvalues below this share of the largest are floored
constexpr double kTiny = 2.2250738585072014e-308;
constexpr int kLineSearchTrials = 30;

// The modified Newton step into delta (x - delta is the full step);
// returns g'delta, or -1 when the eigen-decomposition failed.
double newton_step(const NewtonRun& r, double* delta) {
  const int n = r.n;
  const long q = static_cast<long>(n) * (n + 1) / 2;
  std::vector<double> sym(r.hess, r.hess + q), val(n), vec(static_cast<std::size_t>(n) * n),
      work(9 * n);
  const int rc = zeigen2(n, sym.data(), val.data(), n, vec.data(), work.data());
  if (rc >= kEigenVectorFailed) return -1;
  double largest = 0;
  for (double v : val) largest = std::max(largest, std::fabs(v));
  const double floor = std::max(largest * kFloor, kTiny);
  std::fill(delta, delta + n, 0.0);
  for (int k = 0; k < n; ++k) {
    const double* v = &vec[static_cast<std::size_t>(k) * n];
    double vg = 0;
    for (int j = 0; j < n; ++j) vg += v[j] * r.grad[j];
    const double s = vg / std::max(std::fabs(val[k]), floor);
    for (int j = 0; j < n; ++j) delta[j] += s * v[j];
  }
  double decrement = 0;
  for (int j = 0; j < n; ++j) decrement += r.grad[j] * delta[j];
  return decrement;
}

double objective_at(void* p) {
  const auto* r = static_cast<const NewtonRun*>(p);
  return r->value(r->user) == 0 && std::isfinite(*r->f) ? *r->f : linalg::kHuge;
}

// Searches along -delta from x; false when the objective would not fall.
bool line_search(const NewtonRun& r, double* delta) {
  std::vector<double> start(r.x, r.x + r.n), half(r.grad, r.grad + r.n);
  for (double& g : half) g *= 0.5;  // the library's gradient is half the objective's
  LINESRCH ls{};
  ls.damp = ls.pdamp = 1;
  ls.oldobj = *r.f;
  ls.gradient = half.data();
  ls.user_ptr = const_cast<NewtonRun*>(&r);
  ls.objfunc = objective_at;
  ls.maxsubiters = kLineSearchTrials;
  ls.linesearch = 'Q';
  if (zlnsrch(delta, r.x, start.data(), r.n, &ls) != 0) return true;
  std::copy(start.begin(), start.end(), r.x);
  return false;
}

}  // namespace

int znewton(const NewtonRun& r) {
  if (r.n <= 0 || r.all(r.user) != 0) return kNewtonCallbackFailed;
  std::vector<double> delta(r.n);
  for (int iter = 0;; ++iter) {
    const double decrement = newton_step(r, delta.data());
    if (decrement < 0) return kNewtonCallbackFailed;
    if (iter >= r.min_iters && !(decrement > r.tol * r.tol * std::fabs(*r.f))) return iter;
    if (iter >= r.max_iters) return kNewtonIterationLimit;
    if (*r.calls >= r.max_calls) return kNewtonCallLimit;
    const bool fell = line_search(r, delta.data());
    if (r.all(r.user) != 0) return kNewtonCallbackFailed;
    // At the minimum up to rounding no step lowers the objective.
    if (!fell) return decrement <= r.tol * std::fabs(*r.f) ? iter : kNewtonNoDecrease;
  }
}
