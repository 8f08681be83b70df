// The check that the refits refit the fitted model: before the first batch
// of a BY group the refit objective is evaluated at the fit's estimates on
// the observed responses and must equal the fit's weighted sum of squares
// (summed in the same observation order) to a relative 1e-9. A program the
// refits cannot follow (a loss or residual of its own, values carried over
// observations the fit did not use, variables only the fit's iterations
// set) would otherwise be refitted as a different model, its intervals
// printed beside the right estimates.
#include <cmath>
#include <cstring>
#include <string>

#include "host/missing.h"
#include "host/services.h"
#include "procedure/group_name.h"
#include "procedure/procedure_context.h"
#include "profile/refit_client.h"

namespace {

constexpr int kMsgDiffers = 487, kMsgNotEvaluated = 488, kMsgOwnLoss = 489,
              kMsgCarriedOverUnused = 490, kMsgFitVariables = 495, kMsgOwnResidual = 496;
constexpr double kTolerance = 1e-9;

bool reads(RUVACOM* ctx, const char* name) {
  const CMPSYM* s = cmpsyms(name, static_cast<int>(std::strlen(name)), &ctx->globcmp);
  return s && cmp_referenced(s);
}

// The likely reason, or 0 when none is known.
int reason(RUVACOM* ctx) {
  const PROF_BOOT_COMMON_BLOCK& q = ctx->qxprof_block;
  if (ctx->residflag) return kMsgOwnResidual;
  if (ctx->nobs != ctx->iobs && (q.n_cntl_stmts > 0 || q.n_retain_stmts > 0))
    return kMsgCarriedOverUnused;
  for (const char* name : {"_ITER_", "_SSE_", "_HALVE_", "_OBS_", "_N_"})
    if (reads(ctx, name)) return kMsgFitVariables;
  return 0;
}

void warn(RUVACOM* ctx, double refit, long used) {
  char text[512] = "";
  if (const int r = reason(ctx)) xpmstr(text, sizeof text, 305, r);
  const std::string why = text[0] ? std::string(text) + " " : "";
  const std::string group = group_name(ctx);
  if (is_missing(refit))
    xpmlog(305, kMsgNotEvaluated, used, ctx->iobs, why.c_str(), group.c_str());
  else
    xpmlog(305, kMsgDiffers, refit, used, ctx->sumwsse, ctx->iobs, why.c_str(), group.c_str());
  ruva_raise_rc(ctx, 4);
}

}  // namespace

FitCheck check_refits_reproduce_fit(RUVACOM* ctx) {
  PROF_BOOT_COMMON_BLOCK& q = ctx->qxprof_block;
  if (q.fit_reproduced != 0)
    return q.fit_reproduced > 0 ? FitCheck::kReproduced : FitCheck::kNotReproduced;
  if (ctx->lossflag) {
    q.fit_reproduced = -1;
    xpmlog(305, kMsgOwnLoss, group_name(ctx).c_str());
    ruva_raise_rc(ctx, 4);
    return FitCheck::kNotReproduced;
  }
  const std::vector<QXPROF_RESULT*> results = run_refit_batch(ctx, 1, 0, -1, kTaskFitCheck);
  if (results.empty()) return FitCheck::kEngineFailed;
  const QXPROF_RESULT& r = *results[0];
  const long used = r.qxznlo_rc >= 0 ? r.n_cont_obs : 0;
  const double refit = used > 0 ? *r.obj_val_ptr : special_missing_value();
  const double fit = ctx->sumwsse;
  const bool same = used == ctx->iobs && !is_missing(refit) && !is_missing(fit) &&
                    std::fabs(refit - fit) <= kTolerance * std::fabs(fit);
  q.fit_reproduced = same ? 1 : -1;
  if (!same) warn(ctx, refit, used);
  return same ? FitCheck::kReproduced : FitCheck::kNotReproduced;
}
