// One iteration's step (`update_p`): the Marquardt or line-search step from
// the start of the iteration, the refresh of derivatives at the new point,
// the working-set changes a constraint asks for, and the recovery when no
// step succeeds.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <vector>

#include "linalg/vector_kernels.h"
#include "optim/optimiser_internal.h"
#include "optim/optimiser_output.h"

namespace {

using namespace optim;
using Stepper = int (*)(ZOPTGLOBAL*);

// Takes the step; when the refresh at the new point saw fewer usable
// observations, takes it again from the start with derivatives at every
// evaluation. 0 when a step stands.
int step_with_retake(ZOPTGLOBAL* g, Stepper step) {
  if (step(g) != 0) return 1;
  if (update_ders(g) == 0) return 0;
  g->state.fullsubiter = 1;
  return step(g);
}

// No step could be kept: back at the start of the iteration with fresh
// derivatives and a fresh step, and the iteration fails.
int recover(ZOPTGLOBAL* g) {
  ZOPTSTATE& st = g->state;
  st.ppc = missing_value();
  st.worstp = -1;
  st.fullsubiter = 1;
  zoptobj(g);
  next_step(g);
  return 1;
}

// A constraint joined the working set: restart the step control there.
int constraint_added(ZOPTGLOBAL* g) {
  g->state.marqu->lambda = 1;
  g->lnsrch.damp = g->lnsrch.pdamp = 1;
  if (update_ders(g) == 0) return 0;
  return recover(g);
}

// Adds the most violated inequality; true when the working set grew.
bool add_next_constraint(ZOPTGLOBAL* g) {
  ZOPTMARQU& mq = *g->state.marqu;
  const int before = mq.nact;
  znaddac(mq.next_act, g);
  return mq.nact > before;
}

// The next step restores every active inequality that is off its value of
// zero, not only one just added: the parameters drift off a bound between
// two of them by the rounding of their own updates, which far from the
// bound's scale (a <= b near 1e13, later near 1) exceeds its tolerance.
int after_step(ZOPTGLOBAL* g) {
  ZOPTMARQU& mq = *g->state.marqu;
  mq.added_bound = 0;
  for (int j = mq.perm; j < mq.perm + mq.nact; ++j)
    if (std::fabs(g->state.con[j]) > tolerance(g, g->state.conp[j])) mq.added_bound = 1;
  if (mq.d_reason == 0) {
    if (mq.nact > 0) zndelac(g);
    return 0;
  }
  return add_next_constraint(g) ? constraint_added(g) : 0;
}

// Whether the step, taken whole, would lower the objective by less than
// its rounding: g'delta (the gradient being half the objective's) against
// the objective's last place. No trial can then show a decrease, and none
// is needed: the start of the iteration is the minimum as far as the
// objective can tell. A caller's test of the change between iterates
// (CONVERGEPARM=, CONVERGEOBJ=) then judges a step of zero length; the
// built-in test measures the step itself, which standing still would not
// change, and keeps the failure.
bool below_rounding(const ZOPTGLOBAL* g, double slope) {
  return !(2 * std::fabs(slope) > kRoundoff * std::fabs(g->state.prevobj));
}

// The step stands at zero length: back at the start of the iteration with
// its derivatives, for the convergence test to judge.
int stand_still(ZOPTGLOBAL* g) {
  g->state.fullsubiter = 1;
  if (zoptobj(g) != 0) return recover(g);
  return after_step(g);
}

int step_failed(ZOPTGLOBAL* g, double slope) {
  ZOPTSTATE& st = g->state;
  ZOPTMARQU& mq = *st.marqu;
  if (mq.d_reason == 0 && g->funcs.usconv && below_rounding(g, slope)) {
    copy_parms(st.parms, st.pparms, nparms(g));
    return stand_still(g);
  }
  if (g->opts.method == 'G' && mq.d_reason == 0) {
    note_switched_to_marquardt();
    g->opts.method = 'M';
    st.subiters = 0;
    mark_rows_sweepable(mq.singrows, nparms(g));
    if (step_with_retake(g, zoptmq) == 0) return after_step(g);
  }
  copy_parms(st.parms, st.pparms, nparms(g));
  if (mq.d_reason == 1 && add_next_constraint(g)) return constraint_added(g);
  return recover(g);
}

// The inequality outside the working set that holds with equality where
// the step starts and that the whole step would carry furthest across; -1
// when none. Along a linear inequality c(pparms - a delta) = c0 - a (grad c
// . delta): from c0 = 0 every factor a search could try violates it, and
// halving would only shrink the step, a pass over the data each time, to
// the constraint's tolerance.
int blocking_inequality(const ZOPTGLOBAL* g) {
  const ZOPTSTATE& st = g->state;
  const ZOPTMARQU& mq = *st.marqu;
  int worst = -1;
  double lowest = 0;
  for (int i = 0; i < mq.ninequal; ++i) {
    const CONSTRAINT* c = st.conp_i[i];
    const double ceps = tolerance(g, c);
    if (c->act == '1' || c->nc || !(std::fabs(*c->val) <= ceps)) continue;
    double along = 0;
    for (int k = 0; k < c->n; ++k) along += *c->mat[k] * mq.delta[st.pmap[c->cols[k]]];
    const double end = *c->val - along;
    if (end < -ceps && (worst < 0 || end < lowest)) lowest = end, worst = i;
  }
  return worst;
}

// A line-search step that starts on an inequality and heads across it
// stops before its first trial, and the inequality joins the working set;
// false when there is none or it cannot join. The values are taken afresh
// where the step starts.
bool stopped_where_it_starts(ZOPTGLOBAL* g) {
  ZOPTMARQU& mq = *g->state.marqu;
  if (g->opts.method == 'M' || g->lnsrch.maxsubiters <= 0 || mq.nact == mq.ninequal) return false;
  if (zngcon(g) != 0) return false;
  const int blocking = blocking_inequality(g);
  if (blocking < 0) return false;
  mq.next_act = blocking;
  mq.d_reason = 1;
  mq.failed = 1;
  return add_next_constraint(g);
}

int take_step(ZOPTGLOBAL* g) {
  ZOPTSTATE& st = g->state;
  st.subiters = 0;  // the last iteration's count is already in totsubiters
  st.marqu->crossed = 0;
  if (update_objective(g) != 0) return 1;
  st.prevobj = st.objective;
  st.prevnobs = st.nobs;
  st.marqu->prevcon = st.marqu->connorm;
  const Stepper step = g->opts.method == 'M' ? zoptmq : zoptspl;
  const double slope = zinner(st.grad, st.marqu->delta, nparms(g));
  if (stopped_where_it_starts(g)) return constraint_added(g);
  if (step_with_retake(g, step) == 0) return after_step(g);
  return step_failed(g, slope);
}

}  // namespace

namespace {

std::vector<const CONSTRAINT*> working_set(const ZOPTGLOBAL* g) {
  const CONSTRAINT* const* set = g->state.conp;
  return std::vector<const CONSTRAINT*>(set, set + working_constraints(g));
}

// Whether some parameter moved by more than rounding: a step of a last-place
// unit or two is what a step of zero leaves.
bool moved(const std::vector<double>& start, const double* parms) {
  for (std::size_t j = 0; j < start.size(); ++j)
    if (std::fabs(parms[j] - start[j]) > 4 * DBL_EPSILON * std::fabs(start[j]) ||
        (start[j] == 0 && parms[j] != 0))
      return true;
  return false;
}

}  // namespace

int update_p(ZOPTGLOBAL* g) {
  ZOPTSTATE& st = g->state;
  const std::vector<double> start(st.parms, st.parms + nparms(g));
  const std::vector<const CONSTRAINT*> set_before = working_set(g);
  const int rc = take_step(g);
  st.totsubiters += st.subiters;
  if (rc == 0) retrospective_change(g, start.data());
  // The change between iterates tells of the distance to the minimum only
  // when the iteration moved, and moved on the working set it ends with: a
  // bound released or added leaves the step along the new set to be taken.
  st.change_uninformative = !moved(start, st.parms) || working_set(g) != set_before;
  return rc;
}
