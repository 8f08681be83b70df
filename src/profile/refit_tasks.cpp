// The tasks of one batch of refits: start values, optimiser options and
// BOUNDS constraints common to all, and by kind an equality constraint that
// fixes the profiled parameter or a left-out observation; and the one task
// that evaluates the objective at the fit's estimates.
#include <cstring>

#include "host/missing.h"
#include "host/services.h"
#include "procedure/estimation_callbacks.h"
#include "procedure/procedure_context.h"
#include "procedure/step_memory.h"
#include "profile/bootstrap.h"
#include "profile/refit_client.h"

namespace {

constexpr int kMsgNoTaskMemory = 472;

void fill_common_opt_options(RUVACOM* ctx, QXPROF_TASK_DESC* t, std::int32_t id) {
  PROF_BOOT_COMMON_BLOCK& q = ctx->qxprof_block;
  *t = QXPROF_TASK_DESC{};
  t->task_id = id;
  t->no_grad_flag = false;
  t->no_hess_flag = true;
  t->t_user_ptr = ctx;
  t->computed_vars_cb = computed_vars_cb_for_prof_jack;
  t->missing_policy = ONLY_OBJ;
  QXPROF_NLO_U_OPT& o = t->nlo_u_opt;
  o.min_max_type = MIN;
  o.accept_obj_form = 0;
  o.tech = 10;
  o.maxi = ctx->maxiter;
  o.mini = 0;
  o.maxf = 1250;
  o.atol = ctx->criterion;
  o.ftol = ctx->epsilon;
  // The fit's zero-objective test, in the absolute terms the engine takes:
  // an absolute SINGULAR= would stop every refit of data on a small scale
  // (a sum of squares below 1e-12) at its start.
  o.aftl = ctx->epsilon * zero_objective_scale(ctx);
  o.upti = o.gtol = o.agtl = special_missing_value();
  if (q.n_cons > 0) {
    t->constr_type = SYM_CONSTR;
    t->constr.sym = {q.n_cons, q.c_h_h};
  } else {
    t->constr_type = UNCONSTR;
  }
}

QXPROF_INSTANCE* engine(const RUVACOM* ctx) {
  return static_cast<QXPROF_INSTANCE*>(ctx->insts.prof_inst_h);
}

int submit(RUVACOM* ctx, const QXPROF_TASK_DESC* tasks, int n) {
  QXPROF_INSTANCE* inst = engine(ctx);
  return inst->FactoryPtr->define_prof_tasks(inst, nullptr, tasks, n);
}

void out_of_task_memory() {
  xpmlog(305, kMsgNoTaskMemory);
  xexit(1016, 0);
}

int reference_task(RUVACOM* ctx, QXPROF_TASK_DESC* t) {
  fill_common_opt_options(ctx, t, 0);
  const double first = ctx->parm[0];
  ctx->parm[0] = first - 0.05;
  t->nlo_u_opt.parm_start_vals = ctx->parm;
  const int rc = submit(ctx, t, 1);
  ctx->parm[0] = first;
  return rc;
}

// Task k fixes the profiled parameter j at b_j + (from_j + k by_j) se_j.
int profile_tasks(RUVACOM* ctx, QXPROF_TASK_DESC* tasks, int n, int j) {
  RUVAPROFILE_CONTROL* prof = ctx->ruvaprofile_control;
  PROF_BOOT_COMMON_BLOCK& q = ctx->qxprof_block;
  const long p = ctx->nparm;
  // One block: the start values of every task, then the constraint list.
  auto* starts = static_cast<double*>(ruva_alloc((p * n + 1) * static_cast<long>(sizeof(double)) +
                                                 (q.n_cons + 2) * static_cast<long>(sizeof(void*)) +
                                                 static_cast<long>(sizeof(QXPROF_CONSTRAINT))));
  if (!starts) out_of_task_memory();
  auto* fixed = reinterpret_cast<QXPROF_CONSTRAINT*>(starts + p * n + 1);
  auto** list = reinterpret_cast<QXPROF_CONSTRAINT**>(fixed + 1);
  std::memcpy(list, q.c_h_h, static_cast<std::size_t>(q.n_cons) * sizeof(void*));
  list[q.n_cons] = fixed;
  const std::int32_t loc = prof->comp.prof_parm_loc[j];
  const double* best = prof->ref.ref_best_parm_vals;
  const CMPSYM* parm = ctx->parmsym->s[loc];
  int rc = 0;
  for (int k = 0; k < n && rc == 0; ++k) {
    const double theta = best[loc] + (prof->comp.from[j] + k * prof->comp.by[j]) * prof->comp.se[j];
    double* start = starts + p * k;
    std::memcpy(start, best, static_cast<std::size_t>(p) * sizeof(double));
    start[loc] = theta;
    *fixed = QXPROF_CONSTRAINT{};
    fixed->val = theta;
    fixed->c_type = SINGLE_PARM;
    fixed->rel_op = EQUAL;
    fixed->sp.index = loc;
    fixed->sp.parm_name_s = {parm->name, parm->nameleng};
    QXPROF_TASK_DESC* t = tasks + k;
    fill_common_opt_options(ctx, t, k);
    t->nlo_u_opt.parm_start_vals = start;
    t->constr_type = SYM_CONSTR;
    t->constr.sym = {q.n_cons + 1, list};
    rc = submit(ctx, t, 1);
  }
  ruva_free(starts);
  return rc;
}

// Task k leaves out record k.
int jackknife_tasks(RUVACOM* ctx, QXPROF_TASK_DESC* tasks, int n) {
  const long bytes = (ctx->iobs + 63) / 64 * 8;
  auto* skips = static_cast<unsigned char*>(ruva_alloc(std::max(bytes * n, 1L)));
  if (!skips) out_of_task_memory();
  for (int k = 0; k < n; ++k) {
    QXPROF_TASK_DESC* t = tasks + k;
    fill_common_opt_options(ctx, t, k);
    t->nlo_u_opt.parm_start_vals = ctx->ruvaprofile_control->ref.ref_best_parm_vals;
    t->skip_obs_bit_array_h = skips + bytes * k;
    t->skip_obs_bit_array_h[k / 8] = static_cast<unsigned char>(0x80u >> (k % 8));
  }
  const int rc = submit(ctx, tasks, n);
  ruva_free(skips);
  return rc;
}

// Task t refits sample t of the batch from the fit's estimates; its
// response is computed from the task's own uniforms.
int bootstrap_tasks(RUVACOM* ctx, QXPROF_TASK_DESC* tasks, int n) {
  for (int k = 0; k < n; ++k) {
    QXPROF_TASK_DESC* t = tasks + k;
    fill_common_opt_options(ctx, t, k);
    t->nlo_u_opt.parm_start_vals = ctx->ruvabootstrap_control->ref.ref_best_parm_vals;
    t->computed_vars_cb = computed_vars_cb_for_bootstrap;
  }
  return submit(ctx, tasks, n);
}

// One task that evaluates the objective at the fit's estimates without
// iterating, on the observed responses.
int fit_check_task(RUVACOM* ctx, QXPROF_TASK_DESC* t) {
  fill_common_opt_options(ctx, t, 0);
  t->nlo_u_opt.parm_start_vals = ctx->parm;
  t->nlo_u_opt.maxi = 0;
  t->constr_type = UNCONSTR;
  t->computed_vars_cb = computed_vars_cb_for_fit_check;
  return submit(ctx, t, 1);
}

}  // namespace

int define_tasks(RUVACOM* ctx, QXPROF_TASK_DESC* task_desc_h, int /*batch_index*/, int n_tasks,
                 int p_index, int task_type) {
  switch (task_type) {
    case kTaskReference:
      return reference_task(ctx, task_desc_h);
    case kTaskProfilePoint:
      return profile_tasks(ctx, task_desc_h, n_tasks, p_index);
    case kTaskJackknife:
      return jackknife_tasks(ctx, task_desc_h, n_tasks);
    case kTaskBootstrap:
      return bootstrap_tasks(ctx, task_desc_h, n_tasks);
    case kTaskFitCheck:
      return fit_check_task(ctx, task_desc_h);
    default:
      return 0;
  }
}
