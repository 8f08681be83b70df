#include "procedure/inverse_in_use.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

#include "host/globals.h"
#include "linalg/packed.h"
#include "linalg/sweep_inverse.h"
#include "linalg/vector_kernels.h"
#include "optim/optimiser.h"
#include "procedure/data_pass.h"
#include "procedure/procedure_context.h"
#include "results/pool_buffer.h"

namespace {

std::size_t block_bytes(int n) { return sizeof(double) * static_cast<std::size_t>(n) * (n + 1) / 2; }

// Rounding in the inverse of rows of condition number k leaves residuals of
// about k times the unit roundoff; they are allowed for with this margin,
// but never beyond kMostRounding of the function: a residual that large is
// the function's own part along an undetermined direction.
constexpr double kRoundingMargin = 10;
constexpr double kMostRounding = 1e-2;

// The condition number of the rows of the inverted matrix that its sweep
// keeps, once per inversion.
double inverted_condition(RUVACOM* ctx) {
  if (ctx->inverted_condition > 0) return ctx->inverted_condition;
  const int p = ctx->nparm;
  PoolBuffer<double> work(static_cast<long>(p) * (p + 1) / 2);
  ZSWPN* swpi = zswpnsu(task_pool(), p, nullptr, nullptr, 0);
  if (!work.get() || !swpi) {
    zswpnfr(task_pool(), swpi);
    ruva_out_of_memory(static_cast<long>(block_bytes(p)));
  }
  swpi->sing = ctx->epsilon;
  const double condition = kept_rows_condition(ctx->inverted, p, swpi, work.get());
  zswpnfr(task_pool(), swpi);
  return ctx->inverted_condition = std::max(1.0, condition);
}

}  // namespace

bool has_dependent_parameters(const RUVACOM* ctx) {
  return std::any_of(ctx->parmdf, ctx->parmdf + ctx->nparm, [](char s) { return s != '1'; });
}

double estimability_tolerance(const RUVACOM* ctx, double condition) {
  const double rounding = std::min(kRoundingMargin * DBL_EPSILON * condition, kMostRounding);
  return std::max(std::sqrt(std::max(ctx->epsilon, DBL_EPSILON)), rounding);
}

void keep_inverted_matrix(RUVACOM* ctx) {
  const int n = ctx->nparm;
  ctx->inverted_condition = 0;
  if (!ctx->inverted || n < 1) return;
  const ZOPTMARQU& mq = *ctx->zoptg->state.marqu;
  if (mq.inumconstr == 0) {
    std::memcpy(ctx->inverted, ctx->xpx, block_bytes(n));
    return;
  }
  std::memcpy(ctx->inverted, mq.savhes, block_bytes(n));
  jovfhes(ctx, ctx->inverted);
}

void keep_whole_inverse(RUVACOM* ctx) {
  ctx->whole_inverse_kept = 0;
  if (!ctx->g4 || !ctx->whole_inverse || ctx->cov_unavailable || !has_dependent_parameters(ctx)) return;
  std::memcpy(ctx->whole_inverse, ctx->xpx, block_bytes(ctx->nparm));
  ctx->whole_inverse_kept = 1;
}

double* inverse_in_use(const RUVACOM* ctx) { return ctx->whole_inverse_kept ? ctx->whole_inverse : ctx->xpx; }

bool estimable(RUVACOM* ctx, const double* g) {
  const int p = ctx->nparm;
  if (p < 1 || !ctx->inverted || !has_dependent_parameters(ctx)) return true;
  PoolBuffer<double> work(2L * p);
  if (!work.get()) ruva_out_of_memory(static_cast<long>(sizeof(double)) * 2 * p);
  double* h = work.get();  // g on the free directions
  double* u = h + p;       // G h
  std::copy_n(g, p, h);
  if (ctx->zoptg) zoptprv(ctx->zoptg, h, p);
  const double* G = inverse_in_use(ctx);
  const double* A = ctx->inverted;
  for (int i = 0; i < p; ++i) u[i] = zvdots1(G + zisub(i, 0), i, h, p);
  // r = h - A G h, both measured with parameter j scaled by sqrt(A_jj).
  double residual = 0, size = 0;
  for (int j = 0; j < p; ++j) {
    const double a = A[zisub(j, j)];
    const double scale = a > 0 ? 1 / std::sqrt(a) : 1.0;
    const double r = (h[j] - zvdots1(A + zisub(j, 0), j, u, p)) * scale;
    residual += r * r;
    size += h[j] * scale * h[j] * scale;
  }
  return !(std::sqrt(residual) > estimability_tolerance(ctx, inverted_condition(ctx)) * std::sqrt(size));
}
