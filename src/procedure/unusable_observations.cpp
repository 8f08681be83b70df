#include "procedure/unusable_observations.h"

#include "host/missing.h"
#include "host/services.h"
#include "procedure/ruvacom.h"

namespace {

constexpr int kMsgMissingStart = 905, kMsgMissingWeight = 906, kMsgWeightNotPositive = 907,
              kMsgMissingPrediction = 908;

void first(long* at, long obs) {
  if (*at == 0) *at = obs;
}

}  // namespace

void start_left_out(RUVACOM* ctx) { ctx->left_out = {}; }

void note_left_out(RUVACOM* ctx, int rc) {
  if (rc != 0 || !ctx->lastpass) return;
  auto& lo = ctx->left_out;
  const double weight = *ctx->weight;
  if (wzmis(*ctx->dephat)) {
    first(&lo.missing_prediction, ctx->nobs);
  } else if (wzmis(weight)) {
    first(&lo.missing_weight, ctx->nobs);
  } else if (lo.weight_not_positive == 0 && !wzmis(*ctx->wgtjpj) && (weight == 0.0 || !(*ctx->wgtjpj > 0.0))) {
    lo.weight_not_positive = ctx->nobs;
    lo.wgtjpj = weight != 0.0 && ctx->wgtjpjflag;
    lo.weight = lo.wgtjpj ? *ctx->wgtjpj : weight;
  }
}

void explain_no_usable_observation(RUVACOM* ctx) {
  for (int i = 0; i < ctx->nparm; ++i) {
    if (!wzmis(ctx->parm[i])) continue;
    const CMPSYM* p = ctx->parmsym->s[i];
    xpmlog(305, kMsgMissingStart, p->nameleng, p->name);
    return;
  }
  const auto& lo = ctx->left_out;
  if (lo.missing_weight) {
    xpmlog(305, kMsgMissingWeight, static_cast<int>(lo.missing_weight));
  } else if (lo.weight_not_positive) {
    xpmlog(305, kMsgWeightNotPositive, static_cast<int>(lo.weight_not_positive),
           lo.wgtjpj ? "_WGTJPJ_" : "_WEIGHT_", lo.weight);
  } else if (lo.missing_prediction) {
    xpmlog(305, kMsgMissingPrediction, static_cast<int>(lo.missing_prediction));
  }
}
