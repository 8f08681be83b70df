// The score grids behind the fit plots: the fitted model evaluated by the
// compiled program over a fine grid of its regressor (with confidence
// limits for the mean and prediction limits, once for each combination of
// the other data-set variables the model uses, then one row per observation
// of the BY group), or over a 50 by 50 grid of its two regressors. The rows
// go to the output service as data objects that the plots read.
#include <algorithm>
#include <cmath>

#include "host/missing.h"
#include "host/services.h"
#include "linalg/packed.h"
#include "prob/t_f_beta.h"
#include "procedure/convergence_status.h"
#include "procedure/data_pass.h"
#include "procedure/inverse_in_use.h"
#include "procedure/model_run.h"
#include "procedure/procedure_context.h"
#include "profile/fit_curve_groups.h"
#include "profile/graph_builders.h"
#include "profile/graph_requests.h"
#include "results/diagnostics_record.h"
#include "results/result_output.h"

namespace {

constexpr int kGridSteps = 200;      // 201 grid rows
constexpr int kContourPoints = 50;   // per regressor
constexpr double kLargestDerivative = 1.3407807929942597e152;
constexpr int kMsgUcm = 174, kMsgLcm = 175, kMsgUci = 176, kMsgLci = 177, kMsgObserved = 178;

// The value cells of one ScoreGrid row; `curve` numbers the combination
// of the other variables (from 1) when there are several.
struct GridRow {
  double x, y, ucm, lcm, uci, lci, yvar, curve;
};

struct GridSettings {
  bool mean_limits, pred_limits;
  double t;    // the two-sided quantile of the limits, missing without limits
  double mse;  // the error variance of the fit
};

bool present(double v) { return !is_missing(v) && std::isfinite(v); }

GridSettings grid_settings(const RUVACOM* ctx) {
  const RUVAFIT_PLOT* fit = ctx->graph_control->ruvafit_plot;
  GridSettings g{!fit->noCLM_flag, !fit->noCLI_flag, special_missing_value(), ctx->ruvadiag->com_blck->mse};
  if (!g.mean_limits && !g.pred_limits) return g;
  // The fit's error degrees of freedom, as OUTPUT's limits have them: a
  // dependent parameter, or one held by an active bound, does not count.
  // The result tables that record them come after the graphs.
  const double df = static_cast<double>(error_df(ctx));
  double q = 0;
  if (zqt(1 - ctx->alpha / 2, df, &q) == 0) g.t = q;
  return g;
}

// d'Cd for the current point's derivatives and the fit's inverse
// cross-product matrix; false when a derivative is missing or too large.
bool leverage_form(const RUVACOM* ctx, double* h) {
  const int p = ctx->nparm;
  *h = 0;
  for (int i = 0; i < p; ++i) {
    const double di = *ctx->derloc[i];
    if (!present(di) || !(std::fabs(di) < kLargestDerivative)) return false;
  }
  const double* c = inverse_in_use(ctx);
  for (int i = 0; i < p; ++i) {
    const double di = *ctx->derloc[i];
    *h += di * di * c[zisub(i, i)];
    for (int j = 0; j < i; ++j) *h += 2 * di * *ctx->derloc[j] * c[zisub(i, j)];
  }
  return true;
}

// Runs the program at the current point and fills the prediction and limits.
void score_point(RUVACOM* ctx, const GridSettings& g, GridRow* row) {
  const int rc = nlexec(ctx);
  if (rc != 0 || ctx->failed) return;
  row->y = *ctx->dephat;
  double h = 0;
  if (is_missing(row->y) || is_missing(g.t) || !leverage_form(ctx, &h)) return;
  const double mse = g.mse;
  if (g.mean_limits && !is_missing(mse) && !(mse < -ctx->epsilon)) {
    const double se = mse <= 0 || !(h > 0) ? 0.0 : std::sqrt(h * mse);
    row->ucm = row->y + se * g.t;
    row->lcm = row->y - se * g.t;
  }
  const double w = ctx->weight ? *ctx->weight : 1.0;
  if (g.pred_limits && !is_missing(w) && w > 0 && !is_missing(mse)) {
    const double se = h < 0 || !(mse > 0) ? 0.0 : std::sqrt((h + 1 / w) * mse);
    row->uci = row->y + se * g.t;
    row->lci = row->y - se * g.t;
  }
}

void clear_row(GridRow* row) {
  row->y = row->ucm = row->lcm = row->uci = row->lci = row->yvar = special_missing_value();
}

bool column(ResultTable* t, const char* name, double* cell, xobskey label) {
  WOB_PARM_BLK_STR pb[4] = {wob_int(103, 5), wob_text(138, yoltxt(name, -1)), wob_cell(285, cell),
                            wob_text(296, label)};
  return t->column(pb, 4);
}

bool define_grid(ResultTable* t, const GridSettings& g, GridRow* row, xobskey x_text, xobskey y_text,
                 bool several) {
  bool ok = t->create_data("ScoreGrid", nullptr) && column(t, "xgrid", &row->x, x_text) &&
            column(t, "ygrid", &row->y, y_text);
  if (ok && several) ok = column(t, "curvegrid", &row->curve, yoltxt("Curve", -1));
  if (ok && g.mean_limits)
    ok = column(t, "ucmgrid", &row->ucm, graph_text(kMsgUcm)) && column(t, "lcmgrid", &row->lcm, graph_text(kMsgLcm));
  if (ok && g.pred_limits)
    ok = column(t, "ucigrid", &row->uci, graph_text(kMsgUci)) && column(t, "lcigrid", &row->lci, graph_text(kMsgLci)) &&
         column(t, "yvargrid", &row->yvar, graph_text(kMsgObserved));
  return ok;
}

// The grid points of the regressor's range, each run as an observation of
// its own, for each combination of the other variables.
void grid_rows(RUVACOM* ctx, const GridSettings& g, const CurveGroups& groups, ResultTable* t, GridRow* row) {
  const DiagRegressors* r = ctx->ruvadiag->regs_blck;
  const double lo = r->xmins[0], hi = r->xmaxs[0];
  for (std::size_t c = 0; c < std::max<std::size_t>(groups.values.size(), 1); ++c)
    for (int k = 0; k <= kGridSteps && t->ok(); ++k) {
      clear_row(row);
      row->x = lo + k * (hi - lo) / kGridSteps;
      row->curve = static_cast<double>(c + 1);
      cmpexi(0, 0, 0, &ctx->globcmp);
      *r->regressors[0] = row->x;
      if (c < groups.values.size()) groups.set(c);
      score_point(ctx, g, row);
      t->row();
    }
}

// The BY group's observations, in a pass of their own so that a program
// that carries values from one observation to the next predicts as in the
// fit's pass.
void observation_rows(RUVACOM* ctx, const GridSettings& g, const CurveGroups& groups, ResultTable* t,
                      GridRow* row) {
  const DiagRegressors* r = ctx->ruvadiag->regs_blck;
  xbyrwnd(ctx->fiddata, kXoGroupStart);
  nlexint();
  for (long i = 0; i < ctx->nobs && t->ok() && read_group_observation(ctx); ++i) {
    clear_row(row);
    cmpexi(0, 0, 0, &ctx->globcmp);
    move_observation(ctx);
    row->x = *r->regressors[0];
    row->yvar = *ctx->depval;
    row->curve = static_cast<double>(groups.current() + 1);
    score_point(ctx, g, row);
    t->row();
  }
}

}  // namespace

void ruvagrid(RUVACOM* ctx, xobskey* path, xobskey x_text, xobskey y_text, const CurveGroups& groups) {
  const GridSettings g = grid_settings(ctx);
  GridRow row{};
  ResultTable t(ctx->yolman);
  if (!define_grid(&t, g, &row, x_text, y_text, groups.several()) || !t.open_data("stat.ruva.ScoreGrid", true, path))
    return;
  const double model = ctx->model;
  ctx->model = 0.0;  // with derivatives, for the limits
  xbyrwnd(ctx->fiddata, kXoGroupStart);
  nlexint();
  grid_rows(ctx, g, groups, &t, &row);
  observation_rows(ctx, g, groups, &t, &row);
  ctx->model = model;
  t.finish(nullptr);
}

void ruvagrid2d(RUVACOM* ctx, xobskey* path, xobskey x_text, xobskey y_text, xobskey z_text) {
  const DiagRegressors* r = ctx->ruvadiag->regs_blck;
  double cells[3] = {};
  ResultTable t(ctx->yolman);
  WOB_PARM_BLK_STR pb[3][4];
  const char* names[3] = {"xgrid", "ygrid", "zgrid"};
  const xobskey labels[3] = {x_text, y_text, z_text};
  bool ok = t.create_data("ScoreGrid2d", nullptr);
  for (int c = 0; c < 3 && ok; ++c) {
    pb[c][0] = wob_int(103, 5), pb[c][1] = wob_text(138, yoltxt(names[c], -1));
    pb[c][2] = wob_cell(285, &cells[c]), pb[c][3] = wob_text(296, labels[c]);
    ok = t.column(pb[c], 4);
  }
  if (!ok || !t.open_data("Stat.ruva.ScoreGrid2d", true, path)) return;
  // Each range is widened by 5% of its width on both sides.
  double lo[2], hi[2];
  for (int k = 0; k < 2; ++k) {
    const double width = r->xmaxs[k] - r->xmins[k];
    lo[k] = r->xmins[k] - 0.05 * width;
    hi[k] = r->xmaxs[k] + 0.05 * width;
  }
  const double model = ctx->model;
  ctx->model = 1.0;  // the model value only
  nlexint();
  for (int i = 0; i < kContourPoints && t.ok(); ++i)
    for (int j = 0; j < kContourPoints && t.ok(); ++j) {
      cells[0] = lo[0] + i * (hi[0] - lo[0]) / (kContourPoints - 1);
      cells[1] = lo[1] + j * (hi[1] - lo[1]) / (kContourPoints - 1);
      cmpexi(0, 0, 0, &ctx->globcmp);
      *r->regressors[0] = cells[0];
      *r->regressors[1] = cells[1];
      cells[2] = nlexec(ctx) == 0 && !ctx->failed ? *ctx->dephat : special_missing_value();
      t.row();
    }
  ctx->model = model;
  t.finish(nullptr);
}
