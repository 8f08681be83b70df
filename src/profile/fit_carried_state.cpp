#include "profile/fit_carried_state.h"

#include "procedure/carried_values.h"
#include "procedure/procedure_context.h"

std::string carried_into_prediction(RUVACOM* ctx) {
  CMPSYM* dep = ctx->depsym && ctx->depsym->n > 0 ? ctx->depsym->s[0] : nullptr;
  return dep ? carried_input(ctx, dep) : "";
}
