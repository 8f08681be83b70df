// The phases of a step that other parts of the system provide and that are
// not built yet. Each stands in until its own code replaces it:
//   init_for_bootstrapping  the bootstrap
#include "host/services.h"
#include "procedure/ruvacom.h"
#include "procedure/step_phases.h"

namespace {
constexpr int kMsgBootstrapUnavailable = 801;
}  // namespace

int init_for_bootstrapping(RUVACOM* /*ctx*/) {
  xpmlog(305, kMsgBootstrapUnavailable);
  return 1;
}
