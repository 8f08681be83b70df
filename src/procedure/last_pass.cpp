// The last data pass of a BY group (or a pass that may stand for it): the
// start of its sums and used-observation bitmap, and the Hougaard skewness
// sums with the covariance they are taken under.
#include <cmath>
#include <cstring>

#include "linalg/sweep_inverse.h"
#include "optim/optimiser.h"
#include "procedure/data_pass.h"
#include "procedure/data_pass_parts.h"
#include "procedure/result_phases.h"
#include "procedure/step_memory.h"
#include "procedure/procedure_context.h"

namespace {

long packed_size(int n) { return static_cast<long>(n) * (n + 1) / 2; }

void copy_block(double* to, const double* from, int n) {
  if (n > 0) std::memcpy(to, from, sizeof(double) * static_cast<std::size_t>(packed_size(n)));
}

// The covariance of the estimates that the skewness sums are taken under,
// into the parameter block of xpx2.
void hougaard_covariance(RUVACOM* ctx) {
  const int n = ctx->nparm;
  ZOPTGLOBAL* g = ctx->zoptg;
  const bool newton = ctx->method == 'W';
  if (g->state.marqu->inumconstr == 0) {
    if (newton) {
      std::memset(g->state.swpi->sweepx, '0', static_cast<std::size_t>(n));
      zswpn(ctx->xpx2, nullptr, n, n, g->state.swpi);
    } else {
      copy_block(ctx->xpx2, ctx->xpx, n);
    }
    return;
  }
  if (newton) copy_block(g->state.marqu->savhes, ctx->xpx2, n);
  zoptcv(g);
  copy_block(ctx->xpx2, ctx->xpx, n);
}

// The bitmap has a bit for every record of the BY group, whatever the
// passes before have read; each pass that forms it starts it afresh.
void clear_bitmap(RUVACOM* ctx) {
  if (!ctx->obs_computable_flag) {
    determine_n_obs(ctx);
    const long bytes = ctx->nobs / 8 + 1;
    ctx->obs_computable_flag = static_cast<unsigned char*>(ruva_alloc(bytes));
    ctx->obs_computable_bytes = ctx->obs_computable_flag ? bytes : 0;
  }
  if (ctx->obs_computable_flag)
    std::memset(ctx->obs_computable_flag, 0, static_cast<std::size_t>(ctx->obs_computable_bytes));
}

}  // namespace

void start_last_pass(RUVACOM* ctx) {
  clear_bitmap(ctx);
  std::memset(ctx->intcep, 0, sizeof(double) * static_cast<std::size_t>(ctx->nparm + 1));
  ctx->sumy2 = ctx->sumy = ctx->sumw = ctx->sumwsse = 0.0;
  if (!ctx->hougaard) return;
  ctx->do_der = 1;
  std::memset(ctx->hougaard, 0, sizeof(double) * static_cast<std::size_t>(ctx->nparm));
  hougaard_covariance(ctx);
}

// The observation's derivatives scaled to the weighted problem and
// projected onto the free directions, added to the skewness sums.
void add_hougaard_sums(RUVACOM* ctx, const PassObservation& ob) {
  const int n = ctx->nparm;
  ZOPTGLOBAL* g = ctx->zoptg;
  if (ctx->weightflag) {
    const double s = ob.w > 0 ? std::sqrt(ob.w) : ob.u;
    for (long k = 0; k < packed_size(n); ++k) ctx->hessian[k] *= s;
    for (int i = 0; i < n; ++i) ctx->der[i] *= s;
  }
  const int m = g->state.marqu->inumconstr;
  if (m > 0 && m < g->opts.num_parms) jovfhes(ctx, ctx->hessian);
  zoptprv(g, ctx->der, n);
  jovhoug(n, ctx->der, ctx->hessian, ctx->xpx2, ctx->hougaard, 0.0, 0);
  ctx->der[n] = ob.r;
}
