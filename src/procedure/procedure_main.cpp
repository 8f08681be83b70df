// The procedure main: one call per step. It takes the step through its
// phases, runs the BY-group loop under the procedure-level recovery point,
// terminates the output data sets unless the step failed and ends the step
// with the largest return code seen.
#include <new>

#include "host/globals.h"
#include "host/module_entry.h"
#include "host/object_methods.h"
#include "host/parse_print_record.h"
#include "host/pool.h"
#include "host/services.h"
#include "procedure/model_run.h"
#include "procedure/procedure_context.h"
#include "procedure/recovery.h"
#include "procedure/step_exit.h"
#include "procedure/step_memory.h"
#include "procedure/step_phases.h"
#include "profile/bootstrap.h"
#include "profile/profiling.h"
#include "results/output_data_sets.h"

namespace {

constexpr int kFloatingPointClass = 3;
constexpr int kWarningCode = 4;

// A set-up phase failed: for want of storage when an allocation fell short
// (the work storage of the fit, say), which ends the step as every shortage
// does, with 1016; otherwise with 1012.
[[noreturn]] void end_failed_set_up() {
  if (const long shortfall = xmemdef(); shortfall > 0) ruva_out_of_memory(shortfall);
  ruva_exit(1012);
}

// Output data sets, profiling and bootstrap prepared for the BY groups.
void prepare_groups(RUVACOM* ctx) {
  if (ruvares() != 0) end_failed_set_up();
  if (ctx->outestptr && jovesti() != 0) xexit(1016, 0);
  if (jovouti() != 0) xexit(1016, 0);
  load_req_qx_extensions(ctx);
  if (ctx->ruvaprofile_control && !ctx->no_prof_flag && init_for_profiling(ctx) != 0)
    ctx->no_prof_flag = 1;
  if (ctx->ruvabootstrap_control && !ctx->no_boot_flag && init_for_bootstrapping(ctx) != 0)
    ctx->no_boot_flag = 1;
}

void by_group_loop(RUVACOM* ctx) {
  ctx->rcinit = ctx->rc;
  while (xbynext(ctx->fiddata) > 0) {
    ctx->rcby = 0;
    if (!ctx->noprint) wobmth(static_cast<wobop>(ctx->yolman), nullptr, 435, 0, nullptr);
    if (jovgrid(ctx) == 0) {
      jovopt(ctx);
      if (ctx->outptr) jovout(ctx);
    }
    reset_for_next_bygroup(ctx);
    if (ctx->rcby > ctx->rc) ctx->rc = ctx->rcby;
    ++ctx->bycnt;
  }
}

// PROFDATA= and BOOTDATA= are written whether or not the refits ran.
void terminate_output_data_sets(RUVACOM* ctx) {
  define_unfilled_profile_output(ctx);
  define_unfilled_bootstrap_output(ctx);
  if (RUVAPROFILE_CONTROL* prof = ctx->ruvaprofile_control; prof && prof->comp.p_out_xv)
    xvputt(prof->comp.p_out_xv);
  if (RUVA_BOOTSTRAP_CONTROL* boot = ctx->ruvabootstrap_control; boot && boot->comp.p_out_xv)
    xvputt(boot->comp.p_out_xv);
  if (ctx->outestptr && ctx->outestxv) xvputt(ctx->outestxv);
  for (int k = 0; ctx->outsets && k < ctx->nout; ++k)
    if (ctx->outsets[k].list) xvputt(ctx->outsets[k].list);
}

}  // namespace

// In the task pool, the context outlives the driver, so that the
// end-of-task handler can still read it.
RUVACOM* ruva_new_context() {
  void* block = vmalcp_handler(task_pool(), sizeof(RUVACOM), kPoolCleared);
  if (!block) xexit(1016, 0);
  auto* ctx = new (block) RUVACOM();
  task_record()[task::kContext] = reinterpret_cast<HostWord>(ctx);
  return ctx;
}

RUVACOM* ruva_context() {
  if (!v_global_gcb_anchor) return nullptr;
  return static_cast<RUVACOM*>(procedure_context());
}

void kovruva() {
  RUVACOM* ctx = ruva_new_context();
  xinit();
  xytexit(RUVAEndofTask);
  ztime();
  if (ruvapar(ctx) != 0) xexit(3000, 0);
  if (ruvaint(ctx) != 0) end_failed_set_up();

  // From here on a fault resumes the procedure-level point: the step ends
  // with 1012 after its output data sets are terminated. The point covers
  // the phases before the loop as well as the loop.
  ctx->exception_s.my_fpe_handler_ptr = my_fpe_handler;
  void* task = gcb_pointer(gcb::kTaskHandle);
  wtspush(task, kFloatingPointClass, my_fpe_handler);
  const bool completed = run_under_recovery(&ctx->exception_s.j_buf_unrecoverable_set, [ctx] {
    prepare_groups(ctx);
    by_group_loop(ctx);
  });
  if (!completed) ctx->rc = 1012;
  wtspop(task, kFloatingPointClass);
  // A failed step writes no data set: those not terminated are discarded.
  if (ctx->rc <= kWarningCode) terminate_output_data_sets(ctx);
  xexit(ctx->rc, 0);
}
