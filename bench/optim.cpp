// One optimiser run on a quadratic objective of n parameters with an exact
// Hessian: the first step lands on the minimum, so a run is the first
// objective, two step computations (sweeps of the order n+1 bordered matrix)
// and one Marquardt iteration. The callbacks only copy a fixed matrix, so the
// time is the library's own. Floor written by hand: two sweeps of n^3/3
// multiply-adds each, about 2 * 64^3 / 3 = 175k for n = 64 (~0.1 ms at 2
// GFLOP/s), plus the copies of the bordered matrix.
#include <benchmark/benchmark.h>

#include <sstream>
#include <vector>

#include "host/globals.h"
#include "host/pool.h"
#include "linalg/packed.h"
#include "optim/optimiser.h"
#include "platform/host.h"

namespace {

// F(x) = (x - c)' A (x - c) / 2 + 1 with A = I + 1/(1 + |i - j|) (positive definite).
struct Quadratic {
  int n;
  std::vector<double> a, c;
  explicit Quadratic(int order) : n(order), a(static_cast<std::size_t>(order) * order), c(order) {
    for (int i = 0; i < n; ++i) {
      c[i] = 1.0 + 0.1 * i;
      for (int j = 0; j < n; ++j) a[i * n + j] = (i == j) + 1.0 / (1 + (i > j ? i - j : j - i));
    }
  }
  double value(const double* x, double* g) const {
    double f = 1;
    for (int i = 0; i < n; ++i) {
      g[i] = 0;
      for (int j = 0; j < n; ++j) g[i] += a[i * n + j] * (x[j] - c[j]);
      f += 0.5 * (x[i] - c[i]) * g[i];
    }
    return f;
  }
};

Quadratic* problem(ZOPTGLOBAL* g) { return static_cast<Quadratic*>(g->opts.userptr); }

int objective(ZOPTGLOBAL* g) {
  std::vector<double> grad(problem(g)->n);
  g->state.objective = problem(g)->value(g->state.parms, grad.data());
  g->state.nobs = 100;
  return 0;
}

// The library's gradient is half the derivative: A(x - c) / 2, Hessian A / 2.
int gradient(ZOPTGLOBAL* g) {
  const Quadratic& q = *problem(g);
  const double f = q.value(g->state.parms, g->state.grad);
  for (int i = 0; i < q.n; ++i) {
    g->state.grad[i] *= 0.5;
    g->state.hes[zisub(q.n, i)] = g->state.grad[i];
  }
  g->state.grad[q.n] = f;
  g->state.hes[zisub(q.n, q.n)] = f;
  return 0;
}

int hessian(ZOPTGLOBAL* g) {
  const Quadratic& q = *problem(g);
  for (int i = 0; i < q.n; ++i)
    for (int j = 0; j <= i; ++j) g->state.hes[zisub(i, j)] = 0.5 * q.a[i * q.n + j];
  return 0;
}

void BM_QuadraticRun(benchmark::State& state) {
  std::ostringstream log, listing;
  platform::Host host({&log, &listing});
  Quadratic q(static_cast<int>(state.range(0)));
  auto* g = static_cast<ZOPTGLOBAL*>(vmalcp_handler(step_pool(), sizeof(ZOPTGLOBAL), kPoolCleared));
  g->mem.pool = step_pool();
  g->opts.num_parms = q.n;
  zoptcnt(0, 0, g);
  g->opts.method = 'M';
  g->opts.atol = 1e-8;
  g->opts.sing = 1e-12;
  g->opts.userptr = &q;
  zoptsu(g);
  g->funcs = {objective, gradient, hessian, nullptr, nullptr, nullptr,
              nullptr,   nullptr,  nullptr, nullptr, nullptr};
  for (auto _ : state) {
    g->state.iters = 0;
    g->state.prevnobs = 0;
    g->state.marqu->lambda = 0;
    for (int i = 0; i < q.n; ++i) g->state.parms[i] = 0;
    benchmark::DoNotOptimize(zopt(g));
  }
  state.counters["iters"] = g->state.iters;
}
BENCHMARK(BM_QuadraticRun)->Arg(8)->Arg(64)->Arg(200);

// The same objective with the bounds x_i <= 0 on every other parameter, all
// active at the minimum (every c_i is positive), by plain steps with step
// halving from 0. Each step that runs into a bound adds it to the working
// set (one per iteration), so a run is about n/2 iterations, each a
// factorisation of the working rows and a projection Z H Z' of n^2 (n - k)
// multiply-adds: some n^4/12 in all, about 1.4M for n = 64.
struct Bounds {
  std::vector<double> values, coefs;
  std::vector<double*> cells;
  std::vector<int> cols;
  explicit Bounds(int n) : values(n / 2), coefs(n / 2, -1.0), cols(n / 2) {
    for (int k = 0; k < n / 2; ++k) {
      cols[k] = 2 * k;
      cells.push_back(&coefs[k]);
    }
  }
};
Bounds* g_bounds;

int bound_values(ZOPTGLOBAL* g) {
  for (std::size_t k = 0; k < g_bounds->values.size(); ++k)
    g_bounds->values[k] = -g->state.parms[g_bounds->cols[k]];
  return 0;
}

void BM_BoundedQuadraticRun(benchmark::State& state) {
  std::ostringstream log, listing;
  platform::Host host({&log, &listing});
  Quadratic q(static_cast<int>(state.range(0)));
  Bounds bounds(q.n);
  g_bounds = &bounds;
  auto* g = static_cast<ZOPTGLOBAL*>(vmalcp_handler(step_pool(), sizeof(ZOPTGLOBAL), kPoolCleared));
  g->mem.pool = step_pool();
  g->opts.num_parms = q.n;
  zoptcnt(0, q.n / 2, g);
  for (int k = 0; k < q.n / 2; ++k)
    zoptac(&bounds.cols[k], &bounds.cells[k], 1, &bounds.values[k], 1, nullptr, nullptr, nullptr, 0,
           nullptr, nullptr, g);
  g->opts.method = 'S';
  g->opts.linesearch = 'H';
  g->opts.atol = 1e-8;
  g->opts.sing = 1e-12;
  g->opts.maxiters = 1000;
  g->lnsrch.maxsubiters = 20;
  g->opts.userptr = &q;
  zoptsu(g);
  g->funcs = {objective, gradient, hessian, bound_values, bound_values, nullptr,
              nullptr,   nullptr,  nullptr, nullptr,      nullptr};
  int rc = 0;
  for (auto _ : state) {
    g->state.iters = 0;
    g->state.prevnobs = 0;
    g->state.marqu->lambda = 0;
    g->state.marqu->penalty = 1.110223024625157e-16;
    g->lnsrch.damp = g->lnsrch.pdamp = 1;
    for (int i = 0; i < q.n; ++i) g->state.parms[i] = 0;
    benchmark::DoNotOptimize(rc = zopt(g));
  }
  state.counters["iters"] = g->state.iters;
  state.counters["active"] = g->state.marqu->nact;
  state.counters["rc"] = rc;
}
BENCHMARK(BM_BoundedQuadraticRun)->Arg(8)->Arg(64);

}  // namespace

BENCHMARK_MAIN();
