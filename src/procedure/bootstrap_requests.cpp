// BOOTSTRAP statements into the bootstrap control record: the number of
// samples, the seed and its stream, the data-generating process, plots,
// intervals and the covariance request.
#include <algorithm>
#include <climits>
#include <new>

#include "host/kernel_text_literals.h"
#include "host/missing.h"
#include "host/named_values.h"
#include "host/services.h"
#include "random/status_codes.h"
#include "procedure/step_memory.h"
#include "procedure/procedure_context.h"
#include "procedure/setup.h"
#include "procedure/statement_lookup.h"
#include "procedure/step_exit.h"

namespace {

constexpr int kSamplesSlot = 1, kSeedSlot = 2, kDataSlot = 3;
constexpr int kDgp = 1, kResidual = 2, kWild = 3, kPlots = 4, kCi = 5, kCov = 6;
constexpr int kAdjsse = 7, kJac = 8, kRaw = 9, kTan = 10;
constexpr int kHist = 11, kScatter = 12, kPlotsAll = 13;
constexpr int kBc = 14, kNormal = 15, kPerc = 16, kCiAll = 17, kCorr = 18;
constexpr int kDefaultSamples = 1000;
constexpr double kSeedLimit = 9007199254740992.0;  // 2^53
constexpr int kMsgSeedTooLarge = 481;
constexpr int kMsgSeedNegative = 482;
constexpr int kMsgSeedMapped = 992;
constexpr int kMsgMethodUnknown = 993;
constexpr int kMsgMethodUnavailable = 994;
constexpr int kMsgResidualForWeighted = 502;
constexpr int kMsgWildForUnweighted = 503;
constexpr int kMsgTooManySamples = 804;
constexpr int kMsgNoSamples = 467;

struct Conflicts {
  bool residual_weighted = false;  // DGP=RESIDUAL asked for a weighted model
  bool wild_unweighted = false;    // DGP=WILD asked for an unweighted model
  bool no_samples = false;         // an NSAMPLES= asked for fewer than one sample:
  double samples_asked = 0;        // the first such value
};

bool on(const STMT* s, int k) { return stmt_bit(s, k); }

void read_samples(RUVA_BOOTSTRAP_CONTROL* b, const STMT* s, Conflicts* c) {
  const STLIST* f = stmt_field(s, kSamplesSlot);
  if (!f || is_missing(f->v.fval)) return;
  if (f->v.fval > INT_MAX) {
    xpmlog(305, kMsgTooManySamples, f->v.fval, INT_MAX);
    ruva_exit(3000);
  }
  if (f->v.fval < 1) {  // whole samples are counted: below one asks for none
    if (!c->no_samples) c->no_samples = true, c->samples_asked = f->v.fval;
    return;
  }
  const auto v = static_cast<std::int32_t>(f->v.fval);
  if (v > b->max_user_n_samples) b->max_user_n_samples = v;
  if (v > b->n_samples) b->n_samples = v;
}

// The seed as given (0 when absent or rejected) goes to *given.
void read_seed(RUVA_BOOTSTRAP_CONTROL* b, const STMT* s, double* given) {
  const STLIST* f = stmt_field(s, kSeedSlot);
  if (!f || is_missing(f->v.fval)) return;
  double seed = f->v.fval;
  *given = seed;
  if (seed >= kSeedLimit) {
    xpmlog(305, kMsgSeedTooLarge, seed);
    seed = 0;
  } else if (seed < 0) {
    xpmlog(305, kMsgSeedNegative, seed);
    seed = 0;
  }
  if (seed == 0) *given = 0;
  b->user_input_seed = static_cast<long>(seed);
  b->comp.mr.UserSeed = static_cast<double>(b->user_input_seed);
}

// A weighted model is bootstrapped by the wild process, an unweighted one by
// residuals, whatever DGP= asks for.
void read_process(RUVA_BOOTSTRAP_CONTROL* b, const STMT* s, bool weighted, Conflicts* c) {
  if (!on(s, kDgp)) return;
  if (weighted) {
    b->dgp.type = kDgpWild;
    if (on(s, kResidual)) c->residual_weighted = true;
    return;
  }
  b->dgp.type = kDgpResidual;
  if (on(s, kWild)) c->wild_unweighted = true;
  if (on(s, kAdjsse)) b->dgp.scaling = kScaleAdjsse;
  else if (on(s, kJac)) b->dgp.scaling = kScaleJac;
  else if (on(s, kRaw)) b->dgp.scaling = kScaleRaw;
  else if (on(s, kTan)) b->dgp.scaling = kScaleTan;
}

void read_outputs(RUVACOM* ctx, RUVA_BOOTSTRAP_CONTROL* b, const STMT* s) {
  if (const STLIST* data = stmt_field(s, kDataSlot)) {
    b->data.fid = data->v.fid;
    b->data.data_flag = 1;
  }
  if (on(s, kPlots) && ctx->yol_graphics_flag) {
    b->plots.hist_box |= on(s, kPlotsAll) || on(s, kHist);
    b->plots.scatter |= on(s, kPlotsAll) || on(s, kScatter);
  }
  if (on(s, kCi)) {
    b->ci.bc |= on(s, kCiAll) || on(s, kBc);
    b->ci.perc |= on(s, kCiAll) || on(s, kPerc);
    b->ci.normal |= on(s, kCiAll) || on(s, kNormal);
  }
  if (on(s, kCov)) {
    b->cov.do_cov = 1;
    if (on(s, kCorr)) b->cov.both_cov_corr_on = b->cov.scale_to_corr = 1;
  } else if (on(s, kCorr)) {
    if (b->cov.do_cov) b->cov.both_cov_corr_on = 1;
    b->cov.do_cov = b->cov.scale_to_corr = 1;
  }
}

// The stream takes whole seeds up to its method's largest and maps any
// other into that range (a fraction is cut off first): the log says which
// seed the bootstrap uses when it is not the one given.
void note_seed_in_use(const MERSENNE_RAND& mr, double given) {
  if (given == 0 || static_cast<double>(mr.InitialSeed) == given) return;
  const double largest = std::min(static_cast<double>(mr.rng.zrng_max_seed), kSeedLimit - 1);
  xpmlog(305, kMsgSeedMapped, static_cast<double>(mr.InitialSeed), given, largest, mr.rng.zrng_name);
}

// A method named by OSENV.KOV_RNG_METHOD that the library does not know, or
// that this build cannot draw with, leaves the stream on its default
// method: the log says so rather than draw from another stream unannounced.
void note_method_in_use(const MERSENNE_RAND& mr) {
  const bool unknown = mr.Status == zrand_status::kUnknownMethod;
  if (!unknown && mr.Status != zrand_status::kMethodUnavailable) return;
  char name[256];
  qxnrcget(qx_text(U"OSENV.KOV_RNG_METHOD"), 0, name, sizeof name);
  xpmlog(305, unknown ? kMsgMethodUnknown : kMsgMethodUnavailable, name, mr.rng.zrng_name);
}

}  // namespace

int process_bootstrap_stmts(RUVACOM* ctx) {
  const bool weighted = cmpsyms("_WEIGHT_", 8, &ctx->globcmp) != nullptr;
  STMT* last = nullptr;
  if (FindStmt("BOOT", &last) == 0) {
    ctx->no_boot_flag = 1;
    return 0;
  }
  auto* b = new (ruva_new_or_exit<RUVA_BOOTSTRAP_CONTROL>()) RUVA_BOOTSTRAP_CONTROL();
  ctx->ruvabootstrap_control = b;
  b->n_samples = kDefaultSamples;
  b->dgp.type = weighted ? kDgpWild : kDgpResidual;
  if (!weighted) b->dgp.scaling = kScaleAdjsse;
  Conflicts conflicts;
  double given_seed = 0;
  for (STMT* s = ctx->prochead; s; s = s->next) {
    if (!stmt_is(s, "BOOT")) continue;
    read_samples(b, s, &conflicts);
    read_seed(b, s, &given_seed);
    read_process(b, s, weighted, &conflicts);
    read_outputs(ctx, b, s);
  }
  zmrsrnd(&b->comp.mr);
  note_method_in_use(b->comp.mr);
  note_seed_in_use(b->comp.mr, given_seed);
  if (ctx->yol_graphics_flag && !b->plots.hist_box && !b->plots.scatter) b->plots.hist_box = 1;
  if (!b->ci.bc && !b->ci.perc && !b->ci.normal) b->ci.bc = 1;
  if (conflicts.no_samples) xpmlog(305, kMsgNoSamples, conflicts.samples_asked, b->n_samples);
  if (conflicts.residual_weighted) xpmlog(305, kMsgResidualForWeighted);
  else if (conflicts.wild_unweighted) xpmlog(305, kMsgWildForUnweighted);
  return 0;
}

XO_FILE* requested_bootstrap_data(const RUVACOM* ctx) {
  XO_FILE* requested = nullptr;
  for (const STMT* s = ctx->prochead; s; s = s->next)
    if (const STLIST* data = stmt_is(s, "BOOT") ? stmt_field(s, kDataSlot) : nullptr) requested = data->v.fid;
  return requested;
}
