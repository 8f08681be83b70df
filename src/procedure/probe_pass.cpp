// A data pass at a point away from the estimates, for the checks made after
// the fit. It is the fit's own pass, so a program that carries values from
// one observation to the next, lagged values, arrays, weights and BY groups
// are treated as in the fit; what the pass writes in the context is put
// back afterwards, for the results that follow.
#include <algorithm>

#include "procedure/data_pass.h"
#include "procedure/loss_terms.h"
#include "procedure/procedure_context.h"
#include "results/pool_buffer.h"

namespace {

// The context's fields a pass changes, besides the program's own values.
struct PassFields {
  double* xpx;
  char method, do_der, lastpass;
  double model, sse, sumwy2;
  long nonzero_y, nobs, iobs;
  UnusedObservations unused;
  const void* lastobsptr;
  std::int32_t failed, nmissgen;

  explicit PassFields(const RUVACOM* c)
      : xpx(c->xpx), method(c->method), do_der(c->do_der), lastpass(c->lastpass), model(c->model), sse(c->sse),
        sumwy2(c->sumwy2), nonzero_y(c->nonzero_y), nobs(c->nobs), iobs(c->iobs), unused(c->unused),
        lastobsptr(c->lastobsptr), failed(c->failed), nmissgen(c->nmissgen) {}

  void restore(RUVACOM* c) const {
    c->xpx = xpx, c->method = method, c->do_der = do_der, c->lastpass = lastpass, c->model = model;
    c->sse = sse, c->sumwy2 = sumwy2, c->nonzero_y = nonzero_y, c->nobs = nobs, c->iobs = iobs;
    c->unused = unused, c->lastobsptr = lastobsptr, c->failed = failed, c->nmissgen = nmissgen;
  }
};

}  // namespace

namespace {

// One pass at `point`: with derivatives into `xpx` when it is given, without
// them otherwise; the objective it forms goes to *objective when asked.
long pass_at(RUVACOM* ctx, const double* point, double* xpx, double* objective) {
  const int n = ctx->nparm;
  PoolBuffer<double> saved(2L * n);
  if (!saved.get()) ruva_out_of_memory(static_cast<long>(sizeof(double)) * 2 * n);
  double* parms = saved.get();
  double* gradient = parms + n;
  std::copy_n(ctx->parm, n, parms);
  std::copy_n(ctx->gradient, n, gradient);
  const PassFields fields(ctx);
  std::copy_n(point, n, ctx->parm);
  if (xpx) ctx->xpx = xpx;
  ctx->do_der = xpx ? 1 : 0;
  ctx->lastpass = 0;
  // NEWTON's pass would subtract the second-derivative terms: the cross
  // products are those of GAUSS.
  if (ctx->method == 'W') ctx->method = 'U';
  const long used = pass_off_the_fit(ctx);
  if (objective) *objective = ctx->sse;
  fields.restore(ctx);
  std::copy_n(parms, n, ctx->parm);
  std::copy_n(gradient, n, ctx->gradient);
  return used;
}

}  // namespace

long cross_products_at(RUVACOM* ctx, const double* point, double* xpx) {
  return ctx->nparm < 1 ? 0 : pass_at(ctx, point, xpx, nullptr);
}

long objective_at(RUVACOM* ctx, const double* point, double* objective) {
  return ctx->nparm < 1 ? 0 : pass_at(ctx, point, nullptr, objective);
}

long loss_terms_at(RUVACOM* ctx, const double* point, double* xpx, double* objective) {
  const int n = ctx->nparm;
  if (n < 1) return 0;
  LossTerms* t = ctx->loss_terms;
  if (!t) return pass_at(ctx, point, xpx, objective);
  std::fill_n(t->gradient, n, 0.0);
  std::fill_n(t->curvature, static_cast<long>(n) * (n + 1) / 2, 0.0);
  struct Summing {
    LossTerms* t;
    ~Summing() { t->summing = false; }
  } summing{t};
  t->summing = true;
  return pass_at(ctx, point, xpx, objective);
}
