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

// The second derivatives of the objectives as products (null where the
// program does not factor so), and the vectors the products multiply: a
// variable's first derivatives, or a parameter's unit vector.
struct Factored {
  CMPDER* products = nullptr;
  std::vector<CMPSYM*> variables;   // per vector: the variable, or null
  std::vector<int> unit_parameter;  // per vector: its parameter, or -1
  std::vector<int> vector_of;       // per entry of products->der: its vector (-1 for a coefficient)
};

Factored factor(RUVACOM* ctx, CMPLIST* objectives) {
  Factored f;
  if (!derive_model(ctx, &f.products, objectives, ctx->parmsym, kDeriveProductsOnDemand)) {
    f.products = nullptr;
    return f;
  }
  for (int k = 0; k < f.products->der.n; ++k) {
    if (k % 3 == 0) {
      f.vector_of.push_back(-1);
      continue;
    }
    CMPSYM* s = f.products->der.s[k];
    const int parameter = f.products->wrtindex[k];
    int v = 0;
    while (v < static_cast<int>(f.unit_parameter.size()) &&
           !(parameter >= 0 ? f.unit_parameter[v] == parameter
                            : f.unit_parameter[v] < 0 && f.variables[static_cast<std::size_t>(v)] == s))
      ++v;
    if (v == static_cast<int>(f.unit_parameter.size())) {
      f.unit_parameter.push_back(parameter);
      f.variables.push_back(parameter >= 0 ? nullptr : s);
    }
    f.vector_of.push_back(v);
  }
  return f;
}

void bind_products(RUVACOM* ctx, const Factored& f, const std::vector<CMPLIST*>& vector_lists, LossTerms* terms) {
  const int n = ctx->nparm;
  terms->factored = true;
  terms->nproducts = f.products->der.n / 3;
  terms->products = ruva_new_or_exit<LossTerms::Product>(std::max(terms->nproducts, 1));
  terms->coefficients = ruva_new_or_exit<double*>(std::max(terms->nproducts, 1));
  for (int k = 0; k < terms->nproducts; ++k)
    terms->products[k] = {f.products->objindex[3 * k], f.vector_of[static_cast<std::size_t>(3 * k + 1)],
                          f.vector_of[static_cast<std::size_t>(3 * k + 2)]};
  auto* coefficients = ruva_new_or_exit<CMPLIST>();
  for (int k = 0; k < terms->nproducts; ++k) append(ctx, coefficients, f.products->der.s[3 * k]);
  cmplstg(coefficients, terms->coefficients, &ctx->globcmp);
  terms->nvectors = static_cast<int>(vector_lists.size());
  terms->vectors = ruva_new_or_exit<double*>(std::max(terms->nvectors, 1) * static_cast<long>(n));
  for (int v = 0; v < terms->nvectors; ++v)
    cmplstg(vector_lists[static_cast<std::size_t>(v)], terms->vectors + v * static_cast<long>(n), &ctx->globcmp);
  terms->rows = ruva_new_or_exit<double>((terms->nvectors + 1) * static_cast<long>(n));
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
  const int nobjectives = objectives->n;
  const Factored f = factor(ctx, objectives);
  for (CMPSYM* v : f.variables)
    if (v) append(ctx, objectives, v);
  CMPDER* first = nullptr;
  if (!derive_model(ctx, &first, objectives, ctx->parmsym, kDeriveFirstOnDemand)) return;
  // The first derivatives of each objective: _LOSS_, _WEIGHT_, the vectors.
  std::vector<CMPLIST*> firsts;
  for (int o = 0; o < objectives->n; ++o) firsts.push_back(zero_list(ctx, n));
  TermSymbols t;
  for (int k = 0; k < first->der.n; ++k) {
    firsts[static_cast<std::size_t>(first->objindex[k])]->s[first->wrtindex[k]] = first->der.s[k];
    t.weight_varies = t.weight_varies || (weight && first->objindex[k] == 1);
  }
  t.first[0] = firsts[0];
  t.first[1] = weight ? firsts[1] : zero_list(ctx, n);
  if (!f.products) {
    for (int o = 0; o < 2; ++o) t.second[o] = zero_list(ctx, packed_size(n));
    if (!second_derivatives(ctx, first, &t)) return;
  }
  auto* terms = ruva_new_or_exit<LossTerms>();
  terms->loss1 = cells_of(ctx, t.first[0]);
  if (t.weight_varies) terms->weight1 = cells_of(ctx, t.first[1]);
  if (f.products) {
    std::vector<CMPLIST*> vectors;
    int next_variable = nobjectives;
    for (int parameter : f.unit_parameter) {
      CMPLIST* list = parameter >= 0 ? zero_list(ctx, n) : firsts[static_cast<std::size_t>(next_variable++)];
      if (parameter >= 0) list->s[parameter] = cmplit("1", 1, &ctx->globcmp);
      vectors.push_back(list);
    }
    bind_products(ctx, f, vectors, terms);
  } else {
    terms->loss2 = cells_of(ctx, t.second[0]);
    if (t.weight_varies) terms->weight2 = cells_of(ctx, t.second[1]);
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
