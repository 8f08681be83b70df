// The set-up phase: from the parsed statements and the compiled program to
// everything the BY-group loop needs. Nothing here reads observations.
#include <algorithm>
#include <cstring>

#include "host/services.h"
#include "linalg/packed.h"
#include "procedure/bounds.h"
#include "procedure/loss_terms.h"
#include "procedure/model_derivatives.h"
#include "procedure/proc_options.h"
#include "procedure/step_memory.h"
#include "procedure/procedure_context.h"
#include "procedure/setup.h"
#include "procedure/starting_values.h"
#include "procedure/step_phases.h"

namespace {

constexpr int kParmsKind = 20;
constexpr int kControlKind = 30;
constexpr int kMsgParameterIsVariable = 50;
constexpr int kMsgDependentUndefined = 13;
constexpr int kMsgNoInputData = 921;
constexpr int kMsgParameterIsDependent = 922;

// What the set-up keeps between its steps.
struct Setup {
  bool second_needed = false;
  int ndeclared = 0;
  CMPSYM** declared = nullptr;  // the parameters before any is dropped
  int* state = nullptr;         // their derivative states
  CMPLIST* ders = nullptr;      // every DER. symbol
};

void collect_parameters(RUVACOM* ctx) {
  ctx->parmsym = ruva_new_or_exit<CMPLIST>();
  if (cmplstb(ctx->parmsym, kParmsKind, -1, &ctx->globcmp) != 0 || ctx->nretain != 0) xexit(1016, 0);
  if (ctx->fiddata) {
    int count = 0;
    xvallvr(ctx->fiddata, &count);
    xvsele(ctx->fiddata);
  }
}

void allocate_arrays(RUVACOM* ctx, Setup* s) {
  const int n = std::max(ctx->nparm, 1);
  const long packed = static_cast<long>(ctx->nparm + 1) * (ctx->nparm + 2) / 2;
  ctx->parmlast = ruva_new_or_exit<double>(n + 1);
  ctx->der = ruva_new_or_exit<double>(8 * packed);
  ctx->derloc = ruva_new_or_exit<double*>(n + 1);
  if (ctx->derchck) ctx->dercmp = ruva_new_or_exit<double*>(n + 1);
  if (s->second_needed) ctx->hessptr = ruva_new_or_exit<double*>(packed);
  if (ctx->hougaard_req) ctx->hougaard = ruva_new_or_exit<double>(n);
  ctx->hessian = ruva_new_or_exit<double>(packed);
  ctx->hessloc = ruva_new_or_exit<double*>(packed);
  ctx->hessian2 = ruva_new_or_exit<double>(packed);
  ctx->jwj = ruva_new_or_exit<double>(packed);
  ctx->swept = ruva_new_or_exit<char>(n);
  ctx->xpx2 = ruva_new_or_exit<double>(packed);
  ctx->inverted = ruva_new_or_exit<double>(packed);
  if (ctx->g4) ctx->whole_inverse = ruva_new_or_exit<double>(packed);
  s->ndeclared = ctx->nparm;
  s->declared = ruva_new_or_exit<CMPSYM*>(n);
  s->state = ruva_new_or_exit<int>(n);
  if (ctx->nparm > 0)
    std::memcpy(s->declared, ctx->parmsym->s, sizeof(CMPSYM*) * static_cast<std::size_t>(ctx->nparm));
}

// A parameter named like an input variable stays a parameter; the variable
// is not read for it.
void check_parameter_variables(RUVACOM* ctx) {
  for (int i = 0; i < ctx->parmsym->n; ++i) {
    CMPSYM* p = ctx->parmsym->s[i];
    if (p->dsvarno <= 0) continue;
    xpmlog(305, kMsgParameterIsVariable, p->nameleng, p->name);
    cmp_drop_dataset_binding(p);
    ruva_raise_rc(ctx, 4);
  }
}

const CMPSYM* dependent(const RUVACOM* ctx) {
  return ctx->inputdepsym && ctx->inputdepsym->n > 0 ? ctx->inputdepsym->s[0] : nullptr;
}

bool dependent_defined(const RUVACOM* ctx) {
  const CMPSYM* y = dependent(ctx);
  return y && (y->dsvarno > 0 || cmp_dataset_var(y) || cmp_assigned(y));
}

// A parameter cannot also be what the model is fitted to.
bool dependent_is_parameter(const RUVACOM* ctx) {
  const CMPSYM* y = dependent(ctx);
  for (int i = 0; y && i < ctx->parmsym->n; ++i) {
    if (ctx->parmsym->s[i] != y) continue;
    xpmlog(305, kMsgParameterIsDependent, y->nameleng, y->name);
    return true;
  }
  return false;
}

// Names resolved against the input data set, DER. variables marked, the
// program's data flow analysed and checked.
bool resolve_program(RUVACOM* ctx, Setup* s) {
  if (dependent_is_parameter(ctx)) return false;
  cmprslv(ctx->fiddata, &ctx->globcmp);
  check_special_conflicts(ctx);
  check_parameter_variables(ctx);
  if (!dependent_defined(ctx)) {
    xpmlog(305, kMsgDependentUndefined, static_cast<int>(ctx->depname.l), ctx->depname.s);
    return false;
  }
  if (cmpnumv(ctx->inputdepsym->s[0], &ctx->globcmp) != 0) return false;
  s->ders = ruva_new_or_exit<CMPLIST>();
  cmplstp(s->ders, "DER.", 4, &ctx->globcmp);
  for (int i = 0; i < s->ders->n; ++i) cmp_mark(s->ders->s[i]);
  check_derivative_names(ctx, s->ders);
  cmpdfla(0, 0, ctx->xref, 1, &ctx->globcmp);
  cmpchck(&ctx->globcmp);
  return ctx->nretain == 0;
}

// Parameters read their values from `parm`; CONTROL variables get cells of
// their own.
bool bind_parameters(RUVACOM* ctx, Setup* s) {
  for (int i = 0; i < s->ders->n; ++i)
    if (s->ders->s[i]->kind != 'a' && s->ders->s[i]->kind != 'm') s->ders->s[i]->kind = 'd';
  cmplsts(ctx->parmsym, ctx->parm, &ctx->globcmp);
  for (int i = 0; i < ctx->parmsym->n; ++i) ctx->parmsym->s[i]->kind = 'a';
  ctx->control = ruva_new_or_exit<CMPLIST>();
  cmplstb(ctx->control, kControlKind, -1, &ctx->globcmp);
  if (ctx->control->n == 0) return true;
  auto* cells = ruva_new<double>(ctx->control->n);
  if (!cells) return false;
  cmplsts(ctx->control, cells, &ctx->globcmp);
  return true;
}

// ESTIMATE or CONTRAST expressions differentiated with respect to the
// parameters, and what they are built from checked.
bool expression_derivatives(RUVACOM* ctx, CMPLIST* expressions, CMPDER** record, bool estimate) {
  CMPSYM** inputs = nullptr;
  int ninputs = 0;
  if (!derive_expressions(ctx, record, expressions, &inputs, &ninputs)) return false;
  if (ctx->listder) list_derivatives(ctx, *record);
  check_expression_inputs(ctx, inputs, ninputs, estimate);
  return true;
}

bool estimate_and_contrast_derivatives(RUVACOM* ctx) {
  if (ctx->nesti > 0) {
    if (!expression_derivatives(ctx, ctx->estisym, &ctx->gradestr, true)) return false;
    ctx->gradeptr = ruva_new_or_exit<double*>(std::max(ctx->gradestr->der.n, 1));
    ctx->gradesti = ruva_new_or_exit<double>(std::max(ctx->nesti * ctx->nparm, 1));
  }
  if (ctx->ncont > 0) {
    if (!expression_derivatives(ctx, ctx->contsym, &ctx->gradcstr, false)) return false;
    ctx->gradcptr = ruva_new_or_exit<double*>(std::max(ctx->gradcstr->der.n, 1));
    ctx->gradcont = ruva_new_or_exit<double>(std::max(ctx->contnt * ctx->nparm, 1));
  }
  return true;
}

// The cells the data pass and the result tables read.
void bind_cells(RUVACOM* ctx, Setup* s) {
  cmppdv(ctx->fiddata, reinterpret_cast<void**>(&ctx->dataptr), &ctx->globcmp);
  for (int i = 0; i < s->ders->n; ++i) s->ders->s[i]->kind = 'v';
  ctx->intcep = ctx->xpx2 + zisub(ctx->nparm, 0);
  cmplstg(ctx->depsym, &ctx->dephat, &ctx->globcmp);
  if (s->second_needed) cmplstg(ctx->hesssym, ctx->hessptr, &ctx->globcmp);
  cmplstg(ctx->inputdepsym, &ctx->depval, &ctx->globcmp);
  ctx->userder = ruva_new_or_exit<double*>(std::max(ctx->dersym->n, 1));
  cmplstg(ctx->dersym, ctx->userder, &ctx->globcmp);
  ctx->genderloc = ruva_new_or_exit<double*>(std::max(ctx->gradsym->n, 1));
  cmplstg(ctx->gradsym, ctx->genderloc, &ctx->globcmp);
  if (ctx->nesti > 0) {
    cmplstg(ctx->estisym, ctx->estiptr, &ctx->globcmp);
    cmplstg(&ctx->gradestr->der, ctx->gradeptr, &ctx->globcmp);
  }
  if (ctx->ncont > 0) {
    cmplstg(ctx->contsym, ctx->contptr, &ctx->globcmp);
    cmplstg(&ctx->gradcstr->der, ctx->gradcptr, &ctx->globcmp);
  }
  if (ctx->nesti > 0 || ctx->ncont > 0) {
    ctx->parmwork = ruva_new_or_exit<double>(std::max(ctx->nparm, 1));
  }
}

// Where the data pass finds each kept parameter's first derivative.
void locate_derivatives(RUVACOM* ctx) {
  if (ctx->derchck) {
    if (ctx->dersym->n == ctx->nparm) std::memcpy(ctx->dercmp, ctx->userder, sizeof(double*) * ctx->nparm);
    else ctx->derchck = 0;
  }
  for (int i = 0; i < ctx->nparm; ++i) {
    ctx->pname[i] = const_cast<char*>(ctx->parmsym->s[i]->name);
    ctx->derloc[i] = ctx->genderloc[i] ? ctx->genderloc[i] : &ctx->zero;
  }
}

// Steps up to the parameters and their storage.
int set_up_parameters(RUVACOM* ctx, Setup* s) {
  std::memset(ctx->status, ' ', sizeof ctx->status);
  if (get_options(ctx) != 0) return 1;
  collect_parameters(ctx);
  CheckPData(ctx);
  ctx->gradsym = ruva_new_or_exit<CMPLIST>();
  nlseprm(ctx);
  s->second_needed = hessian_reqd(ctx) != 0;
  allocate_arrays(ctx, s);
  ctx->hesssym = ruva_new_or_exit<CMPLIST>();
  return get_dervars(ctx, s->state, ctx->hesssym);
}

// Steps from the bounds to the derivatives of the model.
int set_up_program(RUVACOM* ctx, Setup* s) {
  if (read_bounds_statements(ctx) != 0 || !bounds_consistent(ctx)) return 1;
  process_estimate_stmts(ctx);
  process_contrast_stmts(ctx);
  if (set_specials(ctx) != 0 || !resolve_program(ctx, s)) return 1;
  const bool first_made = ctx->needer->n > 0;
  if (first_derivatives(ctx, s->state, s->declared, s->ndeclared) != 0) return 1;
  drop_bounds_on_dropped_parameters(ctx);
  if (s->second_needed && second_derivatives(ctx, ctx->hesssym, first_made) != 0) return 1;
  return 0;
}

}  // namespace

int ruvaint(RUVACOM* ctx) {
  if (!ctx->fiddata) {
    xpmlog(305, kMsgNoInputData);
    return 1;
  }
  Setup s;
  if (set_up_parameters(ctx, &s) != 0 || set_up_program(ctx, &s) != 0) return 1;
  if (!bind_parameters(ctx, &s) || !estimate_and_contrast_derivatives(ctx)) return 1;
  request_loss_derivatives(ctx);
  set_thread_count(ctx);
  bind_cells(ctx, &s);
  locate_derivatives(ctx);
  process_list_opts(ctx);
  if (!ctx->no_prof_flag) process_profile_stmts(ctx);
  if (!ctx->no_boot_flag) process_bootstrap_stmts(ctx);
  return do_zopt(ctx) != 0 ? 1 : 0;
}
