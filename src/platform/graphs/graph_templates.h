// The drawing of each graph template. Each takes the request with its
// tables and returns the SVG, or "" after saying in `why` what is missing.
#pragma once

#include <cstddef>
#include <string>

#include "platform/graphs/graph_data.h"

namespace platform::graphs {

struct GraphSources {
  const GraphRequest& request;
  const TableLookup& lookup;
  // The table under key `i` of the request's path, or null.
  const GraphTable* table(std::size_t i) const {
    return i < request.path.size() && lookup ? lookup(request.path[i]) : nullptr;
  }
  // The fit's output-statistics table (the path's first key), or null with
  // the reason in *why.
  const GraphTable* output_statistics(std::string* why) const {
    const GraphTable* t = table(0);
    if (!t) *why = "the output-statistics table of the fit is not in the output";
    return t;
  }
};

using DrawGraph = std::string (*)(const GraphSources& sources, std::string* why);

std::string draw_fit_plot(const GraphSources& s, std::string* why);
std::string draw_contour_fit_plot(const GraphSources& s, std::string* why);
std::string draw_fit_diagnostics_panel(const GraphSources& s, std::string* why);
std::string draw_fit_diagnostic(const GraphSources& s, std::string* why);  // the nine single plots
std::string draw_leverage_plot(const GraphSources& s, std::string* why);
std::string draw_local_influence_plot(const GraphSources& s, std::string* why);
std::string draw_residual_panel(const GraphSources& s, std::string* why);
std::string draw_residual_plot(const GraphSources& s, std::string* why);
std::string draw_profile_t_plot(const GraphSources& s, std::string* why);
std::string draw_confidence_curve(const GraphSources& s, std::string* why);
std::string draw_jackknife_plot(const GraphSources& s, std::string* why);
std::string draw_bootstrap_histogram(const GraphSources& s, std::string* why);
std::string draw_bootstrap_scatter(const GraphSources& s, std::string* why);

}  // namespace platform::graphs
