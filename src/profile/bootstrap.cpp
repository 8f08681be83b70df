// The bootstrap after a BY group's fit: the fit's residuals, predictions
// and leverages, B synthetic responses refitted on the refit engine in
// batches of 100 whose uniforms are all drawn on the step thread before the
// batch runs (so the samples do not depend on the thread count), then the
// standard deviations, limits and covariance of the converged samples and
// the BOOTDATA= rows.
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
#include "procedure/ruva_memory.h"
#include "procedure/ruvacom.h"
#include "procedure/step_phases.h"
#include "profile/bootstrap_graphs.h"
#include "profile/bootstrap_math.h"
#include "profile/refit_engine.h"
#include "results/diagnostics_record.h"

namespace {

constexpr int kMsgNoMemory = 431, kMsgEngineFailed = 438, kMsgUnusedObs = 485,
              kMsgSamplesRaised = 486;
constexpr int kMsgNoScale = 970, kMsgTooFewConverged = 971, kMsgNoResults = 972;
constexpr int kTasksPerBatch = 100;
constexpr double kTiny = 1.110223024625157e-16;

QXPROF_INSTANCE* engine(const RUVACOM* ctx) {
  return static_cast<QXPROF_INSTANCE*>(ctx->insts.prof_inst_h);
}

// The results of the group start missing, so that a run that fails or is
// skipped never shows a previous group's figures.
void clear_results(RUVA_BOOTSTRAP_CONTROL* b, int p) {
  for (double* a :
       {b->ci.boot_std_dev, b->ci.bc_lower_ptr, b->ci.bc_upper_ptr, b->ci.perc_lower_ptr,
        b->ci.perc_upper_ptr, b->ci.normal_lower_ptr, b->ci.normal_upper_ptr})
    if (a) std::fill(a, a + p, special_missing_value());
}

// The fit's residual, prediction and leverages of every used observation.
// The tangential leverage is w d'(sum w d d')^-1 d over the used
// observations; the Jacobian one comes from the diagnostics.
bool prepare_observations(RUVACOM* ctx, BootRun* run) {
  const RUVA_BOOTSTRAP_CONTROL* b = ctx->ruvabootstrap_control;
  const int p = ctx->nparm;
  const bool tan = b->dgp.type == kDgpWild || b->dgp.scaling == kScaleTan;
  const bool jac = b->dgp.type == kDgpResidual && b->dgp.scaling == kScaleJac;
  std::vector<double> d, w;
  observation_pass(ctx, [&](long i, bool ran) {
    if (!ran || !used_observation(ctx, i)) return;
    run->pred.push_back(*ctx->dephat);
    run->res.push_back(*ctx->depval - *ctx->dephat);
    if (jac) {
      double h = missing_value();
      leverages(ctx, nullptr, &h, 1);
      run->jac.push_back(h);
    }
    if (!tan) return;
    w.push_back(*ctx->weight);
    for (int j = 0; j < p; ++j) d.push_back(*ctx->derloc[j]);
  });
  const std::size_t n = run->pred.size();
  if (!tan) return n > 0;
  std::vector<double> x(static_cast<std::size_t>(p) * (p + 1) / 2, 0.0);
  for (std::size_t i = 0; i < n; ++i)
    for (int r = 0; r < p; ++r)
      for (int c = 0; c <= r; ++c) x[zisub(r, c)] += w[i] * d[i * p + r] * d[i * p + c];
  invert(x.data(), p);
  for (std::size_t i = 0; i < n; ++i)
    run->tan.push_back(w[i] > 0 ? w[i] * zmxq1(&d[i * p], x.data(), p, 1) : missing_value());
  return n > 0;
}

// Records the seed of every task of the batch and draws its uniforms.
void draw_batch(RUVA_BOOTSTRAP_CONTROL* b, BootRun* run, int start, int k) {
  MERSENNE_RAND& mr = b->comp.mr;
  const std::int64_t per_task = static_cast<std::int64_t>(run->factor) * run->input.n;
  run->uniforms.resize(static_cast<std::size_t>(per_task * k));
  run->seeds.resize(static_cast<std::size_t>(k));
  for (int t = 0; t < k; ++t) {
    run->seeds[t] = start == 0 && t == 0
                        ? static_cast<double>(static_cast<std::int64_t>(mr.UserSeed))
                        : static_cast<double>(mr.finalSeed);
    mr.NBuffer = per_task;
    mr.VBuffer = run->uniforms.data() + per_task * t;
    mr.FillTheBufferUNIFORM(&mr);
  }
  mr.VBuffer = nullptr;
}

// One batch through the engine; empty on failure.
std::vector<QXPROF_RESULT*> run_batch(RUVACOM* ctx, int start, int k) {
  const QXPROF_DATA_DESC data{ctx->iobs, ctx->qxprof_block.record_size, ctx, data_reader};
  if (!ctx->insts.prof_inst_h) {
    if (interface_model(ctx, &data, k) != 0) return {};
  } else if (engine(ctx)->FactoryPtr->reset(engine(ctx), nullptr, &data, k, 0) != 0) {
    return {};
  }
  std::vector<QXPROF_TASK_DESC> tasks(static_cast<std::size_t>(k));
  std::vector<QXPROF_RESULT*> results(static_cast<std::size_t>(k));
  const QXPROF_FACTORY& ops = *engine(ctx)->FactoryPtr;
  if (define_tasks(ctx, tasks.data(), start, k, -1, kTaskBootstrap) != 0 ||
      ops.profile(engine(ctx), nullptr) != 0 || ops.wait_until_done(engine(ctx), nullptr) != 0 ||
      ops.get_results_by_id_array(engine(ctx), nullptr, nullptr, -1, results.data()) != 0)
    return {};
  return results;
}

// Appends the batch's sample records (index, seed, SSE, estimates).
void collect(RUVACOM* ctx, BootRun* run, const std::vector<QXPROF_RESULT*>& results, int start) {
  const int p = ctx->nparm;
  for (std::size_t t = 0; t < results.size(); ++t) {
    const QXPROF_RESULT* r = results[t];
    const bool ok = r->qxznlo_rc >= 0;
    run->records.push_back(static_cast<double>(start + static_cast<int>(t) + 1));
    run->records.push_back(run->seeds[t]);
    run->records.push_back(ok ? *r->obj_val_ptr : special_missing_value());
    for (int j = 0; j < p; ++j)
      run->records.push_back(ok ? r->parm_array[j] : special_missing_value());
  }
}

bool refit_samples(RUVACOM* ctx, BootRun* run) {
  RUVA_BOOTSTRAP_CONTROL* b = ctx->ruvabootstrap_control;
  zmrsNoteUse(&b->comp.mr, &b->comp.used);
  for (int start = 0; start < b->n_samples; start += kTasksPerBatch) {
    const int k = std::min(kTasksPerBatch, b->n_samples - start);
    draw_batch(b, run, start, k);
    const std::vector<QXPROF_RESULT*> results = run_batch(ctx, start, k);
    if (results.empty()) return false;
    collect(ctx, run, results, start);
  }
  return true;
}

// The requested matrices: correlations first when both are wanted.
void store_matrices(RUVACOM* ctx, const BootSummary& s) {
  RUVA_BOOTSTRAP_CONTROL* b = ctx->ruvabootstrap_control;
  if (!b->cov.do_cov) return;
  const std::size_t t = s.cov.size();
  ruva_free(b->cov.dbl_ptr);
  b->cov.dbl_ptr = ruva_new_or_exit<double>(static_cast<long>(b->cov.both_cov_corr_on ? 2 * t : t));
  std::copy(s.cov.begin(), s.cov.end(), b->cov.dbl_ptr);
  if (b->cov.both_cov_corr_on) std::copy(s.cov.begin(), s.cov.end(), b->cov.dbl_ptr + t);
  if (!b->cov.scale_to_corr) return;
  const double* sd = s.std_dev.data();
  for (int r = 0; r < ctx->nparm; ++r)
    for (int c = 0; c <= r; ++c) {
      double& v = b->cov.dbl_ptr[zisub(r, c)];
      if (is_missing(v)) continue;
      if (r == c)
        v = 1.0;
      else if (std::fabs(sd[r]) < kTiny || std::fabs(sd[c]) < kTiny || sd[r] * sd[c] < kTiny)
        v = special_missing_value();
      else
        v /= sd[r] * sd[c];
    }
}

void summarise(RUVACOM* ctx, const BootRun& run) {
  RUVA_BOOTSTRAP_CONTROL* b = ctx->ruvabootstrap_control;
  const int p = ctx->nparm, width = p + 3;
  std::vector<double> converged;
  for (std::size_t r = 0; r < run.records.size(); r += width)
    if (!is_missing(run.records[r + 2]))
      converged.insert(converged.end(), run.records.begin() + r + 3,
                       run.records.begin() + r + width);
  if (converged.size() < static_cast<std::size_t>(p) * p)
    xpmlog(305, kMsgTooFewConverged, static_cast<int>(converged.size() / p), p);
  const std::vector<double> ref(ctx->parm, ctx->parm + p);
  const BootSummary s = bootstrap_summary(
      converged, ref,
      {b->ci.bc != 0, b->ci.perc != 0, b->ci.normal != 0, b->cov.do_cov != 0, ctx->alpha});
  auto put = [p](const std::vector<double>& from, double* to) {
    if (to) std::copy(from.begin(), from.begin() + p, to);
  };
  put(s.std_dev, b->ci.boot_std_dev);
  put(s.bc_lower, b->ci.bc_lower_ptr), put(s.bc_upper, b->ci.bc_upper_ptr);
  put(s.perc_lower, b->ci.perc_lower_ptr), put(s.perc_upper, b->ci.perc_upper_ptr);
  put(s.normal_lower, b->ci.normal_lower_ptr), put(s.normal_upper, b->ci.normal_upper_ptr);
  store_matrices(ctx, s);
}

// The run's reasons to skip: 0 to go on.
int skip_reason(const RUVACOM* ctx) {
  const RUVA_BOOTSTRAP_CONTROL* b = ctx->ruvabootstrap_control;
  if (b->dgp.type == kDgpResidual && b->dgp.scaling == kScaleAdjsse &&
      adjsse_scale(ctx->iobs, ctx->nparm) == 0.0)
    return kMsgNoScale;
  return 0;
}

bool run_bootstrap(RUVACOM* ctx, BootRun* run) {
  RUVA_BOOTSTRAP_CONTROL* b = ctx->ruvabootstrap_control;
  if (!ctx->qxprof_block.is_setup && setup_qxprof_block(ctx) != 0) return false;
  if (!prepare_observations(ctx, run)) return false;
  run->factor = b->dgp.type == kDgpWild ? 2 : 1;
  run->input = {b->dgp.type,     b->dgp.scaling,   static_cast<std::int32_t>(run->pred.size()),
                ctx->nparm,      run->pred.data(), run->res.data(),
                run->tan.data(), run->jac.data()};
  if (!ctx->qxprof_block.qxrec_file_h && put_data_qxrec(ctx, kRefitBootstrap) != 0) return false;
  if (!refit_samples(ctx, run)) return false;
  if (b->data.data_flag) write_boot_rows(ctx, run->records);
  summarise(ctx, *run);
  if (ctx->yol_graphics_flag) produce_bootstrap_plots(ctx, converged_samples(run->records, ctx->nparm));
  return true;
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
  if (!block || !b->ref.ref_best_parm_vals || !b->out_data.parm_vals) {
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
  if (ctx->nobs != ctx->iobs) xpmlog(305, kMsgUnusedObs);
  if (b->max_user_n_samples > 0 && b->max_user_n_samples != b->n_samples)
    xpmlog(305, kMsgSamplesRaised, b->n_samples);
  if (const int why = skip_reason(ctx)) {
    xpmlog(305, why, static_cast<int>(ctx->iobs), ctx->nparm);
    return;
  }
  BootRun run;
  b->comp.run = &run;
  const bool ok = run_bootstrap(ctx, &run);
  b->comp.run = nullptr;
  release_qxrec_file(ctx);
  if (ok) return;
  clear_results(b, ctx->nparm);
  xpmlog(305, kMsgEngineFailed);
  xpmlog(305, kMsgNoResults);
  ctx->no_boot_flag = 1;
}
