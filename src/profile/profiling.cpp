// Profiling after a BY group's fit: a reference refit that may improve on
// the fit, refits with each profiled parameter held on a grid of standard
// errors around its estimate, and the jackknife (one refit per left-out
// used observation), all run on the refit engine.
#include "profile/profiling.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "host/missing.h"
#include "host/services.h"
#include "host/output_tables.h"
#include "linalg/packed.h"
#include "optim/optimiser.h"
#include "procedure/convergence_status.h"
#include "procedure/step_memory.h"
#include "procedure/group_name.h"
#include "procedure/procedure_context.h"
#include "procedure/statement_lookup.h"
#include "procedure/step_phases.h"
#include "procedure/result_phases.h"
#include "profile/graph_builders.h"
#include "profile/refit_client.h"
#include "profile/refit_outcomes.h"

namespace {

constexpr int kMsgNoMemory = 431, kMsgEngineFailed = 438, kMsgUnusedObs = 483, kMsgBetterFit = 425;
constexpr int kMsgNotProfiled = 449, kMsgSeMissing = 454, kMsgSeZero = 458, kMsgSeTooLarge = 459;
constexpr double kHuge = 1.3407807929943e154;
constexpr int kQxprofBest = 2;

// Failure of the engine or the record file: profiling stops for the step.
void give_up(RUVACOM* ctx) {
  ctx->no_prof_flag = 1;
  xpmlog(305, kMsgEngineFailed);
  ruva_raise_rc(ctx, 1012);
}

// A converged reference refit strictly below the fit's objective replaces
// it, unless its estimates break a bound.
void reset_reference_values(RUVACOM* ctx, const QXPROF_RESULT* r) {
  auto& ref = ctx->ruvaprofile_control->ref;
  if (r->qxznlo_rc <= 0 || !(*r->obj_val_ptr < ref.sumwsse) || !within_bounds(ctx, r->parm_array))
    return;
  ref.best = kQxprofBest;
  ref.sumwsse = *r->obj_val_ptr;
  for (int i = 0; i < ctx->nparm; ++i) {
    const double old = ref.ref_best_parm_vals[i];
    if (old != 0 && std::fabs((old - r->parm_array[i]) / old) * 100 > 5.0) {
      xpmlog(305, kMsgBetterFit, by_group_phrase(ctx).c_str());
      break;
    }
  }
  std::copy(r->parm_array, r->parm_array + ctx->nparm, ref.ref_best_parm_vals);
}

void compute_std_for_prof_parms(RUVACOM* ctx) {
  RUVAPROFILE_CONTROL* prof = ctx->ruvaprofile_control;
  const double mse = error_mean_square(ctx);
  for (int j = 0; j < prof->comp.prof_parms.n; ++j) {
    const int loc = prof->comp.prof_parm_loc[j];
    const double l = ctx->xpx[zisub(loc, loc)];
    double q = l * mse;
    if ((std::fabs(mse) > kHuge && l > 1) || (l > kHuge && std::fabs(mse) > 1)) q = kHuge;
    const char status = ctx->parmdf[loc];
    const bool bad = is_missing(mse) || is_missing(l) || q < 0 || (status != '1' && status != '2');
    prof->comp.se[j] = bad ? special_missing_value() : std::sqrt(q);
  }
}

// Why parameter j cannot be profiled in this BY group (the text of the
// message that says so), or 0 when it can.
int reason_not_profiled(const RUVACOM* ctx, int j) {
  const RUVAPROFILE_CONTROL* prof = ctx->ruvaprofile_control;
  const double se = prof->comp.se[j];
  if (is_missing(se) || is_missing(prof->comp.prof_parm_best_vals[j])) return kMsgSeMissing;
  for (int i = 0; i < ctx->nparm; ++i)
    if (is_missing(prof->ref.ref_best_parm_vals[i])) return kMsgSeMissing;
  if (!(se > 0) || negligible_mean_square(ctx, error_mean_square(ctx))) return kMsgSeZero;
  return se > kHuge ? kMsgSeTooLarge : 0;
}

// 1 when parameter j cannot be profiled in this BY group.
int check_prof_conditions(const RUVACOM* ctx, int j) { return reason_not_profiled(ctx, j) != 0; }

// A parameter that asks for a profile but cannot have one gets no rows and
// no graphs; the log says so and why.
void note_not_profiled(RUVACOM* ctx, int j) {
  char why[256] = "";
  xpmstr(why, sizeof why, 305, reason_not_profiled(ctx, j));
  const CMPSYM* p = ctx->parmsym->s[ctx->ruvaprofile_control->comp.prof_parm_loc[j]];
  xpmlog(305, kMsgNotProfiled, static_cast<int>(p->nameleng), p->name, by_group_phrase(ctx).c_str(), why);
}

bool profile_wanted(const RUVACOM* ctx, int j) {
  const RUVAPROFILE_CONTROL* prof = ctx->ruvaprofile_control;
  const int loc = prof->comp.prof_parm_loc[j];
  return prof->graph.tplot_flag[loc] || prof->graph.confcurv_flag[loc];
}

// A table of parameter j's rows of the batch, when graphics are enabled.
void table(RUVACOM* ctx, std::vector<QXPROF_RESULT*>& results, int j, int kind) {
  if (!ctx->yol_graphics_flag) return;
  if (const int rc = write_to_table(ctx, results.data(), static_cast<int>(results.size()), j, kind)) zyolexit(rc);
}

bool write_batch(RUVACOM* ctx, std::vector<QXPROF_RESULT*>& results, int p_index, int kind) {
  if (results.empty()) {
    give_up(ctx);
    return false;
  }
  if (ctx->ruvaprofile_control->data.data_flag)
    write_to_dataset(ctx, results.data(), static_cast<int>(results.size()), p_index, kind);
  if (kind == kTaskProfilePoint) table(ctx, results, p_index, kind);
  return true;
}

// A BY group's refits: the reference refit's loss is judged by those after
// it, which are measured against it.
struct GroupTally {
  RefitTally reference, later;
};

// The batch's refits counted into the group's tally; the kind's own tally.
RefitTally counted(std::vector<QXPROF_RESULT*>& results, int kind, RefitTally* all) {
  const RefitTally t = tally_of(results.data(), static_cast<int>(results.size()), kind);
  *all += t;
  return t;
}

bool reference_refit(RUVACOM* ctx, RefitTally* all) {
  std::vector<QXPROF_RESULT*> results = run_refit_batch(ctx, 1, 0, -1, kTaskReference);
  if (!results.empty()) reset_reference_values(ctx, results[0]);
  if (!write_batch(ctx, results, -1, kTaskReference)) return false;
  counted(results, kTaskReference, all);
  return true;
}

bool profiles(RUVACOM* ctx, RefitTally* all) {
  RUVAPROFILE_CONTROL* prof = ctx->ruvaprofile_control;
  for (int j = 0; j < prof->comp.prof_parms.n; ++j) {
    if (!profile_wanted(ctx, j)) continue;
    if (check_prof_conditions(ctx, j)) {
      note_not_profiled(ctx, j);
      continue;
    }
    const int n = determine_num_tasks(ctx, j);
    std::vector<QXPROF_RESULT*> results;
    if (n > 0) results = run_refit_batch(ctx, n, 0, j, kTaskProfilePoint);
    if (!write_batch(ctx, results, j, kTaskProfilePoint)) return false;
    log_profile_losses(ctx, j, counted(results, kTaskProfilePoint, all));
  }
  if (ctx->yol_graphics_flag) produce_t_cc_plots(ctx);
  return true;
}

bool jackknife(RUVACOM* ctx, RefitTally* all) {
  const int n = static_cast<int>(ctx->iobs);
  std::vector<QXPROF_RESULT*> results;
  if (n > 0) results = run_refit_batch(ctx, n, 0, -1, kTaskJackknife);
  if (!write_batch(ctx, results, -1, kTaskJackknife)) return false;
  log_jackknife_losses(ctx, counted(results, kTaskJackknife, all));
  const RUVAPROFILE_CONTROL* prof = ctx->ruvaprofile_control;
  for (int j = 0; j < prof->comp.prof_parms.n; ++j)
    if (prof->graph.jackknife_flag[prof->comp.prof_parm_loc[j]]) {
      prof->graph.path_store[j] = nullptr;  // a jackknife graph never draws the profile's table
      table(ctx, results, j, kTaskJackknife);
    }
  if (ctx->yol_graphics_flag) produce_jackknife_plots(ctx);
  return true;
}

void run_profiling(RUVACOM* ctx, GroupTally* tally) {
  RUVAPROFILE_CONTROL* prof = ctx->ruvaprofile_control;
  // Tables and graph paths belong to this BY group only.
  std::fill(prof->graph.path_store, prof->graph.path_store + prof->comp.prof_parms.n, nullptr);
  if (ctx->nobs != ctx->iobs) xpmlog(305, kMsgUnusedObs, group_name(ctx).c_str());
  if (!ctx->qxprof_block.is_setup && setup_qxprof_block(ctx) != 0) return give_up(ctx);
  if (!ctx->qxprof_block.qxrec_file_h && put_data_qxrec(ctx, kRefitProfile) != 0) return give_up(ctx);
  const FitCheck check = check_refits_reproduce_fit(ctx);
  if (check == FitCheck::kEngineFailed) return give_up(ctx);
  if (check == FitCheck::kNotReproduced || !reference_refit(ctx, &tally->reference)) return;
  for (int j = 0; j < prof->comp.prof_parms.n; ++j)
    prof->comp.prof_parm_best_vals[j] = prof->ref.ref_best_parm_vals[prof->comp.prof_parm_loc[j]];
  compute_std_for_prof_parms(ctx);
  if ((prof->graph.u_tplot_flag || prof->graph.u_confcurv_flag) && !profiles(ctx, &tally->later)) return;
  if (prof->graph.u_jackknife_flag) jackknife(ctx, &tally->later);
}

template <typename T>
T* block_or_null(long n) {
  return static_cast<T*>(ruva_alloc(std::max(n, 1L) * static_cast<long>(sizeof(T))));
}

}  // namespace

int determine_num_tasks(const RUVACOM* ctx, int j) {
  const RUVAPROFILE_CONTROL* prof = ctx->ruvaprofile_control;
  if (j < 0 || j >= prof->comp.prof_parms.n) return 0;
  const double from = prof->comp.from[j], to = prof->comp.to[j], by = prof->comp.by[j];
  if (is_missing(from) || is_missing(to) || is_missing(by) || by <= 0 || to < from) return 0;
  // The 0.00001 absorbs the rounding of a quotient just below a whole number.
  return static_cast<int>((to - from) / by + 1.00001);
}

int init_for_profiling(RUVACOM* ctx) {
  RUVAPROFILE_CONTROL* prof = ctx->ruvaprofile_control;
  const int n = prof->comp.prof_parms.n;
  prof->comp.prof_parm_loc = block_or_null<std::int32_t>(n);
  double* both = block_or_null<double>(2 * n);
  prof->out_data.parm_vals = block_or_null<double>(ctx->nparm);
  prof->ref.ref_best_parm_vals = block_or_null<double>(ctx->nparm);
  auto* shows = block_or_null<std::int32_t>(4 * n);
  prof->graph.path_store = block_or_null<xobskey>(n);
  if (!prof->comp.prof_parm_loc || !both || !prof->out_data.parm_vals || !prof->ref.ref_best_parm_vals || !shows ||
      !prof->graph.path_store) {
    ctx->no_prof_flag = 1;
    xpmlog(305, kMsgNoMemory);
    xexit(1016, 0);
  }
  prof->comp.prof_parm_best_vals = both;
  prof->comp.se = both + n;
  prof->ref.show_tval80 = shows, prof->ref.show_tval90 = shows + n;
  prof->ref.show_tval95 = shows + 2 * n, prof->ref.show_tval99 = shows + 3 * n;
  std::fill(prof->graph.path_store, prof->graph.path_store + n, nullptr);
  for (int j = 0; j < n; ++j) prof->comp.prof_parm_loc[j] = get_parm_index(ctx->parmsym, prof->comp.prof_parms.s[j]);
  if (prof->data.data_flag && init_for_profile_output(ctx) != 0) return 1;
  return 0;
}

void ruva_profile(RUVACOM* ctx) {
  if (ctx->no_prof_flag || !ctx->ruvaprofile_control) return;
  GroupTally tally;
  run_profiling(ctx, &tally);
  log_reference_loss(ctx, tally.reference, tally.later);
  log_precision_limit(ctx, tally.reference += tally.later, false);
  ctx->ruvaprofile_control->comp.y_obs_ptr = nullptr;  // the record file's: released with it
  release_qxrec_file(ctx);
}
