// The multiplier of a working row that holds a direction the data leave
// undetermined among those the other working rows leave free. With
// (a+b+2c)*conc/(K+conc) and c <= b active, the bound fixes b - c, yet
// a + b + 2c, all the data see, still takes any value through a: the bound
// costs the fit nothing. At a solution g = A' lambda; along such a
// direction x, free of the other rows (a_k.x = 0), lambda_r = g.x / a_r.x,
// and g.x is the objective's slope along x, zero where the objective does
// not depend on x, whatever the data. The least-squares estimate from the
// LQ factors instead lays on a_r the part of g the fit has still to
// remove: of the size of the convergence error and of either sign, read as
// negative near the end it releases the bound, the next step crosses it
// and it joins again, iteration after iteration.
#include <algorithm>
#include <cmath>
#include <vector>

#include "linalg/packed.h"
#include "linalg/sweep_inverse.h"
#include "linalg/vector_kernels.h"
#include "optim/optimiser_internal.h"

namespace {

using namespace optim;

// H + A'RA over the working rows but `skip`, H the saved Hessian's
// parameter block.
std::vector<double> penalised_hessian(const ZOPTGLOBAL* g, int skip) {
  const double* h = g->state.marqu->savhes;
  const int n = nparms(g);
  std::vector<double> k(h, h + static_cast<long>(n) * (n + 1) / 2);
  penalise_rows_except(g, k.data(), skip);
  return k;
}

// The directions the order-n packed matrix k leaves undetermined (k is
// overwritten); see undetermined_directions.
int undetermined(ZOPTGLOBAL* g, std::vector<double>& k, std::vector<double>& directions,
                 std::vector<double>& scales) {
  const int n = nparms(g);
  directions.resize(static_cast<std::size_t>(n) * n);
  scales.resize(n);
  return undetermined_directions(k.data(), n, g->state.swpi, directions.data(), scales.data());
}

// The slope of the objective along the part of row r that lies in the
// span of `count` orthonormal directions (rows of n, in the parameters
// scaled by `scales`), per unit of the row's value; 0 within the rounding
// those directions carry, which the condition of the rows the sweep kept
// bounds: n eps kappa |g| |p| in the scaled parameters. False when the row
// has no part there.
bool slope_along(const ZOPTGLOBAL* g, int r, const double* directions, int count, const double* scales,
                 double condition, double* multiplier) {
  const int n = nparms(g);
  const double* a = g->state.marqu->mat[r];
  std::vector<double> p(n, 0.0), scaled(n);
  for (int i = 0; i < n; ++i) scaled[i] = a[i] / scales[i];
  for (int b = 0; b < count; ++b) {
    const double* w = directions + static_cast<long>(b) * n;
    zvxay11(p.data(), w, n, zvdot11(scaled.data(), w, n));
  }
  // Along x = p / scales the row's value changes by a_r.x = p.p and the
  // objective by g.x = (g / scales).p.
  const double along = zvdot11(p.data(), p.data(), n);
  if (!(along > 0)) return false;
  for (int i = 0; i < n; ++i) scaled[i] = g->state.grad[i] / scales[i];
  const double slope = zvdot11(scaled.data(), p.data(), n);
  const double rounding = n * kRoundoff * std::max(1.0, condition) * zvenorm(n, 1, scaled.data()) *
                          std::sqrt(along);
  *multiplier = std::fabs(slope) > rounding ? slope / along : 0.0;
  return true;
}

}  // namespace

namespace optim {

bool multiplier_along_held_direction(ZOPTGLOBAL* g, int r, double* multiplier) {
  ZSWPN* swpi = g->state.swpi;
  const int n = nparms(g);
  if (!swpi || g->state.marqu->singrowsc[r] != '1') return false;
  const std::vector<char> flags(swpi->sweepx, swpi->sweepx + n);  // the step's, which callers read
  std::vector<double> directions, scales;
  std::vector<double> without = penalised_hessian(g, r), work = without;
  const int free_count = undetermined(g, work, directions, scales);
  bool held = false;
  if (free_count > 0) {
    const double condition = kept_rows_condition(without.data(), n, swpi, work.data());
    held = slope_along(g, r, directions.data(), free_count, scales.data(), condition, multiplier);
    std::vector<double> with = penalised_hessian(g, -1);
    held = held && undetermined(g, with, directions, scales) < free_count;
  }
  std::copy(flags.begin(), flags.end(), swpi->sweepx);
  return held;
}

}  // namespace optim
