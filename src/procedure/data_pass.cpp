// The data pass: one run of the model program per observation of the BY
// group, the screening of each observation, and the accumulation of the
// objective and of the derivative information the optimiser asks for.
//
// Sign: the optimiser takes g = +1/2 dF/dtheta = sum w d (f - y). The border
// row is accumulated from the row (d, -r), r = y - f, which gives it that
// sign and leaves the corner, sum w r^2, as it is.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "host/missing.h"
#include "host/services.h"
#include "linalg/packed.h"
#include "linalg/vector_kernels.h"
#include "procedure/data_pass.h"
#include "procedure/data_pass_parts.h"
#include "procedure/model_run.h"
#include "procedure/ruvacom.h"

namespace {

constexpr int kLastRecordItem = 18;

long packed_size(int n) { return static_cast<long>(n) * (n + 1) / 2; }
long bordered_size(int n) { return packed_size(n + 1); }

void zero(double* a, long count) {
  if (a && count > 0) std::memset(a, 0, sizeof(double) * static_cast<std::size_t>(count));
}

bool newton(const RUVACOM* ctx) { return ctx->method == 'W'; }
bool second_derivatives_read(const RUVACOM* ctx) {
  return ctx->hessptr && (newton(ctx) || (ctx->lastpass && ctx->hougaard));
}

void start_pass(RUVACOM* ctx) {
  const int n = ctx->nparm;
  ctx->sse = 0.0;
  ctx->model = 1.0;
  if (ctx->lastpass) start_last_pass(ctx);
  if (ctx->do_der) {
    ctx->model = 0.0;
    zero(ctx->xpx, bordered_size(n));
    if (newton(ctx) || (ctx->lastpass && ctx->hougaard)) zero(ctx->hessian2, bordered_size(n));
  }
  // The last pass needs the derivatives for its sums even without a matrix.
  if (ctx->lastpass) ctx->model = 0.0;
  if (ctx->smethod == 'C' || ctx->do_der) {
    zero(ctx->gradient, n);
    ctx->model = 0.0;
  }
  ctx->nobs = 0;
  ctx->iobs = 0;
  xbyrwnd(ctx->fiddata, kXoGroupStart);
  nlexint();
}

// The program's derivative values of the observation into `der` (and its
// second derivatives into `hessian` where they are read).
void take_derivatives(RUVACOM* ctx) {
  const int n = ctx->nparm;
  if (second_derivatives_read(ctx))
    for (long k = 0; k < packed_size(n); ++k) ctx->hessian[k] = *ctx->hessptr[k];
  for (int i = 0; i < n; ++i) ctx->der[i] = *ctx->derloc[i];
}

bool any_missing(const double* const* cells, int count) {
  for (int i = 0; i < count; ++i)
    if (wzmis(*cells[i])) return true;
  return false;
}

// The derivatives are screened only when this run formed them: cells the
// program skipped hold values of an earlier observation.
bool derivatives_usable(const RUVACOM* ctx, double w) {
  const int n = ctx->nparm;
  if (ctx->model != 0.0) return true;
  if (newton(ctx) && ctx->hessptr && wzmisn(ctx->hessian, packed_size(n))) return false;
  if (wzmisn(ctx->der, n)) return false;
  return zvamx(ctx->der, n) < kLargestDerivative / std::fabs(w);
}

// The weighted contribution of residual r, or false when it overflows.
bool contribution(const RUVACOM* ctx, PassObservation* ob) {
  if (!(std::fabs(ob->r) < kLargestResidual)) return false;
  double c = ctx->lossflag ? *ctx->loss : ob->r * ob->r;
  if (!ctx->weightflag) {
    if (!(c <= kLargestContribution)) return false;
  } else if (ob->w >= 1.0) {
    if (!(std::fabs(c) < kLargestContribution / ob->w)) return false;
    c *= ob->w;
  } else {
    c *= ob->w;
  }
  ob->c = c;
  return std::isfinite(c);
}

// The use test: true with the observation's values when it is used.
bool screen(RUVACOM* ctx, PassObservation* ob) {
  const double* const cells[] = {ctx->dephat, ctx->depval, ctx->weight, ctx->loss, ctx->resid, ctx->wgtjpj};
  if (any_missing(cells, 6)) return false;
  ob->w = *ctx->weight;
  if (ob->w == 0.0 || !derivatives_usable(ctx, ob->w)) return false;
  ob->u = *ctx->wgtjpj;
  if (!(ob->u > 0.0)) return false;
  ob->y = *ctx->depval;
  ob->r = ctx->residflag ? *ctx->resid : ob->y - *ctx->dephat;
  return contribution(ctx, ob);
}

void mark_used(RUVACOM* ctx, double w) {
  const long bit = ctx->nobs - 1;
  if (!ctx->obs_computable_flag || w <= 0 || bit < 0 || bit / 8 >= ctx->obs_computable_bytes) return;
  ctx->obs_computable_flag[bit / 8] |= static_cast<unsigned char>(0x80u >> (bit % 8));
}

void add_derivatives(RUVACOM* ctx, const PassObservation& ob) {
  const int n = ctx->nparm;
  double* der = ctx->der;
  der[n] = -ob.r;
  if (!ctx->wgtjpjflag) {
    zscp(der, n + 1, ob.w, ctx->xpx);
  } else {
    zscp(der, n, ob.u, ctx->xpx);
    double* border = ctx->xpx + zisub(n, 0);
    zvaxpy(border, border, der, n + 1, -ob.r * ob.w);
  }
  der[n] = ob.r;
  if (newton(ctx))
    for (long k = 0; k < packed_size(n); ++k) ctx->hessian2[k] += ob.r * ctx->hessian[k] * ob.u;
}

void use(RUVACOM* ctx, const PassObservation& ob) {
  const int n = ctx->nparm;
  ctx->sse += ob.c;
  ++ctx->iobs;
  if (ctx->lastpass) mark_used(ctx, ob.w);
  ctx->der[n] = ob.r;
  if (ctx->smethod == 'C' && !ctx->do_der)
    for (int i = 0; i < n; ++i) ctx->gradient[i] -= ob.w * ob.r * ctx->der[i];
  if (ctx->do_der) add_derivatives(ctx, ob);
  if (ctx->lastpass) add_last_pass_sums(ctx, ob);
}

void finish_pass(RUVACOM* ctx) {
  const int n = ctx->nparm;
  xoinfo(ctx->fiddata, kLastRecordItem, &ctx->lastobsptr);
  if (!ctx->do_der) return;
  const double* border = ctx->xpx + zisub(n, 0);
  for (int i = 0; i < n; ++i) ctx->gradient[i] = border[i];
  if (!newton(ctx)) return;
  if (ctx->hougaard) std::memcpy(ctx->xpx2, ctx->xpx, sizeof(double) * static_cast<std::size_t>(packed_size(n)));
  for (long k = 0; k < packed_size(n); ++k) ctx->xpx[k] -= ctx->hessian2[k];
}

}  // namespace

long ruvass(RUVACOM* ctx) {
  start_pass(ctx);
  while (read_group_observation(ctx)) {
    cmpexi(0, 0, 0, &ctx->globcmp);
    if (ctx->dataptr) xyvget(ctx->dataptr, 0);
    ++ctx->nobs;
    const int rc = nlexec();
    take_derivatives(ctx);
    PassObservation ob;
    if (rc == 0 && screen(ctx, &ob)) use(ctx, ob);
    if (rc >= 3) break;
  }
  finish_pass(ctx);
  return ctx->iobs;
}
