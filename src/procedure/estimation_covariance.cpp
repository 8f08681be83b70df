// After the optimiser: the matrices of the Hougaard skewness, the last data
// pass with its used-observation bitmap, and the covariance of the
// estimates.
#include <cmath>
#include <cstring>
#include <vector>

#include "host/missing.h"
#include "host/services.h"
#include "linalg/packed.h"
#include "linalg/sweep.h"
#include "linalg/sweep_inverse.h"
#include "optim/optimiser.h"
#include "procedure/data_pass.h"
#include "procedure/estimation_callbacks.h"
#include "procedure/estimation_parts.h"
#include "procedure/frozen_parameters.h"
#include "procedure/group_name.h"
#include "procedure/inverse_in_use.h"
#include "procedure/pass_memo.h"
#include "procedure/step_memory.h"
#include "procedure/procedure_context.h"

namespace {

constexpr int kMsgCovarianceUnavailable = 820;

long packed_size(int n) { return static_cast<long>(n) * (n + 1) / 2; }

void copy_block(double* to, const double* from, int n) {
  if (n > 0) std::memcpy(to, from, sizeof(double) * static_cast<std::size_t>(packed_size(n)));
}

// Sweeps the parameter rows of the bordered xpx; parmdf marks the singular ones.
void sweep_parameters(RUVACOM* ctx) {
  ZOPTGLOBAL* g = ctx->zoptg;
  const int n = ctx->nparm;
  std::memset(g->state.swpi->sweepx, '0', static_cast<std::size_t>(n + 1));
  zswpn(ctx->xpx, nullptr, n, n + 1, g->state.swpi);
}

// Rows and columns of the parameters held by an active constraint are zero.
void clear_constrained_rows(RUVACOM* ctx) {
  ZOPTGLOBAL* g = ctx->zoptg;
  const ZOPTMARQU& mq = *g->state.marqu;
  for (int k = 0; k < mq.perm + mq.nact; ++k) {
    const int c = g->state.conp[k]->cols[0];
    for (int j = 0; j < ctx->nparm; ++j) ctx->xpx[zisub(c, j)] = 0.0;
  }
}

// The parameters NEWTON's steps left where they were because the Hessian
// is not positive definite along them are not linearly dependent: the data
// determine them, and they count as estimated. The default sweep, like the
// step's, left their rows out; they are swept as they stand, a negative
// pivot included, as G4's inverse takes it, so that the covariance is the
// inverse of the Hessian where the iterations stopped and its check says
// that it is not positive semi-definite. `diag` is the Hessian's diagonal,
// the sweep's reference.
void sweep_frozen_rows(RUVACOM* ctx, const std::vector<int>& frozen, std::vector<double> diag) {
  if (ctx->zoptg->state.swpi->moorep) return;
  zsweep_listed_rows(ctx->xpx, ctx->nparm, ctx->nparm + 1, ctx->parmdf, frozen.data(),
                     static_cast<int>(frozen.size()), diag.data(), ctx->zoptg->opts.sing);
}

// A frozen row the sweep could not take, its pivot negligible (the Hessian
// is flat along it), has no inverse: its covariance is missing, and it
// still counts as estimated.
void mark_flat_frozen_rows(RUVACOM* ctx, const std::vector<int>& frozen) {
  for (int i : frozen) {
    if (ctx->parmdf[i] == '1') continue;
    for (int j = 0; j < ctx->nparm; ++j) ctx->xpx[zisub(i, j)] = special_missing_value();
    ctx->parmdf[i] = '1';
  }
}

}  // namespace

void mark_covariance_unavailable(RUVACOM* ctx) {
  const int n = ctx->nparm;
  std::memset(ctx->parmdf, '1', static_cast<std::size_t>(n));
  for (long k = 0; k < packed_size(n); ++k) ctx->xpx[k] = special_missing_value();
  ctx->cov_unavailable = 1;
  xpmlog(305, kMsgCovarianceUnavailable, by_group_phrase(ctx).c_str());
  ruva_raise_rc(ctx, 4);
}

void prepare_hougaard(RUVACOM* ctx) {
  ZOPTGLOBAL* g = ctx->zoptg;
  ZOPTMARQU& mq = *g->state.marqu;
  const int n = ctx->nparm;
  const bool gradient = ctx->method == 'A';
  if (gradient) copy_block(ctx->xpx, ctx->xpx2, n);
  if (mq.inumconstr == 0) {
    if (gradient) zoptdlt(g, 0);
    return;
  }
  const bool have_z = mq.z && mq.z[0];
  ruvass(ctx);
  if (!gradient) jovhess(g);
  // GRADIENT's optimiser worked with the identity, which savhes still
  // holds; the last pass forms the constrained covariance from savhes, so
  // it takes the cross products, as the other methods' Hessian gives them.
  else if (have_z) copy_block(mq.savhes, ctx->xpx, n);
  if (!have_z) {
    copy_block(mq.savhes, g->state.hes, n);
    znprjhs(g);
  }
  clear_constrained_rows(ctx);
  if (!have_z) copy_block(mq.savhes, ctx->xpx, n);
  if (gradient) zoptdlt(g, 0);
  else sweep_parameters(ctx);
}

void run_last_pass(RUVACOM* ctx) {
  ctx->lastpass = 1;
  ctx->nmissgen = 0;
  if (!recall_last_pass(ctx)) ruvass(ctx);
  ctx->lastpass = 0;
  if (ctx->nmissgen != 0 && !ctx->noprint) {
    cmppmis(&ctx->globcmp);
    ++ctx->nerrmsg;
  }
}

void form_covariance(RUVACOM* ctx, bool warn_frozen) {
  ZOPTGLOBAL* g = ctx->zoptg;
  ZOPTMARQU& mq = *g->state.marqu;
  const int n = ctx->nparm;
  const bool newton_hougaard = ctx->hougaard && ctx->method == 'W';
  ctx->cov_unavailable = 0;
  if (mq.inumconstr == 0) {
    if (!newton_hougaard) copy_block(ctx->xpx2, ctx->xpx, n);
  } else {
    copy_block(mq.savhes, g->state.hes, n);
    znprjhs(g);
    if (!newton_hougaard && mq.inumconstr == 0) {
      copy_block(ctx->xpx2, ctx->xpx, n);
    } else if (!newton_hougaard) {
      copy_block(ctx->xpx2, mq.savhes, n);
      jovfhes(ctx, ctx->xpx2);
      zoptprv(g, ctx->xpx2 + zisub(n, 0), n);
    }
  }
  // Under active constraints the Hessian is judged on the free directions,
  // from its unprojected copy.
  const std::vector<int> frozen = frozen_parameters(ctx, mq.inumconstr == 0 ? ctx->xpx : mq.savhes);
  std::vector<double> diag;
  if (!frozen.empty())
    for (int i = 0; i < n; ++i) diag.push_back(ctx->xpx[zisub(i, i)]);
  keep_inverted_matrix(ctx);
  if (mq.inumconstr < g->opts.num_parms) sweep_parameters(ctx);
  if (warn_frozen) warn_frozen_parameters(ctx, frozen);
  if (mq.inumconstr == 0) {
    if (!frozen.empty()) sweep_frozen_rows(ctx, frozen, diag);
    mark_flat_frozen_rows(ctx, frozen);
    return;
  }
  // A failed constrained covariance is not available, rather than a matrix
  // of zeros that would pass for exact estimates.
  if (zoptcv(g, frozen.data(), static_cast<int>(frozen.size())) != 0) {
    mark_covariance_unavailable(ctx);
    return;
  }
  if (mq.sweepx != ctx->parmdf) std::memmove(ctx->parmdf, mq.sweepx, static_cast<std::size_t>(n));
  mark_flat_frozen_rows(ctx, frozen);
}
