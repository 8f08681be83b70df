// Whether the model has an intercept, which decides whether the analysis of
// variance is corrected for the mean. First from the program: a parameter
// whose derivative is a literal, or is built from literals only, enters the
// model as a constant column. Otherwise from the numbers: the column of ones
// lies in the span of the derivative columns when its weighted regression on
// them leaves a residual sum of squares that is negligible against the sum
// of the weights. That residual is 1'W1 - (J'W1)' C (J'W1), with C the
// inverted cross-product matrix of the fit and J'W1, 1'W1 the last pass's
// intercept sums; it depends on the derivatives alone, not on how well the
// model fits.
#include <cmath>

#include "host/services.h"
#include "linalg/packed.h"
#include "optim/optimiser.h"
#include "procedure/procedure_context.h"
#include "results/result_tables.h"

namespace {

// A regression of the ones on the derivatives that leaves less than this
// share of the sum of weights (or SINGULAR= when larger) is taken as an
// exact fit: the share is rounding noise when the ones lie in the span.
constexpr double kInterceptTolerance = 1e-8;

int active_constraints(const RUVACOM* ctx) {
  const ZOPTMARQU* mq = ctx->zoptg ? ctx->zoptg->state.marqu : nullptr;
  return mq ? mq->inumconstr : 0;
}

bool built_from_literals(RUVACOM* ctx, CMPSYM* derivative) {
  CMPGLOBAL* cmp = &ctx->globcmp;
  if (cmpdeps(cmp, derivative, 0, 1, 0) == 0) return derivative->dsvarno == 0;
  for (CMPSYM* d = cmpndep(cmp, derivative, nullptr, 0, 1); d; d = cmpndep(cmp, derivative, d, 0, 1))
    if (!cmp_literal(d)) return false;
  return true;
}

bool constant_derivative(RUVACOM* ctx) {
  if (active_constraints(ctx) != 0 || !ctx->gradsym || !ctx->globcmp.compiler) return false;
  const int n = ctx->gradsym->n < ctx->nparm ? ctx->gradsym->n : ctx->nparm;
  for (int i = 0; i < n; ++i) {
    CMPSYM* s = ctx->gradsym->s[i];
    if (!s || !(ctx->xpx[zisub(i, i)] > 0)) continue;
    if (cmp_literal(s) || built_from_literals(ctx, s)) return true;
  }
  return false;
}

bool ones_in_span(const RUVACOM* ctx) {
  const int p = ctx->nparm;
  const double* b = ctx->intcep;
  if (!b || !(b[p] > 0)) return false;
  double explained = 0;
  for (int i = 0; i < p; ++i) {
    if (ctx->parmdf[i] != '1') continue;
    for (int j = 0; j < p; ++j)
      if (ctx->parmdf[j] == '1') explained += b[i] * ctx->xpx[zisub(i, j)] * b[j];
  }
  const double tolerance = ctx->epsilon > kInterceptTolerance ? ctx->epsilon : kInterceptTolerance;
  return std::fabs(b[p] - explained) <= tolerance * b[p];
}

}  // namespace

int isintercept(RUVACOM* ruvaptr) {
  if (ruvaptr->nparm < 1 || !ruvaptr->xpx || !ruvaptr->parmdf) return 0;
  return constant_derivative(ruvaptr) || ones_in_span(ruvaptr) ? 1 : 0;
}
