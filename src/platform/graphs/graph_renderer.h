// Draws a graph request as an SVG picture by its template's name, from the
// tables found under the request's output path.
#pragma once

#include <string>

#include "platform/graphs/graph_data.h"

namespace platform::graphs {

// The SVG of the graph; "" with the reason in `why` when the template is
// unknown or its data are not there.
std::string render_graph(const GraphRequest& request, const TableLookup& lookup, std::string* why);

}  // namespace platform::graphs
