#include "procedure/estimation_callbacks.h"

#include <cfloat>
#include <cmath>
#include <cstring>

#include "host/missing.h"
#include "linalg/packed.h"
#include "optim/optimiser.h"
#include "procedure/bounds.h"
#include "procedure/data_pass.h"
#include "procedure/iteration_history.h"
#include "procedure/outest_data_set.h"
#include "procedure/pass_memo.h"
#include "procedure/procedure_context.h"

namespace {

RUVACOM* context_of(const ZOPTGLOBAL* g) { return static_cast<RUVACOM*>(g->opts.userptr); }

long packed_size(int n) { return static_cast<long>(n) * (n + 1) / 2; }

// A derivative pass when the latest pass formed none.
void ensure_derivatives(RUVACOM* ctx, ZOPTGLOBAL* g) {
  if (ctx->do_der) return;
  ctx->do_der = 1;
  g->state.nobs = ruvass(ctx);
}

double side_value(const CMPSYM* side) { return *cmp_cell(side); }

double pair_difference(const CMPSYM* left, const CMPSYM* right, bool* missing) {
  const double l = side_value(left), r = side_value(right);
  *missing = wzmis(l) || wzmis(r);
  return r - l;
}

}  // namespace

// The optimiser compares the objective with SINGULAR= times this scale.
// The sum of squares counts as zero when the residuals are SINGULAR= of
// the responses in norm: below SINGULAR=^2 times the weighted sum of
// squared responses (SINGULAR= times that sum stops noise-free fits at
// six digits). Responses that are all zero (an implicit model), a sum that
// overflows or is not positive (negative weights), a loss function or a
// program's own residual give no such scale: the test stays absolute.
double response_scale(const RUVACOM* ctx) {
  const double s = ctx->epsilon * ctx->sumwy2;
  return !ctx->lossflag && !ctx->residflag && s > 0 && std::isfinite(s) ? s : 0.0;
}

double zero_objective_scale(const RUVACOM* ctx) {
  const double s = response_scale(ctx);
  return s > 0 ? s : 1.0;
}

int jovobj(ZOPTGLOBAL* g) {
  RUVACOM* ctx = context_of(g);
  ZOPTSTATE& st = g->state;
  ctx->iter = st.iters;
  ctx->halve = st.subiters;
  ctx->do_der = (st.subiters == 0 || st.fullsubiter != 0) ? 1 : 0;
  long used = 0;
  st.nobs = recall_pass(ctx, &used) ? used : ruvass(ctx);
  if (st.nobs < st.prevnobs) return 1;
  // Without step halving every new point counts as a decrease; the real
  // previous objective is kept for the convergence measures.
  if (!ctx->stephalve) {
    ctx->prevobj = st.prevobj;
    st.prevobj = DBL_MAX;
    g->lnsrch.oldobj = DBL_MAX;
  }
  st.objective = ctx->sse;
  st.objscale = zero_objective_scale(ctx);
  return 0;
}

int jovsse(ZOPTGLOBAL* g) {
  RUVACOM* ctx = context_of(g);
  ctx->usse = ctx->sse;
  g->state.fullsubiter = 1;
  return jovobj(g);
}

int jovgrd(ZOPTGLOBAL* g) {
  RUVACOM* ctx = context_of(g);
  ensure_derivatives(ctx, g);
  const int n = ctx->nparm;
  double* hes = g->state.hes;
  g->state.grad[n] = ctx->sse != 0.0 ? std::fabs(ctx->sse) : hes[zisub(n, n)];
  std::memcpy(hes + zisub(n, 0), g->state.grad, sizeof(double) * static_cast<std::size_t>(n));
  return 0;
}

int jovhess(ZOPTGLOBAL* g) {
  RUVACOM* ctx = context_of(g);
  ensure_derivatives(ctx, g);
  const int n = ctx->nparm;
  double* hes = g->state.hes;
  // METHOD=GRADIENT steps along the gradient; the cross products stay in
  // xpx2 for the covariance.
  if (ctx->method == 'A' && !ctx->lastpass) {
    std::memcpy(ctx->xpx2, ctx->xpx, sizeof(double) * static_cast<std::size_t>(packed_size(n)));
    std::memset(ctx->xpx, 0, sizeof(double) * static_cast<std::size_t>(packed_size(n)));
    for (int i = 0; i < n; ++i) ctx->xpx[zisub(i, i)] = 1.0;
  }
  std::memset(hes + zisub(n, 0), 0, sizeof(double) * static_cast<std::size_t>(n));
  return 0;
}

int jovecon(ZOPTGLOBAL* g) {
  RUVACOM* ctx = context_of(g);
  const double eps = ctx->bepsilon;
  for (BOUNDSSTR* b = ctx->boundslist; b; b = b->next) {
    const int neq = b->eqbnds1.n;
    bool missing = false;
    for (int k = 0; k < neq; ++k) {
      const double d = pair_difference(b->eqbnds1.s[k], b->eqbnds2.s[k], &missing);
      b->vals[k] = missing ? 0.0 : d;
    }
    for (int k = 0; k < b->strtbnds1.n; ++k) {
      const double d = pair_difference(b->strtbnds1.s[k], b->strtbnds2.s[k], &missing);
      b->vals[neq + k] = missing ? 0.0 : d * (1.0 - eps) - eps;
    }
  }
  return 0;
}

int jovgetc(ZOPTGLOBAL* g) {
  const ZOPTMARQU& mq = *g->state.marqu;
  return mq.perm + mq.nact != 0 ? jovecon(g) : 0;
}

int jovitp(ZOPTGLOBAL* g) {
  RUVACOM* ctx = context_of(g);
  add_history_row(ctx);
  return jovitd(g);
}

int jovitd(ZOPTGLOBAL* g) {
  RUVACOM* ctx = context_of(g);
  if (ctx->outestptr) write_outest_row(ctx, nullptr);
  return 0;
}

namespace {

// Whether no parameter moved by more than CONVERGEPARM= relative to its
// value at the previous test (absolutely from 0); the values are then kept
// for the next test, whatever the outcome.
bool parameters_settled(RUVACOM* ctx, const ZOPTGLOBAL* g) {
  const int np = g->opts.num_parms;
  bool settled = true;
  for (int i = 0; i < np && settled; ++i) {
    const double d = ctx->parmlast[i] != 0.0 ? ctx->parmlast[i] : 1.0;
    settled = !(std::fabs((g->state.parms[i] - ctx->parmlast[i]) / d) > ctx->criter2);
  }
  std::memcpy(ctx->parmlast, g->state.parms, sizeof(double) * static_cast<std::size_t>(np));
  return settled;
}

}  // namespace

// With both criteria the parameter test runs at every test, so that it
// compares with the iterate just before, not with the last one at which
// the objective's change was small.
int jovconv(ZOPTGLOBAL* g) {
  RUVACOM* ctx = context_of(g);
  ZOPTSTATE& st = g->state;
  const char crit = ctx->concrit;
  if (crit != 'S' && crit != 'P' && crit != 'B') return 0;
  const double f0 = ctx->stephalve ? st.prevobj : ctx->prevobj;
  const int min_iter = ctx->boundslist && st.marqu->nact != 0 ? 2 : 1;
  const bool counted = st.iters > min_iter;
  const bool objective =
      crit == 'P' || (counted && relative_objective_change(st.objective, f0) < ctx->criterion);
  const bool parameters = crit == 'S' || parameters_settled(ctx, g);
  const bool converged = counted && objective && parameters;
  if (converged && st.iters != 0) st.iters -= 1;
  return converged ? 1 : 0;
}
