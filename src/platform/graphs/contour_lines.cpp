#include "platform/graphs/contour_lines.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace platform::graphs {
namespace {

struct Vertex {
  double x, y, z;
};

// The part of a polygon where z >= level (above) or z <= level (below),
// cut along its edges by linear interpolation.
std::vector<Vertex> clip(const std::vector<Vertex>& polygon, double level, bool above) {
  std::vector<Vertex> out;
  auto inside = [&](const Vertex& v) { return above ? v.z >= level : v.z <= level; };
  for (std::size_t k = 0; k < polygon.size(); ++k) {
    const Vertex& a = polygon[k];
    const Vertex& b = polygon[(k + 1) % polygon.size()];
    if (inside(a)) out.push_back(a);
    if (inside(a) != inside(b)) {
      const double t = (level - a.z) / (b.z - a.z);
      out.push_back({a.x + t * (b.x - a.x), a.y + t * (b.y - a.y), level});
    }
  }
  return out;
}

// The two triangles of cell (i, j); false when a corner is missing.
bool cell_triangles(const SurfaceGrid& g, std::size_t i, std::size_t j, std::array<std::array<Vertex, 3>, 2>* t) {
  const std::size_t ny = g.y.size();
  const Vertex a{g.x[i], g.y[j], g.z[i * ny + j]}, b{g.x[i + 1], g.y[j], g.z[(i + 1) * ny + j]};
  const Vertex c{g.x[i + 1], g.y[j + 1], g.z[(i + 1) * ny + j + 1]}, d{g.x[i], g.y[j + 1], g.z[i * ny + j + 1]};
  for (const Vertex& v : {a, b, c, d})
    if (!std::isfinite(v.z)) return false;
  *t = {{{a, b, c}, {a, c, d}}};
  return true;
}

bool valid(const SurfaceGrid& g) { return g.x.size() >= 2 && g.y.size() >= 2 && g.z.size() == g.x.size() * g.y.size(); }

}  // namespace

std::size_t band_of(double z, const std::vector<double>& levels) {
  std::size_t b = 0;
  while (b + 2 < levels.size() && z >= levels[b + 1]) ++b;
  return b;
}

std::vector<BandPolygon> band_polygons(const SurfaceGrid& g, const std::vector<double>& levels) {
  std::vector<BandPolygon> out;
  if (!valid(g) || levels.size() < 2) return out;
  const std::size_t nx = g.x.size(), ny = g.y.size();
  for (std::size_t i = 0; i + 1 < nx; ++i) {
    std::size_t run_start = 0, run_band = 0;
    bool in_run = false;
    auto close_run = [&](std::size_t j_end) {
      if (in_run)
        out.push_back({run_band, {{g.x[i], g.y[run_start]}, {g.x[i + 1], g.y[run_start]}, {g.x[i + 1], g.y[j_end]},
                                  {g.x[i], g.y[j_end]}}});
      in_run = false;
    };
    for (std::size_t j = 0; j + 1 < ny; ++j) {
      std::array<std::array<Vertex, 3>, 2> tri;
      if (!cell_triangles(g, i, j, &tri)) {
        close_run(j);
        continue;
      }
      std::size_t lo = levels.size(), hi = 0;
      for (const auto& t : tri)
        for (const Vertex& v : t) lo = std::min(lo, band_of(v.z, levels)), hi = std::max(hi, band_of(v.z, levels));
      if (lo == hi) {
        if (in_run && run_band != lo) close_run(j);
        if (!in_run) in_run = true, run_start = j, run_band = lo;
        continue;
      }
      close_run(j);
      for (const auto& t : tri) {
        for (std::size_t b = lo; b <= hi; ++b) {
          std::vector<Vertex> piece(t.begin(), t.end());
          if (b > 0) piece = clip(piece, levels[b], true);
          if (b + 2 < levels.size()) piece = clip(piece, levels[b + 1], false);
          if (piece.size() < 3) continue;
          BandPolygon p{b, {}};
          for (const Vertex& v : piece) p.points.push_back({v.x, v.y});
          out.push_back(std::move(p));
        }
      }
    }
    close_run(ny - 1);
  }
  return out;
}

std::vector<std::pair<Point, Point>> contour_segments(const SurfaceGrid& g, double level) {
  std::vector<std::pair<Point, Point>> segments;
  if (!valid(g)) return segments;
  for (std::size_t i = 0; i + 1 < g.x.size(); ++i) {
    for (std::size_t j = 0; j + 1 < g.y.size(); ++j) {
      std::array<std::array<Vertex, 3>, 2> tri;
      if (!cell_triangles(g, i, j, &tri)) continue;
      for (const auto& t : tri) {
        std::vector<Point> cuts;
        for (int k = 0; k < 3; ++k) {
          const Vertex& a = t[k];
          const Vertex& b = t[(k + 1) % 3];
          if ((a.z < level) == (b.z < level)) continue;
          const double s = (level - a.z) / (b.z - a.z);
          cuts.push_back({a.x + s * (b.x - a.x), a.y + s * (b.y - a.y)});
        }
        if (cuts.size() == 2) segments.emplace_back(cuts[0], cuts[1]);
      }
    }
  }
  return segments;
}

}  // namespace platform::graphs
