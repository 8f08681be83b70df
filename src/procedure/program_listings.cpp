// The listings of the compiled program that the procedure options ask for.
#include "host/services.h"
#include "procedure/model_derivatives.h"
#include "procedure/procedure_context.h"
#include "procedure/setup.h"

void process_list_opts(RUVACOM* ctx) {
  if (ctx->listdep) list_dependencies(ctx);
  if (ctx->list) cmppprg(&ctx->globcmp);
  if (ctx->listcode) cmppsts("Code Listing", 12, &ctx->globcmp);
  if (ctx->debugd) cmppsbt(&ctx->globcmp);
}
