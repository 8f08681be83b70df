// The ProfileJackknifeOutputStatistics table: one per profiled parameter
// and kind of refit, with the pivots, the x value and Wald limits of the
// confidence curve and the percentage change of the jackknife; its output
// path is kept for the parameter's graphs.
#include <cmath>

#include "host/missing.h"
#include "optim/optimiser.h"
#include "prob/t_f_beta.h"
#include "procedure/procedure_context.h"
#include "profile/profiling.h"
#include "profile/refit_client.h"
#include "profile/refit_outcomes.h"
#include "results/result_output.h"

namespace {

constexpr int kMsgTitle = 450, kMsgObservation = 141, kMsgStatType = 455, kMsgLstat = 451, kMsgWstat = 452,
              kMsgX = 72, kMsgUpper = 445, kMsgLower = 446, kMsgChange = 453, kMsgValue = 456, kMsgRef = 457;

double t_quantile(double p, double df) {
  double q = 0;
  return df >= 1 && zqt(p, df, &q) == 0 ? q : special_missing_value();
}

// The t quantiles of the confidence curve, and parameter j's show flags cleared.
void set_quantiles(RUVACOM* ctx, int j) {
  auto& ref = ctx->ruvaprofile_control->ref;
  const ZOPTMARQU& mq = *ctx->zoptg->state.marqu;
  const double df = static_cast<double>(ctx->iobs - ctx->nparm + mq.nact + mq.perm);
  ref.tval99 = t_quantile(0.995, df), ref.tval95 = t_quantile(0.975, df);
  ref.tval90 = t_quantile(0.95, df), ref.tval80 = t_quantile(0.9, df);
  ref.show_tval99[j] = ref.show_tval95[j] = ref.show_tval90[j] = ref.show_tval80[j] = 0;
}

bool define(ResultTable* t, RUVAPROFILE_CONTROL* prof) {
  auto& d = prof->table_data;
  return t->create_table("ProfileJackknifeOutputStatistics", result_text(kMsgTitle)) &&
         t->column(kMsgObservation, "Observation", "i", &d.obs_index) &&
         t->column(kMsgStatType, "StatType", "i", &d.stat_type) &&
         t->column(kMsgLstat, "LikelihoodRatioPivotalStat", "g", &d.l_stat) &&
         t->column(kMsgWstat, "WaldPivotalStat", "g", &d.w_stat) && t->column(kMsgX, "xValue", "g", &d.x_value) &&
         t->column(kMsgUpper, "UWaldValue", "g", &d.u_wald_boundary) &&
         t->column(kMsgLower, "LWaldValue", "g", &d.l_wald_boundary) &&
         t->column(kMsgChange, "ParameterPercentageChange", "g", &d.parm_per_change) &&
         t->column(kMsgValue, "ParameterValue", "g", &d.parm_val) &&
         t->column(kMsgRef, "ReferenceParameterValue", "g", &d.parm_val_ref);
}

void profile_statistics(RUVACOM* ctx, const QXPROF_RESULT* r, int j) {
  RUVAPROFILE_CONTROL* prof = ctx->ruvaprofile_control;
  auto& d = prof->table_data;
  auto& ref = prof->ref;
  const double b = prof->comp.prof_parm_best_vals[j], se = prof->comp.se[j];
  d.l_stat = signed_root_pivot(ctx, r, j, true);
  d.w_stat = is_missing(d.parm_val) || !(se > 0) ? special_missing_value() : (d.parm_val - b) / se;
  d.x_value = signed_root_pivot(ctx, r, j, false);
  if (is_missing(d.x_value)) return;
  ref.show_tval99[j] |= d.x_value > ref.tval99, ref.show_tval95[j] |= d.x_value > ref.tval95;
  ref.show_tval90[j] |= d.x_value > ref.tval90, ref.show_tval80[j] |= d.x_value > ref.tval80;
  if (is_missing(se)) return;
  d.u_wald_boundary = b + se * d.x_value;
  d.l_wald_boundary = b - se * d.x_value;
}

void fill_row(RUVACOM* ctx, const QXPROF_RESULT* r, int i, int j, int task_type) {
  RUVAPROFILE_CONTROL* prof = ctx->ruvaprofile_control;
  auto& d = prof->table_data;
  const double b = prof->comp.prof_parm_best_vals[j];
  d.parm_val_ref = b;
  d.obs_index = task_type == kTaskJackknife ? static_cast<std::int32_t>(used_obs_number(ctx, i)) : -1;
  d.stat_type = task_type == kTaskJackknife ? 2 : 1;
  d.l_stat = d.w_stat = d.x_value = d.u_wald_boundary = d.l_wald_boundary = special_missing_value();
  d.parm_val = d.parm_per_change = special_missing_value();
  if (r->qxznlo_rc < 0) return;
  d.parm_val = r->parm_array[prof->comp.prof_parm_loc[j]];
  if (task_type == kTaskProfilePoint) profile_statistics(ctx, r, j);
  if (b != 0 && !is_missing(d.parm_val)) d.parm_per_change = std::fabs((d.parm_val - b) / b) * 100;
}

}  // namespace

int write_to_table(RUVACOM* ctx, QXPROF_RESULT** res_h_h, int n_tasks, int p_index, int task_type) {
  RUVAPROFILE_CONTROL* prof = ctx->ruvaprofile_control;
  set_quantiles(ctx, p_index);
  ResultTable t(ctx->yolman);
  if (define(&t, prof) &&
      t.open_data("stat.ruva.ProfileJackknifeOutputStatistics", true, &prof->graph.path_store[p_index])) {
    for (int i = 0; i < n_tasks && t.ok(); ++i) {
      if (beyond_bounds(res_h_h[i], task_type)) continue;
      fill_row(ctx, res_h_h[i], i, p_index, task_type);
      t.row();
    }
    t.finish(nullptr);
  }
  return t.status;
}
