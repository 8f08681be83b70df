// The fit-diagnostics graphs: one panel of every diagnostic of the fit, or
// nine single graphs when unpacked, in the group "FitDiagnosticsPlots"
// under the output-statistics table, whose columns they draw. All graphs of
// the group share one prepared block of dynamic variables.
#include <string>
#include <utility>

#include "procedure/procedure_context.h"
#include "profile/graph_builders.h"
#include "profile/graph_requests.h"

namespace {

constexpr int kBlockEntries = 116;
constexpr int kMsgResidExpec = 208, kMsgShortResidExpec = 209, kMsgRawResid = 210, kMsgProjResid = 211;
constexpr int kMsgResidBoxTitle = 212, kMsgResid = 213, kMsgShortProjResid = 217;
constexpr int kMsgStuResid = 215, kMsgStuProjResid = 216, kMsgShortStuProjResid = 219;
constexpr int kMsgTanLev = 220, kMsgShortTanLev = 221, kMsgJacLev = 222, kMsgShortJacLev = 223, kMsgPercent = 224;
constexpr int kMsgRawLegend = 225, kMsgProjLegend = 226;
constexpr int kMsgStuRaw = 227, kMsgStuProj = 228, kMsgStuBoth = 229;
constexpr int kMsgPredicted = 237, kMsgShortPredicted = 238, kMsgGroup = 239, kMsgPanel = 240;
constexpr int kMsgByPredicted = 242, kMsgPanelLabel = 243, kMsgRawHistTitle = 244, kMsgProjHistTitle = 245;

struct ResidualTexts {
  int resd, resd_label, resd_short, stu_label, stu_short, student;
};

ResidualTexts residual_texts(char type) {
  if (type == 'R') return {kMsgRawResid, kMsgRawResid, kMsgRawResid, kMsgStuResid, kMsgStuResid, kMsgStuRaw};
  if (type == 'P')
    return {kMsgProjResid, kMsgProjResid, kMsgShortProjResid, kMsgStuProjResid, kMsgShortStuProjResid, kMsgStuProj};
  return {kMsgResid, kMsgResid, kMsgResid, kMsgStuBoth, kMsgStuBoth, kMsgStuBoth};
}

void message_pair(GraphEntries& e, const char* name, const char* short_name, int label, int short_label) {
  e.var_text(name, graph_text(label)).var_text(short_name, graph_text(short_label));
}

void set_resddiag_scalars(const RUVACOM* ctx, const SymbolTexts& dep, GraphEntries& e) {
  const RUVADIAGNOSTICS_PANEL* panel = ctx->graph_control->ruvadiagnostics_panel;
  const ResidualTexts r = residual_texts(panel->resdtype);
  const InsetStats s = inset_stats(ctx, panel->plot_stats, true);
  e.var_text("_DEPNAME", text_of(dep.name))
      .var_text("_DEPLABEL", text_of(dep.label))
      .var_text("_SHORT_DEPLABEL", text_of(dep.short_label))
      .var_int("_SHOW_TAN", 1)
      .var_int("_SHOW_JAC", 1);
  message_pair(e, "_RESDEXPEC_LABEL", "_SHORT_RESDEXPEC_LABEL", kMsgResidExpec, kMsgShortResidExpec);
  message_pair(e, "_X_RESDEXPEC_LABEL", "_X_SHORT_RESDEXPEC_LABEL", kMsgPredicted, kMsgShortPredicted);
  message_pair(e, "_RESD_LABEL", "_SHORT_RESD_LABEL", r.resd_label, r.resd_short);
  message_pair(e, "_X_RESD_LABEL", "_X_SHORT_RESD_LABEL", kMsgPredicted, kMsgShortPredicted);
  message_pair(e, "_STURESD_LABEL", "_SHORT_STURESD_LABEL", r.stu_label, r.stu_short);
  message_pair(e, "_X_STURESD_LABEL", "_X_SHORT_STURESD_LABEL", kMsgPredicted, kMsgShortPredicted);
  message_pair(e, "_X_TAN_LEV_LABEL", "_X_SHORT_TAN_LEV_LABEL", kMsgTanLev, kMsgShortTanLev);
  message_pair(e, "_X_JAC_LEV_LABEL", "_X_SHORT_JAC_LEV_LABEL", kMsgJacLev, kMsgShortJacLev);
  message_pair(e, "_PER_LABEL", "_SHORT_PER_LABEL", kMsgPercent, kMsgPercent);
  message_pair(e, "_X_RAWRESD_LABEL", "_X_SHORT_RAWRESD_LABEL", kMsgRawResid, kMsgResid);
  message_pair(e, "_X_PROJRESD_LABEL", "_X_SHORT_PROJRESD_LABEL", kMsgProjResid, kMsgShortProjResid);
  message_pair(e, "_X_RAWRESD_LABEL", "_X_SHORT_RAWRESD_LABEL", kMsgRawResid, kMsgResid);
  message_pair(e, "_RAW_LEG", "_PROJ_LEG", kMsgRawLegend, kMsgProjLegend);
  message_pair(e, "_STURAW_LEG", "_STUPROJ_LEG", kMsgRawLegend, kMsgProjLegend);
  e.var_int("_SHOW_RAW", panel->resdtype == 'P' ? 0 : 1)
      .var_int("_SHOW_PROJ", panel->resdtype == 'R' ? 0 : 1)
      .var_int("_SHOWSTATS", s.show)
      .var_int("_NROWS", 3);
  add_panel_inset_curvatures(e, s);
  e.var_int("_HEIGHT", !panel->unpack_flag ? 480 : panel->plot_stats ? 360 : 420);
  add_panel_inset_variances(e, s);
  e.var_int("_SHOWCURVCRIT", s.show_curvcrit).var_double("_CURVCRIT", s.curvcrit);
}

// The nine unpacked graphs; R the residual text, S the studentized one.
void unpacked_graphs(RUVACOM* ctx, xobskey* path, GraphEntries& block, const char* d, const char* r,
                     const char* s) {
  auto msg = [](int n) { return graph_text(n); };
  const std::string raw = message_string(kMsgRawResid), proj = message_string(kMsgProjResid), expec = message_string(kMsgResidExpec);
  const std::string pred = message_string(kMsgByPredicted), tan = message_string(kMsgTanLev), jac = message_string(kMsgJacLev);
  auto by = [&](const char* what, const std::string& x) {
    return std::pair{graph_text(230, what, x.c_str(), d), graph_text(205, what, x.c_str())};
  };
  const auto stu_pred = by(s, pred), resd_pred = by(r, pred), stu_tan = by(s, tan), stu_jac = by(s, jac);
  const BlockGraph graphs[] = {
      {"RawResidualHistogram", "stat.ruva.Graphics.RawResidualHistogram", graph_text(232, raw.c_str(), d),
       graph_text(231, raw.c_str()), msg(kMsgRawHistTitle)},
      {"ProjectedResidualHistogram", "stat.ruva.Graphics.ProjectedResidualHistogram",
       graph_text(232, proj.c_str(), d), graph_text(231, proj.c_str()), msg(kMsgProjHistTitle)},
      {"ObservedByPredictedPlot", "stat.ruva.Graphics.ObservedByPredictedPlot", graph_text(234, d), msg(233),
       msg(233)},
      {"RStudentByPredictedPlot", "stat.ruva.Graphics.RStudentByPredictedPlot", stu_pred.first, stu_pred.second,
       stu_pred.second},
      {"ResidualByPredictedPlot", "stat.ruva.Graphics.ResidualbyPredictedPlot", resd_pred.first, resd_pred.second,
       resd_pred.second},
      {"RawResidualExpectationPlot", "stat.ruva.Graphics.RawResidualExpectationPlot",
       graph_text(207, expec.c_str(), d), msg(kMsgResidExpec), graph_text(206, expec.c_str())},
      {"RStudentByTanLeveragePlot", "stat.ruva.Graphics.RStudentByTanLeveragePlot", stu_tan.first, stu_tan.second,
       stu_tan.second},
      {"RStudentByJacLeveragePlot", "stat.ruva.Graphics.RStudentByJacLeveragePlot", stu_jac.first, stu_jac.second,
       stu_jac.second},
      {"ResidualBoxPlot", "stat.ruva.Graphics.ResidualBoxPlot", graph_text(235, d), msg(236),
       msg(kMsgResidBoxTitle)},
  };
  for (const BlockGraph& g : graphs) make_block_graph(ctx, path, g, block);
}

}  // namespace

void ruvadiag_resddiag_graph(RUVACOM* ctx, xobskey* path) {
  const RUVADIAGNOSTICS_PANEL* panel = ctx->graph_control->ruvadiagnostics_panel;
  const CMPSYM* dep_sym = dependent_symbol(ctx);
  if (!dep_sym) return;
  const SymbolTexts dep = symbol_texts(ctx, dep_sym);
  const ResidualTexts rt = residual_texts(panel->resdtype);
  const std::string r = message_string(rt.resd), s = message_string(rt.student);
  GraphEntries block;
  set_resddiag_scalars(ctx, dep, block);
  if (!check_scalar_block(block, kBlockEntries)) return;
  wobop group = open_graph_group(ctx, "FitDiagnosticsPlots", graph_text(kMsgGroup));
  if (!panel->unpack_flag) {
    make_block_graph(ctx, path,
                    {"FitDiagnosticsPanel", "stat.ruva.Graphics.FitDiagnosticsPanel",
                     graph_text(kMsgPanelLabel, r.c_str(), dep.name.c_str()), graph_text(kMsgPanel),
                     graph_text(kMsgPanel)},
                    block);
  } else {
    unpacked_graphs(ctx, path, block, dep.name.c_str(), r.c_str(), s.c_str());
  }
  end_graph_group(group);
}
