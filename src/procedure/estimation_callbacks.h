// The procedure's callbacks of the optimiser run record: objective,
// gradient, Hessian, bound constraints, per-iteration output, the refresh
// for a program that reads _SSE_, and the objective- and parameter-change
// convergence test. Each finds the context through `opts.userptr`.
#pragma once

struct ZOPTGLOBAL;
struct RUVACOM;

// The scale of the zero-objective test: the optimiser takes an objective
// below SINGULAR= times it for zero (see the definition).
double zero_objective_scale(const RUVACOM* ctx);
// That scale where the responses give one (SINGULAR= times the weighted sum
// of squared responses), else 0: a loss, a program's own residual, all
// responses zero.
double response_scale(const RUVACOM* ctx);

// A data pass at the current parameters: 1 when it used fewer observations
// than the point the iteration started from (the point is rejected), else 0.
int jovobj(ZOPTGLOBAL* g);
// After each parameter update when the program reads _SSE_: _SSE_ takes the
// latest objective, every later evaluation forms derivatives, then jovobj.
int jovsse(ZOPTGLOBAL* g);
// The gradient into the border row of the Hessian (a derivative pass first
// when the latest pass had none).
int jovgrd(ZOPTGLOBAL* g);
// The Hessian: the cross products of the latest derivative pass (the
// identity for METHOD=GRADIENT), with the border row cleared.
int jovhess(ZOPTGLOBAL* g);
// The bound constraints' values at the current parameters.
int jovecon(ZOPTGLOBAL* g);
// The same while any constraint is active.
int jovgetc(ZOPTGLOBAL* g);
// One row of the iteration history and, with OUTEST=, an ITER row.
int jovitp(ZOPTGLOBAL* g);
// Only the ITER row.
int jovitd(ZOPTGLOBAL* g);
// CONVERGEOBJ= and CONVERGEPARM=: 1 when converged.
int jovconv(ZOPTGLOBAL* g);
