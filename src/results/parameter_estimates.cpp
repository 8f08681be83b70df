// The ParameterEstimates table. Every cell a column is bound to lives in one
// record; each row sets the cells and commits them.
#include "results/parameter_estimates.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "host/missing.h"
#include "host/services.h"
#include "linalg/packed.h"
#include "optim/optimiser.h"
#include "procedure/analysis_requests.h"
#include "procedure/procedure_context.h"
#include "results/constraint_rows.h"
#include "results/diagnostics_record.h"
#include "results/estimate_row.h"
#include "results/hougaard.h"
#include "results/result_output.h"

namespace {

constexpr int kMsgTitle = 55, kMsgParameter = 35, kMsgEstimate = 36, kMsgStdErr = 37, kMsgLabel = 38;
constexpr int kMsgLower = 39, kMsgUpper = 40, kMsgAlpha = 51, kMsgCiHeader = 49, kMsgSkewness = 108;
constexpr int kMsgT = 72, kMsgProbT = 73, kMsgFewObservations = 107, kMsgBootStdDev = 501;
constexpr int kMsgBias = 155, kMsgPerBias = 156;
constexpr int kMsgBcHeader = 498, kMsgPercHeader = 499, kMsgNormalHeader = 500;
constexpr double kSmallestStdErr = 1.491668147e-154;

bool bootstrap_columns(const RUVACOM* ctx) {
  const RUVA_BOOTSTRAP_CONTROL* b = ctx->ruvabootstrap_control;
  return b && (b->ci.bc || b->ci.perc || b->ci.normal);
}

int active_constraint_count(const RUVACOM* ctx) {
  const ZOPTMARQU* mq = ctx->zoptg ? ctx->zoptg->state.marqu : nullptr;
  return mq ? mq->perm + mq->nact : 0;
}

void header(ResultTable* t, const RUVACOM* ctx, const char* name, int message) {
  t->attribute(name, wob_text(287, yolmsgs(kResultMessages, message, (1 - ctx->alpha) * 100)));
}

bool limit_pair(ResultTable* t, const char* lower, const char* upper, double* lo, double* hi) {
  return t->column(kMsgLower, lower, "g", lo) && t->column(kMsgUpper, upper, "g", hi);
}

bool bootstrap_definition(ResultTable* t, RUVACOM* ctx, EstimateRow* r) {
  const auto& ci = ctx->ruvabootstrap_control->ci;
  if (!t->column(kMsgBootStdDev, "BootStdDev", "g", &r->boot_sd)) return false;
  if (ci.bc) {
    if (!limit_pair(t, "BCLowerCL", "BCUpperCL", &r->bc_lower, &r->bc_upper)) return false;
    header(t, ctx, "bcheader", kMsgBcHeader);
  }
  if (ci.perc) {
    if (!limit_pair(t, "PercLowerCL", "percUpperCL", &r->perc_lower, &r->perc_upper)) return false;
    header(t, ctx, "percheader", kMsgPercHeader);
  }
  if (ci.normal) {
    if (!limit_pair(t, "NormalLowerCL", "NormalUpperCL", &r->normal_lower, &r->normal_upper)) return false;
    header(t, ctx, "normalheader", kMsgNormalHeader);
  }
  return true;
}

void finalise_skewness(RUVACOM* ctx) {
  if (wzmis(ctx->mse)) {
    for (int l = 0; l < ctx->nparm; ++l) ctx->hougaard[l] = special_missing_value();
    return;
  }
  jovhoug(ctx->nparm, nullptr, nullptr, ctx->xpx, ctx->hougaard, ctx->mse, 1);
}

bool define(ResultTable* t, RUVACOM* ctx, EstimateRow* r) {
  t->attribute("maxnaml", wob_int(287, std::max(ctx->maxnamelen, 11)));
  if (!t->column(kMsgParameter, "Parameter", "c", r->name) || !t->column(kMsgEstimate, "Estimate", "g", &r->est) ||
      !t->column(kMsgStdErr, "StdErr", "g", &r->se))
    return false;
  WOB_PARM_BLK_STR alpha[4] = {wob_int(103, 5), wob_cell(285, &ctx->alpha), wob_text(296, result_text(kMsgAlpha)),
                               wob_text(138, yoltxt("Alpha", -1))};
  wobmth(t->data, nullptr, 338, 4, alpha);  // its status is not examined
  header(t, ctx, "ciheader", kMsgCiHeader);
  if (!limit_pair(t, "LowerCL", "UpperCL", &r->lower, &r->upper)) return false;
  if (bootstrap_columns(ctx) && !bootstrap_definition(t, ctx, r)) return false;
  if (ctx->boxs_bias_flag && (!t->column(kMsgBias, "Bias", "g", &r->bias) ||
                              !t->column(kMsgPerBias, "PerBias", "g", &r->per_bias)))
    return false;
  if (ctx->hougaard) {
    finalise_skewness(ctx);
    if (!t->column(kMsgSkewness, "Skewness", "g", &r->skew)) return false;
  }
  if (!t->column(kMsgT, "tValue", "g", &r->t) || !t->column(kMsgProbT, "Probt", "g", &r->p)) return false;
  if (active_constraint_count(ctx) == 0) return true;
  // A text object column, 256 wide as a long text: a character buffer would
  // end a label at a NUL byte.
  WOB_PARM_BLK_STR label[5] = {wob_text(138, yoltxt("Label", -1)), wob_text(296, result_text(kMsgLabel)),
                               wob_cell(285, &r->label), wob_int(289, -256), wob_int(103, 66)};
  return t->column(label, 5);
}

void bootstrap_cells(const RUVACOM* ctx, int i, EstimateRow* r) {
  const RUVA_BOOTSTRAP_CONTROL* b = ctx->ruvabootstrap_control;
  if (!bootstrap_columns(ctx)) return;
  // A group whose bootstrap did not run shows missing cells.
  auto take = [i, b](const double* values, double* cell) {
    *cell = values && b->boot_to_be_done ? values[i] : special_missing_value();
  };
  take(b->ci.boot_std_dev, &r->boot_sd);
  if (b->ci.bc) take(b->ci.bc_lower_ptr, &r->bc_lower), take(b->ci.bc_upper_ptr, &r->bc_upper);
  if (b->ci.perc) take(b->ci.perc_lower_ptr, &r->perc_lower), take(b->ci.perc_upper_ptr, &r->perc_upper);
  if (b->ci.normal) take(b->ci.normal_lower_ptr, &r->normal_lower), take(b->ci.normal_upper_ptr, &r->normal_upper);
}

// Box's bias of the estimate, missing when the curvature measures did not
// run for the BY group.
void box_bias_cells(const RUVACOM* ctx, int i, EstimateRow* r) {
  const DiagCurvature* cv = ctx->ruvadiag ? ctx->ruvadiag->curv_blck : nullptr;
  r->bias = cv ? cv->boxs_bias[i] : special_missing_value();
  r->per_bias = cv ? cv->per_boxs_bias[i] : special_missing_value();
}

bool parameter_row(ResultTable* t, RUVACOM* ctx, const Inference& inf, int i, EstimateRow* r) {
  const CMPSYM* sym = ctx->parmsym->s[i];
  r->set_name(sym->name, sym->nameleng);
  r->set_label(sym->info);
  r->est = ctx->parm[i];
  r->se = ctx->xpx[zisub(ctx->nparm, i)];
  r->lower = r->upper = r->t = special_missing_value();
  if (!wzmis(r->se)) {
    if (inf.error_df >= 1 && !wzmis(inf.t_quantile) && !wzmis(r->est)) {
      r->lower = r->est - inf.t_quantile * r->se;
      r->upper = inf.t_quantile * r->se + r->est;
    }
    if (r->se > kSmallestStdErr) r->t = r->est / r->se;
  }
  r->p = t_probability(r->t, inf.error_df, inf.variance_known);
  bootstrap_cells(ctx, i, r);
  if (ctx->boxs_bias_flag) box_bias_cells(ctx, i, r);
  if (ctx->hougaard) r->skew = ctx->hougaard[i];
  return t->row();
}

xobskey few_observations_note(const RUVACOM* ctx) {
  if (ctx->iobs >= ctx->nparm) return nullptr;
  return yolmsgs(kResultMessages, kMsgFewObservations, ctx->iobs, ctx->nparm);
}

}  // namespace

int print_parameter_estimates(RUVACOM* ctx, const Inference& inf) {
  EstimateRow r;
  ResultTable t(ctx->yolman);
  bool done = t.create_table("ParameterEstimates", result_text(kMsgTitle)) && define(&t, ctx, &r) &&
              t.open("stat.ruva.ParameterEstimates", few_observations_note(ctx));
  for (int i = 0; done && i < ctx->nparm; ++i) done = parameter_row(&t, ctx, inf, i, &r);
  if (done) done = constraint_rows(&t, ctx, inf, &r);
  if (done) done = t.finish(nullptr);
  return done ? 0 : t.status;
}
