// COVB rows of the OUTEST= data set. The parameter variables are bound to
// the parameter storage, so each row is built there and the estimates are
// put back afterwards.
#include <algorithm>
#include <cstring>

#include "host/missing.h"
#include "host/services.h"
#include "linalg/packed.h"
#include "procedure/procedure_context.h"
#include "results/correlations.h"

namespace {

constexpr int kWarningSeverity = 4;

void emit_row(RUVACOM* ctx) {
  int rc = xyvput(ctx->outestxv, nullptr);
  ctx->outestxo.file = ctx->outestptr;
  if (rc == 0) rc = ctx->outestptr->write(&ctx->outestxo);
  if (rc != 0 || (ctx->outestxo.flags & kXoFailed) || (ctx->outestptr->flags & kXoError))
    xofprc(&ctx->outestxo, rc, kWarningSeverity);
}

void set_name(RUVACOM* ctx, int i) {
  const int width = std::clamp(static_cast<int>(ctx->maxnamelen), 0, static_cast<int>(sizeof ctx->name_));
  std::memset(ctx->name_, ' ', static_cast<std::size_t>(width));
  const int length = std::min(static_cast<int>(std::strlen(ctx->pname[i])), width);
  std::memcpy(ctx->name_, ctx->pname[i], static_cast<std::size_t>(length));
}

void covariance_row(RUVACOM* ctx, int i) {
  const int p = ctx->nparm;
  for (int j = 0; j < p; ++j) {
    double& v = ctx->parm[j];
    if (ctx->parmdf[j] == '0' || ctx->parmdf[i] == '0' || wzmis(ctx->mse) || wzmis(ctx->xpx[zisub(i, j)])) {
      v = special_missing_value();
      continue;
    }
    v = ctx->xpx[zisub(i, j)] * ctx->mse;
    if (j == i && v < 0) {
      for (int k = 0; k < p; ++k) ctx->parm[k] = special_missing_value();
      ctx->parmdf[i] = '0';
      return;
    }
  }
}

}  // namespace

void write_covb_rows(RUVACOM* ctx) {
  if (!ctx->outestptr || !ctx->outestxv) return;
  const int p = ctx->nparm;
  std::copy_n(ctx->parm, p, ctx->parmlast);
  std::memcpy(ctx->type, "COVB    ", sizeof ctx->type);
  ctx->iter = special_missing_value();
  for (int i = 0; i < p; ++i) {
    set_name(ctx, i);
    covariance_row(ctx, i);
    emit_row(ctx);
  }
  std::copy_n(ctx->parmlast, p, ctx->parm);
}
