// What follows a BY group's fit: the fit diagnostics and graphs, profiling
// and the bootstrap (only from a converged fit with a usable covariance),
// the result tables, and ESTIMATE and CONTRAST (only after convergence).
#include <cstring>

#include "host/services.h"
#include "optim/optimiser.h"
#include "procedure/estimation_parts.h"
#include "procedure/group_name.h"
#include "procedure/kernel_object_release.h"
#include "procedure/result_phases.h"
#include "procedure/step_memory.h"
#include "procedure/procedure_context.h"

namespace {

constexpr int kMsgDiagnosticsWithBounds = 159;
// Why profiling (first) or the bootstrap (second) is not done.
constexpr int kMsgProfileNotConverged = 435, kMsgProfileSingular = 436, kMsgProfileNotPsd = 439;
constexpr int kMsgBootNotConverged = 473, kMsgBootSingular = 474, kMsgBootNotPsd = 484;

bool diagnostics_needed(const RUVACOM* ctx) {
  const RUVA_BOOTSTRAP_CONTROL* boot = ctx->ruvabootstrap_control;
  return ctx->boxs_bias_flag || ctx->ruvameasures_table_flag || ctx->graph_control || ctx->ruvaout_flag ||
         (boot && boot->dgp.type == kDgpResidual && boot->dgp.scaling == kScaleJac);
}

void run_diagnostics(RUVACOM* ctx) {
  const ZOPTMARQU& mq = *ctx->zoptg->state.marqu;
  if (mq.perm + mq.nact > 0) xpmlog(305, kMsgDiagnosticsWithBounds, by_group_phrase(ctx).c_str());
  if (ruva_diag_statstable(ctx, &ctx->outputstats_path) == 0 && ctx->graph_control) ruva_diag_graphics(ctx);
}

// 0 when the analysis may run, else the message that says why not.
int refusal(int rc, COV_CHECK_STATUS cs, int not_converged, int singular, int not_psd) {
  if (rc != 0) return not_converged;
  if (cs == COV_SING) return singular;
  if (cs == COV_NOT_PSD) return not_psd;
  return 0;
}

void copy_estimates(RUVACOM* ctx, double* to) {
  if (to && ctx->nparm > 0) std::memcpy(to, ctx->parm, sizeof(double) * static_cast<std::size_t>(ctx->nparm));
}

void run_profiling(RUVACOM* ctx, int rc, COV_CHECK_STATUS cs) {
  RUVAPROFILE_CONTROL* prof = ctx->ruvaprofile_control;
  if (!prof || ctx->no_prof_flag) return;
  prof->prof_to_be_done = 0;
  if (const int why = refusal(rc, cs, kMsgProfileNotConverged, kMsgProfileSingular, kMsgProfileNotPsd)) {
    xpmlog(305, why, by_group_phrase(ctx).c_str());
    return;
  }
  prof->prof_to_be_done = 1;
  prof->ref.best = RUVA_BEST;
  prof->ref.sumwsse = ctx->sumwsse;
  copy_estimates(ctx, prof->ref.ref_best_parm_vals);
  ruva_profile(ctx);
}

void run_bootstrap(RUVACOM* ctx, int rc, COV_CHECK_STATUS cs) {
  RUVA_BOOTSTRAP_CONTROL* boot = ctx->ruvabootstrap_control;
  if (!boot) return;
  boot->boot_to_be_done = 0;
  if (ctx->no_boot_flag) return;
  if (const int why = refusal(rc, cs, kMsgBootNotConverged, kMsgBootSingular, kMsgBootNotPsd)) {
    xpmlog(305, why, by_group_phrase(ctx).c_str());
    return;
  }
  ctx->bootCompStrt = 1;
  if (ctx->isDepComputed) release_qx_object(&ctx->insts.prof_inst_h);
  boot->boot_to_be_done = 1;
  boot->ref.sumwsse = ctx->sumwsse;
  copy_estimates(ctx, boot->ref.ref_best_parm_vals);
  ruva_bootstrap(ctx);
}

void result_tables(RUVACOM* ctx) {
  RUVA_BOOTSTRAP_CONTROL* boot = ctx->ruvabootstrap_control;
  if (!boot || !boot->cov.dbl_ptr) {
    jovtab(ctx, nullptr);
    return;
  }
  jovtab(ctx, boot->cov.dbl_ptr);
  ruva_free(boot->cov.dbl_ptr);
  boot->cov.dbl_ptr = nullptr;
}

void estimates_and_contrasts(RUVACOM* ctx) {
  if (ctx->nesti > 0)
    if (const int r = ruvaesti(ctx)) ruva_raise_rc(ctx, r);
  if (ctx->ncont > 0)
    if (const int r = ruvacont(ctx)) ruva_raise_rc(ctx, r);
}

}  // namespace

void hand_over_results(RUVACOM* ctx, int rc, COV_CHECK_STATUS cs) {
  if (diagnostics_needed(ctx)) run_diagnostics(ctx);
  ctx->bootCompStrt = 0;
  run_profiling(ctx, rc, cs);
  run_bootstrap(ctx, rc, cs);
  result_tables(ctx);
  if (rc == 0) estimates_and_contrasts(ctx);
}
