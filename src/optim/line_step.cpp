// The optimiser's line-search step: the search along `delta` from `pparms`
// with the optimiser's objective, which scores a point it must accept as
// the most negative double and one it must refuse as the largest.
#include <cmath>

#include "optim/optimiser_internal.h"
#include "optim/optimiser_output.h"

namespace {

using namespace optim;

ZOPTGLOBAL* run_of(void* user) { return static_cast<ZOPTGLOBAL*>(user); }

}  // namespace

double objective(void* user) {
  ZOPTGLOBAL* g = run_of(user);
  ZOPTSTATE& st = g->state;
  ZOPTMARQU& mq = *st.marqu;
  st.subiters = g->lnsrch.subiter;
  const int rc = evaluate_subiteration(g);
  if (mq.boundv) mq.d_reason = 1;
  if (rc != 0) return kHuge;
  if (st.nobs != st.prevnobs) return st.nobs > st.prevnobs ? -kHuge : kHuge;
  if (negligible_objective(g, std::fabs(st.objective))) return -kHuge;
  if (st.subiters > 2 && restores_curved_constraints(g)) return -kHuge;
  return st.objective;
}

void subp(void* user) {
  ZOPTGLOBAL* g = run_of(user);
  g->state.subiters = g->lnsrch.subiter;
  if (g->funcs.usfout) g->funcs.usfout(g);
}

void print_error2(ZOPTGLOBAL* g) {
  if (g->opts.printerror) note_line_search_failed(g->lnsrch.maxsubiters);
}

int zoptspl(ZOPTGLOBAL* g) {
  ZOPTSTATE& st = g->state;
  ZOPTMARQU& mq = *st.marqu;
  LINESRCH& ls = g->lnsrch;
  mark_rows_sweepable(mq.singrows, nparms(g));
  mq.d_reason = 0;
  ls.oldobj = st.objective;
  ls.objfunc = objective;
  ls.subpfunc = g->opts.itprint >= 2 || g->opts.details ? subp : nullptr;
  const int found = zlnsrch(mq.delta, st.parms, st.pparms, nparms(g), &ls);
  mq.failed = found ? 0 : 1;
  if (!found) {
    print_error2(g);
    return 1;
  }
  st.subiters = ls.subiter;
  return 0;
}
