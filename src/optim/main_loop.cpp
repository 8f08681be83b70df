// The optimiser's main loop: feasibility, first objective and first step,
// then per iteration the step with its sub-iterations, the refresh of
// derivatives, the next step, output and the convergence test.
#include <cmath>

#include "optim/optimiser_internal.h"
#include "optim/optimiser_output.h"

namespace optim {

void reset_transient_state(ZOPTGLOBAL* g) {
  ZOPTSTATE& st = g->state;
  ZOPTMARQU& mq = *st.marqu;
  st.ridge = st.doingsubit = 0;
  st.subiters = st.totsubiters = 0;
  st.fullsubiter = 1;
  st.r = st.robj = st.ppc = st.rpc = missing_value();
  st.theta = st.phi = missing_value();
  st.kt = 0;
  st.change_uninformative = 0;
  st.worstp = st.worstr = -1;
  st.rankxpx = 0;
  mq.ridgeflag = mq.boundv = mq.d_reason = mq.added_bound = mq.next_act = 0;
  mq.failed = mq.singular = mq.crossed = mq.dependent_noted = 0;
  mq.connorm = mq.prevcon = 0;
  LINESRCH& ls = g->lnsrch;
  ls.oldobj = ls.currobj = 0;
  ls.subiter = 0;
  ls.objfunc = objective;
  ls.subpfunc = nullptr;
  ls.user_ptr = g;
  ls.gradient = st.grad;
  ls.linesearch = g->opts.linesearch;
  close_group(g);  // left open by a run that was abandoned
}

}  // namespace optim

namespace {

using namespace optim;

// Output after a step: the caller's row, then the end of the iteration's group.
void iteration_output(ZOPTGLOBAL* g) {
  if (g->opts.itprint && g->funcs.usfout) g->funcs.usfout(g);
  if (g->opts.itprint > 1) close_group(g);
}

void refresh_after_nest(ZOPTGLOBAL* g) {
  g->funcs.usnest(g);
  g->state.marqu->user_obj = g->state.objective;
  update_ders(g);
}

// The first objective and the first step; nonzero ends the run with the
// result given in *rc.
bool start_run(ZOPTGLOBAL* g, int* rc) {
  ZOPTSTATE& st = g->state;
  st.error = s_ok;
  if (!zoptfes(g)) {
    st.error = s_nofeas;
    *rc = 1;
    return false;
  }
  st.marqu->d_reason = 0;  // it tells of the iterations' steps, not the feasibility phase's
  if (g->opts.itprint > 1) open_iteration_group(g, 0);
  st.totsubiters = st.subiters = 0;
  st.fullsubiter = 1;
  st.robj = st.ppc = st.rpc = missing_value();
  if ((*rc = zoptobj(g)) != 0) {
    st.error = s_noobject;
    return false;
  }
  st.marqu->lambda = kLambdaStart;
  g->lnsrch.damp = g->lnsrch.pdamp = 1;
  if (next_step(g) != 0) {
    *rc = converged(g) && !g->funcs.usnest ? 0 : 1;
    if (*rc) st.error = s_nodelta;
    return false;
  }
  iteration_output(g);
  return true;
}

// The iterations until convergence or the limit; nonzero is a failure with
// state.error set.
int iterate(ZOPTGLOBAL* g) {
  ZOPTSTATE& st = g->state;
  bool refreshed = false;
  st.iters += 1;
  bool done = converged(g) || st.iters > g->opts.maxiters;
  while (!done) {
    if (g->opts.itprint > 1) open_iteration_group(g, st.iters);
    if (update_p(g) != 0) {
      st.error = s_nodecr;
      return 1;
    }
    if (g->funcs.usnest) {
      refresh_after_nest(g);
      refreshed = true;
    }
    if (next_step(g) != 0 && !converged(g)) {
      st.error = s_nodelta;
      return 1;
    }
    iteration_output(g);
    st.iters += 1;
    done = converged(g) || st.iters > g->opts.maxiters;
  }
  // A caller's after-step hook runs at least once, even without iterations.
  if (!refreshed && g->funcs.usnest) {
    refresh_after_nest(g);
    next_step(g);
  }
  return 0;
}

// The working list stays after a run for the caller's covariance and
// tables, but its inequalities lose the flag that exempts them from the
// violation test: a later evaluation outside a run (the next BY group's
// grid search) must check every inequality. Also when a callback abandons
// the run.
class WorkingFlagsRelease {
 public:
  explicit WorkingFlagsRelease(ZOPTGLOBAL* g) : g_(g) {}
  WorkingFlagsRelease(const WorkingFlagsRelease&) = delete;
  WorkingFlagsRelease& operator=(const WorkingFlagsRelease&) = delete;
  ~WorkingFlagsRelease() {
    const ZOPTMARQU& mq = *g_->state.marqu;
    for (int i = 0; i < mq.ninequal; ++i) g_->state.conp_i[i]->act = '0';
  }

 private:
  ZOPTGLOBAL* g_;
};

}  // namespace

int zopt(ZOPTGLOBAL* g) {
  if (!g) return 1;
  // A record that was never set up, or has no objective or gradient.
  if (!g->state.marqu || !g->state.hes || !g->funcs.usobj || !g->funcs.usgrd) {
    g->state.error = s_noobject;
    return 1;
  }
  reset_transient_state(g);
  const WorkingFlagsRelease release(g);
  int rc = 0;
  if (!start_run(g, &rc)) {
    close_group(g);
    if (rc == 0) join_binding_inequalities(g);
    return rc;
  }
  if (iterate(g) != 0) {
    close_group(g);
    return 1;
  }
  if (g->state.iters > g->opts.maxiters) {
    g->state.error = s_iterexceed;
    return 1;
  }
  join_binding_inequalities(g);
  return 0;
}

double relative_objective_change(double after, double before) {
  const double change = std::fabs(after - before);
  if (change == 0) return 0.0;
  const double relative = change / std::fabs(before);
  return std::isfinite(relative) ? relative : missing_value();
}

namespace {

using namespace optim;

// At a point the test accepts, an active inequality whose multipliers say
// that moving off it lowers the objective leaves the working set, and the
// step along the directions it frees is taken before the fit may end. True
// when one left.
bool released_at_candidate(ZOPTGLOBAL* g) {
  ZOPTMARQU& mq = *g->state.marqu;
  if (mq.nact == 0) return false;
  const int before = mq.nact;
  zndelac(g);
  if (mq.nact >= before) return false;
  restore_hessian(g);
  next_step(g);
  return true;
}

// The built-in test: the relative offset R of the step along the working
// constraints below `atol` (a point off a curved working constraint is no
// candidate however small R is), or a negligible objective.
bool offset_converged(ZOPTGLOBAL* g, double atol) {
  const ZOPTSTATE& st = g->state;
  const bool small = (!wzmis(st.r) && st.r < atol) || (negligible_objective(g, st.pr) && st.nobs > 0);
  return small && stays_on_working_set(g) != 0;
}

// A caller's test judges the change between iterates (CONVERGEPARM=,
// CONVERGEOBJ=). After a step that a constraint stopped, by halving to its
// edge or before any trial, that change measures the constraint, not the
// distance to the minimum: the step along the new working set is still to
// be taken. The caller lowers the iteration count when it accepts; a
// release undoes that.
bool callers_test_converged(ZOPTGLOBAL* g) {
  ZOPTSTATE& st = g->state;
  if (st.marqu->d_reason != 0) return false;
  const int iters = st.iters;
  if (!g->funcs.usconv(g)) return false;
  if (!released_at_candidate(g)) return true;
  st.iters = iters;
  return false;
}

}  // namespace

int converged(ZOPTGLOBAL* g) {
  ZOPTSTATE& st = g->state;
  ZOPTMARQU& mq = *st.marqu;
  // An iteration that left every parameter where it was, or that ended on
  // another working set, says nothing by its change between iterates of
  // the distance to the minimum: the point itself is judged, by its
  // relative offset against the caller's tolerance for R (offset_atol),
  // not against the criterion of its test, which bounds a change.
  const bool callers = g->funcs.usconv && !st.change_uninformative;
  const double atol =
      g->funcs.usconv && g->opts.offset_atol > 0 ? g->opts.offset_atol : g->opts.atol;
  const int iters = st.iters;
  const bool done = callers ? callers_test_converged(g) : offset_converged(g, atol);
  st.robj = iters >= 2 && std::fabs(st.objective) < kBig
                ? relative_objective_change(st.objective, st.prevobj)
                : missing_value();
  st.kt = mq.nact == 0 ? 0 : kuhn_tucker(g);
  if (done && !callers && st.iters != 0) st.iters -= 1;
  return done;
}

int passes_offset_test(ZOPTGLOBAL* g, double atol) {
  return offset_converged(g, atol) ? 1 : 0;
}

int stays_on_working_set(ZOPTGLOBAL* g) {
  return !(scaled_working_norm(g, 2) > g->opts.ceps) && !released_at_candidate(g) ? 1 : 0;
}
