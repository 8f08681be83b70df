// Constraints: their evaluation (`zngcon`), the start-up check of the
// feasibility phase (`zoptfes`, `cobj`) and the working-set operations.
//
// What stands today: constraints are declared and evaluated, a start that
// violates none of them runs with an empty working set, and trial points
// that violate one are refused (zoptobj returns 2), so every accepted point
// is feasible. Not built yet: the working-constraint factorisation, the
// feasibility iterations, adding and dropping constraints, the projected
// Hessian and the constrained covariance. Until they are, a start that
// needs a working constraint (an equality, or a violated inequality) ends
// with s_nofeas, and an optimum on a bound is approached from inside.
#include <cmath>
#include <cstring>

#include "optim/zopt_internal.h"

namespace {

using namespace optim;

// Marks the inequalities violated at the last evaluation and returns the
// index of the most violated one (ties keep the first); -1 when none.
int mark_violations(ZOPTGLOBAL* g, bool* missing) {
  ZOPTMARQU& mq = *g->state.marqu;
  double lowest = 0;
  int worst = -1;
  for (int i = 0; i < mq.ninequal; ++i) {
    CONSTRAINT* c = g->state.conp_i[i];
    const double v = *c->val;
    if (wzmis(v)) {
      *missing = true;
      return worst;
    }
    if (c->act == '1' || !(v < -g->opts.ceps)) continue;
    mq.boundv = 1;
    c->act = 'v';
    if (v < lowest) {
      lowest = v;
      worst = i;
    }
  }
  return worst;
}

// Every inequality violated at the last evaluation joins the working set.
void activate_violated(ZOPTGLOBAL* g) {
  ZOPTSTATE& st = g->state;
  ZOPTMARQU& mq = *st.marqu;
  for (int i = 0; i < mq.ninequal; ++i) {
    CONSTRAINT* c = st.conp_i[i];
    if (c->act != 'v') continue;
    c->act = '1';
    st.conp[mq.perm + mq.nact] = c;
    mq.nact += 1;
  }
  if (mq.singrowsc) std::memset(mq.singrowsc, '1', static_cast<std::size_t>(working_constraints(g)));
}

}  // namespace

int zngcon(ZOPTGLOBAL* g) {
  if (!g->funcs.uscon) return 0;
  const int rc = g->funcs.uscon(g);
  if (rc != 0) return rc;
  ZOPTSTATE& st = g->state;
  ZOPTMARQU& mq = *st.marqu;
  mq.boundv = 0;
  for (int i = 0; i < mq.ninequal; ++i)
    if (st.conp_i[i]->act != '1') st.conp_i[i]->act = '0';
  for (int j = 0; j < working_constraints(g); ++j) {
    st.con[j] = *st.conp[j]->val;
    if (wzmis(st.con[j])) return 1;
  }
  bool missing = false;
  const int worst = mark_violations(g, &missing);
  if (missing) return 1;
  if (worst >= 0) mq.next_act = worst;
  return 0;
}

int zncmat(ZOPTGLOBAL* g) {
  g->state.marqu->inumconstr = 0;
  if (!g->funcs.usjnc || working_constraints(g) == 0) return 0;
  return 1;  // the working-constraint factorisation is not built yet
}

void znaddac(int /*cstr*/, ZOPTGLOBAL* /*g*/) {}

void zndelac(ZOPTGLOBAL* /*g*/) {}

double cobj(void* user) {
  auto* g = static_cast<ZOPTGLOBAL*>(user);
  ZOPTMARQU& mq = *g->state.marqu;
  const int rc = zngcon(g);
  if (mq.boundv) {
    mq.d_reason = 1;
    return kHuge;
  }
  if (rc != 0) return kHuge;
  double sum = 0;
  for (int j = 0; j < working_constraints(g); ++j) {
    if (wzmis(g->state.con[j])) return kHuge;
    sum += std::fabs(g->state.con[j]);
  }
  return sum;
}

int zoptfes(ZOPTGLOBAL* g) {
  ZOPTSTATE& st = g->state;
  ZOPTMARQU& mq = *st.marqu;
  mq.fesflag = mq.factored = 0;
  if (mq.singrowsc && mq.perm > 0) std::memset(mq.singrowsc, '1', static_cast<std::size_t>(mq.perm));
  for (int i = 0; i < mq.ninequal; ++i) st.conp_i[i]->act = '0';
  mq.nact = 0;
  double violation = cobj(g);
  if (violation == kHuge && !mq.boundv) return 0;
  if (mq.boundv) {
    activate_violated(g);
    if (cobj(g) == kHuge) return 0;
  }
  if (zncmat(g) != 0) return 0;
  copy_parms(st.pparms, st.parms, nparms(g));
  return feasable(g);
}

int feasable(ZOPTGLOBAL* g) {
  copy_parms(g->state.pparms, g->state.parms, nparms(g));
  if (working_constraints(g) == 0) return 1;
  return 0;  // the feasibility iterations are not built yet
}
