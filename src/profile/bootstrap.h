// The bootstrap's pieces shared by its driver, its sample files, its
// statistics, its data set and the refit tasks.
#pragma once

#include <string>
#include <vector>

#include "host/ext_refit_engine_qxprof.h"
#include "host/service_types.h"
#include "profile/bootstrap_resampling.h"
#include "profile/refit_outcomes.h"

struct RUVACOM;

// One BY group's run: the fit's per-observation figures, the uniforms and
// seeds of the current batch, and the records of the samples whose refit
// failed (index, seed, then missing SSE and estimates), in sample order.
// The converged samples' records go to the converged-sample file.
struct BootRun {
  std::vector<double> pred, res, tan, jac;
  std::vector<double> uniforms, seeds;
  std::int32_t factor = 1;  // uniforms per observation and sample: 2 for WILD
  BootResampleInput input{};
  std::vector<double> failed;
  RefitTally tally;  // the samples refitted so far: failed, at the limit of precision
};

// The synthetic response (and CONTROL variables) of a bootstrap task's rows.
int computed_vars_cb_for_bootstrap(QXPROF_COMP_VARS_CB_ARGS* args);

// The converged-sample file of a run: made before the first batch (0, or
// the step ends with 1016 after a message), one record added per converged
// sample (0, or nonzero when the file cannot take it), and released with
// the run's table and statistics when the run ends.
int prepare_boot_qxrec_file(RUVACOM* ctx);
int add_converged_sample(RUVACOM* ctx);
void release_boot_run_objects(RUVACOM* ctx);
// The number of samples on the file; converged sample k (0-based) loaded
// into the sample record buffer, false when there is none.
std::int64_t converged_count(RUVACOM* ctx);
bool load_converged(RUVACOM* ctx, std::int64_t k);
// Whether the samples added can all be read back: the last ones may still
// wait to be written out. And why the file could not take them: the
// system's reason ("No space left on device").
bool converged_samples_readable(RUVACOM* ctx);
std::string converged_samples_failure(const RUVACOM* ctx);

// The table over the converged-sample file, its estimate columns marked as
// the statistics' columns, and the statistics instance: 0, or 1 when an
// extension refused (the step ends with 1016 when there is no memory).
int prepare_boot_samples_qxtab(RUVACOM* ctx);
int prepare_boot_statistics(RUVACOM* ctx);
// Standard deviations, limits and matrices from the statistics instance: 0,
// also when too few samples converged; 1 when the statistics fail.
int get_ci_cov_stats(RUVACOM* ctx);
// loc[k] := the first m with |ref[m] - value[k]| <= 2^-53, or -1.
void get_match_indices(const double* ref_value_array, const double* value_array, int len, int* loc_array);

// BOOTDATA=: the variables once per step (0, or nonzero after a message),
// and the rows of one run in sample order, merged from the converged-sample
// file and the failed list (0; 1 when the data set is not open or a sample
// is in neither, which ends the step with 1012).
int init_for_bootstrap_output(RUVACOM* ctx);
int write_to_dataset(RUVACOM* ctx);
// A BOOTDATA= data set asked for and never defined, as when the bootstrap
// was switched off (a WHERE or FORMAT statement): defined now, to be
// written with its variables and no rows (see
// define_unfilled_profile_output).
void define_unfilled_bootstrap_output(RUVACOM* ctx);

// The rows of a bootstrap graph's data object "BootstrapOutputStatistics":
// one per converged sample of the current run, in sample order, written by
// filling `table_data` of the bootstrap control (its cells are the data
// object's columns) and committing the row to `table`. `boot_index` is the
// sample's index; `parm_val1` and `parm_val2` are the sample's estimates of
// parameters parm1_index and parm2_index (0-based), or its weighted sum of
// squares for an index of -1. Returns 0, or 1 when there is no converged
// sample or a record cannot be read (the rows stop there).
int write_to_table(RUVACOM* ctx, int parm1_index, int parm2_index, wobop table);
