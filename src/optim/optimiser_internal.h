// Helpers and limits shared by the files of the optimisation library.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstring>

#include "host/missing.h"
#include "linalg/constants.h"
#include "optim/optimiser.h"

namespace optim {

// The optimiser's message set.
inline constexpr int kMessageSet = 235;

inline constexpr double kRoundoff = linalg::kRoundoff;    // 1.110223024625157e-16
inline constexpr double kTinyNormal = linalg::kTinyNormal;  // 2.225073858507202e-308
inline constexpr double kSqrtTiny = linalg::kSqrtTiny;    // 1.491668147e-154
inline constexpr double kBig = linalg::kSqrtHuge;         // 1.3407807929943e154
inline constexpr double kHuge = linalg::kHuge;            // the largest double
// The largest step component accepted (a little below kBig / 100).
inline constexpr double kMaxStep = 1.3407807929942597e152;
// Half the largest double: a diagonal above it / (1 + lambda) would overflow when ridged.
inline constexpr double kHalfHuge = 8.988465674311578e307;
// Marquardt lambda: start and floor, the plain-step threshold, the limits.
inline constexpr double kLambdaStart = 1e-7;
inline constexpr double kLambdaPlainStep = 1e-6;
inline constexpr double kLambdaReset = 1e8;
inline constexpr double kLambdaMax = 1e25;
// Penalty weight bounds of the working constraints.
inline constexpr double kPenaltyMax = 9007199254740988.0;

inline int nparms(const ZOPTGLOBAL* g) { return g->opts.num_parms; }
// The zero-objective test, on the objective or on pr: a fit this close to
// perfect is done whatever R says.
inline bool negligible_objective(const ZOPTGLOBAL* g, double value) {
  return value < g->opts.aftl * g->state.objscale;
}
inline int working_constraints(const ZOPTGLOBAL* g) {
  return g->state.marqu->perm + g->state.marqu->nact;
}
// Element (n, n) of the bordered Hessian: the objective corner.
inline long corner(int n) { return static_cast<long>(n) * (n + 1) / 2 + n; }
// The start of border row n.
inline long border_row(int n) { return static_cast<long>(n) * (n + 1) / 2; }

inline void save_hessian(ZOPTGLOBAL* g) {
  std::memcpy(g->state.marqu->savhes, g->state.hes, static_cast<std::size_t>(g->mem.hesl));
}
inline void restore_hessian(ZOPTGLOBAL* g) {
  std::memcpy(g->state.hes, g->state.marqu->savhes, static_cast<std::size_t>(g->mem.hesl));
}
// parms = pparms - factor * delta over the n parameters.
inline void step_from_start(ZOPTGLOBAL* g, double factor) {
  const double* delta = g->state.marqu->delta;
  for (int i = 0; i < nparms(g); ++i)
    g->state.parms[i] = g->state.pparms[i] - factor * delta[i];
}
inline void copy_parms(double* to, const double* from, int n) {
  if (n > 0) std::memcpy(to, from, sizeof(double) * static_cast<std::size_t>(n));
}
inline void mark_rows_sweepable(char* flags, int count) {
  if (flags && count > 0) std::memset(flags, '1', static_cast<std::size_t>(count));
}

// A non-finite objective that is not a missing value compares false with
// everything and would be taken as a point to keep; it counts as a failed
// evaluation instead.
inline bool objective_unusable(double value) { return !std::isfinite(value) && !wzmis(value); }

// A constraint value within its tolerance of zero: ceps, and no more than
// ceps relative to the constraint's size, so that a bound on parameters of
// a small scale holds, and is judged active, as it would at unit scale.
inline double tolerance(const ZOPTGLOBAL* g, const CONSTRAINT* c) {
  return g->opts.ceps * std::min(c->size, 1.0);
}
// The working constraint values, each over its tolerance's scale min(size,
// 1), in the 1-norm (p = 1) or the 2-norm (p = 2); infinite for a nonzero
// value of a constraint of size 0. At sizes of 1 and more these are the
// values' own norms, compared with ceps.
double scaled_working_norm(const ZOPTGLOBAL* g, int p);

// A start that violates inequalities moved to the nearest point that
// satisfies every constraint, each read as linear from its value and
// coefficients at the start; the inequalities holding there with their
// multipliers in force join the working set. False, with the parameters
// where they were, when a constraint has a nonlinear part or cannot be
// evaluated, the constraints contradict each other, or the method did not
// finish.
bool start_from_nearest_point(ZOPTGLOBAL* g);

// Adds a constraint's current coefficients into its row (n entries, in the
// order of state.pmap); false when one is missing or not finite. Repeated
// columns add up.
bool fill_row(ZOPTGLOBAL* g, const CONSTRAINT* c, double* row);

// The working list of the active set: an inequality joins at its
// end (false when it is working already or the list is full); the entry at
// a position leaves, the later entries and their values moving down. Both
// mark the factors stale.
bool join_working_set(ZOPTGLOBAL* g, CONSTRAINT* c);
void leave_working_set(ZOPTGLOBAL* g, int position);
// Every inequality violated at the last evaluation joins; the new rows are
// taken as independent until the factorisation says otherwise.
void join_violated(ZOPTGLOBAL* g);
// Marks the first `count` working rows independent.
void mark_rows_independent(ZOPTGLOBAL* g, int count);
// At the solution every inequality that holds there with equality joins,
// factors and multipliers following: minimum-norm steps along a direction
// the data leave undetermined can end on a bound between two parameters
// (a <= b at a = b) that no step ever crossed, and it holds that direction.
void join_binding_inequalities(ZOPTGLOBAL* g);

// Adds A'RA to the parameter block of the packed k, which holds H there:
// R = diag(rho_r) over the working rows the factorisation found
// independent, rho_r the row's curvature (the saved Hessian's diagonal
// along it), 0 for a dependent row; rho takes the weights. H + A'RA is
// singular on exactly what the data leave undetermined among the
// directions the working constraints leave free. `scale` multiplies R.
void penalise_working_rows(ZOPTGLOBAL* g, double* k, double* rho, double scale = 1);
// Adds A'RA over every working row but `skip` (-1: every one), the rows
// the factorisation found dependent included: they change no null
// direction of H + A'RA, and without the skipped row one may hold what it
// held.
void penalise_rows_except(const ZOPTGLOBAL* g, double* k, int skip);
// Whether working row r holds a direction the data leave undetermined
// among those the other working rows leave free (H + A'RA has more null
// directions without the row, as the sweep decides them); if so, its
// multiplier: the objective's slope along the row's part in those
// directions, per unit of the row's value, 0 within rounding. The
// least-squares estimates are no measure of it.
bool multiplier_along_held_direction(ZOPTGLOBAL* g, int r, double* multiplier);

// Moves the parameters exactly onto the linear working constraints, by the
// least change that zeroes their values: the correction the feasibility
// phase searches along, taken whole and whatever the values' size. A bound
// that the parameters reach is held with equality, not within its
// tolerance. Nothing moves under a constraint with a nonlinear part.
void put_on_working_set(ZOPTGLOBAL* g);

// Sets the entries of x (n) that working rows of one or two parameters
// fix so that those rows, coefficients times x, equal b (one entry per
// working row) exactly: a row of one parameter sets it, a row of two the
// one not yet set from the other, along chains of such rows (from a
// chain's first parameter where no row of one parameter anchors it).
void settle_working_rows(const ZOPTGLOBAL* g, double* x, const double* b);

// Takes from x (n) the least change that zeroes `residual` (the working
// rows times x, less b; one entry per row), by the factors of the rows,
// into `change`, then settles the rows of one or two parameters at b.
void remove_row_residual(const ZOPTGLOBAL* g, double* x, double* residual, const double* b, double* change);

// RPC: the largest relative change the iteration from `start` made,
// |x_i - start_i| / (|start_i| + 1e-6), with its parameter.
void retrospective_change(ZOPTGLOBAL* g, const double* start);

// One objective evaluation as a sub-iteration (derivatives follow only when
// `fullsubiter` is set); returns zoptobj's result.
int evaluate_subiteration(ZOPTGLOBAL* g);
// The Marquardt improvement rule for a successfully evaluated point.
bool improved(const ZOPTGLOBAL* g);
// A trial point that brings constraints with a nonlinear part back towards
// their working values may raise the objective a little (up to a ninth,
// from the second retry on): on a curved constraint the restoration step
// costs what the step along it gains. Linear working constraints hold with
// equality, so with them alone only a lower objective is progress.
bool restores_curved_constraints(const ZOPTGLOBAL* g);
// Resets everything a previous run, ended normally or abandoned, may have
// left behind (flags, counters, step statistics, the line-search hooks).
void reset_transient_state(ZOPTGLOBAL* g);

}  // namespace optim
