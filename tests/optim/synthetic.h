// A one-parameter caller with synthetic callbacks: the objective is any
// function of the trial point (and of the start of the step), and the
// gradient and Hessian are whatever the test says, so that single decisions
// of the optimiser can be provoked. Every objective call is recorded with
// the lambda in force.
#pragma once

#include <cmath>
#include <functional>
#include <vector>

#include "least_squares.h"

namespace synthetic {

struct Trial {
  double x;
  double lambda;
};

struct Caller {
  std::function<double(double x, double start)> objective = [](double x, double) {
    return 1 + x * x;
  };
  std::function<double(double x)> gradient = [](double) { return 1.0; };
  double hessian = 1;
  int objective_rc = 0;        // what usobj returns
  int constraint_rc = 0;       // what uscon returns
  std::vector<Trial> trials;
};

inline Caller* caller_of(ZOPTGLOBAL* g) { return static_cast<Caller*>(g->opts.userptr); }

inline int objective_cb(ZOPTGLOBAL* g) {
  Caller* c = caller_of(g);
  const double x = g->state.parms[0];
  c->trials.push_back({x, g->state.marqu->lambda});
  g->state.objective = c->objective(x, g->state.pparms[0]);
  g->state.nobs = 10;
  return c->objective_rc;
}

// Packed bordered matrix of order 2: (0,0) Hessian, (1,0) gradient, (1,1) objective.
inline int gradient_cb(ZOPTGLOBAL* g) {
  Caller* c = caller_of(g);
  const double f = c->objective(g->state.parms[0], g->state.pparms[0]);
  g->state.grad[0] = g->state.hes[1] = c->gradient(g->state.parms[0]);
  g->state.grad[1] = std::fabs(f);
  g->state.hes[2] = f;
  return 0;
}

inline int hessian_cb(ZOPTGLOBAL* g) {
  g->state.hes[0] = caller_of(g)->hessian;
  return 0;
}

inline int constraint_cb(ZOPTGLOBAL* g) { return caller_of(g)->constraint_rc; }

// A run record for one parameter with the callbacks installed;
// `inequalities` declares room for that many inequality constraints.
inline ZOPTGLOBAL* make_run(void* pool, Caller* c, char method, int inequalities = 0) {
  lsq::Options o;
  o.method = method;
  o.atol = 1e-8;
  o.maxiters = 50;
  o.inequalities = inequalities;
  ZOPTGLOBAL* g = lsq::make_record(pool, 1, c, o);
  if (!g) return nullptr;
  g->funcs.usobj = objective_cb;
  g->funcs.usgrd = gradient_cb;
  g->funcs.ushes = hessian_cb;
  return g;
}

inline int run(ZOPTGLOBAL* g, double start) { return lsq::run(g, {start}); }

}  // namespace synthetic
