// The linear constraints of one refit task, copied from its description,
// and the projection of a task's end point onto them. The optimiser keeps
// a constraint to within its tolerance; a refit's estimates keep it exactly,
// as the fit's do.
#pragma once

#include <vector>

#include "host/ext_refit_engine_qxprof.h"

namespace platform::refit {

// A linear constraint sum coefs[k] x[cols[k]] rel value.
struct LinearConstraint {
  std::vector<int> cols;
  std::vector<double> coefs;
  double value = 0;
  QXPROF_REL_OP rel = EQUAL;
};

// The constraints a task description points to; false when one names a
// parameter outside 0..n_parms-1 or has an unknown kind or relation.
bool copy_constraints(const QXPROF_TASK_DESC& d, int n_parms, std::vector<LinearConstraint>* out);

// Moves x onto every constraint it breaks: a one-parameter constraint sets
// the parameter to its limit (equalities last, so that a parameter a task
// fixes keeps its value); a relation between parameters moves the ones no
// equality fixes along its normal, the last of them then solved for the
// limit so that rounding leaves no excess.
void project_onto(const std::vector<LinearConstraint>& constraints, std::vector<double>* x);

}  // namespace platform::refit
