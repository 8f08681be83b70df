// The check that a function stays determined along the directions the data
// leave undetermined (determined_functions.h).
#include "results/determined_functions.h"

#include <algorithm>
#include <cmath>

#include "host/globals.h"
#include "linalg/packed.h"
#include "linalg/sweep_inverse.h"
#include "optim/optimiser.h"
#include "procedure/data_pass.h"
#include "procedure/inverse_in_use.h"
#include "procedure/procedure_context.h"
#include "results/expression_values.h"
#include "results/pool_buffer.h"

namespace {

// The step along a direction, as a fraction of the length of the estimates
// in the scaled parameters (where a unit moves the fitted values by about
// one unit of the response); a point where the pass or the expressions
// fail is retried at a tenth of the step, twice.
constexpr double kStepFraction = 1e-3;
constexpr int kTries = 3;
// A direction keeps this share of its squared length on the free
// directions of active constraints, or it is one they hold.
constexpr double kFreePart = 1e-6;

long packed_size(int n) { return static_cast<long>(n) * (n + 1) / 2; }

// Storage of the check, from the task pool for its duration.
class Work {
  static long size(int p, int rows) {
    return 6L * p + packed_size(p + 1) + packed_size(p) + 2L * p * p + static_cast<long>(rows) * p;
  }
  PoolBuffer<double> block_;

 public:
  int p, rows;
  double *estimates, *point, *step, *projected;
  double *matrix, *scratch;         // the cross products at a point, and a copy to decompose
  double *directions, *scales;      // the undetermined directions at a point
  double *start, *start_scales;     // and at the estimates
  double* gradients;                // of the functions at a point, rows by p
  ZSWPN* swpi;

  Work(int p_, int rows_)
      : block_(size(p_, rows_)), p(p_), rows(rows_), swpi(zswpnsu(task_pool(), p_, nullptr, nullptr, 1)) {
    if (!block_.get() || !swpi) ruva_out_of_memory(static_cast<long>(sizeof(double)) * size(p, rows));
    double* next = block_.get();
    auto take = [&next](long count) { double* b = next; next += count; return b; };
    estimates = take(p), point = take(p), step = take(p), projected = take(p);
    matrix = take(packed_size(p + 1)), scratch = take(packed_size(p));
    directions = take(static_cast<long>(p) * p), scales = take(p);
    start = take(static_cast<long>(p) * p), start_scales = take(p);
    gradients = take(static_cast<long>(rows) * p);
  }
  ~Work() { zswpnfr(task_pool(), swpi); }
  Work(const Work&) = delete;
  Work& operator=(const Work&) = delete;
};

// The directions the packed matrix `a` (order p) leaves undetermined, into
// work.directions with their scales; their number.
int find_directions(Work& w, const double* a, double sing) {
  std::copy_n(a, packed_size(w.p), w.scratch);
  w.swpi->sing = sing;
  return std::max(0, undetermined_directions(w.scratch, w.p, w.swpi, w.directions, w.scales));
}

// Under active constraints, v on their free directions.
void project(RUVACOM* ctx, double* v) {
  if (ctx->zoptg) zoptprv(ctx->zoptg, v, ctx->nparm);
}

// Whether g (p values) has a part along the `count` directions above
// `tolerance`, relative to its length, both in the scaled parameters.
bool changes_along(RUVACOM* ctx, const Work& w, const double* g, int count, double tolerance) {
  double* h = w.projected;
  std::copy_n(g, w.p, h);
  project(ctx, h);
  double size = 0, along = 0;
  for (int j = 0; j < w.p; ++j) size += std::pow(h[j] / w.scales[j], 2);
  for (int k = 0; k < count; ++k) {
    double dot = 0;
    for (int j = 0; j < w.p; ++j) dot += w.directions[static_cast<long>(k) * w.p + j] * h[j] / w.scales[j];
    along += dot * dot;
  }
  return std::sqrt(along) > tolerance * std::sqrt(size);
}

// At work.point: the cross products and the functions' gradients by the
// fit's own pass and expressions; false when the pass there does not use the
// fit's observations or the expressions cannot be evaluated.
bool evaluate_at_point(RUVACOM* ctx, Work& w, const CMPDER* record, double* const* cells) {
  if (cross_products_at(ctx, w.point, w.matrix) != ctx->iobs) return false;
  std::copy_n(w.point, w.p, ctx->parm);
  const bool ok = run_expressions(ctx);
  std::copy_n(w.estimates, w.p, ctx->parm);
  if (!ok) return false;
  gradient_matrix(ctx, record, cells, w.rows, w.gradients);
  const ZOPTGLOBAL* g = ctx->zoptg;
  if (g && g->state.marqu->inumconstr > 0) jovfhes(ctx, w.matrix);
  return true;
}

// Moves from the estimates by `sign` times the step, shorter where the
// point cannot be evaluated, and clears the functions whose gradient there
// has a part along the undetermined directions there.
void check_side(RUVACOM* ctx, Work& w, double sign, const CMPDER* record, double* const* cells, char* determined) {
  for (int t = 0; t < kTries; ++t) {
    const double length = sign * std::pow(0.1, t);
    for (int j = 0; j < w.p; ++j) w.point[j] = w.estimates[j] + length * w.step[j];
    if (!evaluate_at_point(ctx, w, record, cells)) continue;
    w.swpi->sing = ctx->epsilon;
    const double condition = kept_rows_condition(w.matrix, w.p, w.swpi, w.scratch);
    const double tolerance = estimability_tolerance(ctx, condition);
    const int count = find_directions(w, w.matrix, ctx->epsilon);
    for (int i = 0; i < w.rows; ++i)
      if (determined[i] && changes_along(ctx, w, w.gradients + static_cast<long>(i) * w.p, count, tolerance))
        determined[i] = 0;
    return;
  }
}

// The length of the estimates in the scaled parameters, or failing that
// (all of them 0) the root of the weighted sum of squared responses.
double reference_length(const RUVACOM* ctx, const Work& w) {
  double sum = 0;
  for (int j = 0; j < w.p; ++j) sum += std::pow(w.estimates[j] * w.start_scales[j], 2);
  return sum > 0 ? std::sqrt(sum) : std::sqrt(std::max(ctx->sumwy2, 0.0));
}

}  // namespace

void confirm_determined(RUVACOM* ctx, const CMPDER* record, double* const* cells, int rows, char* determined) {
  const int p = ctx->nparm;
  if (p < 1 || rows < 1 || !ctx->inverted || !has_dependent_parameters(ctx)) return;
  if (std::none_of(determined, determined + rows, [](char d) { return d != 0; })) return;
  Work w(p, rows);
  std::copy_n(ctx->parm, p, w.estimates);
  const int count = find_directions(w, ctx->inverted, ctx->epsilon);
  std::copy_n(w.directions, static_cast<long>(count) * p, w.start);
  std::copy_n(w.scales, p, w.start_scales);
  const double length = kStepFraction * reference_length(ctx, w);
  for (int k = 0; k < count && length > 0; ++k) {
    // The direction in the parameters themselves, on the free directions
    // of active constraints: one that only a constraint's parameters take
    // is not moved along.
    double whole = 0, on_free = 0;
    for (int j = 0; j < p; ++j) {
      w.step[j] = length * w.start[static_cast<long>(k) * p + j] / w.start_scales[j];
      whole += std::pow(w.step[j] * w.start_scales[j], 2);
    }
    project(ctx, w.step);
    for (int j = 0; j < p; ++j) on_free += std::pow(w.step[j] * w.start_scales[j], 2);
    if (!(on_free > kFreePart * whole)) continue;
    check_side(ctx, w, 1.0, record, cells, determined);
    check_side(ctx, w, -1.0, record, cells, determined);
  }
  run_expressions(ctx);
}
