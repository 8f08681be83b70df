// The bootstrap after a BY group's fit: the fit's residuals, predictions
// and leverages, B synthetic responses refitted on the refit engine in
// batches of 100 whose uniforms are all drawn on the step thread before the
// batch runs (so the samples do not depend on the thread count), the
// converged samples kept on a record file and the failed ones in a list,
// then the BOOTDATA= rows and the standard deviations, limits and
// covariance of the converged samples through the table and statistics
// extensions.
#include "profile/bootstrap.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "host/missing.h"
#include "host/services.h"
#include "linalg/packed.h"
#include "linalg/packed_matrix.h"
#include "procedure/observation_pass.h"
#include "procedure/result_phases.h"
#include "procedure/step_memory.h"
#include "procedure/group_name.h"
#include "procedure/procedure_context.h"
#include "procedure/step_phases.h"
#include "profile/bootstrap_graphs.h"
#include "profile/bootstrap_resampling.h"
#include "profile/refit_client.h"
#include "results/diagnostics_record.h"

namespace {

constexpr int kMsgNoMemory = 431, kMsgEngineFailed = 438, kMsgUnusedObs = 485,
              kMsgSamplesRaised = 486;
constexpr int kMsgNoScale = 970, kMsgNoResults = 972, kMsgSamplesNotKept = 974, kMsgSampleLost = 975;
constexpr int kSaidAlready = -1;  // the failing step logged why
constexpr int kNotRefitted = -2;  // the refits cannot reproduce the fit: a warning said so
constexpr int kTasksPerBatch = 100;

// The results of the group start missing, so that a run that fails or is
// skipped never shows a previous group's figures.
void clear_results(RUVA_BOOTSTRAP_CONTROL* b, int p) {
  for (double* a :
       {b->ci.boot_std_dev, b->ci.bc_lower_ptr, b->ci.bc_upper_ptr, b->ci.perc_lower_ptr,
        b->ci.perc_upper_ptr, b->ci.normal_lower_ptr, b->ci.normal_upper_ptr})
    if (a) std::fill(a, a + p, special_missing_value());
}

// The fit's residual, prediction and leverages of every used observation,
// the leverages as the diagnostics define them: the tangential one from the
// fit's covariance, the Jacobian one from the diagnostics.
bool prepare_observations(RUVACOM* ctx, BootRun* run) {
  const RUVA_BOOTSTRAP_CONTROL* b = ctx->ruvabootstrap_control;
  const bool tan = b->dgp.type == kDgpWild || b->dgp.scaling == kScaleTan;
  const bool jac = b->dgp.type == kDgpResidual && b->dgp.scaling == kScaleJac;
  observation_pass(ctx, [&](long i, bool ran) {
    if (!ran || !used_observation(ctx, i)) return;
    run->pred.push_back(*ctx->dephat);
    run->res.push_back(*ctx->depval - *ctx->dephat);
    double h = missing_value();
    if (jac) leverages(ctx, nullptr, &h, 1), run->jac.push_back(h);
    if (tan) leverages(ctx, &h, nullptr, 0), run->tan.push_back(h);
  });
  return !run->pred.empty();
}

// Records the seed of every task of the batch and draws its uniforms. The
// first sample records the seed the stream started from (SYSRANDOM: the
// seed given when the method takes it as it is, else the one it was mapped
// to, or the automatic one), so that SEED= set to it repeats the group's
// samples; the others record the stream's end seed (SYSRANEND). A seed is
// read as the signed number the macro variables give and rounded to the
// nearest double, which holds a 64-bit method's end seed to 16 digits.
void draw_batch(RUVA_BOOTSTRAP_CONTROL* b, BootRun* run, int start, int k) {
  MERSENNE_RAND& mr = b->comp.mr;
  const std::int64_t per_task = static_cast<std::int64_t>(run->factor) * run->input.n;
  run->uniforms.resize(static_cast<std::size_t>(per_task * k));
  run->seeds.resize(static_cast<std::size_t>(k));
  for (int t = 0; t < k; ++t) {
    const std::uint64_t seed = start == 0 && t == 0 ? mr.InitialSeed : mr.finalSeed;
    run->seeds[t] = static_cast<double>(static_cast<std::int64_t>(seed));
    mr.NBuffer = per_task;
    mr.VBuffer = run->uniforms.data() + per_task * t;
    mr.FillTheBufferUNIFORM(&mr);
  }
  mr.VBuffer = nullptr;
}

// A refit counts as converged when the engine says so and its objective
// and estimates are numbers.
// A sample's share of the count below the fit's estimate for the bias
// correction: a tie counts as half (its mid-rank), so that many samples on the
// estimate (a parameter held at its bound) cannot make the correction infinite.
double mid_rank_share(double sample, double estimate) {
  if (sample < estimate) return 1.0;
  return sample == estimate ? 0.5 : 0.0;
}

bool converged(const QXPROF_RESULT* r, int p) {
  if (r->qxznlo_rc < 0 || !std::isfinite(*r->obj_val_ptr)) return false;
  return std::all_of(r->parm_array, r->parm_array + p, [](double v) { return std::isfinite(v); });
}

// The batch's sample records (index, seed, SSE, estimates): converged ones
// to the converged-sample file, counted for the bias correction, failed
// ones to the list. False when the file cannot take a record.
bool keep_batch(RUVACOM* ctx, BootRun* run, const std::vector<QXPROF_RESULT*>& results, int start) {
  RUVA_BOOTSTRAP_CONTROL* b = ctx->ruvabootstrap_control;
  const int p = ctx->nparm;
  double* rec = b->comp.single_boot_record;
  for (std::size_t t = 0; t < results.size(); ++t) {
    const QXPROF_RESULT* r = results[t];
    const bool ok = converged(r, p);
    run->tally.add(r, !ok);
    rec[0] = static_cast<double>(start + static_cast<int>(t) + 1);
    rec[1] = run->seeds[t];
    rec[2] = ok ? *r->obj_val_ptr : special_missing_value();
    for (int j = 0; j < p; ++j) rec[3 + j] = ok ? r->parm_array[j] : special_missing_value();
    if (!ok) {
      run->failed.insert(run->failed.end(), rec, rec + p + 3);
      ++b->comp.n_act_failed_tasks;
      continue;
    }
    if (b->ci.bc)
      for (int j = 0; j < p; ++j) b->ci.lower_than_ref_ct[j] += mid_rank_share(rec[3 + j], b->ref.ref_best_parm_vals[j]);
    if (add_converged_sample(ctx) != 0) return false;
  }
  return true;
}

// The converged samples are not all on their file: why, with the system's reason.
int samples_not_kept(RUVACOM* ctx) {
  xpmlog(305, kMsgSamplesNotKept, by_group_phrase(ctx).c_str(), converged_samples_failure(ctx).c_str());
  return kSaidAlready;
}

// 0, or the message that says why the samples are not all there
// (kSaidAlready when it was logged).
int refit_samples(RUVACOM* ctx, BootRun* run) {
  RUVA_BOOTSTRAP_CONTROL* b = ctx->ruvabootstrap_control;
  zmrsNoteUse(&b->comp.mr, &b->comp.used);
  for (int start = 0; start < b->n_samples; start += kTasksPerBatch) {
    const int k = std::min(kTasksPerBatch, b->n_samples - start);
    draw_batch(b, run, start, k);
    const std::vector<QXPROF_RESULT*> results = run_refit_batch(ctx, k, start, -1, kTaskBootstrap);
    if (results.empty()) return kMsgEngineFailed;
    if (!keep_batch(ctx, run, results, start)) return samples_not_kept(ctx);
  }
  return converged_samples_readable(ctx) ? 0 : samples_not_kept(ctx);
}

// The run's reasons to skip: 0 to go on.
int skip_reason(const RUVACOM* ctx) {
  const RUVA_BOOTSTRAP_CONTROL* b = ctx->ruvabootstrap_control;
  if (b->dgp.type == kDgpResidual && b->dgp.scaling == kScaleAdjsse &&
      adjsse_scale(ctx->iobs, ctx->nparm) == 0.0)
    return kMsgNoScale;
  return 0;
}

// Steps of the run up to its statistics; 0, or the message that says why
// it stopped (kSaidAlready when it was logged).
int run_bootstrap(RUVACOM* ctx, BootRun* run) {
  RUVA_BOOTSTRAP_CONTROL* b = ctx->ruvabootstrap_control;
  if (!ctx->qxprof_block.is_setup && setup_qxprof_block(ctx) != 0) return kMsgEngineFailed;
  if (!prepare_observations(ctx, run)) return kMsgEngineFailed;
  run->factor = b->dgp.type == kDgpWild ? 2 : 1;
  run->input = {b->dgp.type,     b->dgp.scaling,   static_cast<std::int32_t>(run->pred.size()),
                ctx->nparm,      run->pred.data(), run->res.data(),
                run->tan.data(), run->jac.data()};
  if (!ctx->qxprof_block.qxrec_file_h && put_data_qxrec(ctx, kRefitBootstrap) != 0) return kMsgEngineFailed;
  const FitCheck check = check_refits_reproduce_fit(ctx);
  if (check != FitCheck::kReproduced) return check == FitCheck::kNotReproduced ? kNotRefitted : kMsgEngineFailed;
  if (prepare_boot_qxrec_file(ctx) != 0) return kSaidAlready;
  b->comp.n_act_failed_tasks = 0;
  if (b->ci.bc) std::fill(b->ci.lower_than_ref_ct, b->ci.lower_than_ref_ct + ctx->nparm, 0.0);
  if (const int why = refit_samples(ctx, run)) return why;
  if (b->data.data_flag && write_to_dataset(ctx) != 0) return kMsgSampleLost;
  log_bootstrap_losses(ctx, run->tally);
  log_precision_limit(ctx, run->tally, true);
  if (prepare_boot_samples_qxtab(ctx) != 0 || prepare_boot_statistics(ctx) != 0 || get_ci_cov_stats(ctx) != 0)
    return kSaidAlready;
  if (ctx->yol_graphics_flag) produce_bootstrap_plots(ctx);
  return 0;
}

// The run's objects live from the start of the run to its end, also when
// the step ends inside it.
class RunScope {
 public:
  RunScope(RUVACOM* ctx, BootRun* run) : ctx_(ctx) { ctx->ruvabootstrap_control->comp.run = run; }
  ~RunScope() {
    ctx_->ruvabootstrap_control->comp.run = nullptr;
    release_boot_run_objects(ctx_);
    release_qxrec_file(ctx_);
  }
  RunScope(const RunScope&) = delete;
  RunScope& operator=(const RunScope&) = delete;

 private:
  RUVACOM* ctx_;
};

// A run that stopped: no results for the group, no bootstrap for the rest
// of the step, and the step's return code 1012.
void give_up(RUVACOM* ctx, int why) {
  RUVA_BOOTSTRAP_CONTROL* b = ctx->ruvabootstrap_control;
  clear_results(b, ctx->nparm);
  ruva_free(b->cov.dbl_ptr);
  b->cov.dbl_ptr = nullptr;
  if (why == kMsgEngineFailed)
    xpmlog(305, kMsgEngineFailed), xpmlog(305, kMsgNoResults, by_group_phrase(ctx).c_str());
  else if (why != kSaidAlready)
    xpmlog(305, why, by_group_phrase(ctx).c_str());
  b->boot_to_be_done = 0;
  ctx->no_boot_flag = 1;
  ruva_raise_rc(ctx, 1012);
}

}  // namespace

int computed_vars_cb_for_bootstrap(QXPROF_COMP_VARS_CB_ARGS* args) {
  auto* ctx = static_cast<RUVACOM*>(args->t_user_ptr);
  const BootRun* run = ctx->ruvabootstrap_control->comp.run;
  if (!run) return 1;
  const bool control = n_control_vars(ctx) > 0;
  if (control && args->n_rows_to_compute != 1) return 1;
  const double* u =
      run->uniforms.data() + static_cast<std::int64_t>(args->task_id) * run->factor * run->input.n;
  bootstrap_response(run->input, u, args->first_obs_index, args->n_rows_to_compute,
                     args->comp_buffer, args->n_comp_vars);
  if (control && set_control_vars_for_qxprof(ctx, args, args->comp_buffer + 1) != 0) return 1;
  args->n_rows_computed = args->n_rows_to_compute;
  return 0;
}

int init_for_bootstrapping(RUVACOM* ctx) {
  RUVA_BOOTSTRAP_CONTROL* b = ctx->ruvabootstrap_control;
  const long p = std::max(ctx->nparm, 1);
  double* block = ruva_new<double>(7 * p);
  b->ref.ref_best_parm_vals = ruva_new<double>(p);
  b->out_data.parm_vals = ruva_new<double>(p);
  b->comp.single_boot_record = ruva_new<double>(p + 3);
  b->ci.lower_than_ref_ct = ruva_new<double>(p);
  if (!block || !b->ref.ref_best_parm_vals || !b->out_data.parm_vals || !b->comp.single_boot_record ||
      !b->ci.lower_than_ref_ct) {
    ctx->no_boot_flag = 1;
    xpmlog(305, kMsgNoMemory);
    xexit(1016, 0);
    return 1;
  }
  if (b->ci.bc) b->ci.bc_lower_ptr = block, b->ci.bc_upper_ptr = block + p;
  if (b->ci.perc) b->ci.perc_lower_ptr = block + 2 * p, b->ci.perc_upper_ptr = block + 3 * p;
  if (b->ci.normal) b->ci.normal_lower_ptr = block + 4 * p, b->ci.normal_upper_ptr = block + 5 * p;
  b->ci.boot_std_dev = block + 6 * p;
  clear_results(b, static_cast<int>(p));
  return b->data.data_flag ? init_for_bootstrap_output(ctx) : 0;
}

void ruva_bootstrap(RUVACOM* ctx) {
  RUVA_BOOTSTRAP_CONTROL* b = ctx->ruvabootstrap_control;
  if (!b || ctx->no_boot_flag) return;
  clear_results(b, ctx->nparm);
  if (ctx->nobs != ctx->iobs) xpmlog(305, kMsgUnusedObs, group_name(ctx).c_str());
  if (b->max_user_n_samples > 0 && b->max_user_n_samples != b->n_samples)
    xpmlog(305, kMsgSamplesRaised, b->n_samples);
  if (const int why = skip_reason(ctx)) {
    xpmlog(305, why, by_group_phrase(ctx).c_str(), static_cast<int>(ctx->iobs), ctx->nparm);
    b->boot_to_be_done = 0;
    return;
  }
  BootRun run;
  int why = 0;
  {
    RunScope scope(ctx, &run);
    why = run_bootstrap(ctx, &run);
  }
  if (why == kNotRefitted)
    b->boot_to_be_done = 0;
  else if (why)
    give_up(ctx, why);
}
