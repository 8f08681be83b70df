// CorrB: the covariance of the estimates scaled to unit diagonal.
#include "results/correlations.h"

#include <cmath>
#include <string>

#include "host/missing.h"
#include "host/services.h"
#include "linalg/packed.h"
#include "procedure/analysis_requests.h"
#include "procedure/group_name.h"
#include "procedure/iteration_history.h"
#include "procedure/procedure_context.h"
#include "results/pool_buffer.h"
#include "results/result_output.h"

namespace {

constexpr int kMsgCorrelationTitle = 45, kMsgBootstrapMatrix = 494, kMsgUnformed = 136;
// How far rounding may carry a correlation of parameters that move together
// (those a generalised inverse or active bounds tie) beyond 1 in magnitude.
constexpr double kRoundingBeyondOne = 1.5e-8;

// 1/sqrt(C(i,i)), or 0 when the parameter is singular (as in the COVB
// rows) or has no positive variance.
double scale_of(const RUVACOM* ctx, int i) {
  const double cii = ctx->xpx[zisub(i, i)];
  return cii > 0 && ctx->parmdf[i] != '0' ? 1.0 / std::sqrt(cii) : 0.0;
}

// C(i,j) scaled by the two variances; a value beyond 1 by rounding is 1.
double scaled_covariance(const RUVACOM* ctx, const double* scale, int i, int j) {
  const double r = i == j ? 1.0 : scale[j] * scale[i] * ctx->xpx[zisub(i, j)];
  return std::fabs(r) > 1.0 && std::fabs(r) <= 1.0 + kRoundingBeyondOne ? std::copysign(1.0, r) : r;
}

// Whether both variances are positive but C puts the pair's correlation
// beyond 1 in magnitude: C is not positive semi-definite (NEWTON stopped
// where the Hessian curves down), and no correlation of the two exists.
bool unformed(const RUVACOM* ctx, const double* scale, int i, int j) {
  return scale[i] > 0 && scale[j] > 0 && std::fabs(scaled_covariance(ctx, scale, i, j)) > 1.0;
}

}  // namespace

void correlation_matrix(const RUVACOM* ctx, double* corr, double* scale) {
  const int p = ctx->nparm;
  const bool no_variance = wzmis(ctx->mse);
  for (int i = 0; i < p; ++i) {
    scale[i] = scale_of(ctx, i);
    for (int j = 0; j <= i; ++j) {
      double& r = corr[zisub(i, j)];
      if (scale[i] <= 0 || scale[j] <= 0 || no_variance || unformed(ctx, scale, i, j)) r = special_missing_value();
      else r = scaled_covariance(ctx, scale, i, j);
    }
  }
}

void note_unformed_correlations(RUVACOM* ctx, const double* scale) {
  if (wzmis(ctx->mse)) return;
  std::string pairs;
  for (int i = 0; i < ctx->nparm; ++i)
    for (int j = i + 1; j < ctx->nparm; ++j)
      if (unformed(ctx, scale, j, i))
        pairs += (pairs.empty() ? "" : ", ") + std::string(ctx->pname[i]) + " with " + ctx->pname[j];
  if (pairs.empty()) return;
  if (!ctx->noprint) show_note(ctx, yolmsgs(kResultMessages, kMsgUnformed, pairs.c_str(), ""));
  xpmlog(kResultMessages, kMsgUnformed, pairs.c_str(), by_group_phrase(ctx).c_str());
}

namespace {

int print_matrix(RUVACOM* ctx, const char* templ, const char* name, xobskey title, const double* values) {
  const int p = ctx->nparm;
  if (p < 1) return 0;
  PoolBuffer<xobskey> names(p);
  if (!names.get()) ruva_out_of_memory(static_cast<long>(sizeof(xobskey)) * p);
  for (int i = 0; i < p; ++i) names.get()[i] = yoltxt(ctx->pname[i], -1);
  return emit_result_matrix(ctx->yolman, {templ, name, title, title, values, p, p, "sc", names.get(), names.get()});
}

}  // namespace

int print_correlations(RUVACOM* ctx, double* corr) {
  return print_matrix(ctx, "stat.ruva.CorrB", "CorrB", result_text(kMsgCorrelationTitle), corr);
}

int print_bootstrap_matrices(RUVACOM* ctx, const double* corr_cov_boot) {
  const RUVA_BOOTSTRAP_CONTROL* b = ctx->ruvabootstrap_control;
  if (!corr_cov_boot || !b || !b->boot_to_be_done) return 0;
  const bool corr = b->cov.scale_to_corr, cov = b->cov.both_cov_corr_on || (b->cov.do_cov && !corr);
  const long t = static_cast<long>(ctx->nparm) * (ctx->nparm + 1) / 2;
  int rc = 0;
  if (corr)
    rc = print_matrix(ctx, "stat.ruva.BootstrapCorr", "BootstrapCorr",
                      yolmsgs(kResultMessages, kMsgBootstrapMatrix, "Correlation"), corr_cov_boot);
  if (cov && rc == 0)
    rc = print_matrix(ctx, "stat.ruva.BootstrapCov", "BootstrapCov",
                      yolmsgs(kResultMessages, kMsgBootstrapMatrix, "Covariance"),
                      corr ? corr_cov_boot + t : corr_cov_boot);
  return rc;
}
