#include "platform/refit/refit_task.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "host/missing.h"
#include "host/pool.h"
#include "linalg/packed.h"
#include "optim/optimiser.h"

namespace platform::refit {
namespace {

// The procedure's own defaults of the convergence criterion and the
// singularity tolerance.
constexpr double kDefaultCriterion = 1e-5;
constexpr double kDefaultSingular = 1.110223024625157e-12;
constexpr int kDefaultIterations = 100;
constexpr int kDefaultFunctionCalls = 1250;
constexpr int kSubIterations = 20;

double option(double value, double fallback) { return is_missing(value) || !(value > 0) ? fallback : value; }

// A pool for one run of the optimiser: its blocks live as long as the run.
struct Arena {
  PoolAllocFn alloc = &arena_alloc;  // first two words: the pool's functions
  PoolFreeFn free = &arena_free;
  std::vector<std::unique_ptr<char[]>> blocks;

  static void* arena_alloc(void* pool, long length, long) {
    auto* a = static_cast<Arena*>(pool);
    a->blocks.push_back(std::make_unique<char[]>(static_cast<std::size_t>(std::max(length, 1L))));
    return a->blocks.back().get();
  }
  static void arena_free(void*, void*, long, long) {}
};

struct FunctionLimit {};
struct Stopped {};  // the batch was stopped while the task ran

// The run's side of the callbacks. The optimiser asks for the objective at
// a point and, when it accepts the point, for the derivatives there. It
// accepts nearly every point it tries (every one, in the refits of the
// benchmarks), so a pass computes both; the sums of the latest point and of
// the last accepted one are kept, so that no pass is made twice at a point.
struct Run {
  Frame* frame = nullptr;
  const Observations* obs = nullptr;
  int n = 0;
  long calls = 0, max_calls = 0;
  const std::atomic<bool>* stop = nullptr;
  Order derivative_order = Order::kFirst;  // kSecond once a pass needed the second derivatives

  struct Point {
    std::vector<double> x;
    Sums sums;
    bool valid = false;
    bool holds(const double* p, bool derivatives) const {
      return valid && (!derivatives || sums.order != Order::kValue) && std::equal(p, p + x.size(), x.begin());
    }
  };
  Point latest, accepted;

  // The function limit counts the requests as a pass for every request at
  // a new point, or for derivatives at a point evaluated without them,
  // would (and always has).
  std::vector<double> counted_x;
  bool counted = false, counted_derivatives = false;

  struct Row {
    std::vector<int> cols;
    std::vector<double> coefs;
    std::vector<double*> cells;
    double constant = 0, value = 0;
    bool inequality = true;
    std::string name;
  };
  std::vector<std::unique_ptr<Row>> rows;

  void count(const double* p, bool derivatives) {
    if (stop && stop->load(std::memory_order_relaxed)) throw Stopped{};
    if (counted && (counted_derivatives || !derivatives) && std::equal(p, p + n, counted_x.begin())) return;
    if (++calls > max_calls) throw FunctionLimit{};
    counted_x.assign(p, p + n);
    counted = true;
    counted_derivatives = derivatives;
  }

  // The sums at p kept from an earlier pass, or null.
  Sums* kept(const double* p, bool derivatives) {
    if (accepted.holds(p, derivatives)) return &accepted.sums;
    if (latest.holds(p, derivatives)) return &latest.sums;
    return nullptr;
  }

  void evaluate(const double* p, Order order, Point* into) {
    into->x.assign(p, p + n);
    frame->evaluate(p, *obs, order, &into->sums);
    into->valid = true;
    if (into->sums.order == Order::kSecond) derivative_order = Order::kSecond;
  }

  // The objective, with the derivatives computed in the same pass.
  const Sums& objective(const double* p) {
    count(p, false);
    if (const Sums* s = kept(p, false)) return *s;
    evaluate(p, derivative_order, &latest);
    return latest.sums;
  }

  // The derivatives at a point the optimiser accepts.
  const Sums& derivatives(const double* p) {
    count(p, true);
    if (!accepted.holds(p, true)) {
      if (!latest.holds(p, true)) evaluate(p, derivative_order, &latest);
      std::swap(latest, accepted);
    }
    return accepted.sums;
  }
};

Run& run_of(ZOPTGLOBAL* g) { return *static_cast<Run*>(g->opts.userptr); }

int objective_cb(ZOPTGLOBAL* g) {
  const Sums& s = run_of(g).objective(g->state.parms);
  g->state.objective = s.ok && s.used > 0 ? s.f : std::nan("");
  g->state.nobs = s.used;
  return 0;
}

// The library's gradient and Hessian are half those of the objective.
int gradient_cb(ZOPTGLOBAL* g) {
  Run& r = run_of(g);
  const Sums& s = r.derivatives(g->state.parms);
  for (int j = 0; j < r.n; ++j) g->state.grad[j] = g->state.hes[zisub(r.n, j)] = 0.5 * s.g[j];
  g->state.grad[r.n] = g->state.hes[zisub(r.n, r.n)] = s.f;
  g->state.nobs = s.used;
  return 0;
}

int hessian_cb(ZOPTGLOBAL* g) {
  Run& r = run_of(g);
  const Sums& s = r.derivatives(g->state.parms);
  for (int a = 0; a < r.n; ++a)
    for (int b = 0; b <= a; ++b) g->state.hes[zisub(a, b)] = 0.5 * s.h[a * (a + 1) / 2 + b];
  g->state.nobs = s.used;
  return 0;
}

int constraint_cb(ZOPTGLOBAL* g) {
  for (const auto& row : run_of(g).rows) {
    row->value = row->constant;
    for (std::size_t k = 0; k < row->cols.size(); ++k) row->value += row->coefs[k] * g->state.parms[row->cols[k]];
  }
  return 0;
}

void add_rows(Run& r, const std::vector<LinearConstraint>& constraints) {
  for (const LinearConstraint& c : constraints) {
    auto row = std::make_unique<Run::Row>();
    const double sign = c.rel == LEQ ? -1.0 : 1.0;  // as value >= 0 or = 0
    row->cols = c.cols;
    for (double v : c.coefs) row->coefs.push_back(sign * v);
    for (double& v : row->coefs) row->cells.push_back(&v);
    row->constant = -sign * c.value;
    row->inequality = c.rel != EQUAL;
    row->name = "C" + std::to_string(r.rows.size() + 1);
    r.rows.push_back(std::move(row));
  }
}

ZOPTGLOBAL* make_record(Arena& arena, Run& r, const QXPROF_NLO_U_OPT& o) {
  auto* g = static_cast<ZOPTGLOBAL*>(vmalcp_handler(&arena, sizeof(ZOPTGLOBAL), kPoolCleared));
  g->mem.pool = &arena;
  g->opts.num_parms = r.n;
  int equalities = 0, inequalities = 0;
  for (const auto& row : r.rows) ++(row->inequality ? inequalities : equalities);
  if (zoptcnt(equalities, inequalities, g) != 0) return nullptr;
  for (const auto& row : r.rows)
    if (zoptac(row->cols.data(), row->cells.data(), static_cast<int>(row->cols.size()), &row->value,
               row->inequality, nullptr, nullptr, nullptr, 0, row->name.data(), row.get(), g) != 0)
      return nullptr;
  g->opts.method = 'M';
  g->opts.linesearch = 'H';
  g->opts.atol = option(o.atol, kDefaultCriterion);
  g->opts.sing = option(o.ftol, kDefaultSingular);
  // A zero-objective tolerance of 0 (one that underflowed) asks for no test.
  g->opts.aftl = is_missing(o.aftl) || !(o.aftl >= 0) ? g->opts.sing : o.aftl;
  g->opts.maxiters = o.maxi > 0 ? o.maxi : kDefaultIterations;
  g->opts.maxsubiters = g->lnsrch.maxsubiters = kSubIterations;
  g->opts.userptr = &r;
  if (zoptsu(g) != 0) return nullptr;
  g->funcs.usobj = objective_cb;
  g->funcs.usgrd = gradient_cb;
  g->funcs.ushes = hessian_cb;
  if (!r.rows.empty()) g->funcs.uscon = g->funcs.usjnc = constraint_cb;
  return g;
}

// A run whose criterion is finer than the default can end where no step
// lowers the objective: the sum of squares no longer tells the points of
// its last steps apart in double precision, and R stays near the square
// root of the rounding (about 1e-8, more where the residuals are small
// against the responses). That end is judged as the optimiser judges a
// convergence candidate, with the default criterion in place of the finer
// one: R below it (or a negligible objective), no working constraint
// violated, and no active bound whose multiplier asks to leave it.
bool at_precision_limit(ZOPTGLOBAL* g) {
  return g->state.error == s_nodecr && g->opts.atol < kDefaultCriterion &&
         passes_offset_test(g, kDefaultCriterion) != 0;
}

int result_code(ZOPTGLOBAL* g, int rc) {
  if (rc == 0) return g->state.iters > 0 ? 1 : 0;
  switch (g->state.error) {
    case s_nofeas: return kTaskNoFeasibleStart;
    case s_nodecr: return kTaskNoDecrease;
    case s_nodelta: return kTaskNoStep;
    case s_iterexceed: return kTaskIterationLimit;
    default: return kTaskNotComputable;
  }
}

}  // namespace

bool RefitTask::define(const QXPROF_TASK_DESC& d, int n_parms, std::int64_t n_obs) {
  id_ = d.task_id;
  user_ = d.t_user_ptr;
  callback_ = d.computed_vars_cb;
  options_ = d.nlo_u_opt;
  options_.parm_start_vals = nullptr;
  if (!d.nlo_u_opt.parm_start_vals || d.nlo_u_opt.min_max_type != MIN) return false;
  start_.assign(d.nlo_u_opt.parm_start_vals, d.nlo_u_opt.parm_start_vals + n_parms);
  if (d.skip_obs_bit_array_h)
    skip_.assign(d.skip_obs_bit_array_h, d.skip_obs_bit_array_h + (n_obs + 7) / 8);
  if (!copy_constraints(d, n_parms, &constraints_)) return false;
  // Until the task runs, its result is a failure at the start values.
  parms_ = start_;
  objective_ = missing_value();
  result_ = {id_, kTaskStopped, 0, &objective_, parms_.data(), 0, 0, missing_value()};
  return true;
}

QXPROF_COMP_VARS_CB_ARGS RefitTask::callback_args(int n_computed,
                                                  const QXPROF_LAG_INFO& lags) const {
  QXPROF_COMP_VARS_CB_ARGS a{};
  a.task_id = id_;
  a.t_user_ptr = user_;
  a.n_comp_vars = n_computed;
  a.lag_info = lags;
  a.parm_array = start_.data();
  return a;
}

// Every row in one call, for a program without lagged variables.
bool RefitTask::computed_rows(const Observations& data, int n_computed, std::vector<double>* rows) {
  rows->assign(static_cast<std::size_t>(data.n) * static_cast<std::size_t>(n_computed), 0.0);
  if (n_computed == 0 || data.n == 0) return true;
  if (!callback_) return false;
  QXPROF_COMP_VARS_CB_ARGS a = callback_args(n_computed, {});
  a.comp_buffer = rows->data();
  a.data_buffer = data.records;
  a.first_obs_index = 0;
  a.n_rows_to_compute = static_cast<std::int32_t>(data.n);
  return callback_(&a) == 0 && a.n_rows_computed == a.n_rows_to_compute;
}

// One row per call as the pass reaches it, the lagged variables pointing
// at the values the program left at the observation before; the first
// call of a pass starts them afresh.
class RefitTask::LaggedRows : public RowSource {
 public:
  LaggedRows(RefitTask& task, const Observations& data, int n_computed, const QXPROF_LAG_INFO& lags)
      : task_(task),
        data_(data),
        row_(static_cast<std::size_t>(n_computed)),
        args_(task.callback_args(n_computed, lags)) {}

  const double* row(std::int64_t k, double** carried) override {
    args_.comp_buffer = row_.data();
    args_.data_buffer = data_.records + k * data_.record_size;
    args_.first_obs_index = static_cast<std::int32_t>(k);
    args_.n_rows_to_compute = 1;
    args_.n_prev_cb_calls = static_cast<std::int32_t>(k);
    args_.lag_info.vals_ptr_ptr = carried;
    if (!task_.callback_ || task_.callback_(&args_) != 0 || args_.n_rows_computed != 1) {
      failed_ = true;
      return nullptr;
    }
    return row_.data();
  }
  bool failed() const { return failed_; }

 private:
  RefitTask& task_;
  const Observations& data_;
  std::vector<double> row_;
  QXPROF_COMP_VARS_CB_ARGS args_;
  bool failed_ = false;
};

int RefitTask::minimise(Frame& frame, const Observations& obs, const std::atomic<bool>* stop, Sums* end) {
  const int n = static_cast<int>(start_.size());
  Run r;
  r.frame = &frame;
  r.obs = &obs;
  r.n = n;
  r.stop = stop;
  r.max_calls = options_.maxf > 0 ? options_.maxf : kDefaultFunctionCalls;
  add_rows(r, constraints_);
  Arena arena;
  ZOPTGLOBAL* g = make_record(arena, r, options_);
  if (!g) return kTaskSetupFailed;
  ZOPTMARQU& mq = *g->state.marqu;
  mq.penalty = 1.110223024625157e-16;
  std::copy(start_.begin(), start_.end(), g->state.parms);
  int rc;
  try {
    const int run = zopt(g);
    rc = run != 0 && at_precision_limit(g) ? QXPROF_RC_PRECISION_LIMIT : result_code(g, run);
  } catch (const FunctionLimit&) {
    rc = kTaskFunctionLimit;
  } catch (const Stopped&) {
    return kTaskStopped;  // no objective: `end` stays unfinished
  }
  result_.r = is_missing(g->state.r) ? missing_value() : g->state.r;
  parms_.assign(g->state.parms, g->state.parms + n);
  result_.n_iter = g->state.iters;
  result_.n_func = static_cast<std::int32_t>(r.calls);
  project_onto(constraints_, &parms_);
  // The objective where the run ended is known from its last passes,
  // unless the projection onto the constraints moved the point.
  if (Sums* s = r.kept(parms_.data(), false)) *end = std::move(*s);
  else frame.evaluate(parms_.data(), obs, Order::kValue, end);
  return rc;
}

void RefitTask::run(Frame& frame, const Observations& data, int n_computed, const QXPROF_LAG_INFO& lags,
                    const std::atomic<bool>* stop) {
  std::vector<double> rows;
  Observations obs = data;
  obs.skip = skip_.empty() ? nullptr : skip_.data();
  parms_ = start_;
  LaggedRows lagged(*this, data, n_computed, lags);
  bool have_rows = true;
  if (lags.n_lag_vars > 0 && n_computed > 0) {
    obs.rows = &lagged;
  } else {
    have_rows = computed_rows(data, n_computed, &rows);
    obs.computed = rows.data();
  }
  obs.n_computed = n_computed;
  // The objective where the run ended, and the observations behind it.
  Sums s;
  int rc = kTaskCallbackFailed;
  if (have_rows && options_.maxi != 0) {
    rc = minimise(frame, obs, stop, &s);
  } else {
    project_onto(constraints_, &parms_);
    if (have_rows) {
      rc = 0;
      frame.evaluate(parms_.data(), obs, Order::kValue, &s);
    }
  }
  if (lagged.failed()) rc = kTaskCallbackFailed;
  objective_ = s.ok && s.used > 0 ? s.f : missing_value();
  result_.qxznlo_rc = rc;
  result_.n_cont_obs = s.ok ? s.used : 0;
  result_.obj_val_ptr = &objective_;
  result_.parm_array = parms_.data();
}

}  // namespace platform::refit
