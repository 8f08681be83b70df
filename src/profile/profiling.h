// Parameter profiling and the jackknife: the refits of a finished fit with
// one parameter held on a grid, or one used observation left out, and the
// PROFDATA= rows they make.
#pragma once

#include "host/ext_refit_engine_qxprof.h"

struct RUVACOM;

// PROFDATA= variables: 0, or nonzero after a message or a failed definition.
int init_for_profile_output(RUVACOM* ctx);
// A PROFDATA= data set asked for and never defined, as when profiling was
// switched off (a WHERE or FORMAT statement): defined now, to be written
// with its variables and no rows, as when the refits cannot reproduce the
// fit, so that no file of an earlier run stays under its name.
void define_unfilled_profile_output(RUVACOM* ctx);
// One row per task; `p_index` is the profiled parameter of PROF rows.
// 1 when no PROFDATA= data set is open.
int write_to_dataset(RUVACOM* ctx, QXPROF_RESULT** res_h_h, int n_tasks, int p_index, int task_type);
// S_ref / (iobs - nparm + active constraints), missing when that is not positive.
double reference_mse(const RUVACOM* ctx);
// sqrt((S - S_ref) / MSE_ref) of a profile refit, negative below the
// reference value when `sign`; missing when not defined.
double signed_root_pivot(const RUVACOM* ctx, const QXPROF_RESULT* r, int j, bool sign);

// Grid points of profiled parameter j (from, to, by in standard errors).
int determine_num_tasks(const RUVACOM* ctx, int j);
// 1-based number within the BY group of the k-th (0-based) used observation.
long used_obs_number(const RUVACOM* ctx, long k);
// One ProfileJackknifeOutputStatistics table of profiled parameter
// `p_index` from a batch; its path goes to `path_store`. 0, or the failing
// output status.
int write_to_table(RUVACOM* ctx, QXPROF_RESULT** res_h_h, int n_tasks, int p_index, int task_type);
