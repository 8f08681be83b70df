// The PROFDATA= data set: its variables, and one row per reference, profile
// or jackknife refit with the refit's objective, pivots and estimates.
#include "profile/profiling.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "host/missing.h"
#include "host/services.h"
#include "optim/optimiser.h"
#include "procedure/convergence_status.h"
#include "procedure/data_set_rows.h"
#include "procedure/proc_options.h"
#include "procedure/procedure_context.h"
#include "procedure/setup.h"
#include "procedure/statement_lookup.h"
#include "procedure/step_memory.h"
#include "profile/refit_client.h"
#include "profile/refit_outcomes.h"

namespace {

constexpr int kMsgNoStorage = 8;
constexpr int kMsgTypeLabel = 130, kMsgParmLabel = 440, kMsgObsLabel = 441, kMsgSseLabel = 114;
constexpr int kMsgLstatLabel = 451, kMsgWstatLabel = 452;
constexpr int kFixedVariables = 6;
constexpr int kMaxLabel = 256;
constexpr char kDataSetLabel[] = "RUVA PARAMETER PROFILES";

int define_fixed(RUVACOM* ctx, const char* name, short type, int length, int label_msg, const void* cell) {
  return define_labelled_variable(ctx->ruvaprofile_control->comp.p_out_xv, ctx->fiddata, name, type, length,
                                  label_msg, cell);
}

void set_text(char* field, std::size_t width, const char* text, std::size_t length) {
  std::memset(field, ' ', width);
  std::memcpy(field, text, std::min(length, width));
}

bool failed(const QXPROF_RESULT* r) { return r->qxznlo_rc < 0; }

}  // namespace

int init_for_profile_output(RUVACOM* ctx) {
  RUVAPROFILE_CONTROL* prof = ctx->ruvaprofile_control;
  auto& row = prof->out_data;
  xvputi(prof->data.fid, ctx->nby + kFixedVariables + ctx->nparm, 32, &prof->comp.p_out_xv);
  if (!prof->comp.p_out_xv) {
    xpmlog(305, kMsgNoStorage);
    return 1;
  }
  describe_output_data_set(prof->data.fid, "PRO", kDataSetLabel);
  int rc = 0;
  if (ctx->nby > 0)
    rc |= xvputcv(prof->comp.p_out_xv, ctx->fiddata, stmt_field(ctx->prochead, 0)->v.f.u.nlistx, ctx->nby, 0);
  rc |= define_fixed(ctx, "_TYPE_", kCharacter, 8, kMsgTypeLabel, row.type);
  rc |= define_fixed(ctx, "_PROF_PARM_", kCharacter, 32, kMsgParmLabel, row.prof_parm_name);
  rc |= define_fixed(ctx, "_OBS_INF_MEAS_", kNumeric, 8, kMsgObsLabel, &row.obs_index);
  rc |= define_fixed(ctx, "_SSE_", kNumeric, 8, kMsgSseLabel, &row.sse);
  rc |= define_fixed(ctx, "_LSTAT_", kNumeric, 8, kMsgLstatLabel, &row.l_stat);
  rc |= define_fixed(ctx, "_WSTAT_", kNumeric, 8, kMsgWstatLabel, &row.w_stat);
  for (int i = 0; i < ctx->nparm; ++i) {
    const CMPSYM* sym = ctx->parmsym->s[i];
    const char* label = nullptr;
    const int labellen = std::min(symbol_label(sym, &label), kMaxLabel);
    const OutputVariable v{kNumeric, 8, sym->name, sym->nameleng, label, labellen};
    rc |= define_output_variable(prof->comp.p_out_xv, ctx->fiddata, v, &row.parm_vals[i], 0);
  }
  return rc | xvpute(prof->comp.p_out_xv);
}

void define_unfilled_profile_output(RUVACOM* ctx) {
  RUVAPROFILE_CONTROL* prof = ctx->ruvaprofile_control;
  XO_FILE* requested = requested_profile_data(ctx);
  if (!requested || (prof && prof->comp.p_out_xv)) return;
  if (!prof) prof = ctx->ruvaprofile_control = ruva_new_or_exit<RUVAPROFILE_CONTROL>();
  prof->data.fid = requested;
  prof->data.data_flag = 1;
  if (!prof->out_data.parm_vals) prof->out_data.parm_vals = ruva_new_or_exit<double>(std::max(ctx->nparm, 1));
  init_for_profile_output(ctx);
}

// SIGSQ= when given, as for the standard errors of the grid, so that the
// two pivots measure in the same unit; else the reference SSE over the fit's
// own error degrees of freedom.
double reference_mse(const RUVACOM* ctx) {
  if (stmt_field(ctx->prochead, proc_opt::kSigsq)) return ctx->sigsq;
  const long df = error_df(ctx);
  const double s = ctx->ruvaprofile_control->ref.sumwsse;
  if (df < 1 || is_missing(s)) return special_missing_value();
  return s / static_cast<double>(df);
}

double signed_root_pivot(const RUVACOM* ctx, const QXPROF_RESULT* r, int j, bool sign) {
  const RUVAPROFILE_CONTROL* prof = ctx->ruvaprofile_control;
  const double s = *r->obj_val_ptr, s_ref = prof->ref.sumwsse, mse = reference_mse(ctx);
  if (is_missing(s) || is_missing(s_ref) || is_missing(mse) || s < s_ref || negligible_mean_square(ctx, mse))
    return special_missing_value();
  const double x = std::sqrt((s - s_ref) / mse);
  const double theta = r->parm_array[prof->comp.prof_parm_loc[j]];
  return sign && theta < prof->comp.prof_parm_best_vals[j] ? -x : x;
}

int write_to_dataset(RUVACOM* ctx, QXPROF_RESULT** res_h_h, int n_tasks, int p_index, int task_type) {
  RUVAPROFILE_CONTROL* prof = ctx->ruvaprofile_control;
  if (!prof->data.data_flag || !prof->comp.p_out_xv) return 1;
  auto& row = prof->out_data;
  static const char* const kTypes[] = {"REF", "PROF", "JACK"};
  set_text(row.type, sizeof row.type, kTypes[task_type], std::strlen(kTypes[task_type]));
  set_text(row.prof_parm_name, sizeof row.prof_parm_name, "", 0);
  if (task_type == kTaskProfilePoint) {
    const CMPSYM* sym = ctx->parmsym->s[prof->comp.prof_parm_loc[p_index]];
    set_text(row.prof_parm_name, sizeof row.prof_parm_name, sym->name, static_cast<std::uint16_t>(sym->nameleng));
  }
  for (int i = 0; i < n_tasks; ++i) {
    const QXPROF_RESULT* r = res_h_h[i];
    if (beyond_bounds(r, task_type)) continue;
    row.sse = refit_row_lost(r) ? special_missing_value() : *r->obj_val_ptr;
    row.obs_index = task_type == kTaskJackknife ? static_cast<double>(used_obs_number(ctx, i)) : missing_value();
    row.l_stat = row.w_stat = missing_value();
    if (task_type == kTaskProfilePoint && !failed(r)) {
      const double theta = r->parm_array[prof->comp.prof_parm_loc[p_index]];
      row.w_stat = prof->comp.from[p_index] + i * prof->comp.by[p_index];
      if (is_missing(theta) || !(prof->comp.se[p_index] > 0)) row.w_stat = special_missing_value();
      if (std::fabs(row.w_stat) < 0.0001) row.w_stat = row.l_stat = 0.0;
      else row.l_stat = signed_root_pivot(ctx, r, p_index, true);
    }
    std::memcpy(row.parm_vals, r->parm_array, sizeof(double) * static_cast<std::size_t>(ctx->nparm));
    append_row(prof->data.fid, &prof->data.xo, prof->comp.p_out_xv, ctx->lastobsptr);
  }
  return 0;
}
