#include "platform/graphs/contour_lines.h"

#include <cmath>

namespace platform::graphs {

std::vector<std::pair<Point, Point>> contour_segments(const SurfaceGrid& g, double level) {
  std::vector<std::pair<Point, Point>> segments;
  const std::size_t nx = g.x.size(), ny = g.y.size();
  if (nx < 2 || ny < 2 || g.z.size() != nx * ny) return segments;
  auto z = [&](std::size_t i, std::size_t j) { return g.z[i * ny + j]; };
  for (std::size_t i = 0; i + 1 < nx; ++i) {
    for (std::size_t j = 0; j + 1 < ny; ++j) {
      // Corners counter-clockwise from (i, j).
      const Point p[4] = {{g.x[i], g.y[j]}, {g.x[i + 1], g.y[j]}, {g.x[i + 1], g.y[j + 1]}, {g.x[i], g.y[j + 1]}};
      const double v[4] = {z(i, j), z(i + 1, j), z(i + 1, j + 1), z(i, j + 1)};
      if (!std::isfinite(v[0]) || !std::isfinite(v[1]) || !std::isfinite(v[2]) || !std::isfinite(v[3])) continue;
      // Where the level crosses each edge k (from corner k to k+1).
      std::vector<Point> cuts;
      for (int k = 0; k < 4; ++k) {
        const double a = v[k], b = v[(k + 1) % 4];
        if ((a < level) == (b < level)) continue;
        const double t = (level - a) / (b - a);
        cuts.push_back({p[k].x + t * (p[(k + 1) % 4].x - p[k].x), p[k].y + t * (p[(k + 1) % 4].y - p[k].y)});
      }
      if (cuts.size() == 2) {
        segments.emplace_back(cuts[0], cuts[1]);
      } else if (cuts.size() == 4) {
        // A saddle: the cell's mean tells which corners join.
        const double centre = (v[0] + v[1] + v[2] + v[3]) / 4;
        if ((centre < level) == (v[0] < level)) {
          segments.emplace_back(cuts[0], cuts[1]);
          segments.emplace_back(cuts[2], cuts[3]);
        } else {
          segments.emplace_back(cuts[0], cuts[3]);
          segments.emplace_back(cuts[1], cuts[2]);
        }
      }
    }
  }
  return segments;
}

}  // namespace platform::graphs
