// The special variables through which the model program and the procedure
// talk: each a numeric symbol whose value lives in a cell of the context.
#include <cstring>

#include "host/services.h"
#include "procedure/procedure_context.h"
#include "procedure/setup.h"

namespace {

constexpr int kMsgSpecialIsVariable = 112;

struct Special {
  const char* name;
  double RUVACOM::*cell;
  bool conflict_test;  // a data-set variable of this name gives way to the special variable
};

constexpr Special kSpecials[] = {
    {"_MODEL_", &RUVACOM::model, true}, {"_OBS_", &RUVACOM::obs, true},
    {"_SSE_", &RUVACOM::usse, true},    {"_HALVE_", &RUVACOM::halve, false},
    {"_ITER_", &RUVACOM::iter, true},   {"_N_", &RUVACOM::un_, false},
};

CMPSYM* make_special(RUVACOM* ctx, const Special& sp) {
  CMPSYM* sym = cmpsyma(sp.name, static_cast<int>(std::strlen(sp.name)), 'n', 8, &(ctx->*sp.cell),
                        &ctx->globcmp);
  if (!sym) xexit(1016, 0);
  return sym;
}

}  // namespace

int set_specials(RUVACOM* ctx) {
  for (const Special& sp : kSpecials) {
    CMPSYM* sym = make_special(ctx, sp);
    if (sp.cell == &RUVACOM::usse) ctx->usse_sym = sym;
  }
  ctx->model = 0.0;
  ctx->obs = 0.0;
  ctx->usse = 0.0;
  ctx->halve = static_cast<double>(ctx->nstep);
  ctx->iter = -1.0;
  ctx->un_ = 0.0;
  return 0;
}

// The compiler binds every symbol named like a variable of the input data
// set when it resolves the names, so the conflict shows only then; the
// special variable is bound to its cell again.
void check_special_conflicts(RUVACOM* ctx) {
  for (const Special& sp : kSpecials) {
    if (!sp.conflict_test) continue;
    CMPSYM* sym = cmpsyms(sp.name, static_cast<int>(std::strlen(sp.name)), &ctx->globcmp);
    if (!sym || !cmp_dataset_var(sym)) continue;
    xpmlog(305, kMsgSpecialIsVariable, sym->nameleng, sym->name);
    ruva_raise_rc(ctx, 4);
    cmp_drop_dataset_binding(sym);
    make_special(ctx, sp);
  }
}
