// The procedure statement's options into the context, with their defaults.
// The grammar has checked the numeric ranges; what remains here are the
// defaults that depend on other options and the checks it cannot make.
#include "host/missing.h"
#include "host/services.h"
#include "host/object_methods.h"
#include "host/output_tables.h"
#include "procedure/graph_control.h"
#include "procedure/proc_options.h"
#include "procedure/step_memory.h"
#include "procedure/procedure_context.h"

namespace {

using namespace proc_opt;

constexpr double kDefaultSingular = 1.110223024625157e-12;
constexpr double kDefaultCriterion = 1e-5;
constexpr int kDefaultMaxiter = 100;
constexpr int kDefaultMaxsubit = 30;
constexpr int kMsgAlphaRange = 14;
constexpr int kMsgDudReplaced = 85;
constexpr int kMsgMaxsubitZero = 134;
constexpr int kMsgNoTablesForJson = 511;
constexpr int kGraphicsAttribute = 1334;
constexpr int kGetAttributes = 2;

const STLIST* slot(const RUVACOM* ctx, int k) { return stmt_field(ctx->prochead, k); }

double number_or(const RUVACOM* ctx, int k, double absent) {
  const STLIST* f = slot(ctx, k);
  return f ? f->v.fval : absent;
}

char flag(const RUVACOM* ctx, int k) { return stmt_bit(ctx->prochead, k) ? 1 : 0; }

void read_switches(RUVACOM* ctx) {
  ctx->zero = 0.0;
  ctx->gauss = 0;
  ctx->dud = 0;
  ctx->debug = flag(ctx, kDebug);
  ctx->debugd = flag(ctx, kDebugd);
  ctx->list = flag(ctx, kList);
  ctx->listcode = flag(ctx, kListcode);
  ctx->listdep = flag(ctx, kListdep);
  ctx->xref = flag(ctx, kXref);
  ctx->listder = flag(ctx, kListder);
  ctx->hougaard_req = flag(ctx, kHougaard);
  ctx->totalss = flag(ctx, kTotalss);
  ctx->nodf = flag(ctx, kNodf);
  ctx->concrit = 'R';
  const STLIST* best = slot(ctx, kBest);
  ctx->nrank = best ? static_cast<std::int32_t>(best->v.fval) : -1;
}

// The third letter of the METHOD= keyword; DUD is not offered and runs as GAUSS.
char method_letter(const RUVACOM* ctx) {
  const STLIST* f = slot(ctx, kMethod);
  if (!f) return 'U';
  if (f->v.nval[2] == 'D') {
    xpmlog(305, kMsgDudReplaced);
    return 'U';
  }
  return f->v.nval[2];
}

void read_method(RUVACOM* ctx) {
  ctx->method = method_letter(ctx);
  const bool marquardt = ctx->method == 'R';
  ctx->maxiter = static_cast<std::int32_t>(number_or(ctx, kMaxiter, kDefaultMaxiter));
  ctx->criterion = number_or(ctx, kConverge, missing_value());
  ctx->epsilon = number_or(ctx, kSingular, kDefaultSingular);
  const STLIST* outest = slot(ctx, kOutest);
  ctx->outestptr = outest ? outest->v.fid : nullptr;
  ctx->tau = number_or(ctx, kTau, marquardt ? 0.01 : 1.0);
  ctx->rho = number_or(ctx, kRho, marquardt ? 10.0 : 0.1);
  ctx->sigsq = number_or(ctx, kSigsq, 1.0);
  ctx->nstep = static_cast<std::int32_t>(number_or(ctx, kMaxsubit, kDefaultMaxsubit));
  if (marquardt && ctx->nstep == 0) {
    ctx->nstep = kDefaultMaxsubit;
    xpmlog(305, kMsgMaxsubitZero);
  }
  const STLIST* search = slot(ctx, kSmethod);
  ctx->smethod = search ? search->v.nval[0] : 'H';
}

// 'R': CONVERGE= alone; 'S' objective change; 'P' parameter change; 'B' both.
void read_convergence(RUVACOM* ctx) {
  ctx->offset_criterion = is_missing(ctx->criterion) ? kDefaultCriterion : ctx->criterion;
  if (const STLIST* obj = slot(ctx, kConvergeObj)) {
    ctx->concrit = 'S';
    ctx->criterion = obj->v.fval;
  }
  if (const STLIST* parm = slot(ctx, kConvergeParm)) {
    ctx->concrit = ctx->concrit == 'S' ? 'B' : 'P';
    ctx->criter2 = parm->v.fval;
  }
  if (ctx->concrit == 'P') ctx->criterion = ctx->criter2;
  if (is_missing(ctx->criterion)) ctx->criterion = kDefaultCriterion;
}

void read_levels(RUVACOM* ctx) {
  ctx->bepsilon = number_or(ctx, kEpsilon, 1e-8);
  ctx->alpha = number_or(ctx, kAlpha, 0.05);
  if (!(ctx->alpha > 0 && ctx->alpha < 1)) {
    xpmlog(305, kMsgAlphaRange, ctx->alpha);
    xexit(3000, 0);
  }
}

void read_run_switches(RUVACOM* ctx) {
  ctx->one = 1.0;
  ctx->stephalve = flag(ctx, kNohalve) ? 0 : 1;
  ctx->save = flag(ctx, kSave);
  ctx->derchck = flag(ctx, kCheckder);
  ctx->g4 = (flag(ctx, kG4) || flag(ctx, kG4Singular)) ? 1 : 0;
  ctx->se = flag(ctx, kSe);
  ctx->noprint = flag(ctx, kNoprint);
  // The JSON file holds the step's outputs: the log says why it has none.
  if (ctx->noprint && yolqbit(nullptr, kYolJson)) xpmlog(305, kMsgNoTablesForJson);
  ctx->noitprint = flag(ctx, kNoitprint);
  ctx->boxs_bias_flag = flag(ctx, kBias);
  ctx->ruvameasures_table_flag = flag(ctx, kMeasures);
}

// Whether the output manager draws graphs.
std::int32_t graphics_setting(const RUVACOM* ctx) {
  if (!ctx->yolman) return 0;
  WOB_PARM_BLK_STR query = wob_flag(kGraphicsAttribute, 0);
  if (wobmth(static_cast<wobop>(ctx->yolman), nullptr, kGetAttributes, 1, &query) < 0) return 0;
  return query.d.bt.st != 0 ? 1 : 0;
}

void read_graphs(RUVACOM* ctx) {
  ctx->yol_graphics_flag = graphics_setting(ctx);
  if (!flag(ctx, kPlots) || !ctx->yol_graphics_flag) return;
  ctx->graph_control = ruva_new_or_exit<RUVAGRAPH_CONTROL>();
  get_graphics_options(ctx);
}

void read_estimate_options(RUVACOM* ctx) {
  ctx->pecov = flag(ctx, kEcov);
  ctx->pecorr = flag(ctx, kEcorr);
  ctx->peder = flag(ctx, kEder);
  ctx->estdf = number_or(ctx, kDf, -1.0);
  ctx->estdfspec = ctx->estdf > 0 ? 1 : 0;
}

}  // namespace

int get_options(RUVACOM* ctx) {
  read_switches(ctx);
  read_method(ctx);
  read_convergence(ctx);
  read_levels(ctx);
  read_run_switches(ctx);
  read_graphs(ctx);
  read_estimate_options(ctx);
  return 0;
}
