// CorrB: the covariance of the estimates scaled to unit diagonal.
#include "results/correlations.h"

#include <cmath>

#include "host/missing.h"
#include "host/services.h"
#include "linalg/packed.h"
#include "procedure/ruvacom.h"
#include "results/pool_buffer.h"
#include "results/result_output.h"

namespace {

constexpr int kMsgCorrelationTitle = 45;

// 1/sqrt(C(i,i)), or 0 when the parameter has no positive variance or,
// under G4, a correlation beyond 1 with an earlier parameter.
double scale_of(const RUVACOM* ctx, int i, const double* scale) {
  const double* c = ctx->xpx;
  const double cii = c[zisub(i, i)];
  double d = cii > 0 ? 1.0 / std::sqrt(cii) : 0.0;
  if (ctx->g4 && d > 0)
    for (int j = 0; j < i; ++j)
      if (std::fabs(scale[j] * d * c[zisub(i, j)]) > 1.0) d = 0.0;
  return d;
}

}  // namespace

void correlation_matrix(const RUVACOM* ctx, double* corr, double* scale) {
  const int p = ctx->nparm;
  const bool no_variance = wzmis(ctx->mse);
  for (int i = 0; i < p; ++i) {
    scale[i] = scale_of(ctx, i, scale);
    for (int j = 0; j <= i; ++j) {
      double& r = corr[zisub(i, j)];
      if (scale[i] <= 0 || scale[j] <= 0 || no_variance) r = special_missing_value();
      else r = i == j ? 1.0 : scale[j] * scale[i] * ctx->xpx[zisub(i, j)];
    }
  }
}

int print_correlations(RUVACOM* ctx, double* corr) {
  const int p = ctx->nparm;
  if (p < 1) return 0;
  PoolBuffer<xobskey> names(p);
  if (!names.get()) ruva_out_of_memory(static_cast<long>(sizeof(xobskey)) * p);
  for (int i = 0; i < p; ++i) names.get()[i] = yoltxt(ctx->pname[i], -1);
  const xobskey title = result_text(kMsgCorrelationTitle);
  return emit_result_matrix(ctx->yolman, {"stat.ruva.CorrB", "CorrB", title, title, corr, p, p, "sc", names.get(),
                                          names.get()});
}
