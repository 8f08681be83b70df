// Contour lines of a surface given on a rectangular grid, by marching
// squares with linear interpolation along the cell edges.
#pragma once

#include <utility>
#include <vector>

#include "platform/graphs/svg_document.h"

namespace platform::graphs {

struct SurfaceGrid {
  std::vector<double> x, y;  // grid lines, increasing
  std::vector<double> z;     // z[i * y.size() + j] at (x[i], y[j]); NaN where missing
};

// The segments of the contour z = level; cells with a missing corner have none.
std::vector<std::pair<Point, Point>> contour_segments(const SurfaceGrid& grid, double level);

}  // namespace platform::graphs
