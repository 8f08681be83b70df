// The bootstrap's pieces shared by its driver, its data set and the refit
// tasks.
#pragma once

#include <vector>

#include "host/qx_prof.h"
#include "profile/bootstrap_math.h"

struct RUVACOM;

// One BY group's run: the fit's per-observation figures, the uniforms and
// seeds of the current batch, and every sample's record (index, seed,
// weighted SSE, estimates; missing SSE and estimates for a failed refit).
struct BootRun {
  std::vector<double> pred, res, tan, jac;
  std::vector<double> uniforms, seeds;
  std::int32_t factor = 1;  // uniforms per observation and sample: 2 for WILD
  BootResampleInput input{};
  std::vector<double> records;
};

// The synthetic response (and CONTROL variables) of a bootstrap task's rows.
int computed_vars_cb_for_bootstrap(QXPROF_COMP_VARS_CB_ARGS* args);

// BOOTDATA=: the variables once per step (0, or nonzero after a message),
// and the rows of one run in sample order.
int init_for_bootstrap_output(RUVACOM* ctx);
void write_boot_rows(RUVACOM* ctx, const std::vector<double>& records);
