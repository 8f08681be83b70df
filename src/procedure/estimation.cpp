// The estimation driver `jovopt`: completes the optimiser run record with
// the procedure's callbacks, runs the optimiser under its recovery point,
// reports why it stopped, writes the final OUTEST row, and hands over to the
// last data pass, the covariance, the convergence status and the results.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "host/missing.h"
#include "host/services.h"
#include "optim/optimiser.h"
#include "procedure/estimation_callbacks.h"
#include "procedure/estimation_parts.h"
#include "procedure/frozen_parameters.h"
#include "procedure/group_name.h"
#include "procedure/iteration_history.h"
#include "procedure/loss_stationarity.h"
#include "procedure/outest_data_set.h"
#include "procedure/recovery.h"
#include "procedure/procedure_context.h"
#include "procedure/step_phases.h"
#include "procedure/stop_offset.h"

namespace {

constexpr int kMsgNoStep = 5, kMsgIterationLimit = 6, kMsgNoDecrease = 9, kMsgNoFeasible = 83;
constexpr int kMsgConverged = 20, kMsgNotConverged = 21;
constexpr int kMsgTooFewObservations = 67;
constexpr int kMsgIterating = 78, kMsgFinal = 74, kMsgFailed = 79;
constexpr double kPenaltyStart = 1.110223024625157e-16;
constexpr double kLargestObjective = 1.3407807929943e154;

bool sse_read_by_program(const RUVACOM* ctx) { return ctx->usse_sym && cmp_referenced(ctx->usse_sym); }

void install_callbacks(RUVACOM* ctx, ZOPTGLOBAL* g) {
  ZOPTFUNC& f = g->funcs;
  f.usobj = jovobj;
  f.usgrd = jovgrd;
  f.ushes = jovhess;
  f.uscon = jovecon;
  f.usjnc = jovgetc;
  if (!ctx->noprint && !ctx->noitprint) f.usfout = jovitp;
  else f.usfout = ctx->outestptr ? jovitd : nullptr;
  f.usnest = sse_read_by_program(ctx) ? jovsse : nullptr;
  f.usconv = ctx->concrit != 'R' ? jovconv : nullptr;
  // The library calls the per-iteration output only while printing is on;
  // the ITER rows of OUTEST= are wanted under NOITPRINT as well.
  if (f.usfout && !g->opts.itprint) g->opts.itprint = 1;
}

// NOHALVE: every step is taken in full. The previous objective that jovobj
// hides is enough for Marquardt steps; a line search compares its trials
// with the objective it took at its start, so it is told to accept its
// first trial instead (a halving search with no sub-iterations).
void take_full_steps_without_halving(const RUVACOM* ctx, ZOPTGLOBAL* g) {
  if (ctx->stephalve || ctx->method == 'R') return;
  g->opts.linesearch = 'H';
  g->lnsrch.maxsubiters = 0;
}

void reset_run_state(RUVACOM* ctx, ZOPTGLOBAL* g) {
  ZOPTMARQU& mq = *g->state.marqu;
  mq.penalty = kPenaltyStart;
  mq.lambda = mq.maxval = mq.user_obj = 0;
  mq.singular = mq.failed = 0;
  g->state.iters = 0;
  g->state.prevnobs = 0;
  g->lnsrch.pdamp = g->lnsrch.damp = 1.0;
  g->lnsrch.subiter = 0;
  g->opts.covariance = 0;
  g->opts.maxiters = ctx->maxiter;
  if (ctx->lossflag) g->opts.aftl = -ctx->epsilon;
  take_full_steps_without_halving(ctx, g);
  // The parameter-change test compares with the start at first.
  std::memcpy(ctx->parmlast, ctx->parm, sizeof(double) * static_cast<std::size_t>(ctx->nparm));
}

// A run that stopped before its first row still shows the state it stopped
// at: one that found no step, with an ITER row of OUTEST=, and one whose
// start is already the answer, as iteration 0 (OUTEST= keeps its rows).
void close_iteration_history(RUVACOM* ctx, ZOPTGLOBAL* g, int rc) {
  if (ctx->noitprint || !ctx->data) return;
  if (g->state.error == s_nodelta) jovitp(g);
  else if (rc == 0 && g->state.iters == 0) add_history_row(ctx);
  close_history(ctx);
  g->opts.output = nullptr;
}

// The optimiser stopped for want of usable observations, which the notes of
// its stop explain cause by cause. Without a feasible start no pass was
// made: the count of usable observations is unknown, not zero.
bool stopped_for_too_few_observations(const RUVACOM* ctx, const ZOPTGLOBAL* g, int rc) {
  return rc != 0 && !ctx->noprint && g->state.error != s_nofeas && g->state.nobs < ctx->nparm;
}

// The reasons the optimiser stopped, as notes.
void report_stop(RUVACOM* ctx, ZOPTGLOBAL* g, int rc) {
  ZOPTSTATE& st = g->state;
  if (ctx->noprint) return;
  if (stopped_for_too_few_observations(ctx, g, rc)) {
    show_note(ctx, yolmsgs(305, kMsgTooFewObservations, st.nobs, ctx->nparm, ""));
    xpmlog(305, kMsgTooFewObservations, st.nobs, ctx->nparm, by_group_phrase(ctx).c_str());
    report_unused_observations(ctx);
  }
  switch (st.error) {
    case s_nodecr:
      st.iters -= 1;
      note(ctx, kMsgNoDecrease);
      break;
    case s_nofeas:
      note(ctx, kMsgNoFeasible);
      break;
    case s_nodelta:
      note(ctx, kMsgNoStep);
      break;
    case s_iterexceed:
      st.iters -= 1;
      note(ctx, kMsgIterationLimit);
      break;
    default:
      break;
  }
}

void report_outcome(RUVACOM* ctx, ZOPTGLOBAL* g, int rc) {
  if (rc == 0) {
    set_outest_type(ctx, "FINAL");
    ctx->iter = special_missing_value();
    set_outest_status(ctx, kMsgFinal);
    write_outest_row(ctx, ctx->lastobsptr);
    xpmlog(305, kMsgConverged, by_group_phrase(ctx).c_str());
    return;
  }
  report_stop(ctx, g, rc);
  if (ctx->save) {
    set_outest_type(ctx, "FINAL");
    ctx->iter = special_missing_value();
  }
  set_outest_status(ctx, kMsgFailed);
  write_outest_row(ctx, ctx->lastobsptr);
  xpmlog(305, kMsgNotConverged, by_group_phrase(ctx).c_str());
  ruva_raise_rc(ctx, 4);
}

// NOHALVE hides the real previous objective from the optimiser; the
// relative change it reports is formed from the one jovobj kept.
void relative_change_without_halving(RUVACOM* ctx, ZOPTGLOBAL* g) {
  if (ctx->stephalve) return;
  ZOPTSTATE& st = g->state;
  st.prevobj = ctx->prevobj;
  st.robj = st.iters >= 2 && std::fabs(st.objective) < kLargestObjective
                ? relative_objective_change(st.objective, st.prevobj)
                : special_missing_value();
}

// NEWTON's convergence measure covers only the parameters its last step
// moved: one the step left out because the Hessian curves down along it
// (not because the data leave it undetermined) was never judged, so the
// fit stopped short of the minimum and has not converged.
bool stopped_short_of_the_minimum(RUVACOM* ctx, ZOPTGLOBAL* g) {
  const std::vector<int> frozen = frozen_parameters(ctx, g->state.marqu->savhes);
  warn_frozen_parameters(ctx, frozen);
  return !frozen.empty();
}

}  // namespace

void note(RUVACOM* ctx, int number) {
  show_note(ctx, yolmsgs(305, number, ""));
  xpmlog(305, number, by_group_phrase(ctx).c_str());
}

void jovopt(RUVACOM* ctx) {
  ZOPTGLOBAL* g = ctx->zoptg;
  // The optimiser's log notes name the group as the procedure's do, for as
  // long as the phrase lives, however this call ends.
  const std::string where = by_group_phrase(ctx);
  g->opts.where = where.c_str();
  struct Forget {
    ZOPTGLOBAL* g;
    ~Forget() { g->opts.where = nullptr; }
  } forget{g};
  set_outest_type(ctx, "ITER");
  install_callbacks(ctx, g);
  reset_run_state(ctx, g);
  if (g->funcs.usnest) ctx->usse = ctx->sse;
  if (!ctx->noitprint) jovprt(kHistoryEstimation, ctx);
  set_outest_status(ctx, kMsgIterating);
  const std::vector<double> start(ctx->parm, ctx->parm + ctx->nparm);
  int rc = zopt_under_recovery(ctx);
  // Bounds that contradict each other stop the run before any objective:
  // the estimates shown are the start.
  const bool no_feasible_start = rc != 0 && g->state.error == s_nofeas;
  if (no_feasible_start) std::copy(start.begin(), start.end(), ctx->parm);
  close_iteration_history(ctx, g, rc);
  // A point where no step reduced the objective has been judged by its
  // offset already.
  const bool at_precision =
      rc != 0 && !no_feasible_start && at_minimum_where_no_step_reduced(ctx, start.data());
  if (at_precision) {
    g->state.iters -= 1;  // as for any stop where no step reduced the objective
    rc = 0;
  }
  const bool stopped_short = rc == 0 && stopped_short_of_the_minimum(ctx, g);
  if (stopped_short || (rc == 0 && !at_precision && stopped_off_the_minimum(ctx, start.data()))) rc = 1;
  report_outcome(ctx, g, rc);
  if (rc == 0) check_loss_stationarity(ctx, g);
  ctx->exerror = rc == 0 ? 1 : 0;
  ctx->do_der = 1;
  const double sse = ctx->sse;
  if (ctx->hougaard) prepare_hougaard(ctx);
  run_last_pass(ctx);
  if (!stopped_for_too_few_observations(ctx, g, rc)) report_uncomputable_observations(ctx);
  // The objective of the summary is the one at the estimates shown.
  if (no_feasible_start) g->state.objective = ctx->sse;
  else ctx->sse = sse;
  form_covariance(ctx, !stopped_short);
  relative_change_without_halving(ctx, g);
  const COV_CHECK_STATUS cs = converge_tab(ctx, rc == 0 ? 1 : 0);
  hand_over_results(ctx, rc, cs);
}
