#include "profile/refit_outcomes.h"

#include <algorithm>

#include "host/missing.h"
#include "host/services.h"
#include "procedure/group_name.h"
#include "procedure/procedure_context.h"
#include "profile/refit_client.h"

namespace {

constexpr int kMsgProfileLost = 426, kMsgProfileLostMany = 427, kMsgProfileLostAll = 428,
              kMsgJackknifeLost = 429, kMsgSamplesLost = 430, kMsgSamplesLostMany = 433,
              kMsgReferenceLost = 442, kMsgLimitProfiling = 443, kMsgLimitBootstrap = 444,
              kMsgJackknifeLostMany = 1020, kMsgJackknifeLostAll = 1021, kMsgReferenceLostAll = 1022,
              kMsgProfileBeyondBounds = 1028;

// How much of a kind's refits failed. Past a tenth the statistics rest on
// too few of them to go without a warning.
enum class Loss { kNone, kFew, kMany, kAll };

Loss loss_of(const RefitTally& t) {
  if (t.lost == 0) return Loss::kNone;
  if (t.lost == t.tasks) return Loss::kAll;
  return 10 * t.lost > t.tasks ? Loss::kMany : Loss::kFew;
}

}  // namespace

void RefitTally::add(const QXPROF_RESULT* r, bool failed) {
  ++tasks;
  if (failed) {
    ++lost;
  } else if (r->qxznlo_rc == QXPROF_RC_PRECISION_LIMIT) {
    ++at_limit;
    if (!is_missing(r->r)) largest_r = std::max(largest_r, r->r);
  }
}

RefitTally& RefitTally::operator+=(const RefitTally& other) {
  tasks += other.tasks;
  lost += other.lost;
  at_limit += other.at_limit;
  largest_r = std::max(largest_r, other.largest_r);
  return *this;
}

bool refit_row_lost(const QXPROF_RESULT* r) { return r->qxznlo_rc < 0 || r->n_cont_obs < 1; }

bool beyond_bounds(const QXPROF_RESULT* r, int task_type) {
  return task_type == kTaskProfilePoint && r->qxznlo_rc == QXPROF_RC_NO_FEASIBLE_POINT;
}

RefitTally tally_of(QXPROF_RESULT* const* results, int n, int task_type) {
  RefitTally t;
  for (int i = 0; i < n; ++i) {
    if (beyond_bounds(results[i], task_type)) ++t.beyond;
    else t.add(results[i], refit_row_lost(results[i]));
  }
  return t;
}

// The profiles and the jackknife are measured against the reference: when
// it failed and no refit after it converged, nothing of them stands.
void log_reference_loss(RUVACOM* ctx, const RefitTally& reference, const RefitTally& later) {
  if (reference.lost == 0) return;
  const bool alone = later.lost == later.tasks;
  xpmlog(305, alone ? kMsgReferenceLostAll : kMsgReferenceLost, by_group_phrase(ctx).c_str());
  if (alone) ruva_raise_rc(ctx, 4);
}

void log_profile_losses(RUVACOM* ctx, int j, const RefitTally& t) {
  const CMPSYM* p = ctx->parmsym->s[ctx->ruvaprofile_control->comp.prof_parm_loc[j]];
  const int length = static_cast<int>(p->nameleng);
  const std::string by = by_group_phrase(ctx);
  if (t.beyond > 0) xpmlog(305, kMsgProfileBeyondBounds, t.beyond, t.beyond + t.tasks, length, p->name, by.c_str());
  const Loss loss = loss_of(t);
  if (loss == Loss::kNone) return;
  if (loss == Loss::kAll)
    xpmlog(305, kMsgProfileLostAll, t.tasks, length, p->name, by.c_str());
  else if (loss == Loss::kMany)
    xpmlog(305, kMsgProfileLostMany, t.lost, t.tasks, length, p->name, by.c_str(), t.tasks - t.lost);
  else
    xpmlog(305, kMsgProfileLost, t.lost, t.tasks, length, p->name, by.c_str());
  if (loss != Loss::kFew) ruva_raise_rc(ctx, 4);
}

void log_jackknife_losses(RUVACOM* ctx, const RefitTally& t) {
  const Loss loss = loss_of(t);
  if (loss == Loss::kNone) return;
  const std::string by = by_group_phrase(ctx);
  if (loss == Loss::kAll)
    xpmlog(305, kMsgJackknifeLostAll, t.tasks, by.c_str());
  else if (loss == Loss::kMany)
    xpmlog(305, kMsgJackknifeLostMany, t.lost, t.tasks, by.c_str(), t.tasks - t.lost);
  else
    xpmlog(305, kMsgJackknifeLost, t.lost, t.tasks, by.c_str());
  if (loss != Loss::kFew) ruva_raise_rc(ctx, 4);
}

// The bootstrap says "fewer than 90 per cent" for every loss past a tenth,
// all of them included: note 971 tells when too few samples are left.
void log_bootstrap_losses(RUVACOM* ctx, const RefitTally& t) {
  const Loss loss = loss_of(t);
  if (loss == Loss::kNone) return;
  const bool many = loss != Loss::kFew;
  xpmlog(305, many ? kMsgSamplesLostMany : kMsgSamplesLost, t.lost, t.tasks, by_group_phrase(ctx).c_str(),
         t.tasks - t.lost);
  if (many) ruva_raise_rc(ctx, 4);
}

void log_precision_limit(RUVACOM* ctx, const RefitTally& t, bool bootstrap) {
  if (t.at_limit == 0) return;
  xpmlog(305, bootstrap ? kMsgLimitBootstrap : kMsgLimitProfiling, t.at_limit, t.tasks,
         by_group_phrase(ctx).c_str(), t.largest_r, ctx->criterion);
}
