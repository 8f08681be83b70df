// The BOUNDS statements as constraints of the refit engine: a constant
// limit on a parameter becomes a one-parameter constraint, an order between
// two parameters the linear constraint a - b <= 0. Strict relations become
// the same non-strict constraints.
#include "procedure/bounds.h"
#include "procedure/procedure_context.h"
#include "procedure/statement_lookup.h"
#include "procedure/step_memory.h"
#include "profile/refit_client.h"

namespace {

bool is_parameter(const RUVACOM* ctx, const CMPSYM* s) {
  return get_parm_index(ctx->parmsym, s) >= 0;
}

// Calls `each(lower, upper, strict)` for every pair of every statement in
// statement order, its non-strict pairs before its strict ones.
template <class Each>
void for_each_pair(const RUVACOM* ctx, Each each) {
  std::vector<const BOUNDSSTR*> statements;
  for (const BOUNDSSTR* b = ctx->boundslist; b; b = b->next)
    statements.insert(statements.begin(), b);
  for (const BOUNDSSTR* b : statements) {
    for (std::int32_t k = 0; k < b->eqbnds1.n && k < b->eqbnds2.n; ++k)
      each(b->eqbnds1.s[k], b->eqbnds2.s[k], false);
    for (std::int32_t k = 0; k < b->strtbnds1.n && k < b->strtbnds2.n; ++k)
      each(b->strtbnds1.s[k], b->strtbnds2.s[k], true);
  }
}

enum class PairKind { kNone, kSingle, kTwo };

PairKind kind_of(const RUVACOM* ctx, const CMPSYM* lower, const CMPSYM* upper) {
  if (cmp_literal(lower)) return cmp_literal(upper) ? PairKind::kNone : PairKind::kSingle;
  return is_parameter(ctx, lower) && is_parameter(ctx, upper) ? PairKind::kTwo : PairKind::kSingle;
}

double side_value(const CMPSYM* s) {
  double v = 0;
  return literal_value(s, &v) ? v : 0.0;
}

}  // namespace

int determine_num_constr(RUVACOM* ctx, int* sp, int* mp) {
  *sp = *mp = 0;
  for_each_pair(ctx, [&](const CMPSYM* lower, const CMPSYM* upper, bool) {
    const PairKind k = kind_of(ctx, lower, upper);
    if (k == PairKind::kSingle)
      ++*sp;
    else if (k == PairKind::kTwo)
      ++*mp;
  });
  return *sp + *mp;
}

int alloc_req_memory(RUVACOM* ctx) {
  PROF_BOOT_COMMON_BLOCK& q = ctx->qxprof_block;
  int sp = 0, mp = 0;
  const int n = determine_num_constr(ctx, &sp, &mp);
  const long p = ctx->nparm;
  auto* ints = ruva_new<std::int32_t>(p + 2L * mp + 1);
  auto* doubles = ruva_new<double>(2 * p + 2L * mp + 1);
  q.l_u_cons_h = ruva_new<QXPROF_CONSTRAINT>(n + 1);
  q.c_h_h = ruva_new<QXPROF_CONSTRAINT*>(n + 1);
  if (!ints || !doubles || !q.l_u_cons_h || !q.c_h_h) return 1;
  q.parm_constr_flag = ints;
  q.mp_index_h = ints + p;
  q.parm_lower_limits = doubles;
  q.parm_upper_limits = doubles + p;
  q.mp_c_vals_h = doubles + 2 * p;
  return 0;
}

int consider_bounds(RUVACOM* ctx) {
  PROF_BOOT_COMMON_BLOCK& q = ctx->qxprof_block;
  int n = 0, sp = 0, mp = 0;
  for_each_pair(ctx, [&](const CMPSYM* lower, const CMPSYM* upper, bool) {
    const PairKind k = kind_of(ctx, lower, upper);
    if (k == PairKind::kNone) return;
    QXPROF_CONSTRAINT& c = q.l_u_cons_h[n];
    c = QXPROF_CONSTRAINT{};
    if (k == PairKind::kTwo) {
      c.c_type = MULTI_PARM_LINEAR;
      c.rel_op = LEQ;
      c.val = 0.0;
      c.mp.n_parms = 2;
      c.mp.index_h = q.mp_index_h + 2 * mp;
      c.mp.c_vals_h = q.mp_c_vals_h + 2 * mp;
      c.mp.index_h[0] = get_parm_index(ctx->parmsym, lower);
      c.mp.index_h[1] = get_parm_index(ctx->parmsym, upper);
      c.mp.c_vals_h[0] = 1.0;
      c.mp.c_vals_h[1] = -1.0;
      ++mp;
    } else {
      const bool literal_below = cmp_literal(lower);
      const CMPSYM* parm = literal_below ? upper : lower;
      c.c_type = SINGLE_PARM;
      c.rel_op = literal_below ? GEQ : LEQ;
      c.val = side_value(literal_below ? lower : upper);
      c.sp.index = get_parm_index(ctx->parmsym, parm);
      c.sp.parm_name_s = {parm->name, parm->nameleng};
      ++sp;
    }
    q.c_h_h[n] = &c;
    ++n;
  });
  q.n_cons = n;
  q.sp = sp;
  q.mp = mp;
  return 0;
}

bool within_bounds(const RUVACOM* ctx, const double* parms) {
  auto value = [&](const CMPSYM* side, double* v) {
    const int i = get_parm_index(ctx->parmsym, side);
    if (i >= 0) *v = parms[i];
    return i >= 0 || literal_value(side, v);
  };
  bool within = true;
  for_each_pair(ctx, [&](const CMPSYM* lower, const CMPSYM* upper, bool strict) {
    double l = 0, u = 0;
    if (value(lower, &l) && value(upper, &u) && !(strict ? l < u : l <= u)) within = false;
  });
  return within;
}
