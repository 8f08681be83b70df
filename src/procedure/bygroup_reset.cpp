// The per-BY-group reset after each group's estimation and OUTPUT pass.
#include "procedure/procedure_context.h"
#include "procedure/step_memory.h"
#include "procedure/step_phases.h"
#include "profile/refit_client.h"

void reset_for_next_bygroup(RUVACOM* ctx) {
  ruva_free(ctx->obs_computable_flag);
  ctx->obs_computable_flag = nullptr;
  ctx->whole_inverse_kept = 0;
  // The record file holds this group's observations; whichever refits were
  // switched off, the next group makes its own.
  close_qxrec_file(ctx);
  // Every BY group draws its bootstrap samples from the same seed.
  if (RUVA_BOOTSTRAP_CONTROL* boot = ctx->ruvabootstrap_control) {
    MERSENNE_RAND& mr = boot->comp.mr;
    zmrsClear(&mr);
    mr.UserSeed = static_cast<double>(boot->user_input_seed);
    zmrsrnd(&mr);
  }
}
