// The phases of a step that other parts of the system provide and that are
// not built yet. Each stands in until its own code replaces it:
//   jovesti, jovouti  the parameter-estimates and OUTPUT data sets
//   jovgrid           the grid search (here: only the starting-value grid)
//   jovopt, jovout    the estimation with its results, the OUTPUT pass
//   init_for_profiling, init_for_bootstrapping  profiling and bootstrap
#include "host/services.h"
#include "procedure/ruvacom.h"
#include "procedure/starting_values.h"
#include "procedure/step_phases.h"

namespace {
constexpr int kMsgProfilingUnavailable = 800;
constexpr int kMsgBootstrapUnavailable = 801;
}  // namespace

int jovesti() { return 0; }
int jovouti() { return 0; }

// The grid search starts every BY group by building the starting-value
// grid; the search itself is still to come.
int jovgrid(RUVACOM* ctx) {
  ctx->failed = 0;
  ctx->nerrmsg = 0;
  return nlparms(ctx);
}

void jovopt(RUVACOM* /*ctx*/) {}
void jovout(RUVACOM* /*ctx*/) {}

int init_for_profiling(RUVACOM* /*ctx*/) {
  xpmlog(305, kMsgProfilingUnavailable);
  return 1;
}

int init_for_bootstrapping(RUVACOM* /*ctx*/) {
  xpmlog(305, kMsgBootstrapUnavailable);
  return 1;
}
