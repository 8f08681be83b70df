// The optimiser run record of the step: the bounds as linear inequality
// constraints, the names of its tables and the procedure's options. After
// the set-up the context and the run record share their parameter, Hessian,
// gradient and status storage.
#include <cstring>

#include "host/globals.h"
#include "host/services.h"
#include "optim/optimiser.h"
#include "procedure/bounds.h"
#include "procedure/step_memory.h"
#include "procedure/procedure_context.h"

namespace {

constexpr int kMsgBadBoundSide = 111;
constexpr int kMsgNoOptimiserStorage = 8;
constexpr int kProjNameSize = 11;
constexpr int kSymbolKindProcedure = 't';
constexpr int kSymbolTypeNumeric = 'n';
char kResidual[] = "Residual";

int constraint_count(const RUVACOM* ctx) {
  int count = 0;
  for (const BOUNDSSTR* b = ctx->boundslist; b; b = b->next) count += b->eqbnds1.n + b->strtbnds1.n;
  return count;
}

// "Proj0" .. "Proj<n-1>", then "Residual": the rows of the projected tables.
bool name_rows(RUVACOM* ctx, ZOPTGLOBAL* g) {
  auto** rname = ruva_new<char*>(ctx->nparm + 1);
  if (!rname) return false;
  for (int i = 0; i < ctx->nparm; ++i) {
    if (!(rname[i] = ruva_new<char>(kProjNameSize))) return false;
    cmpname("Proj", 4, i, rname[i], kProjNameSize, &ctx->globcmp);
  }
  rname[ctx->nparm] = kResidual;
  g->opts.rname = rname;
  g->opts.pname = ctx->pname;
  g->opts.resid = kResidual;
  return true;
}

// "left <= right" or "left < right" as the constraint's label.
void label_constraint(CMPSYM* sym, const CMPSYM* left, const CMPSYM* right, const char* relation) {
  CMPSYMINFO* info = sym->info;
  const int lengths = left->nameleng + right->nameleng;
  auto* label = ruva_new_or_exit<char>(lengths + 5);
  std::memset(label, ' ', static_cast<std::size_t>(lengths + 5));
  char* p = label;
  std::memcpy(p, left->name, static_cast<std::size_t>(left->nameleng));
  p += left->nameleng + 1;
  *p++ = relation[0];
  if (relation[1] != ' ') *p++ = relation[1];
  std::memcpy(p + 1, right->name, static_cast<std::size_t>(right->nameleng));
  info->label = label;
  info->labeleng = static_cast<std::int16_t>(lengths + 4);
}

// A side's constraint column: true with no column for a constant, false
// (after 305/111) for a side that is neither a parameter nor a constant.
bool side_column(const CMPSYM* side, double* coefficient, int* cols, double** mats, int* ncols) {
  if (cmp_parm_marked(side)) {
    cols[*ncols] = side->parmindex;
    mats[(*ncols)++] = coefficient;
    return true;
  }
  if (cmp_literal(side)) return true;
  xpmlog(305, kMsgBadBoundSide, side->nameleng, side->name);
  return false;
}

int add_bound_constraints(RUVACOM* ctx) {
  auto* coef = ruva_new<double>(4);
  if (!coef) return 1;
  coef[0] = -(1.0 - ctx->bepsilon);  // strict pairs
  coef[1] = 1.0 - ctx->bepsilon;
  coef[2] = -1.0;  // non-strict pairs
  coef[3] = 1.0;
  for (int i = 0; i < ctx->parmsym->n; ++i) cmp_set_parm_mark(ctx->parmsym->s[i], i);
  int count = 0;
  for (BOUNDSSTR* b = ctx->boundslist; b; b = b->next) {
    const int neq = b->eqbnds1.n;
    if (neq + b->strtbnds1.n == 0) continue;
    if (!(b->vals = ruva_new<double>(neq + b->strtbnds1.n))) return 1;
    for (int k = 0; k < neq; ++k)
      if (do_bound(ctx, b->eqbnds1.s[k], b->eqbnds2.s[k], &count, &b->vals[k], "<=", &coef[2])) return 1;
    for (int k = 0; k < b->strtbnds1.n; ++k)
      if (do_bound(ctx, b->strtbnds1.s[k], b->strtbnds2.s[k], &count, &b->vals[neq + k], "< ", &coef[0]))
        return 1;
  }
  return 0;
}

void set_options(RUVACOM* ctx, ZOPTGLOBAL* g) {
  ZOPTOPT& o = g->opts;
  o.method = ctx->method == 'R' ? 'M' : 'S';
  o.linesearch = ctx->smethod;
  o.itprint = ctx->noitprint ? 0 : 1;
  o.details = o.i = o.xpx = 0;
  o.debug = ctx->debug;
  o.maxiters = ctx->maxiter;
  o.maxsubiters = g->lnsrch.maxsubiters = ctx->nstep;
  o.atol = ctx->criterion;
  o.offset_atol = ctx->offset_criterion;
  o.sing = ctx->epsilon;
  o.aftl = ctx->epsilon;
  o.yolman = static_cast<WOB_OBJ_STR*>(ctx->yolman);
  o.moorepenrose = ctx->g4;
  o.templ = yoltxt("stat.ruva.IterHistory", -1);
  o.userptr = ctx;
}

void share_storage(RUVACOM* ctx, ZOPTGLOBAL* g) {
  ctx->work = g->mem.wrk1;
  g->state.parms = ctx->parm;
  ctx->parmdf = g->state.swpi->sweepx;
  ctx->xpx = g->state.hes;
  ctx->gradient = g->state.grad;
  g->state.swpi->moorep = static_cast<char>(g->opts.moorepenrose);
}

}  // namespace

int do_bound(RUVACOM* ctx, CMPSYM* left, CMPSYM* right, int* count, double* value, const char* relation,
             double* coefficients) {
  char name[32];
  const int length = cmpname("Bound", 5, *count, name, sizeof name, &ctx->globcmp);
  CMPSYM* sym = cmpsymd(name, length, kSymbolKindProcedure, kSymbolTypeNumeric, &ctx->globcmp);
  if (!sym || (!sym->info && !cmpsymi(sym, &ctx->globcmp))) return 1;
  label_constraint(sym, left, right, relation);
  int cols[2];
  double* mats[2];
  int ncols = 0;
  if (!side_column(left, &coefficients[0], cols, mats, &ncols) ||
      !side_column(right, &coefficients[1], cols, mats, &ncols))
    return 1;
  if (zoptac(cols, mats, ncols, value, 1, nullptr, nullptr, nullptr, 0, const_cast<char*>(sym->name), sym,
             ctx->zoptg) != 0)
    return 1;
  ++*count;
  return 0;
}

int do_zopt(RUVACOM* ctx) {
  auto* g = ruva_new<ZOPTGLOBAL>();
  if (!g) return 1;
  g->mem.pool = task_pool();
  ctx->zoptg = g;
  g->opts.num_parms = ctx->nparm;
  if (zoptcnt(0, constraint_count(ctx), g) != 0 || !name_rows(ctx, g)) return 1;
  if (ctx->boundslist && add_bound_constraints(ctx) != 0) return 1;
  set_options(ctx, g);
  if (zoptsu(g) != 0) {
    xpmlog(305, kMsgNoOptimiserStorage);
    return 1;
  }
  share_storage(ctx, g);
  return 0;
}
