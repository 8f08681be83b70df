#include "platform/graphs/graph_renderer.h"

#include "platform/graphs/graph_templates.h"

namespace platform::graphs {

namespace {

struct TemplateEntry {
  const char* kind;  // the template's last name, lower case
  DrawGraph draw;
};

const TemplateEntry kTemplates[] = {
    {"fitplot", draw_fit_plot},
    {"contourfitplot", draw_contour_fit_plot},
    {"fitdiagnosticspanel", draw_fit_diagnostics_panel},
    {"rawresidualhistogram", draw_fit_diagnostic},
    {"projectedresidualhistogram", draw_fit_diagnostic},
    {"observedbypredictedplot", draw_fit_diagnostic},
    {"rstudentbypredictedplot", draw_fit_diagnostic},
    {"residualbypredictedplot", draw_fit_diagnostic},
    {"rawresidualexpectationplot", draw_fit_diagnostic},
    {"rstudentbytanleverageplot", draw_fit_diagnostic},
    {"rstudentbyjacleverageplot", draw_fit_diagnostic},
    {"residualboxplot", draw_fit_diagnostic},
    {"leverageplot", draw_leverage_plot},
    {"localinfluenceplot", draw_local_influence_plot},
    {"residualpanel", draw_residual_panel},
    {"residualplot", draw_residual_plot},
    {"profiletplot", draw_profile_t_plot},
    {"confidencecurve", draw_confidence_curve},
    {"jackknifeplot", draw_jackknife_plot},
    {"bootstraphistplot", draw_bootstrap_histogram},
    {"bootstrapscatterplot", draw_bootstrap_scatter},
};

}  // namespace

std::string render_graph(const GraphRequest& request, const TableLookup& lookup, std::string* why) {
  const std::string kind = request.kind();
  for (const TemplateEntry& t : kTemplates)
    if (kind == t.kind) return t.draw(GraphSources{request, lookup}, why);
  *why = "no drawing is known for the template " + request.template_path;
  return {};
}

}  // namespace platform::graphs
