#include "procedure/model_derivatives.h"

#include "host/services.h"
#include "procedure/step_memory.h"
#include "procedure/procedure_context.h"

namespace {
constexpr int kPartialDerivatives = 'p';
constexpr int kExpressionOption = 20;
}  // namespace

bool derive_model(RUVACOM* ctx, CMPDER** record, CMPLIST* objectives, CMPLIST* wrt, int option_code) {
  *record = ruva_new_or_exit<CMPDER>();
  const int rc = cmpder(*record, objectives, wrt, option_code, kPartialDerivatives, 1, 0, &ctx->globcmp);
  return rc == 0 && ctx->nretain == 0;
}

bool derive_expressions(RUVACOM* ctx, CMPDER** record, CMPLIST* expressions, CMPSYM*** inputs, int* ninputs) {
  *record = ruva_new_or_exit<CMPDER>();
  *ninputs = 0;
  *inputs = cmpderx(*record, expressions, ctx->parmsym, kExpressionOption, ninputs, 0, 1, 1, &ctx->globcmp);
  return *inputs && ctx->nretain == 0;
}

void list_derivatives(RUVACOM* ctx, CMPDER* record) { cmppder(record, &ctx->globcmp); }

void list_dependencies(RUVACOM* ctx) { cmppdep(&ctx->globcmp); }

CMPSYM* generated_derivative(const CMPDER* record, const CMPSYM* wrt, int objective) {
  if (!record) return nullptr;
  int at = -1;
  for (int i = 0; i < record->wrt.n && at < 0; ++i)
    if (record->wrt.s[i] == wrt) at = i;
  if (at < 0 || record->nnonzero[at] == 0) return nullptr;
  for (int k = 0; k < record->der.n; ++k)
    if (record->wrtindex[k] == at && record->objindex[k] == objective) return record->der.s[k];
  return nullptr;
}
