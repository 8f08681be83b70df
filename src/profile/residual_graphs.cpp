// The residuals of a fit against each regressor, raw, projected or both,
// optionally with a LOESS smooth drawn by the template: paged panels of up
// to six cells, or one plot per regressor, in the group "ResidualPlots"
// under the output-statistics table, whose columns they name.
#include <algorithm>
#include <string>
#include <vector>

#include "procedure/procedure_context.h"
#include "profile/graph_builders.h"
#include "profile/graph_requests.h"
#include "results/diagnostics_record.h"

namespace {

constexpr int kMsgRawLegend = 225, kMsgProjLegend = 226, kMsgPanelTitlePattern = 400;
constexpr int kMsgKindBoth = 401, kMsgKindRaw = 402, kMsgKindProj = 403, kMsgLoessBoth = 404, kMsgLoess = 405;
constexpr int kMsgLoessRaw = 406, kMsgLoessProj = 407, kMsgRegressors = 408;
constexpr int kMsgShortRaw = 409, kMsgShortProj = 410, kMsgBothLabel = 411, kMsgRawLabel = 420, kMsgProjLabel = 421;
constexpr int kMsgPlotTitle = 412, kMsgPlotTitleLoess = 413, kMsgPage = 414;
constexpr int kMsgPanelTitle = 415, kMsgPanelTitleLoess = 416, kMsgGroup = 417;
constexpr int kCellsPerPanel = 6;

// What one residual type and the smooth request show.
struct ResidualSettings {
  bool raw, proj, smooth;
  int y_label, short_y_label, kind;
  int raw_legend, proj_legend;  // 0: none
};

ResidualSettings settings(const RUVARESD_PANEL* p) {
  ResidualSettings s{};
  switch (p->resdtype) {
    case 'R': s = {true, false, false, kMsgRawLabel, kMsgShortRaw, 0, kMsgRawLegend, 0}; break;
    case 'P': s = {false, true, false, kMsgProjLabel, kMsgShortProj, 0, 0, kMsgProjLegend}; break;
    case 'B': s = {true, true, false, kMsgBothLabel, kMsgBothLabel, 0, kMsgRawLegend, kMsgProjLegend}; break;
    default: s = {false, false, false, kMsgBothLabel, kMsgBothLabel, 0, 0, 0}; break;
  }
  s.kind = s.raw && s.proj ? kMsgKindBoth : s.raw ? kMsgKindRaw : kMsgKindProj;
  s.smooth = p->loess_flag != 0;
  return s;
}

xobskey message_or_none(int number) { return number ? graph_text(number) : nullptr; }

// The fifteen pairs that panels and plots share, from "_DEPLABEL" on.
void add_residual_pairs(GraphEntries& e, const ResidualSettings& s, const SymbolTexts& dep) {
  const int loess_label = !s.smooth ? 0 : s.raw && s.proj ? kMsgLoessBoth : kMsgLoess;
  e.var_text("_DEPLABEL", text_of(dep.label))
      .var_int("_SHOWSMOOTH", s.smooth ? 1 : 0)
      .var_text("_LOESSLABEL", message_or_none(loess_label))
      .var_text("_LOESS_LEG_RAW", message_or_none(s.smooth ? kMsgLoessRaw : 0))
      .var_text("_LOESS_LEG_PROJ", message_or_none(s.smooth ? kMsgLoessProj : 0))
      .var_text("_Y_LABEL", graph_text(s.y_label))
      .var_text("_SHORT_Y_LABEL", graph_text(s.short_y_label))
      .var_int("_SHOWRAW", s.raw ? 1 : 0)
      .var_literal("_RAWRESD", s.raw ? "Residual" : nullptr)
      .var_text("_RAWLEGENDLABEL", message_or_none(s.raw_legend))
      .var_literal("_SMOOTHRAWRESD", s.smooth ? "Residual" : nullptr)
      .var_int("_SHOWPROJ", s.proj ? 1 : 0)
      .var_literal("_PROJRESD", s.proj ? "ProjectedResidual" : nullptr)
      .var_text("_PROJLEGENDLABEL", message_or_none(s.proj_legend))
      .var_literal("_SMOOTHPROJRESD", s.smooth ? "ProjectedResidual" : nullptr);
}

// The six cells of a panel, the first `used` filled from `regs`.
void add_cells(GraphEntries& cells, const SymbolTexts* regs, int used) {
  for (int c = 1; c <= kCellsPerPanel; ++c) {
    const std::string n = std::to_string(c);
    const bool filled = c <= used;
    cells.var_text(("_XVAR" + n).c_str(), filled ? text_of(regs[c - 1].label) : nullptr)
        .var_text(("_LABEL" + n).c_str(), filled ? text_of(regs[c - 1].label) : nullptr)
        .var_text(("_SHORTLABEL" + n).c_str(), filled ? text_of(regs[c - 1].short_label) : nullptr);
  }
}

void panels(RUVACOM* ctx, xobskey* path, const ResidualSettings& s, const SymbolTexts& dep,
            const std::vector<SymbolTexts>& regs) {
  const int n = static_cast<int>(regs.size());
  const PanelLayout layout = get_panel_parms(n);
  const int pages = n < 5 ? 1 : layout.panels;
  const xobskey title = graph_text(s.smooth ? kMsgPanelTitleLoess : kMsgPanelTitle, dep.name.c_str());
  const std::string kind = message_string(s.kind), regressors = message_string(kMsgRegressors);
  for (int k = 1; k <= pages; ++k) {
    const int first = kCellsPerPanel * (k - 1), used = std::min(kCellsPerPanel, n - first);
    const xobskey page = graph_text(kMsgPage, k);
    GraphEntries cells;
    add_cells(cells, regs.data() + first, used);
    GraphEntries e;
    e.literal(138, "ResidualPanel")
        .literal(339, "stat.ruva.Graphics.ResidualPanel")
        .text(296, title)
        .text(310, page)
        .path(path, 1)
        .var_text("_PanelLabel", pages > 1 ? page : nullptr)
        .var_int("_NROWS", layout.rows)
        .var_int("_NCOLS", layout.cols)
        .var_int("_NPLOTS", used)
        .var_literal("_SHRINKFONTS", used > 2 ? "TRUE" : "FALSE")
        .var_text("_TITLE", graph_text(kMsgPanelTitlePattern, kind.c_str(), regressors.c_str()));
    add_residual_pairs(e, s, dep);
    e.var_int("_HEIGHT", k == 1 && layout.rows == 1 && layout.cols > 1 ? 360 : 480)
        .block(174, cells.data(), cells.size());
    make_graph(ctx, e);
  }
}

void plots(RUVACOM* ctx, xobskey* path, const ResidualSettings& s, const SymbolTexts& dep,
           const std::vector<SymbolTexts>& regs) {
  for (const SymbolTexts& x : regs) {
    GraphEntries e;
    e.literal(138, "ResidualPlot")
        .literal(339, "stat.ruva.Graphics.ResidualPlot")
        .text(296, graph_text(s.smooth ? kMsgPlotTitleLoess : kMsgPlotTitle, x.name.c_str(), dep.name.c_str()))
        .text(310, text_of(x.name))
        .path(path, 1)
        .var_text("_XVAR", text_of(x.label))
        .var_text("_X_LABEL", text_of(x.label))
        .var_text("_SHORT_X_LABEL", text_of(x.short_label))
        .var_text("_TITLE", graph_text(s.kind));
    add_residual_pairs(e, s, dep);
    make_graph(ctx, e);
  }
}

}  // namespace

void ruvaresd_graph(RUVACOM* ctx, xobskey* path) {
  const RUVARESD_PANEL* panel = ctx->graph_control->ruvaresd_panel;
  const DiagRegressors* r = ctx->ruvadiag ? ctx->ruvadiag->regs_blck : nullptr;
  const CMPSYM* dep_sym = dependent_symbol(ctx);
  if (!dep_sym) return;
  const ResidualSettings s = settings(panel);
  std::vector<SymbolTexts> regs;
  for (int i = 0; r && i < r->num_regressors; ++i) regs.push_back(symbol_texts(ctx, r->used_regs->s[i]));
  const SymbolTexts dep = symbol_texts(ctx, dep_sym);
  wobop group = open_graph_group(ctx, "ResidualPlots", graph_text(kMsgGroup));
  if (regs.size() != 1 && !panel->unpack_flag)
    panels(ctx, path, s, dep, regs);
  else
    plots(ctx, path, s, dep, regs);
  end_graph_group(group);
}
