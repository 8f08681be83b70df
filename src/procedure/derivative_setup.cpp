// Which derivatives of the model the step needs, which ones the program
// supplies with DER. variables, and the requests for the rest.
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>

#include "host/services.h"
#include "linalg/packed.h"
#include "procedure/model_derivatives.h"
#include "procedure/step_memory.h"
#include "procedure/procedure_context.h"
#include "procedure/setup.h"
#include "procedure/starting_values.h"
#include "procedure/statement_lookup.h"

namespace {

constexpr int kMsgDerivativeNotGiven = 3;
constexpr int kMsgAssignedParameter = 84;
constexpr int kMsgUnusedParameter = 65;
constexpr int kMsgNoParameterLeft = 80;
constexpr int kMsgNotAParameter = 923;
constexpr int kBootResidual = 2, kBootJac = 8;

void append(RUVACOM* ctx, CMPLIST* list, CMPSYM* sym) {
  if (cmplst(list, sym, &ctx->globcmp) != 0 || ctx->nretain != 0) xexit(1016, 0);
}

// The name "DER." and the given parts joined by points.
struct DerName {
  char text[80];
  int length;
  DerName(const CMPSYM* a, const CMPSYM* b) {
    length = b ? std::snprintf(text, sizeof text, "DER.%.*s.%.*s", a->nameleng, a->name, b->nameleng, b->name)
               : std::snprintf(text, sizeof text, "DER.%.*s", a->nameleng, a->name);
    if (length < 0 || length >= static_cast<int>(sizeof text)) length = 0;
  }
};

CMPSYM* der_symbol(RUVACOM* ctx, const CMPSYM* a, const CMPSYM* b) {
  const DerName name(a, b);
  return name.length > 0 ? cmpsyms(name.text, name.length, &ctx->globcmp) : nullptr;
}

void note_not_given(const CMPSYM* a, const CMPSYM* b) {
  const DerName name(a, b);
  xpmlog(305, kMsgDerivativeNotGiven, name.length, name.text);
}

bool output_needs_diagnostics(const RUVACOM* ctx) {
  for (const STMT* s = ctx->prochead; s; s = s->next) {
    if (!stmt_is(s, "OUTPUT")) continue;
    for (int k = 19; k <= 23; ++k)
      if (stmt_field(s, k)) return true;
  }
  return false;
}

bool bootstrap_needs_jacobian(const RUVACOM* ctx) {
  for (const STMT* s = ctx->prochead; s; s = s->next)
    if (stmt_is(s, "BOOT") && stmt_bit(s, kBootResidual) && stmt_bit(s, kBootJac)) return true;
  return false;
}

// The second-derivative variables DER.a.b (or DER.b.a) of parameters i, j.
void find_second(RUVACOM* ctx, int i, int* state, CMPLIST* second) {
  const CMPSYM* pi = ctx->parmsym->s[i];
  for (int j = 0; j <= i; ++j) {
    const CMPSYM* pj = ctx->parmsym->s[j];
    CMPSYM* d = der_symbol(ctx, pi, pj);
    if (!d) d = der_symbol(ctx, pj, pi);
    if (d && cmp_assigned(d)) {
      append(ctx, second, d);
      continue;
    }
    if (d) note_not_given(pi, pj);
    state[i] = state[j] = 1;
  }
}

bool is_parameter(RUVACOM* ctx, std::string_view name) {
  const CMPSYM* sym = name.empty() ? nullptr : cmpsyms(name.data(), static_cast<int>(name.size()), &ctx->globcmp);
  for (int i = 0; sym && i < ctx->parmsym->n; ++i)
    if (ctx->parmsym->s[i] == sym) return true;
  return false;
}

// The part of DER.a or DER.a.b that names no parameter, if any; with more
// than two parts the name is no derivative's at all.
std::optional<std::string_view> stray_part(RUVACOM* ctx, const CMPSYM* der) {
  const std::string_view parts(der->name + 4, static_cast<std::size_t>(der->nameleng - 4));
  const std::size_t dot = parts.find('.');
  if (dot != std::string_view::npos && parts.find('.', dot + 1) != std::string_view::npos) return parts;
  if (!is_parameter(ctx, parts.substr(0, dot))) return parts.substr(0, dot);
  if (dot != std::string_view::npos && !is_parameter(ctx, parts.substr(dot + 1))) return parts.substr(dot + 1);
  return std::nullopt;
}

}  // namespace

void check_derivative_names(RUVACOM* ctx, const CMPLIST* ders) {
  for (int i = 0; i < ders->n; ++i) {
    const CMPSYM* der = ders->s[i];
    const auto part = cmp_assigned(der) ? stray_part(ctx, der) : std::nullopt;
    if (!part) continue;
    xpmlog(305, kMsgNotAParameter, der->nameleng, der->name, static_cast<int>(part->size()), part->data());
    ruva_raise_rc(ctx, 4);
  }
}

int hessian_reqd(RUVACOM* ctx) {
  if (output_needs_diagnostics(ctx)) ctx->ruvaout_flag = 1;
  return ctx->method == 'W' || ctx->hougaard_req || ctx->boxs_bias_flag || ctx->ruvameasures_table_flag ||
         ctx->graph_control || ctx->ruvaout_flag || bootstrap_needs_jacobian(ctx);
}

int get_dervars(RUVACOM* ctx, int* state, CMPLIST* second) {
  const bool second_needed = hessian_reqd(ctx);
  int missing = 0;
  for (int i = 0; i < ctx->nparm; ++i) {
    const CMPSYM* p = ctx->parmsym->s[i];
    CMPSYM* d = der_symbol(ctx, p, nullptr);
    if (d) cmp_mark(d);
    if (d && cmp_assigned(d)) {
      // CHECKDER compares the supplied derivatives with generated ones.
      state[i] = ctx->derchck && missing == 0 ? 1 : 0;
      append(ctx, ctx->dersym, d);
    } else {
      note_not_given(p, nullptr);
      ++missing;
      state[i] = 1;
    }
    if (second_needed) find_second(ctx, i, state, second);
  }
  for (int i = 0; i < ctx->nparm; ++i)
    if (state[i] != 0) append(ctx, ctx->needer, ctx->parmsym->s[i]);
  return 0;
}

// A parameter whose derivative the program neither supplies nor makes
// depend on anything is dropped (305/65). The program may still read it
// (c*0*x), so it keeps its starting value in storage of its own instead of
// the parameter storage that no longer holds it.
void drop_parameter(RUVACOM* ctx, CMPSYM* p, int* state) {
  xpmlog(305, kMsgUnusedParameter, p->nameleng, p->name);
  ruva_raise_rc(ctx, 4);
  auto* cell = ruva_new_or_exit<double>();
  *cell = first_starting_value(ctx, p);
  p->data = cell;
  cmplstd(ctx->parmsym, p, &ctx->globcmp);
  --ctx->nparm;
  *state = -1;
}

int first_derivatives(RUVACOM* ctx, int* state, CMPSYM* const* declared, int ndeclared) {
  if (ctx->needer->n > 0) {
    if (!derive_model(ctx, &ctx->derstruct, ctx->depsym, ctx->needer, kDeriveFirst)) return 1;
    if (ctx->listder) list_derivatives(ctx, ctx->derstruct);
    if (ctx->nretain != 0) return 1;
  }
  for (int i = 0; i < ndeclared; ++i) {
    CMPSYM* p = declared[i];
    if (state[i] == 0) {
      append(ctx, ctx->gradsym, der_symbol(ctx, p, nullptr));
      continue;
    }
    if (cmp_assigned(p)) {
      xpmlog(305, kMsgAssignedParameter, p->nameleng, p->name);
      ruva_raise_rc(ctx, 4);
    }
    if (CMPSYM* d = generated_derivative(ctx->derstruct, p, 0)) append(ctx, ctx->gradsym, d);
    else drop_parameter(ctx, p, &state[i]);
  }
  if (ctx->nparm < 1) {
    xpmlog(305, kMsgNoParameterLeft);
    return 1;
  }
  return 0;
}

int second_derivatives(RUVACOM* ctx, CMPLIST* second, bool first_made) {
  const int n = ctx->nparm;
  const int packed = n * (n + 1) / 2;
  if (second->n == packed) return 0;
  CMPDER* record = nullptr;
  if (!derive_model(ctx, &record, ctx->gradsym, ctx->parmsym, first_made ? kDeriveSecond : kDeriveFirst))
    return 1;
  if (ctx->listder) list_derivatives(ctx, record);
  if (ctx->nretain != 0) return 1;
  if (cmplsta(second, packed, &ctx->globcmp) != 0) xexit(1016, 0);
  std::memset(second->s, 0, sizeof(CMPSYM*) * static_cast<std::size_t>(packed));
  second->n = packed;
  for (int k = 0; k < record->der.n; ++k)
    second->s[zisub(record->objindex[k], record->wrtindex[k])] = record->der.s[k];
  CMPSYM* zero = cmplit("0", 1, &ctx->globcmp);
  for (int k = 0; k < packed; ++k)
    if (!second->s[k]) second->s[k] = zero;
  return 0;
}
