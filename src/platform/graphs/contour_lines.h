// Contours of a surface given on a rectangular grid. Each grid cell is cut
// into two triangles over which the surface is taken as linear, so that the
// filled bands between levels and the contour lines agree exactly.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

#include "platform/graphs/svg_document.h"

namespace platform::graphs {

struct SurfaceGrid {
  std::vector<double> x, y;  // grid lines, increasing
  std::vector<double> z;     // z[i * y.size() + j] at (x[i], y[j]); NaN where missing
};

// The band of z among increasing levels: b with levels[b] <= z < levels[b+1],
// the last band closed.
std::size_t band_of(double z, const std::vector<double>& levels);

// The region of one band, in data coordinates.
struct BandPolygon {
  std::size_t band = 0;
  std::vector<Point> points;
};
// The surface cut into the bands between consecutive levels; cells with a
// missing corner are left out, and runs of whole cells of one band along y
// come as one rectangle.
std::vector<BandPolygon> band_polygons(const SurfaceGrid& grid, const std::vector<double>& levels);

// The segments of the contour z = level.
std::vector<std::pair<Point, Point>> contour_segments(const SurfaceGrid& grid, double level);

}  // namespace platform::graphs
