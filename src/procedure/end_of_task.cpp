// The clean-up of a step's kernel-library objects and compiled program, run
// by the host at the end of the task (or by a caller holding the context
// through the purge entry). Each object is released at most once: its handle
// is cleared when it goes, so the end-of-task handler and the purge entry
// may both run for one context.
#include "host/services.h"
#include "procedure/kernel_object_release.h"
#include "procedure/procedure_context.h"
#include "procedure/step_phases.h"

namespace {

// Publishes the seeds of the stream the bootstrap drew from (the stream
// itself is restarted after every BY group, so its own seeds at task end
// are not the ones used).
void publish_bootstrap_seeds(RUVACOM* ctx) {
  if (RUVA_BOOTSTRAP_CONTROL* boot = ctx->ruvabootstrap_control) zranmsPublish(&boot->comp.used);
}

void release_kernel_objects(RUVACOM* ctx) {
  publish_bootstrap_seeds(ctx);
  release_qx_object(&ctx->insts.prof_inst_h);
  release_qx_object(&ctx->insts.qxrec_inst_h);
  release_qx_object(&ctx->insts.qxznlo_inst_h);
  release_qx_object(&ctx->insts.qxtab_inst_h);
  unload_qx_extensions(ctx);
}

void purge_program(RUVACOM* ctx) {
  cmppurg(&ctx->globcmp);
  ctx->cleanedup = 1;
}

}  // namespace

void RUVAEndofTask() {
  RUVACOM* ctx = ruva_context();
  if (!ctx || ctx->cleanedup) return;
  release_kernel_objects(ctx);
  purge_program(ctx);
}

int ruvapurg(RUVACOM* ctx) {
  if (!ctx) return 0;
  release_kernel_objects(ctx);
  if (!ctx->cleanedup) purge_program(ctx);
  return 0;
}
