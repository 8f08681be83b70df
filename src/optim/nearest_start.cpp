// A start outside linear constraints moved to the nearest point that
// satisfies them all, found exactly (optim/nearest_feasible.h): for the
// start-up of a run (`start_from_nearest_point`) and for a caller that
// wants the point before any run (`zoptnear`).
#include <vector>

#include "optim/nearest_feasible.h"
#include "optim/optimiser_internal.h"

namespace {

using namespace optim;

// Every declared constraint, equalities first, as a linear set at the
// current parameters; false when a coefficient is missing or not finite.
bool linear_set(ZOPTGLOBAL* g, LinearSet* set, std::vector<CONSTRAINT*>* order) {
  const ZOPTSTATE& st = g->state;
  const ZOPTMARQU& mq = *st.marqu;
  set->n = nparms(g);
  for (int j = 0; j < mq.perm; ++j) order->push_back(st.conp[j]);
  for (int i = 0; i < mq.ninequal; ++i) order->push_back(st.conp_i[i]);
  set->rows.assign(order->size() * static_cast<std::size_t>(set->n), 0.0);
  for (std::size_t k = 0; k < order->size(); ++k) {
    const CONSTRAINT* c = (*order)[k];
    if (!fill_row(g, c, set->rows.data() + k * static_cast<std::size_t>(set->n))) return false;
    set->values.push_back(*c->val);
    set->tolerances.push_back(tolerance(g, c));
    set->equality.push_back(k < static_cast<std::size_t>(mq.perm));
  }
  return true;
}

// Moves the parameters to the nearest point of the constraints, each read
// as linear from its value and coefficients at the parameters; the
// inequalities holding there with multipliers in force go to `holding`.
Nearest move_to_nearest(ZOPTGLOBAL* g, std::vector<CONSTRAINT*>* holding) {
  if (g->state.marqu->ruvacon != 0 || zngcon(g) != 0) return Nearest::kUndecided;
  if (g->funcs.usjnc && g->funcs.usjnc(g) != 0) return Nearest::kUndecided;
  LinearSet set;
  std::vector<CONSTRAINT*> order;
  if (!linear_set(g, &set, &order)) return Nearest::kUndecided;
  std::vector<double> move;
  std::vector<int> active;
  const Nearest found = nearest_feasible(set, &move, &active);
  if (found != Nearest::kFound) return found;
  for (int j = 0; j < set.n; ++j) g->state.parms[j] += move[j];
  for (int k : active)
    if (!set.equality[k]) holding->push_back(order[k]);
  return found;
}

}  // namespace

namespace optim {

bool start_from_nearest_point(ZOPTGLOBAL* g) {
  std::vector<CONSTRAINT*> holding;
  if (move_to_nearest(g, &holding) != Nearest::kFound) return false;
  for (CONSTRAINT* c : holding) join_working_set(g, c);
  mark_rows_independent(g, working_constraints(g));
  return true;
}

}  // namespace optim

int zoptnear(ZOPTGLOBAL* g) {
  std::vector<CONSTRAINT*> holding;
  switch (move_to_nearest(g, &holding)) {
    case Nearest::kFound: return 0;
    case Nearest::kNone: return 1;
    default: return 2;
  }
}
