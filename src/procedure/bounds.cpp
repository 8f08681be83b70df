// BOUNDS statements into records of side pairs. The grammar keeps each
// statement's items (names and numbers as written) in slot 1 and the
// relations in slot 2.
#include <cctype>
#include <limits>

#include "host/missing.h"
#include "host/services.h"
#include "procedure/bounds.h"
#include "procedure/step_memory.h"
#include "procedure/procedure_context.h"
#include "procedure/statement_lookup.h"

namespace {

constexpr int kLess = 36, kLessEqual = 37, kGreater = 40, kGreaterEqual = 41;

void add(RUVACOM* ctx, CMPLIST* list, CMPSYM* sym) {
  if (cmplst(list, sym, &ctx->globcmp) != 0) xexit(1016, 0);
}

// A number written in the statement is a literal constant; a name is the
// program's symbol of that name (made when the program does not use it, so
// that the constraint set-up can report it).
CMPSYM* item_symbol(RUVACOM* ctx, const char* text, int length) {
  const unsigned char first = static_cast<unsigned char>(text[0]);
  CMPSYM* sym = nullptr;
  if (std::isdigit(first) || first == '-' || first == '+' || first == '.')
    sym = cmplit(text, length, &ctx->globcmp);
  else if (!(sym = cmpsyms(text, length, &ctx->globcmp)))
    sym = cmpsymd(text, length, 'v', 0, &ctx->globcmp);
  if (!sym) xexit(1016, 0);
  return sym;
}

void read_items(RUVACOM* ctx, BOUNDSSTR* rec, const STMT* s) {
  const STLIST* items = stmt_field(s, 1);
  const char* text = nullptr;
  int length = 0;
  for (int i = 0; field_name(items, i, &text, &length); ++i) add(ctx, &rec->bounds, item_symbol(ctx, text, length));
}

// Every (left, right) combination of one relation, left items outermost.
void add_pairs(RUVACOM* ctx, BOUNDSSTR* rec, int code, int left0, int left1, int right1) {
  CMPLIST* lower = nullptr;
  CMPLIST* upper = nullptr;
  const bool swapped = code == kGreater || code == kGreaterEqual;
  if (code == kLess || code == kGreater) lower = &rec->strtbnds1, upper = &rec->strtbnds2;
  else if (code == kLessEqual || code == kGreaterEqual) lower = &rec->eqbnds1, upper = &rec->eqbnds2;
  else return;
  for (int l = left0; l < left1; ++l) {
    for (int r = left1; r < right1; ++r) {
      CMPSYM* left = rec->bounds.s[l];
      CMPSYM* right = rec->bounds.s[r];
      add(ctx, lower, swapped ? right : left);
      add(ctx, upper, swapped ? left : right);
    }
  }
}

constexpr int kMsgBoundsCannotHold = 920;
constexpr int kMsgBoundDropped = 1061;

// The tightest constant limits that the BOUNDS put on one parameter.
struct ConstantLimits {
  double lower = -std::numeric_limits<double>::infinity();
  double upper = std::numeric_limits<double>::infinity();
  bool lower_strict = false;
  bool upper_strict = false;

  bool empty() const { return lower > upper || (lower == upper && (lower_strict || upper_strict)); }
};

// Tightens the limits with the pairs (left k, right k) of one side list.
void tighten(ConstantLimits* limits, const CMPSYM* parm, const CMPLIST& left, const CMPLIST& right,
             bool strict) {
  for (int k = 0; k < left.n && k < right.n; ++k) {
    double v = 0;
    if (right.s[k] == parm && literal_value(left.s[k], &v) &&
        (v > limits->lower || (v == limits->lower && strict))) {
      limits->lower = v;
      limits->lower_strict = strict;
    }
    if (left.s[k] == parm && literal_value(right.s[k], &v) &&
        (v < limits->upper || (v == limits->upper && strict))) {
      limits->upper = v;
      limits->upper_strict = strict;
    }
  }
}

// Removes the pairs (left k, right k) that name a dropped parameter.
void drop_pairs(const RUVACOM* ctx, CMPLIST* left, CMPLIST* right, const char* relation) {
  int kept = 0;
  for (int k = 0; k < left->n && k < right->n; ++k) {
    const CMPSYM* l = left->s[k];
    const CMPSYM* r = right->s[k];
    const CMPSYM* dropped = dropped_parameter(ctx, l) ? l : dropped_parameter(ctx, r) ? r : nullptr;
    if (dropped) {
      xpmlog(305, kMsgBoundDropped, l->nameleng, l->name, relation, r->nameleng, r->name, dropped->nameleng,
             dropped->name);
      continue;
    }
    left->s[kept] = left->s[k];
    right->s[kept++] = right->s[k];
  }
  left->n = right->n = kept;
}

}  // namespace

void drop_bounds_on_dropped_parameters(RUVACOM* ctx) {
  for (BOUNDSSTR* b = ctx->boundslist; b; b = b->next) {
    drop_pairs(ctx, &b->eqbnds1, &b->eqbnds2, "<=");
    drop_pairs(ctx, &b->strtbnds1, &b->strtbnds2, "<");
  }
}

bool literal_value(const CMPSYM* sym, double* value) {
  if (!cmp_literal(sym) || sym->ninit < 1 || wzmis(sym->init[0])) return false;
  *value = sym->init[0];
  return true;
}

bool bounds_consistent(RUVACOM* ctx) {
  bool consistent = true;
  for (int i = 0; ctx->boundslist && i < ctx->parmsym->n; ++i) {
    const CMPSYM* parm = ctx->parmsym->s[i];
    ConstantLimits limits;
    for (const BOUNDSSTR* b = ctx->boundslist; b; b = b->next) {
      tighten(&limits, parm, b->eqbnds1, b->eqbnds2, false);
      tighten(&limits, parm, b->strtbnds1, b->strtbnds2, true);
    }
    if (!limits.empty()) continue;
    xpmlog(305, kMsgBoundsCannotHold, parm->nameleng, parm->name, limits.lower_strict ? ">" : ">=", limits.lower,
           limits.upper_strict ? "<" : "<=", limits.upper);
    consistent = false;
  }
  return consistent;
}

BOUNDSSTR* boundsstr(RUVACOM* ctx) {
  auto* rec = ruva_new<BOUNDSSTR>();
  if (!rec) return nullptr;
  rec->next = ctx->boundslist;
  ctx->boundslist = rec;
  return rec;
}

void process_bounds(RUVACOM* ctx, BOUNDSSTR* rec, int n, const int* relations) {
  const int items = rec->bounds.n;
  for (int k = 0; k + 1 < n; k += 2) {
    const int left0 = k == 0 ? 0 : relations[k - 2];
    const int position = relations[k];
    const int next = k + 3 < n ? relations[k + 2] : items;
    if (left0 < 0 || left0 > position || position > next || next > items) continue;
    add_pairs(ctx, rec, relations[k + 1], left0, position, next);
  }
}

int read_bounds_statements(RUVACOM* ctx) {
  for (STMT* s = ctx->prochead; s; s = s->next) {
    if (!stmt_is(s, "BOU")) continue;
    BOUNDSSTR* rec = boundsstr(ctx);
    if (!rec) return 1;
    read_items(ctx, rec, s);
    const STLIST* relations = stmt_field(s, 2);
    if (relations && relations->type == stfield::kIntegers)
      process_bounds(ctx, rec, relations->v.f.n, relations->v.f.u.ilist);
  }
  return 0;
}
