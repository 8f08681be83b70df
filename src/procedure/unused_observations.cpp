#include "procedure/unused_observations.h"

#include "host/services.h"
#include "procedure/ruvacom.h"

namespace {

// Messages 305/924 .. 305/931, one per cause in the order of Unused.
constexpr int kMsgFirstCause = 923;

}  // namespace

void report_unused_observations(RUVACOM* ctx) {
  const UnusedObservations& u = ctx->unused;
  for (int k = 1; k < static_cast<int>(Unused::kCauses); ++k) {
    if (u.count[k] == 0) continue;
    if (static_cast<Unused>(k) == Unused::kDependent)
      xpmlog(305, kMsgFirstCause + k, u.count[k], ctx->nobs, static_cast<int>(ctx->depname.l), ctx->depname.s,
             u.first[k]);
    else
      xpmlog(305, kMsgFirstCause + k, u.count[k], ctx->nobs, u.first[k]);
  }
}
