#include "procedure/recovery.h"

#include "optim/optimiser.h"
#include "procedure/procedure_context.h"

// Every recovery point is a handler further up the stack, so throwing
// reaches the innermost armed one; with none armed the step driver's own
// handler ends the step with 1012.
void my_fpe_handler(int /*evt_num*/) { throw RuvaFault{}; }

int zopt_under_recovery(RUVACOM* ctx) {
  ZOPTGLOBAL* g = ctx->zoptg;
  int result = 1;
  if (!run_under_recovery(&ctx->exception_s.j_buf_zopt_set, [&] { result = zopt(g); })) {
    g->state.error = s_nodelta;
    result = 1;
  }
  return result;
}
