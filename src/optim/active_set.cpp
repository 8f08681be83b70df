// The active set: evaluating the constraints (`zngcon`), building and
// factoring the matrix of working constraint gradients (`zncmat`), and
// adding (`znaddac`) and dropping (`zndelac`) inequalities. The working
// list `state.conp` holds the equalities first, then the active
// inequalities in the order they joined.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "linalg/packed.h"
#include "linalg/vector_kernels.h"
#include "optim/lq.h"
#include "optim/optimiser_internal.h"

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
    if (c->act == '1' || !(v < -tolerance(g, c))) continue;
    mq.boundv = 1;
    c->act = 'v';
    if (v < lowest) {
      lowest = v;
      worst = i;
    }
  }
  return worst;
}

// The largest term of a linear constraint's value a'x + b at the current
// parameters, b included: the scale its value is computed to. A nonlinear
// constraint, or one whose terms are not finite, keeps the absolute
// tolerance.
double constraint_size(const ZOPTGLOBAL* g, const CONSTRAINT* c) {
  if (c->nc) return 1;
  double linear = 0, largest = 0;
  for (int k = 0; k < c->n; ++k) {
    const double term = *c->mat[k] * g->state.parms[g->state.pmap[c->cols[k]]];
    linear += term;
    largest = std::max(largest, std::fabs(term));
  }
  const double size = std::max(largest, std::fabs(*c->val - linear));
  return std::isfinite(size) ? size : 1;
}

void measure_sizes(ZOPTGLOBAL* g) {
  const ZOPTMARQU& mq = *g->state.marqu;
  for (int j = 0; j < mq.perm; ++j) g->state.conp[j]->size = constraint_size(g, g->state.conp[j]);
  for (int i = 0; i < mq.ninequal; ++i)
    g->state.conp_i[i]->size = constraint_size(g, g->state.conp_i[i]);
}

// The derivatives at the current point, and the factors and multipliers there.
void refresh_at_point(ZOPTGLOBAL* g) {
  znches(g);
  g->funcs.usgrd(g);
  zoptlag(g);
  zncmat(g);
}

// Whether the addition should wait: while the steps still make progress
// towards the constraint, or the step control is still cautious.
bool postpone_addition(ZOPTGLOBAL* g) {
  const ZOPTMARQU& mq = *g->state.marqu;
  if (g->lnsrch.maxsubiters <= 0) return false;
  if (mq.failed == 0 && rel_changep(g) > 0.001) return true;
  if (g->opts.method == 'M' && mq.lambda < 1.0) return true;
  return g->opts.method == 'G' && g->lnsrch.damp > 0.001;
}

// The disagreement of the two estimates over the active inequalities; 0
// near convergence.
double disagreement(const ZOPTGLOBAL* g) {
  const ZOPTSTATE& st = g->state;
  const ZOPTMARQU& mq = *st.marqu;
  if ((!wzmis(st.r) && st.r < g->opts.atol) || negligible_objective(g, st.pr)) return 0;
  double sum = 0;
  for (int j = mq.perm; j < working_constraints(g); ++j) {
    const double first = mq.lagrange[j];
    if (first != 0)
      sum += std::fabs(std::fabs(first) - std::fabs(mq.nlagr[j])) / (std::fabs(first) + 1e-9);
  }
  return sum;
}

// The size of the gradient each multiplier estimate is formed from, which
// sets its rounding: g for the first, g - pdamp H delta (the gradient
// predicted at the end of the last step) for the second, whose rounding
// follows |g| + pdamp |H||delta| even where the two nearly cancel.
struct GradientScales {
  double first, second;
};

GradientScales gradient_scales(const ZOPTGLOBAL* g) {
  const ZOPTMARQU& mq = *g->state.marqu;
  const int n = nparms(g);
  double squares = 0;
  for (int i = 0; i < n; ++i) {
    double row = 0;
    for (int k = 0; k < n; ++k) row += std::fabs(mq.savhes[zisub(i, k)] * mq.delta[k]);
    squares += row * row;
  }
  const double size_g = zvenorm(n, 1, g->state.grad);
  return {size_g, size_g + std::fabs(g->lnsrch.pdamp) * std::sqrt(squares)};
}

// A multiplier estimate as far as rounding lets it be told from zero: 0
// when its share of the gradient, |lambda| |a_j|, is within the gradient's
// rounding, n eps times its size. A bound on a direction the objective
// does not depend on (a <= b where only a + b enters the model) has a
// multiplier of exactly 0, which the factors deliver as +-1e-18 or so;
// read as negative it would release the bound, and the next step would
// run along the direction it held.
double beyond_rounding(const ZOPTGLOBAL* g, int j, double estimate, double gradient_size) {
  const int n = nparms(g);
  const double share = std::fabs(estimate) * zvenorm(n, 1, g->state.marqu->mat[j]);
  return share > n * kRoundoff * gradient_size ? estimate : 0.0;
}

// The active inequality with the most negative estimate among those whose
// other estimate is negative too (the later one on ties); -1 when none.
// A row that would qualify and holds a direction the data leave
// undetermined is judged by its multiplier along that direction, for both
// estimates (the step's curvature there is nil, so the gradient predicted
// after it has the same slope).
int drop_candidate(ZOPTGLOBAL* g) {
  const ZOPTMARQU& mq = *g->state.marqu;
  const GradientScales scales = gradient_scales(g);
  double lowest = 0;
  int chosen = -1;
  for (int j = mq.perm; j < working_constraints(g); ++j) {
    double first = beyond_rounding(g, j, mq.lagrange[j], scales.first);
    double second = beyond_rounding(g, j, mq.nlagr[j], scales.second);
    double held = 0;
    if (std::min(first, second) < 0 && std::max(first, second) <= 0 &&
        multiplier_along_held_direction(g, j, &held))
      first = second = held;
    if (second <= lowest && first < 0) lowest = second, chosen = j;
    if (first <= lowest && second < 0) lowest = first, chosen = j;
  }
  return chosen;
}

// After an evaluation: whether it failed or ended above the start of the
// iteration.
bool worse_than_start(ZOPTGLOBAL* g) {
  const ZOPTSTATE& st = g->state;
  return g->state.marqu->failed || st.nobs < st.prevnobs || st.objective > st.prevobj;
}

// Evaluates the objective at the parameters put on the working set.
void evaluate_on_working_set(ZOPTGLOBAL* g) {
  put_on_working_set(g);
  g->state.marqu->failed = evaluate_subiteration(g) != 0;
}

// The change of a linear constraint's value from one point to another.
double linear_change(const ZOPTGLOBAL* g, const CONSTRAINT* c, const double* from, const double* to) {
  double sum = 0;
  for (int k = 0; k < c->n; ++k) {
    const int j = g->state.pmap[c->cols[k]];
    sum += *c->mat[k] * (to[j] - from[j]);
  }
  return sum;
}

// To where the path of the step, from its start to its trial that crossed
// the constraint, meets the constraint; false when the step made no such
// trial. The step descends from its start.
bool to_where_the_step_crossed(ZOPTGLOBAL* g, const CONSTRAINT* c) {
  ZOPTSTATE& st = g->state;
  const ZOPTMARQU& mq = *st.marqu;
  if (!mq.crossed || c->nc) return false;
  const double at_start = *c->val + linear_change(g, c, st.parms, st.pparms);
  const double at_trial = *c->val + linear_change(g, c, st.parms, mq.crossing);
  if (!(at_trial < 0 && at_start > at_trial)) return false;
  const double s = std::max(at_start, 0.0) / (at_start - at_trial);
  for (int j = 0; j < nparms(g); ++j) st.parms[j] = st.pparms[j] + s * (mq.crossing[j] - st.pparms[j]);
  evaluate_on_working_set(g);
  return true;
}

// From the nearest point of the working set with the constraint (the
// point `at` put on it), one step of the iteration's own kind along it,
// which must end below the start of the iteration; false when it does not.
// Where the data leave directions undetermined (a + b + c + d alone enters
// the model) the step that ran into the bound moves along them without
// limit, while along the bound the step is determined.
bool step_along_from_nearest_point(ZOPTGLOBAL* g, const std::vector<double>& at) {
  ZOPTSTATE& st = g->state;
  ZOPTMARQU& mq = *st.marqu;
  copy_parms(st.parms, at.data(), nparms(g));
  evaluate_on_working_set(g);
  if (mq.failed || update_ders(g) != 0 || next_step(g) != 0) return false;
  // The step control starts afresh on the new working set, as after any
  // addition; a step that fails leaves it as the iteration's own step did.
  const double lambda = mq.lambda, damp = g->lnsrch.damp, pdamp = g->lnsrch.pdamp;
  mq.lambda = 1;
  g->lnsrch.damp = g->lnsrch.pdamp = 1;
  const int subiters = st.subiters;
  st.objective = st.prevobj;  // the search's reference: the start of the iteration
  const bool stepped = (g->opts.method == 'M' ? zoptmq(g) : zoptspl(g)) == 0 && !worse_than_start(g);
  st.subiters += subiters;
  if (!stepped) mq.lambda = lambda, g->lnsrch.damp = damp, g->lnsrch.pdamp = pdamp;
  return stepped;
}

int working_position(const ZOPTGLOBAL* g, const CONSTRAINT* c) {
  int j = working_constraints(g) - 1;
  while (j > 0 && g->state.conp[j] != c) --j;
  return j;
}

}  // namespace

namespace optim {

bool fill_row(ZOPTGLOBAL* g, const CONSTRAINT* c, double* row) {
  for (int k = 0; k < c->n; ++k) {
    const double v = *c->mat[k];
    if (!std::isfinite(v)) return false;
    row[g->state.pmap[c->cols[k]]] += v;
  }
  return true;
}

bool join_working_set(ZOPTGLOBAL* g, CONSTRAINT* c) {
  ZOPTSTATE& st = g->state;
  ZOPTMARQU& mq = *st.marqu;
  const int at = working_constraints(g);
  if (c->act == '1' || at >= st.max_conp) return false;
  c->act = '1';
  st.conp[at] = c;
  mq.nact += 1;
  mq.factored = 0;
  return true;
}

void leave_working_set(ZOPTGLOBAL* g, int position) {
  ZOPTSTATE& st = g->state;
  ZOPTMARQU& mq = *st.marqu;
  const int count = working_constraints(g);
  st.conp[position]->act = '0';
  for (int k = position; k + 1 < count; ++k) {
    st.conp[k] = st.conp[k + 1];
    st.con[k] = st.con[k + 1];
  }
  mq.nact -= 1;
  mq.factored = 0;
}

void mark_rows_independent(ZOPTGLOBAL* g, int count) {
  char* flags = g->state.marqu->singrowsc;
  if (flags && count > 0) std::memset(flags, '1', static_cast<std::size_t>(count));
}

void join_violated(ZOPTGLOBAL* g) {
  ZOPTMARQU& mq = *g->state.marqu;
  for (int i = 0; i < mq.ninequal; ++i)
    if (g->state.conp_i[i]->act == 'v') join_working_set(g, g->state.conp_i[i]);
  mark_rows_independent(g, working_constraints(g));
}

void join_binding_inequalities(ZOPTGLOBAL* g) {
  const ZOPTMARQU& mq = *g->state.marqu;
  if (mq.ninequal == 0 || zngcon(g) != 0) return;
  const int before = working_constraints(g);
  for (int i = 0; i < mq.ninequal; ++i) {
    CONSTRAINT* c = g->state.conp_i[i];
    if (c->act != '1' && std::fabs(*c->val) <= tolerance(g, c)) join_working_set(g, c);
  }
  if (working_constraints(g) == before) return;
  zncmat(g);
  // A row the working rows already span holds nothing more.
  bool left = false;
  for (int j = working_constraints(g) - 1; j >= before; --j)
    if (mq.singrowsc[j] == '0') leave_working_set(g, j), left = true;
  if (left) zncmat(g);
  // Nor does one that a release would let go: moving into it lowers the
  // objective. A NEWTON step leaves out a parameter along which the
  // Hessian curves down, so its iterations can stop on such a bound, and
  // held there the parameter would pass for fixed by it.
  zoptlg2(g);
  for (int j; (j = drop_candidate(g)) >= before;) {
    leave_working_set(g, j);
    zncmat(g);
    zoptlg2(g);
  }
}

double scaled_working_norm(const ZOPTGLOBAL* g, int p) {
  double sum = 0;
  for (int j = 0; j < working_constraints(g); ++j) {
    const double value = std::fabs(g->state.con[j]);
    if (value == 0) continue;
    const double scaled = value / std::min(g->state.conp[j]->size, 1.0);
    sum += p == 1 ? scaled : scaled * scaled;
  }
  return p == 1 ? sum : std::sqrt(sum);
}

}  // namespace optim

int zngcon(ZOPTGLOBAL* g) {
  if (!g->funcs.uscon) return 0;
  const int rc = g->funcs.uscon(g);
  if (rc != 0) return rc;
  measure_sizes(g);
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
  ZOPTSTATE& st = g->state;
  ZOPTMARQU& mq = *st.marqu;
  const int n = nparms(g);
  const int m = working_constraints(g);
  mq.inumconstr = 0;
  if (!g->funcs.usjnc || m == 0) return 0;
  const int rc = g->funcs.usjnc(g);
  if (rc != 0) return rc;
  std::fill_n(mq.mat[0], static_cast<long>(m) * n, 0.0);
  for (int j = 0; j < m; ++j) {
    if (!fill_row(g, st.conp[j], mq.mat[j])) return 1;
    std::copy_n(mq.mat[j], n, mq.fmat[j]);
  }
  std::memset(g->mem.wrk2, 0, static_cast<std::size_t>(g->mem.siz2));
  znlqfct(m, n, mq.fmat, g->mem.wrk2, g->mem.wrk2 + m, mq.q, mq.beta, mq.singrowsc, g->opts.sing);
  mq.factored = 1;
  mq.inumconstr = lq_rank(m, mq.singrowsc);
  zoptlag(g);
  return 0;
}

double rel_changep(ZOPTGLOBAL* g) {
  const ZOPTSTATE& st = g->state;
  const int n = nparms(g);
  double* change = g->mem.wrk3;
  for (int i = 0; i < n; ++i) change[i] = st.parms[i] - st.pparms[i];
  const double floor = 0.001 * zvenorm(n, 1, st.parms);
  double sum = 0;
  for (int i = 0; i < n; ++i)
    if (std::fabs(st.parms[i]) > floor && std::fabs(change[i]) >= kTinyNormal)
      sum += std::fabs(change[i] / st.parms[i]);
  return sum / n;
}

void znaddac(int cstr, ZOPTGLOBAL* g) {
  ZOPTSTATE& st = g->state;
  ZOPTMARQU& mq = *st.marqu;
  const int n = nparms(g);
  if (postpone_addition(g) || cstr < 0 || cstr >= mq.ninequal || zngcon(g) != 0) return;
  CONSTRAINT* c = st.conp_i[cstr];
  // Within its tolerance the inequality holds already: putting the point
  // on it corrects rounding, whatever that does to the objective.
  const bool holds = std::fabs(*c->val) <= tolerance(g, c);
  const int added_before = mq.added_bound;
  if (!join_working_set(g, c)) return;
  mq.added_bound = 1;
  const std::vector<double> reached(st.parms, st.parms + n);
  // Onto the working constraints, then judge the point reached. The
  // constraint holds only where it is met: at its nearest point, where
  // the step's path meets it, or after a step along it, whichever first
  // improves on the start of the iteration.
  zncmat(g);
  mq.fesflag = 1;
  feasable(g);
  evaluate_on_working_set(g);
  if (g->lnsrch.maxsubiters > 0 && !holds && worse_than_start(g) &&
      (c->nc || !(to_where_the_step_crossed(g, c) && !worse_than_start(g))) &&
      (c->nc || !step_along_from_nearest_point(g, reached))) {
    copy_parms(st.parms, reached.data(), n);
    if (!c->nc) {
      leave_working_set(g, working_position(g, c));
      mq.added_bound = added_before;
    }
    mq.failed = evaluate_subiteration(g) != 0;
  }
  refresh_at_point(g);
  if (mq.ruvacon) {
    save_hessian(g);
    zoptlg2(g);
  }
  if (st.nobs < n) mq.failed = 1;
  // Whether the constraint really holds the objective back is decided by
  // zndelac after the next step along it, from both multiplier estimates.
}

void zndelac(ZOPTGLOBAL* g) {
  zoptlag(g);
  zoptlg2(g);
  if (disagreement(g) > g->opts.rel_lagr) return;
  const int chosen = drop_candidate(g);
  if (chosen < 0) return;
  leave_working_set(g, chosen);
  zncmat(g);
  g->state.marqu->fesflag = 1;
}
