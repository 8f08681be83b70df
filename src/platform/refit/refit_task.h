// One refit task of the engine: its own copy of the description (start
// values, options, constraints, left-out observations) and its result. A
// task runs on one worker from start to finish: it asks its computed-variables
// callback for the rows it needs (once, or row by row in every pass when
// lagged variables carry values from one observation to the next), then
// minimises the objective summed over the observations with the
// optimisation library, with the analytic derivatives of a worker's frame,
// under its constraints, and ends on them exactly. A task that allows no
// iteration (`maxi` 0) only evaluates the objective at its start values.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "host/ext_refit_engine_qxprof.h"
#include "platform/refit/refit_pass_frame.h"
#include "platform/refit/refit_task_constraints.h"

namespace platform::refit {

// Result codes below 0.
inline constexpr int kTaskNoFeasibleStart = QXPROF_RC_NO_FEASIBLE_POINT, kTaskNoDecrease = -2, kTaskNoStep = -3,
                     kTaskIterationLimit = -4, kTaskNotComputable = -5, kTaskFunctionLimit = -6,
                     kTaskCallbackFailed = -7, kTaskSetupFailed = -8, kTaskStopped = -9;

class RefitTask {
 public:
  // Copies what the description points to; false when a constraint names a
  // parameter outside 0..n_parms-1 or has an unknown kind.
  bool define(const QXPROF_TASK_DESC& d, int n_parms, std::int64_t n_obs);
  // Runs the task with `frame` over `data` (records only; the computed rows
  // come from the task's callback). Once `stop` is set the task ends at its
  // next pass with kTaskStopped.
  void run(Frame& frame, const Observations& data, int n_computed, const QXPROF_LAG_INFO& lags,
           const std::atomic<bool>* stop = nullptr);

  QXPROF_RESULT* result() { return &result_; }
  std::int32_t id() const { return id_; }

 private:
  class LaggedRows;
  QXPROF_COMP_VARS_CB_ARGS callback_args(int n_computed, const QXPROF_LAG_INFO& lags) const;
  bool computed_rows(const Observations& data, int n_computed, std::vector<double>* rows);
  // Minimises from the start values; `end` receives the sums where the run ended.
  int minimise(Frame& frame, const Observations& obs, const std::atomic<bool>* stop, Sums* end);

  std::int32_t id_ = 0;
  void* user_ = nullptr;
  QXPROF_COMP_VARS_CB callback_ = nullptr;
  QXPROF_NLO_U_OPT options_{};
  std::vector<double> start_;
  std::vector<unsigned char> skip_;
  std::vector<LinearConstraint> constraints_;
  std::vector<double> parms_;
  double objective_ = 0;
  QXPROF_RESULT result_{};
};

}  // namespace platform::refit
