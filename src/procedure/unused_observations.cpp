#include "procedure/unused_observations.h"

#include <string>

#include "host/missing.h"
#include "host/services.h"
#include "procedure/group_name.h"
#include "procedure/procedure_context.h"

namespace {

constexpr int kMsgMissingStart = 905;
// Messages 305/924 .. 305/931, one per cause in the order of Unused.
constexpr int kMsgFirstCause = 923;

// A parameter without a starting value leaves every prediction missing:
// that is the one thing to say. True when it was said.
bool report_missing_start(const RUVACOM* ctx) {
  for (int i = 0; i < ctx->nparm; ++i) {
    if (!wzmis(ctx->parm[i])) continue;
    const CMPSYM* p = ctx->parmsym->s[i];
    xpmlog(305, kMsgMissingStart, p->nameleng, p->name);
    return true;
  }
  return false;
}

// How many of the observations read the latest pass left out for `why`,
// and the first of them (numbered within its BY group, which the note
// names); nothing when there are none.
void report_cause(const RUVACOM* ctx, Unused why) {
  const int k = static_cast<int>(why);
  const UnusedObservations& u = ctx->unused;
  if (u.count[k] == 0) return;
  const std::string by = by_group_phrase(ctx);
  if (why == Unused::kDependent)
    xpmlog(305, kMsgFirstCause + k, u.count[k], ctx->nobs, by.c_str(), static_cast<int>(ctx->depname.l),
           ctx->depname.s, u.first[k]);
  else
    xpmlog(305, kMsgFirstCause + k, u.count[k], ctx->nobs, by.c_str(), u.first[k]);
}

}  // namespace

void report_unused_observations(RUVACOM* ctx) {
  if (report_missing_start(ctx)) return;
  for (int k = 1; k < static_cast<int>(Unused::kCauses); ++k) report_cause(ctx, static_cast<Unused>(k));
}

void report_uncomputable_observations(RUVACOM* ctx) {
  report_cause(ctx, Unused::kDerivative);
  report_cause(ctx, Unused::kTooLarge);
}
