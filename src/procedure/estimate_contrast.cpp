// ESTIMATE and CONTRAST statements into the context's blocks: labels,
// expression symbols and the work storage their results need.
#include <algorithm>
#include <cstdio>

#include "host/services.h"
#include "procedure/step_memory.h"
#include "procedure/procedure_context.h"
#include "procedure/setup.h"
#include "procedure/statement_lookup.h"

namespace {

constexpr int kExprSlot = 2;
constexpr int kLabelSlot = 4;
constexpr int kMsgNotOneExpression = 602;

int count_statements(const RUVACOM* ctx, const char* keyword) {
  int n = 0;
  for (const STMT* s = ctx->prochead; s; s = s->next) n += stmt_is(s, keyword) ? 1 : 0;
  return n;
}

int expression_count(const STMT* s) {
  const STLIST* f = stmt_field(s, kExprSlot);
  return f ? f->v.f.n : 0;
}

void label_of(const STMT* s, char** text, std::int32_t* length) {
  const STLIST* f = stmt_field(s, kLabelSlot);
  *text = f ? f->v.f.u.cval : nullptr;
  *length = f ? f->v.f.n : 0;
}

// The compiler computes the k-th ESTIMATE expression (k from 1, in
// statement order) into the symbol "ESTIMATE.k", the k-th CONTRAST row into
// "CONTRAST.k". A missing symbol is a compile error of the step.
CMPSYM* expression_symbol(RUVACOM* ctx, const char* kind, int k) {
  char name[32];
  const int length = std::snprintf(name, sizeof name, "%s.%d", kind, k);
  CMPSYM* sym = cmpsyms(name, length, &ctx->globcmp);
  if (!sym) xexit(1012, 0);
  return sym;
}

CMPLIST* new_list(RUVACOM* ctx, int room) {
  auto* list = ruva_new_or_exit<CMPLIST>();
  if (cmplsta(list, room, &ctx->globcmp) != 0) xexit(1012, 0);
  return list;
}

void append(RUVACOM* ctx, CMPLIST* list, CMPSYM* sym) {
  if (cmplst(list, sym, &ctx->globcmp) != 0) xexit(1012, 0);
}

}  // namespace

int process_estimate_stmts(RUVACOM* ctx) {
  const int n = ctx->nesti = count_statements(ctx, "ESTIMATE ");
  if (n == 0) return 0;
  ctx->estisym = new_list(ctx, n);
  ctx->estilab = ruva_new_or_exit<char*>(n);
  ctx->estilen = ruva_new_or_exit<std::int32_t>(n);
  int k = 0;
  for (const STMT* s = ctx->prochead; s; s = s->next) {
    if (!stmt_is(s, "ESTIMATE ")) continue;
    if (expression_count(s) != 1) {
      xpmlog(305, kMsgNotOneExpression, expression_count(s));
      xexit(1012, 0);
    }
    label_of(s, &ctx->estilab[k], &ctx->estilen[k]);
    ctx->maxename = std::max(ctx->maxename, ctx->estilen[k]);
    append(ctx, ctx->estisym, expression_symbol(ctx, "ESTIMATE", k + 1));
    ++k;
  }
  ctx->estiptr = ruva_new_or_exit<double*>(n);
  if (ctx->pecov || ctx->pecorr) ctx->ecovmat = ruva_new_or_exit<double>(n * (n + 1) / 2 + 2 * n);
  return 0;
}

int process_contrast_stmts(RUVACOM* ctx) {
  const int n = ctx->ncont = count_statements(ctx, "CONTRAST ");
  if (n == 0) return 0;
  ctx->contlab = ruva_new_or_exit<char*>(n);
  ctx->contlen = ruva_new_or_exit<std::int32_t>(2 * n);
  ctx->contn = ctx->contlen + n;
  int k = 0;
  for (const STMT* s = ctx->prochead; s; s = s->next) {
    if (!stmt_is(s, "CONTRAST ")) continue;
    label_of(s, &ctx->contlab[k], &ctx->contlen[k]);
    ctx->contn[k] = expression_count(s);
    ctx->maxcname = std::max(ctx->maxcname, ctx->contlen[k]);
    ctx->maxcontn = std::max(ctx->maxcontn, ctx->contn[k]);
    ctx->contnt += ctx->contn[k];
    ++k;
  }
  ctx->contsym = new_list(ctx, ctx->contnt);
  for (int row = 1; row <= ctx->contnt; ++row) append(ctx, ctx->contsym, expression_symbol(ctx, "CONTRAST", row));
  const int m = ctx->maxcontn;
  ctx->contptr = ruva_new_or_exit<double*>(ctx->contnt);
  ctx->contvec = ruva_new_or_exit<double>(3 * m);
  ctx->contdf = ruva_new_or_exit<char>(m);
  ctx->contvar = ruva_new_or_exit<double>(m * (m + 1) / 2);
  return 0;
}
