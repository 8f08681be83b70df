// The result tables of a BY group, in order: estimation summary, ANOVA
// (which settles the fitted variance and the error degrees of freedom),
// parameter estimates, correlations, COVB rows, nonlinearity measures. Under NOPRINT only the
// figures, the log notes and the COVB rows are produced.
#include <cstring>

#include "host/missing.h"
#include "host/services.h"
#include "optim/optimiser.h"
#include "prob/t_f_beta.h"
#include "procedure/analysis_requests.h"
#include "procedure/group_name.h"
#include "procedure/proc_options.h"
#include "procedure/procedure_context.h"
#include "results/anova.h"
#include "results/correlations.h"
#include "results/parameter_estimates.h"
#include "results/pool_buffer.h"
#include "results/result_output.h"
#include "results/result_tables.h"

namespace {

constexpr int kMsgNoCorrelationMemory = 43;
constexpr int kMsgBootstrapLimits = 497, kMsgBootstrapLimitsNotShown = 510;
constexpr int kTitleSettings = 439;

void end_step(const RUVACOM* ctx) { xexit(ctx->nby != 0 ? 120 : 1020, 0); }

void check(const RUVACOM* ctx, int status) {
  if (status != 0) end_step(ctx);
}

bool sigsq_given(const RUVACOM* ctx) {
  return ctx->prochead && stmt_field(ctx->prochead, proc_opt::kSigsq) != nullptr;
}

bool any_singular(const RUVACOM* ctx) {
  for (int i = 0; i < ctx->nparm; ++i)
    if (ctx->parmdf[i] != '1') return true;
  return false;
}

// The iteration history's titles give way to the tables' (request 439).
int clear_iteration_titles(RUVACOM* ctx) {
  if (ctx->noitprint) return 0;
  WOB_PARM_BLK_STR pb = wob_int(442, 2);
  const int rc = wobmth(static_cast<wobop>(ctx->yolman), nullptr, kTitleSettings, 1, &pb);
  if (rc < 0) xprrlog(0, rc);
  return rc < 0 ? rc : 0;
}

// The fitted variance and the error degrees of freedom every later result uses.
Inference settle_variance(RUVACOM* ctx, const AnovaFigures& a) {
  Inference inf;
  inf.error_df = a.error_df;
  inf.variance_known = sigsq_given(ctx);
  if (inf.variance_known) ctx->mse = ctx->sigsq;
  else ctx->mse = a.error_df >= 1 ? ctx->sumwsse / static_cast<double>(a.error_df) : special_missing_value();
  if (!ctx->estdfspec) ctx->estdf = static_cast<double>(a.error_df);
  ctx->i_error_obs = a.error_df;
  double q = 0;
  inf.t_quantile = zqt(1 - ctx->alpha / 2, static_cast<double>(a.error_df), &q) == 0 ? q : special_missing_value();
  const RUVA_BOOTSTRAP_CONTROL* b = ctx->ruvabootstrap_control;
  if (b && b->boot_to_be_done && (b->ci.bc || b->ci.perc || b->ci.normal))
    xpmlog(kResultMessages, ctx->noprint ? kMsgBootstrapLimitsNotShown : kMsgBootstrapLimits,
           by_group_phrase(ctx).c_str());
  return inf;
}

void correlations(RUVACOM* ctx, double* corr, const double* corr_cov_boot) {
  if (!corr) {
    xpmlog(kResultMessages, kMsgNoCorrelationMemory);
    ruva_raise_rc(ctx, ctx->nby != 0 ? 116 : 1016);
    return;
  }
  if (ctx->noprint) return;
  PoolBuffer<double> scale(ctx->nparm);
  if (!scale.get()) ruva_out_of_memory(static_cast<long>(sizeof(double)) * ctx->nparm);
  correlation_matrix(ctx, corr, scale.get());
  check(ctx, print_correlations(ctx, corr));
  note_unformed_correlations(ctx, scale.get());
  check(ctx, print_bootstrap_matrices(ctx, corr_cov_boot));
}

}  // namespace

void jovtab(RUVACOM* ruvaptr, double* corr_cov_boot) {
  RUVACOM* ctx = ruvaptr;
  const int p = ctx->nparm;
  PoolBuffer<double> corr(static_cast<long>(p) * (p + 1) / 2);
  const bool intercept = isintercept(ctx) != 0;
  if (!ctx->noprint) {
    check(ctx, clear_iteration_titles(ctx));
    print_summary(ctx);
  }
  const AnovaFigures a = anova_figures(anova_input(ctx, intercept));
  const bool singular = any_singular(ctx);
  if (!ctx->noprint) check(ctx, print_anova(ctx, a, singular));
  log_anova_notes(ctx, a, singular);
  const Inference inf = settle_variance(ctx, a);
  standard_errors(ctx);
  if (!ctx->noprint) check(ctx, print_parameter_estimates(ctx, inf));
  if (p > 0) correlations(ctx, corr.get(), corr_cov_boot);
  write_covb_rows(ctx);
  if (!ctx->noprint && ctx->ruvameasures_table_flag && corr.get()) print_nonlinearity_meas_factoid(ctx);
}
