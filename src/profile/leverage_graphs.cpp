// The leverage plot (tangential and/or Jacobian leverage of each
// observation) and the local-influence plot, in the group
// "LeverageInfluencePlots" under the output-statistics table. Both share
// one prepared block of dynamic variables.
#include <string>

#include "procedure/procedure_context.h"
#include "profile/graph_builders.h"
#include "profile/graph_requests.h"

namespace {

constexpr int kBlockEntries = 76;
constexpr int kMsgTanText = 252, kMsgJacText = 253, kMsgBothText = 254, kMsgLmax = 257, kMsgLevTitle = 258;
constexpr int kMsgLmaxTitle = 259, kMsgGraphLabel = 260, kMsgObservation = 261, kMsgShortObservation = 262;
constexpr int kMsgTanLev = 263, kMsgShortTanLev = 264, kMsgJacLev = 265, kMsgShortJacLev = 266;
constexpr int kMsgLev = 267, kMsgShortLmax = 268, kMsgGroup = 280;

int leverage_text(char type) { return type == 'T' ? kMsgTanText : type == 'J' ? kMsgJacText : kMsgBothText; }

void set_levinf_scalars(const RUVACOM* ctx, const SymbolTexts& dep, GraphEntries& e) {
  const RUVADIAGNOSTICS_PANEL* panel = ctx->graph_control->ruvadiagnostics_panel;
  const char type = panel->levtype;
  const bool both = type != 'T' && type != 'J';
  const InsetStats s = inset_stats(ctx, panel->plot_stats, true);
  e.var_text("_DEPNAME", text_of(dep.name))
      .var_int("_SHOW_TAN", type == 'J' ? 0 : 1)
      .var_int("_SHOW_JAC", type == 'T' ? 0 : 1)
      .var_text("_TAN_LEG", both ? graph_text(kMsgTanLev) : nullptr)
      .var_text("_JAC_LEG", both ? graph_text(kMsgJacLev) : nullptr)
      .var_text("_LEV_LABEL", graph_text(type == 'T' ? kMsgTanLev : type == 'J' ? kMsgJacLev : kMsgLev))
      .var_text("_SHORT_LEV_LABEL", graph_text(type == 'T' ? kMsgShortTanLev : type == 'J' ? kMsgShortJacLev : kMsgLev))
      .var_text("_X_LEV_LABEL", graph_text(kMsgObservation))
      .var_text("_X_SHORT_LEV_LABEL", graph_text(kMsgShortObservation))
      .var_text("_LMAX_LABEL", graph_text(kMsgLmax))
      .var_text("_SHORT_LMAX_LABEL", graph_text(kMsgShortLmax))
      .var_text("_X_LMAX_LABEL", graph_text(kMsgObservation))
      .var_text("_X_SHORT_LMAX_LABEL", graph_text(kMsgShortObservation))
      .var_int("_SHOWSTATS", s.show)
      .var_int("_NCOLS", 2);
  add_panel_inset_curvatures(e, s);
  e.var_int("_HEIGHT", panel->plot_stats ? 360 : 420);
  add_panel_inset_variances(e, s);
  e.var_double("_NROWS", both ? 2.0 : 1.0)
      .var_int("_SHOWCURVCRIT", s.show_curvcrit)
      .var_double("_CURVCRIT", s.curvcrit)
      .var_int("_LABEL_WITH_DATA", panel->labelobs_flag ? 1 : 0);
}

}  // namespace

void ruvadiag_levinf_graph(RUVACOM* ctx, xobskey* path) {
  const RUVADIAGNOSTICS_PANEL* panel = ctx->graph_control->ruvadiagnostics_panel;
  const CMPSYM* dep_sym = dependent_symbol(ctx);
  if (!dep_sym) return;
  const SymbolTexts dep = symbol_texts(ctx, dep_sym);
  const std::string lev = message_string(leverage_text(panel->levtype)), lmax = message_string(kMsgLmax);
  const std::string obs = message_string(kMsgObservation);
  GraphEntries block;
  set_levinf_scalars(ctx, dep, block);
  if (!check_scalar_block(block, kBlockEntries)) return;
  wobop group = open_graph_group(ctx, "LeverageInfluencePlots", graph_text(kMsgGroup));
  make_block_graph(ctx, path,
                   {"LeveragePlot", "stat.ruva.Graphics.LeveragePlot",
                    graph_text(kMsgGraphLabel, lev.c_str(), obs.c_str(), dep.name.c_str()), text_of(lev),
                    graph_text(kMsgLevTitle, lev.c_str(), obs.c_str())},
                   block);
  make_block_graph(ctx, path,
                   {"LocalInfluencePlot", "stat.ruva.Graphics.LocalInfluencePlot",
                    graph_text(kMsgGraphLabel, lmax.c_str(), obs.c_str(), dep.name.c_str()), graph_text(kMsgLmax),
                    graph_text(kMsgLmaxTitle, lmax.c_str(), obs.c_str())},
                   block);
  end_graph_group(group);
}
