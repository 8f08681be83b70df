// The graphs of profiling: profile-t plots (Wald pivot against the
// likelihood-ratio pivot), confidence curves (the parameter against the
// likelihood-ratio x with the Wald limits and t quantiles) and jackknife
// plots (the percentage change per left-out observation). Each graph is
// placed under the output path of its parameter's table of this BY group
// and names that table's columns.
#include <string>

#include "procedure/procedure_context.h"
#include "profile/graph_builders.h"
#include "profile/graph_requests.h"

namespace {

constexpr int kMsgJackknifeTitle = 460, kMsgJackknifeLabel = 461, kMsgTplot = 462, kMsgConfCurve = 463;
constexpr int kMsgTplotGroup = 464, kMsgConfCurveGroup = 465, kMsgJackknifeGroup = 466;
enum GraphKind { kTplot = 0, kConfCurve = 1, kJackknife = 2 };

struct ProfileFamily {
  GraphKind kind;
  const char* group;
  int label;
};
constexpr ProfileFamily kFamilies[] = {{kTplot, "ProfiletPlots", kMsgTplotGroup},
                                       {kConfCurve, "ConfidenceCurves", kMsgConfCurveGroup},
                                       {kJackknife, "AbsRelPerDiffPlots", kMsgJackknifeGroup}};

char requested(const RUVAPROFILE_CONTROL* prof, GraphKind kind) {
  return kind == kTplot ? prof->graph.u_tplot_flag : kind == kConfCurve ? prof->graph.u_confcurv_flag
                                                                       : prof->graph.u_jackknife_flag;
}

bool wanted(const RUVAPROFILE_CONTROL* prof, GraphKind kind, int j) {
  const int loc = prof->comp.prof_parm_loc[j];
  const char* flags = kind == kTplot ? prof->graph.tplot_flag : kind == kConfCurve ? prof->graph.confcurv_flag
                                                                                  : prof->graph.jackknife_flag;
  return flags[loc] != 0;
}

// The head of a graph: name, template, label, the parameter's name as
// second text, the one-key path, "_TITLE" and "_PARMNAME".
GraphEntries head(const char* name, const char* templ, xobskey label, xobskey title, const std::string& parm,
                  xobskey* path) {
  GraphEntries e;
  e.literal(138, name).literal(339, templ).text(296, label).text(310, text_of(parm)).path(path, 1);
  e.var_text("_TITLE", title).var_text("_PARMNAME", text_of(parm));
  return e;
}

void tplot(RUVACOM* ctx, xobskey* path, const std::string& parm) {
  GraphEntries e = head("ProfiletPlot", "stat.ruva.Graphics.ProfiletPlot", graph_text(kMsgTplot, parm.c_str()),
                        graph_text(kMsgTplot, parm.c_str()), parm, path);
  e.var_literal("_WSTAT", "WaldPivotalStat")
      .var_literal("_LSTAT", "LikelihoodRatioPivotalStat")
      .var_literal("_PARM", "ParameterValue");
  make_graph(ctx, e);
}

void confidence_curve(RUVACOM* ctx, xobskey* path, const std::string& parm, int j) {
  const auto& ref = ctx->ruvaprofile_control->ref;
  GraphEntries e =
      head("ConfidenceCurve", "stat.ruva.Graphics.ConfidenceCurve", graph_text(kMsgConfCurve, parm.c_str()),
           graph_text(kMsgConfCurve, parm.c_str()), parm, path);
  e.var_literal("_xValue", "xValue")
      .var_literal("_UWALDREF", "UWaldValue")
      .var_literal("_LWALDREF", "LWaldValue")
      .var_literal("_PARM", "ParameterValue")
      .var_double("_tval99", ref.tval99)
      .var_double("_tval95", ref.tval95)
      .var_double("_tval90", ref.tval90)
      .var_double("_tval80", ref.tval80)
      .var_double("_show_tval99", ref.show_tval99[j] ? 1.0 : 0.0)
      .var_double("_show_tval95", ref.show_tval95[j] ? 1.0 : 0.0)
      .var_double("_show_tval90", ref.show_tval90[j] ? 1.0 : 0.0)
      .var_double("_show_tval80", ref.show_tval80[j] ? 1.0 : 0.0);
  make_graph(ctx, e);
}

void jackknife_plot(RUVACOM* ctx, xobskey* path, const std::string& parm) {
  GraphEntries e =
      head("JackknifePlot", "stat.ruva.Graphics.JackknifePlot", graph_text(kMsgJackknifeLabel, parm.c_str()),
           graph_text(kMsgJackknifeTitle, parm.c_str()), parm, path);
  e.var_literal("_PARMPERDIF", "ParameterPercentageChange");
  make_graph(ctx, e);
}

// One group: every profiled parameter that asks for the graph and has a
// table of this BY group; a parameter that could not be profiled here has
// none and is skipped.
void family(RUVACOM* ctx, const ProfileFamily& f) {
  const RUVAPROFILE_CONTROL* prof = ctx->ruvaprofile_control;
  if (!requested(prof, f.kind)) return;
  wobop group = open_graph_group(ctx, f.group, graph_text(f.label));
  for (int j = 0; j < prof->comp.prof_parms.n; ++j)
    if (wanted(prof, f.kind, j) && prof->graph.path_store[j]) ruva_profile_graphics(ctx, f.kind, j);
  end_graph_group(group);
}

}  // namespace

void ruva_profile_graphics(RUVACOM* ctx, int kind, int j) {
  const RUVAPROFILE_CONTROL* prof = ctx->ruvaprofile_control;
  const CMPSYM* sym = prof->comp.prof_parms.s[j];
  const std::string parm(sym->name, static_cast<std::size_t>(sym->nameleng));
  xobskey path = prof->graph.path_store[j];
  if (!path) return;
  if (kind == kTplot) tplot(ctx, &path, parm);
  if (kind == kConfCurve) confidence_curve(ctx, &path, parm, j);
  if (kind == kJackknife) jackknife_plot(ctx, &path, parm);
}

void produce_t_cc_plots(RUVACOM* ctx) {
  family(ctx, kFamilies[kTplot]);
  family(ctx, kFamilies[kConfCurve]);
}

void produce_jackknife_plots(RUVACOM* ctx) { family(ctx, kFamilies[kJackknife]); }
