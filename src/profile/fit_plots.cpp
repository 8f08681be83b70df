// The fit plot (observations, fitted curve, confidence band for the mean
// and prediction band against the one regressor) and the contour-fit plot
// (the fitted surface over two regressors). Each reads a score grid made
// just before it, under a path of the output-statistics table's key and
// the grid's.
#include <string>

#include "host/services.h"
#include "procedure/group_name.h"
#include "procedure/procedure_context.h"
#include "profile/fit_carried_state.h"
#include "profile/fit_curve_groups.h"
#include "profile/graph_builders.h"
#include "profile/graph_requests.h"
#include "results/diagnostics_record.h"

namespace {

constexpr int kMsgWeightedPredLimits = 299, kMsgPredLimits = 300, kMsgConfLimits = 301;
constexpr int kMsgFitPlot = 302, kMsgContourFitPlot = 303, kMsgFitTitle = 304, kMsgBothLimitsTitle = 305;
constexpr int kMsgPredTitle = 306, kMsgConfTitle = 307, kMsgContourTitle = 308;
constexpr int kMsgTooManyCurves = 977, kMsgNoSurface = 978, kMsgCarriedCurve = 750, kMsgCarriedSurface = 751;
constexpr int kMsgConstantRegressor = 1030;

const char* c_str(const std::string& s) { return s.c_str(); }

xobskey fit_title(const RUVACOM* ctx, bool clm, bool cli, const SymbolTexts& dep, const SymbolTexts& x) {
  const double level = (1 - ctx->alpha) * 100;
  if (!clm && !cli) return graph_text(kMsgFitTitle, c_str(dep.name), c_str(x.name));
  const int number = clm && cli ? kMsgBothLimitsTitle : clm ? kMsgConfTitle : kMsgPredTitle;
  return graph_text(number, level, c_str(dep.name), c_str(x.name));
}

void fit_plot(RUVACOM* ctx, xobskey* keys, const CMPSYM* dep_sym, const CMPSYM* x_sym) {
  const RUVAFIT_PLOT* fit = ctx->graph_control->ruvafit_plot;
  const SymbolTexts dep = symbol_texts(ctx, dep_sym), x = symbol_texts(ctx, x_sym);
  const CurveGroups groups = curve_groups(ctx);
  if (groups.too_many) {
    xpmlog(kGraphMessages, kMsgTooManyCurves, c_str(x.name), groups.names().c_str(), static_cast<int>(kMaxFitCurves));
    return;
  }
  ruvagrid(ctx, &keys[1], text_of(x.name), text_of(dep.name), groups);
  if (!keys[1]) return;  // no grid to draw from
  const bool clm = !fit->noCLM_flag, cli = !fit->noCLI_flag, weighted = ctx->weightflag != 0;
  const double level = (1 - ctx->alpha) * 100;
  GraphEntries e;
  e.literal(138, "FitPlot")
      .text(296, fit_title(ctx, clm, cli, dep, x))
      .text(310, graph_text(kMsgFitPlot))
      .literal(339, "stat.ruva.Graphics.FitPlot")
      .path(keys, 2)
      .var_literal("_XPRED", "xgrid")
      .var_literal("_YPRED", "ygrid")
      .var_literal("_UCM", clm ? "ucmgrid" : nullptr)
      .var_literal("_LCM", clm ? "lcmgrid" : nullptr)
      .var_literal("_UCI", cli ? "ucigrid" : nullptr)
      .var_literal("_LCI", cli ? "lcigrid" : nullptr)
      .var_text("_XVAR", text_of(x.label))
      .var_literal("_YVAR", "Observed")
      .var_literal("_YVARGRID", cli && weighted ? "yvargrid" : nullptr)
      .var_double("_HASPREDLIMITS", cli ? 1.0 : 0.0)
      .var_double("_HASCONFLIMITS", clm ? 1.0 : 0.0)
      .var_text("_PREDLIMLABEL", cli ? graph_text(weighted ? kMsgWeightedPredLimits : kMsgPredLimits, level) : nullptr)
      .var_text("_CONFLABEL", clm ? graph_text(kMsgConfLimits, level) : nullptr)
      .var_text("_DEPNAME", text_of(dep.name))
      .var_text("_DEPLABEL", text_of(dep.label))
      .var_text("_SHORTDEPLABEL", text_of(dep.short_label))
      .var_text("_INDEPLABEL", text_of(x.label))
      .var_text("_SHORTINDEPLABEL", text_of(x.short_label))
      .var_int("_WEIGHT", weighted ? 1 : 0);
  add_fit_plot_inset(e, inset_stats(ctx, fit->plot_stats, false));
  if (groups.several()) {
    e.var_literal("_CURVEVAR", "curvegrid").var_int("_NCURVES", static_cast<std::int32_t>(groups.values.size()));
    for (std::size_t g = 0; g < groups.values.size(); ++g)
      e.var_text(("_CURVELABEL" + std::to_string(g + 1)).c_str(), text_of(groups.label(g)));
  }
  make_graph(ctx, e);
}

void contour_fit_plot(RUVACOM* ctx, xobskey* keys, const CMPSYM* dep_sym, CMPSYM* const* regs) {
  const RUVAFIT_PLOT* fit = ctx->graph_control->ruvafit_plot;
  const SymbolTexts dep = symbol_texts(ctx, dep_sym), x = symbol_texts(ctx, regs[0]), y = symbol_texts(ctx, regs[1]);
  // One surface is drawn: it must not depend on anything but the two.
  if (const CurveGroups groups = curve_groups(ctx); groups.several()) {
    xpmlog(kGraphMessages, kMsgNoSurface, c_str(x.name), c_str(y.name), groups.names().c_str());
    return;
  }
  // A regressor that takes one value in the group gives the surface no
  // extent along it: there is nothing to draw contours over.
  const DiagRegressors* r = ctx->ruvadiag->regs_blck;
  for (int k = 0; k < 2; ++k)
    if (r->xmins[k] == r->xmaxs[k]) {
      xpmlog(kGraphMessages, kMsgConstantRegressor, c_str((k == 0 ? x : y).name), group_name(ctx).c_str());
      return;
    }
  ruvagrid2d(ctx, &keys[1], text_of(x.name), text_of(y.name), text_of(dep.name));
  if (!keys[1]) return;
  GraphEntries e;
  e.literal(138, "ContourFitPlot")
      .text(296, graph_text(kMsgContourTitle, c_str(dep.name), c_str(x.name), c_str(y.name)))
      .text(310, graph_text(kMsgContourFitPlot))
      .literal(339, "stat.ruva.Graphics.ContourFitPlot")
      .path(keys, 2)
      .var_literal("_XPRED", "xgrid")
      .var_literal("_YPRED", "ygrid")
      .var_literal("_ZPRED", "zgrid")
      .var_text("_XVAR", text_of(x.label))
      .var_text("_YVAR", text_of(y.label))
      .var_literal("_ZVAR", "Observed")
      .var_text("_DEPNAME", text_of(dep.name))
      .var_text("_DEPLABEL", text_of(dep.label))
      .var_text("_XLABEL", text_of(x.label))
      .var_text("_YLABEL", text_of(y.label))
      .var_text("_SHORTXLABEL", text_of(x.short_label))
      .var_text("_SHORTYLABEL", text_of(y.short_label))
      .var_int("_SHOWOBS", fit->obs_flag)
      .var_int("_SHOWCONTLEGEND", fit->contlegend_flag ? 1 : 0);
  add_fit_plot_inset(e, inset_stats(ctx, fit->plot_stats, false));
  make_graph(ctx, e);
}

// The grids score the model one point at a time, so a predicted value that
// depends on values carried from one observation to the next has no curve
// or surface over the regressors alone that is right at the observations.
// The program is the same in every BY group: the plot is left out in each,
// and the note given once.
bool carried_values_rule_out(RUVACOM* ctx, const DiagRegressors* r) {
  const std::string carried = carried_into_prediction(ctx);
  if (carried.empty()) return false;
  RUVAFIT_PLOT* fit = ctx->graph_control->ruvafit_plot;
  if (fit->carried_noted) return true;
  fit->carried_noted = 1;
  const SymbolTexts x = symbol_texts(ctx, r->used_regs->s[0]);
  if (r->num_regressors == 1) {
    xpmlog(kGraphMessages, kMsgCarriedCurve, c_str(carried), c_str(x.name));
  } else {
    const SymbolTexts y = symbol_texts(ctx, r->used_regs->s[1]);
    xpmlog(kGraphMessages, kMsgCarriedSurface, c_str(carried), c_str(x.name), c_str(y.name));
  }
  return true;
}

}  // namespace

void ruvafit_graph(RUVACOM* ctx, xobskey* path) {
  const DiagRegressors* r = ctx->ruvadiag ? ctx->ruvadiag->regs_blck : nullptr;
  const CMPSYM* dep = dependent_symbol(ctx);
  if (!r || !dep || (r->num_regressors != 1 && r->num_regressors != 2)) return;
  if (carried_values_rule_out(ctx, r)) return;
  xobskey keys[2] = {*path, nullptr};
  if (r->num_regressors == 1)
    fit_plot(ctx, keys, dep, r->used_regs->s[0]);
  else
    contour_fit_plot(ctx, keys, dep, r->used_regs->s);
}
