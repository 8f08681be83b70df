// The phases of a step that other parts of the system provide and that are
// not built yet. Each stands in until its own code replaces it:
//   init_for_profiling, init_for_bootstrapping  profiling and bootstrap
#include "host/services.h"
#include "procedure/ruvacom.h"
#include "procedure/step_phases.h"

namespace {
constexpr int kMsgProfilingUnavailable = 800;
constexpr int kMsgBootstrapUnavailable = 801;
}  // namespace

int init_for_profiling(RUVACOM* /*ctx*/) {
  xpmlog(305, kMsgProfilingUnavailable);
  return 1;
}

int init_for_bootstrapping(RUVACOM* /*ctx*/) {
  xpmlog(305, kMsgBootstrapUnavailable);
  return 1;
}
