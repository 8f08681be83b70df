// One iteration's step (`update_p`): the Marquardt or line-search step from
// the start of the iteration, the refresh of derivatives at the new point,
// the working-set changes a constraint asks for, and the recovery when no
// step succeeds.
#include <cmath>

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

int after_step(ZOPTGLOBAL* g) {
  ZOPTMARQU& mq = *g->state.marqu;
  if (mq.added_bound) {
    mq.added_bound = 0;
    for (int j = mq.perm; j < mq.perm + mq.nact; ++j)
      if (std::fabs(g->state.con[j]) > g->opts.ceps) mq.added_bound = 1;
  }
  if (mq.d_reason == 0) {
    if (mq.nact > 0) zndelac(g);
    return 0;
  }
  return add_next_constraint(g) ? constraint_added(g) : 0;
}

int step_failed(ZOPTGLOBAL* g) {
  ZOPTSTATE& st = g->state;
  ZOPTMARQU& mq = *st.marqu;
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

int take_step(ZOPTGLOBAL* g) {
  ZOPTSTATE& st = g->state;
  st.subiters = 0;  // the last iteration's count is already in totsubiters
  if (update_objective(g) != 0) return 1;
  st.prevobj = st.objective;
  st.prevnobs = st.nobs;
  st.marqu->prevcon = st.marqu->connorm;
  const Stepper step = g->opts.method == 'M' ? zoptmq : zoptspl;
  if (step_with_retake(g, step) == 0) return after_step(g);
  return step_failed(g);
}

}  // namespace

int update_p(ZOPTGLOBAL* g) {
  const int rc = take_step(g);
  g->state.totsubiters += g->state.subiters;
  return rc;
}
