// The step in the parameters and its statistics: `znunprd` maps the swept
// step back to all n parameters and measures it (R, the relative parameter
// changes, the angle to the gradient). Without working constraints the
// Hessian is used as it stands: the projections leave it alone.
#include <cmath>

#include "linalg/packed.h"
#include "linalg/vector_kernels.h"
#include "optim/zopt_internal.h"
#include "optim/zopt_output.h"

namespace {

using namespace optim;

// R = sqrt(delta'g / pr), the relative offset of the step, held to [0, 1];
// it keeps its value when pr is too small to divide by.
void relative_offset(ZOPTGLOBAL* g, double gd) {
  ZOPTSTATE& st = g->state;
  if (!(st.pr > kSqrtTiny)) return;
  double r = gd / st.pr;
  if (r > 0) r = std::sqrt(r);
  if (r < 0 || r > 1) r = 1;
  st.r = r;
}

// The largest relative parameter change; the previous one moves to rpc.
void parameter_change(ZOPTGLOBAL* g) {
  ZOPTSTATE& st = g->state;
  const double* delta = st.marqu->delta;
  st.rpc = st.ppc;
  st.worstr = st.worstp;
  st.ppc = 0;
  st.worstp = 0;
  for (int i = 0; i < nparms(g); ++i) {
    const double change = std::fabs(delta[i]) / (std::fabs(st.parms[i]) + 1e-6);
    if (change > st.ppc) {
      st.ppc = change;
      st.worstp = i;
    }
  }
  if (st.ppc < 1e-12) st.ppc = 0;
  if (!wzmis(st.r) && st.r < 1e-12) st.r = 0;
}

// Every component is tested, the first included: one oversized (or not a
// number) refuses the whole step.
bool step_oversized(const ZOPTGLOBAL* g) {
  const double* delta = g->state.marqu->delta;
  for (int i = 0; i < nparms(g); ++i)
    if (!(std::fabs(delta[i]) <= kMaxStep)) return true;
  return false;
}

// theta, the angle between step and gradient in degrees, and phi, the
// slope along the step relative to the objective.
void step_angles(ZOPTGLOBAL* g) {
  ZOPTSTATE& st = g->state;
  const int n = nparms(g);
  const double* gradient = st.marqu->savhes + border_row(n);
  const double* delta = st.marqu->delta;
  if (zvamx(gradient, n) > kMaxStep || zvamx(delta, n) > kMaxStep) return;
  const double size_g = zvenorm(n, 1, gradient);
  const double size_d = zvenorm(n, 1, delta);
  const double s = zvdot11(gradient, delta, n);
  st.phi = size_d > kSqrtTiny && st.objective > kSqrtTiny ? s / size_d / st.objective
                                                          : special_missing_value();
  if (size_d * size_g > kSqrtTiny) {
    const double cosine = s / (size_d * size_g);
    st.theta = cosine >= -1 && cosine <= 1 ? std::acos(cosine) / 3.141592653589793 * 180
                                           : missing_value();
  }
}

}  // namespace

// The projection onto the null space of the working constraints is not
// built yet: no working row can form (see zncmat), so there is never
// anything to project and the Hessian is used as it stands.
int znprjhs(ZOPTGLOBAL* /*g*/) { return 0; }

int znprjhe(ZOPTGLOBAL* /*g*/) { return 0; }

int get_yk(ZOPTGLOBAL* g, double* hes) {
  ZOPTMARQU& mq = *g->state.marqu;
  const int n = nparms(g);
  for (int i = 0; i < n; ++i) mq.yk[i] = -zvdots1(hes + zisub(i, 0), i, mq.pk, n);
  return 1;
}

int znunprd(ZOPTGLOBAL* g) {
  ZOPTSTATE& st = g->state;
  ZOPTMARQU& mq = *st.marqu;
  const int n = nparms(g);
  if (n <= mq.inumconstr) return 0;
  if (mq.inumconstr > 0) return 0;  // a reduced step cannot form yet (see znprjhs)
  const double gd = zinner(mq.delta, st.grad, n);
  if (g->opts.debug) report_step(g, n, 677);
  if (!mq.ridgeflag) {
    relative_offset(g, gd);
    parameter_change(g);
    mq.maxval = kMaxStep;
    if (step_oversized(g)) return 0;
  }
  if (g->opts.details) step_angles(g);
  return 1;
}
