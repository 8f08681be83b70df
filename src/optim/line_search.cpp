// Line searches along a step: trial points parms = pparms - a * delta for a
// scalar factor a. The searches see the objective only through
// `objfunc(user_ptr)` and report through `subpfunc(user_ptr)`, so that other
// objectives (the feasibility phase) can use them too. Step halving is the
// search of every letter for now.
#include <cmath>

#include "linalg/vector_kernels.h"
#include "optim/zopt_internal.h"

namespace {

using namespace optim;

// One counted trial: evaluates at a, records the factor and reports it.
double trial(double a, double* delta, double* parms, double* pparms, int n, LINESRCH* ls) {
  const double f = evalfunc(a, delta, parms, pparms, n, ls);
  ls->subiter += 1;
  ls->damp = a;
  if (ls->subpfunc) ls->subpfunc(ls->user_ptr);
  return f;
}

// After a successful search: remember the accepted factor and propose the
// next iteration's starting factor from how much the objective fell.
void propose_damp(LINESRCH* ls, double a, double f) {
  const double f0 = ls->oldobj;
  ls->pdamp = ls->damp;
  if (f0 != 0 && f != 0 && std::fabs(f) < kBig && f0 < kBig)
    ls->damp = std::fabs(a / ((1 - a) * f / (5 * f0) + a));
}

}  // namespace

double evalfunc(double alpha, double* delta, double* parms, double* pparms, int n, LINESRCH* ls) {
  for (int i = 0; i < n; ++i) parms[i] = pparms[i] - alpha * delta[i];
  return ls->objfunc(ls->user_ptr);
}

int stephalv(double* delta, double* parms, double* pparms, int n, LINESRCH* ls) {
  const double f0 = ls->oldobj;
  const double size_p = zvenorm(n, 1, parms);
  const double size_d = zvenorm(n, 1, delta);
  double a = ls->damp;
  // The first trial is not counted: a sub-iteration is a halving.
  ls->subiter = 0;
  double f = evalfunc(a, delta, parms, pparms, n, ls);
  ls->damp = a;
  if (ls->subpfunc) ls->subpfunc(ls->user_ptr);
  ls->currobj = f;
  if (ls->maxsubiters == 0) return 1;
  while (!(f < f0)) {
    if (ls->subiter >= ls->maxsubiters) return 0;
    a /= 2;
    f = trial(a, delta, parms, pparms, n, ls);
    ls->currobj = f;
    if (a * size_d < size_p * kRoundoff) return 0;
  }
  propose_damp(ls, a, f);
  return 1;
}

int zlnsrch(double* delta, double* parms, double* pparms, int n, LINESRCH* ls) {
  return stephalv(delta, parms, pparms, n, ls);
}
