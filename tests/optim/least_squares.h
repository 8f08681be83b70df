// A least-squares caller of the optimiser for the tests: residuals r(x) and
// their Jacobian J = dr/dx come from a problem, and the callbacks hand the
// optimiser F = r'r, the gradient g = J'r (half of dF/dx, the library's
// convention), the Gauss-Newton Hessian J'J, the bordered matrix with the
// gradient row and F in its corner, and grad[n] = F as the reference pr.
#pragma once

#include <cmath>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "host/globals.h"
#include "host/pool.h"
#include "linalg/packed.h"
#include "optim/optimiser.h"

namespace lsq {

// Residuals (m) and Jacobian (m by n, row-major) at x; false: not computable.
using Residuals = std::function<bool(const double* x, double* r, double* jac)>;

struct Problem {
  std::string name;
  int n = 0;
  int m = 0;
  Residuals eval;
};

// The caller's side of a run: the problem, a trace of the callbacks and
// optional hooks that tests use to interfere.
struct Fit {
  explicit Fit(const Problem* p = nullptr) : problem(p) {}
  const Problem* problem = nullptr;
  std::string trace;                               // one letter per callback
  std::function<void(ZOPTGLOBAL*)> on_objective;   // after each objective
  int objective_calls = 0;
  // Brings the constraint values and coefficients up to date at x.
  std::function<void(const double* x)> constraints;
};

inline Fit* fit_of(ZOPTGLOBAL* g) { return static_cast<Fit*>(g->opts.userptr); }

// Evaluates at the current parameters; the objective is NaN when the
// problem cannot be evaluated there.
inline double sum_of_squares(ZOPTGLOBAL* g, std::vector<double>& r, std::vector<double>& jac) {
  const Problem& p = *fit_of(g)->problem;
  r.assign(p.m, 0.0);
  jac.assign(static_cast<std::size_t>(p.m) * p.n, 0.0);
  if (!p.eval(g->state.parms, r.data(), jac.data())) return std::nan("");
  double f = 0;
  for (double v : r) f += v * v;
  return f;
}

inline int objective_cb(ZOPTGLOBAL* g) {
  Fit* fit = fit_of(g);
  fit->trace += 'O';
  std::vector<double> r, jac;
  g->state.objective = sum_of_squares(g, r, jac);
  g->state.nobs = fit->problem->m;
  fit->objective_calls += 1;
  if (fit->on_objective) fit->on_objective(g);
  return 0;
}

inline int gradient_cb(ZOPTGLOBAL* g) {
  Fit* fit = fit_of(g);
  fit->trace += 'G';
  const int n = fit->problem->n;
  std::vector<double> r, jac;
  const double f = sum_of_squares(g, r, jac);
  for (int j = 0; j < n; ++j) {
    double s = 0;
    for (int i = 0; i < fit->problem->m; ++i) s += jac[static_cast<std::size_t>(i) * n + j] * r[i];
    g->state.grad[j] = g->state.hes[zisub(n, j)] = s;
  }
  g->state.grad[n] = g->state.hes[zisub(n, n)] = f;
  return 0;
}

inline int hessian_cb(ZOPTGLOBAL* g) {
  Fit* fit = fit_of(g);
  fit->trace += 'H';
  const int n = fit->problem->n;
  std::vector<double> r, jac;
  sum_of_squares(g, r, jac);
  for (int a = 0; a < n; ++a)
    for (int b = 0; b <= a; ++b) {
      double s = 0;
      for (int i = 0; i < fit->problem->m; ++i)
        s += jac[static_cast<std::size_t>(i) * n + a] * jac[static_cast<std::size_t>(i) * n + b];
      g->state.hes[zisub(a, b)] = s;
    }
  return 0;
}

// The constraint callbacks (values and Jacobian) of a fit with constraints.
inline int constraint_cb(ZOPTGLOBAL* g) {
  Fit* fit = fit_of(g);
  fit->trace += 'C';
  if (fit->constraints) fit->constraints(g->state.parms);
  return 0;
}

struct Options {
  char method = 'M';
  char linesearch = 'H';
  double atol = 1e-10;
  double aftl = 1e-30;
  int maxiters = 200;
  char update_tech = 0;
  int moorepenrose = 0;
  // Room for constraints and their declaration (zoptac calls) before zoptsu.
  int equalities = 0;
  int inequalities = 0;
  std::function<int(ZOPTGLOBAL*)> declare;
};

// Marquardt steps ('M') and plain steps ('S') with each line search
// (halving, quadratic, cubic, golden section), as options.
inline const char* const kMethods[] = {"MH", "SH", "SQ", "SC", "SG"};
inline Options method(const char* name, double atol = 1e-10) {
  Options o;
  o.method = name[0];
  o.linesearch = name[1];
  o.atol = atol;
  return o;
}

// A run record for n parameters set up as the procedure does it, with the
// caller's pointer but no callbacks.
inline ZOPTGLOBAL* make_record(void* pool, int n, void* user, const Options& o) {
  auto* g = static_cast<ZOPTGLOBAL*>(vmalcp_handler(pool, sizeof(ZOPTGLOBAL), kPoolCleared));
  g->mem.pool = pool;
  g->opts.num_parms = n;
  if (zoptcnt(o.equalities, o.inequalities, g) != 0) return nullptr;
  if (o.declare && o.declare(g) != 0) return nullptr;
  g->opts.method = o.method;
  g->opts.linesearch = o.linesearch;
  g->opts.atol = o.atol;
  g->opts.aftl = o.aftl;
  g->opts.sing = 1e-12;
  g->opts.maxiters = o.maxiters;
  g->opts.maxsubiters = g->lnsrch.maxsubiters = 30;
  g->opts.userptr = user;
  g->opts.moorepenrose = o.moorepenrose;
  if (zoptsu(g) != 0) return nullptr;
  g->opts.update_tech = o.update_tech;
  return g;
}

// A run record with the least-squares callbacks installed.
inline ZOPTGLOBAL* make_run(void* pool, Fit* fit, const Options& o = {}) {
  ZOPTGLOBAL* g = make_record(pool, fit->problem->n, fit, o);
  if (!g) return nullptr;
  g->funcs.usobj = objective_cb;
  g->funcs.usgrd = gradient_cb;
  g->funcs.ushes = hessian_cb;
  if (o.declare) g->funcs.uscon = g->funcs.usjnc = constraint_cb;
  return g;
}

// The caller's resets before each run, then the run from `start`.
inline int run(ZOPTGLOBAL* g, const std::vector<double>& start) {
  ZOPTMARQU& mq = *g->state.marqu;
  mq.penalty = 1.110223024625157e-16;
  mq.lambda = mq.maxval = mq.user_obj = 0;
  mq.singular = mq.failed = 0;
  g->state.iters = 0;
  g->state.prevnobs = 0;
  g->lnsrch.subiter = 0;
  g->lnsrch.damp = g->lnsrch.pdamp = 1;
  g->opts.covariance = 0;
  for (int i = 0; i < g->opts.num_parms; ++i) g->state.parms[i] = start[i];
  return zopt(g);
}

// F = (x1 - a)^2 + (x2 - b)^2.
inline Problem distance_to(double a, double b) {
  return {"distance", 2, 2, [a, b](const double* x, double* r, double* jac) {
            r[0] = x[0] - a, r[1] = x[1] - b;
            jac[0] = 1, jac[1] = 0, jac[2] = 0, jac[3] = 1;
            return true;
          }};
}

// The model b0 + b1 t + b2 t^2 fitted to (t, y): F is quadratic in b with
// Hessian X'X for the design X = [1 t t^2].
inline std::vector<double> quadratic_design(const std::vector<double>& t) {
  std::vector<double> x;
  for (double v : t) x.insert(x.end(), {1.0, v, v * v});
  return x;
}
inline Problem quadratic(const std::vector<double>& t, std::vector<double> y) {
  const int m = static_cast<int>(t.size());
  auto eval = [x = quadratic_design(t), y = std::move(y), m](const double* b, double* r,
                                                           double* jac) {
    for (int i = 0; i < m; ++i) {
      r[i] = y[i] - (b[0] * x[3 * i] + b[1] * x[3 * i + 1] + b[2] * x[3 * i + 2]);
      for (int j = 0; j < 3; ++j) jac[3 * i + j] = -x[3 * i + j];
    }
    return true;
  };
  return {"quadratic", 3, m, eval};
}

}  // namespace lsq
