// Standard errors and p-values of the parameter estimates.
#include <cmath>

#include "host/missing.h"
#include "linalg/packed.h"
#include "prob/normal.h"
#include "prob/t_f_beta.h"
#include "procedure/procedure_context.h"
#include "results/parameter_estimates.h"

namespace {
constexpr double kHuge = 1.3407807929943e154;  // sqrt of the largest double
}

void standard_errors(RUVACOM* ctx) {
  const int p = ctx->nparm;
  double* std = ctx->xpx + zisub(p, 0);
  for (int i = 0; i < p; ++i) {
    const double c = ctx->xpx[zisub(i, i)];
    const double mse = ctx->mse;
    if (wzmis(mse) || wzmis(c)) {
      std[i] = special_missing_value();
      continue;
    }
    double v = c * mse;
    if ((std::fabs(mse) > kHuge && c > 1.0) || (c > kHuge && std::fabs(mse) > 1.0)) v = kHuge;
    const bool reported = ctx->parmdf[i] == '1' || ctx->parmdf[i] == '2';
    std[i] = v < 0 || !reported ? special_missing_value() : std::sqrt(v);
  }
}

double t_probability(double t, long error_df, bool variance_known) {
  if (wzmis(t) || (error_df < 1 && !variance_known)) return special_missing_value();
  if (std::fabs(t) >= kHuge) return 0.0;
  if (error_df < 1) return 2 * zprbnrm(-std::fabs(t));
  const double p = zpgt2(t * t, error_df);
  return p < 0 ? special_missing_value() : p;
}
