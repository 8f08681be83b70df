#include "procedure/loss_terms.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "host/services.h"
#include "linalg/packed.h"
#include "procedure/model_derivatives.h"
#include "procedure/procedure_context.h"
#include "procedure/step_memory.h"

namespace {

long packed_size(int n) { return static_cast<long>(n) * (n + 1) / 2; }

CMPSYM* program_symbol(RUVACOM* ctx, const char* name) {
  return cmpsyms(name, static_cast<int>(std::strlen(name)), &ctx->globcmp);
}

// A list of `length` entries, each the literal 0 until set.
CMPLIST* zero_list(RUVACOM* ctx, long length) {
  auto* list = ruva_new_or_exit<CMPLIST>();
  if (cmplsta(list, static_cast<int>(std::max(length, 1L)), &ctx->globcmp) != 0) xexit(1016, 0);
  CMPSYM* zero = cmplit("0", 1, &ctx->globcmp);
  for (long k = 0; k < length; ++k) list->s[k] = zero;
  list->n = static_cast<int>(length);
  return list;
}

void append(RUVACOM* ctx, CMPLIST* list, CMPSYM* sym) {
  if (cmplst(list, sym, &ctx->globcmp) != 0) xexit(1016, 0);
}

// The derivative symbols of _LOSS_ (objective 0) and _WEIGHT_ (objective 1):
// first by parameter, second packed.
struct TermSymbols {
  CMPLIST* first[2];
  CMPLIST* second[2];
  bool weight_varies = false;
};

double** cells_of(RUVACOM* ctx, CMPLIST* list) {
  auto** cells = ruva_new_or_exit<double*>(std::max(list->n, 1));
  cmplstg(list, cells, &ctx->globcmp);
  return cells;
}

// The second derivatives: those of each first derivative that is a
// variable of the program (a constant one has none).
bool second_derivatives(RUVACOM* ctx, const CMPDER* first, TermSymbols* t) {
  auto* objectives = ruva_new_or_exit<CMPLIST>();
  for (int k = 0; k < first->der.n; ++k)
    if (first->der.s[k]->kind != 'l') append(ctx, objectives, first->der.s[k]);
  if (objectives->n == 0) return true;
  CMPDER* second = nullptr;
  if (!derive_model(ctx, &second, objectives, ctx->parmsym, kDeriveSecondOnDemand)) return false;
  // The objectives of `second` are the variable entries of `first`, in order.
  std::vector<int> entry;
  for (int k = 0; k < first->der.n; ++k)
    if (first->der.s[k]->kind != 'l') entry.push_back(k);
  for (int k = 0; k < second->der.n; ++k) {
    const int of = entry[static_cast<std::size_t>(second->objindex[k])];
    t->second[first->objindex[of]]->s[zisub(first->wrtindex[of], second->wrtindex[k])] = second->der.s[k];
  }
  return true;
}

}  // namespace

void request_loss_derivatives(RUVACOM* ctx) {
  ctx->loss_terms = nullptr;
  const int n = ctx->nparm;
  CMPSYM* loss = program_symbol(ctx, "_LOSS_");
  if (!loss || n < 1) return;
  CMPSYM* weight = program_symbol(ctx, "_WEIGHT_");
  auto* objectives = ruva_new_or_exit<CMPLIST>();
  append(ctx, objectives, loss);
  if (weight) append(ctx, objectives, weight);
  CMPDER* first = nullptr;
  if (!derive_model(ctx, &first, objectives, ctx->parmsym, kDeriveFirstOnDemand)) return;
  TermSymbols t;
  for (int o = 0; o < 2; ++o) {
    t.first[o] = zero_list(ctx, n);
    t.second[o] = zero_list(ctx, packed_size(n));
  }
  for (int k = 0; k < first->der.n; ++k) {
    t.first[first->objindex[k]]->s[first->wrtindex[k]] = first->der.s[k];
    t.weight_varies = t.weight_varies || first->objindex[k] == 1;
  }
  if (!second_derivatives(ctx, first, &t)) return;
  auto* terms = ruva_new_or_exit<LossTerms>();
  terms->loss1 = cells_of(ctx, t.first[0]);
  terms->loss2 = cells_of(ctx, t.second[0]);
  if (t.weight_varies) {
    terms->weight1 = cells_of(ctx, t.first[1]);
    terms->weight2 = cells_of(ctx, t.second[1]);
  }
  terms->gradient = ruva_new_or_exit<double>(n);
  terms->curvature = ruva_new_or_exit<double>(packed_size(n));
  terms->scratch = ruva_new_or_exit<double>(2L * n);
  ctx->loss_terms = terms;
}

int derivative_level(const RUVACOM* ctx) {
  if (ctx->model != 0.0) return 0;
  return ctx->loss_terms && ctx->loss_terms->summing ? 2 : 1;
}
