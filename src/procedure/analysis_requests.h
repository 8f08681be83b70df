// The PROFILE and BOOTSTRAP requests as the set-up records them, for the
// profiling and bootstrap subsystem, which adds the members of its own work
// after these.
#pragma once

#include <cstdint>

#include "host/compiler_types.h"
#include "host/dataset_types.h"
#include "host/service_types.h"
#include "random/random_record.h"
#include "random/seed_macros.h"

struct RUVAPROFILE_CONTROL {
  struct {
    char u_tplot_flag;      // some statement asks for a t-plot
    char u_confcurv_flag;   // ... a confidence curve
    char u_jackknife_flag;  // ... the jackknife
    char* tplot_flag;       // per parameter (nparm bytes each, one block)
    char* confcurv_flag;
    char* jackknife_flag;
    xobskey* path_store;  // per profiled parameter: the output path of its table in this BY group, or null
  } graph;
  struct {
    char data_flag;  // PROFDATA= given
    XO_FILE* fid;
    XO_PARMS xo;  // the write parameters of its rows
  } data;
  struct {
    double* from;  // per profiled parameter (one block of three arrays); missing when
    double* to;    // no statement asks for a t-plot or confidence curve of it
    double* by;
    CMPLIST prof_parms;     // the profiled parameters, each once, in order of first naming
    XV_VECTOR* p_out_xv;    // the PROFDATA= variable vector, terminated at end of step
    double* y_obs_ptr;      // the used observations' responses, in record order
    double* se;             // per profiled parameter: its standard error
    std::int32_t* prof_parm_loc;  // per profiled parameter: its place in the parameter vector
    double* prof_parm_best_vals;  // per profiled parameter: its reference value
  } comp;
  struct {  // the PROFDATA= row being written
    char type[8];
    char prof_parm_name[32];
    double obs_index, sse, l_stat, w_stat;
    double* parm_vals;  // nparm
  } out_data;
  struct {  // the ProfileJackknifeOutputStatistics row being written
    std::int32_t obs_index, stat_type;  // stat_type 1 profile, 2 jackknife
    double l_stat, w_stat, x_value, u_wald_boundary, l_wald_boundary, parm_per_change, parm_val, parm_val_ref;
  } table_data;
  struct {
    std::int32_t best;           // RUVA_BEST: the procedure's own fit is the reference
    double sumwsse;              // its weighted SSE
    double* ref_best_parm_vals;  // its estimates (nparm), when the profiling set-up made room
    double tval80, tval90, tval95, tval99;  // t quantiles on the fit's error degrees of freedom
    std::int32_t* show_tval80;  // per profiled parameter, one block of four: x passed the quantile
    std::int32_t* show_tval90;
    std::int32_t* show_tval95;
    std::int32_t* show_tval99;
  } ref;
  char prof_to_be_done;
};

// The reference fit of profiling: the procedure's own.
inline constexpr std::int32_t RUVA_BEST = 0;

enum DGP_TYPE : std::int32_t { kDgpResidual = 1, kDgpWild = 2 };
enum RESIDUAL_SCALING : std::int32_t { kScaleAdjsse = 1, kScaleJac = 2, kScaleRaw = 3, kScaleTan = 4 };

struct RUVA_BOOTSTRAP_CONTROL {
  std::int32_t n_samples;           // 1000 unless a larger NSAMPLES= is given
  std::int32_t max_user_n_samples;  // the largest NSAMPLES= given, 0 when none
  long user_input_seed;             // SEED=, 0 when absent or rejected
  struct {
    char data_flag;  // BOOTDATA= given
    XO_FILE* fid;
  } data;
  struct {
    DGP_TYPE type;
    RESIDUAL_SCALING scaling;
  } dgp;
  struct {
    char hist_box;
    char scatter;
  } plots;
  struct {
    char bc;
    char perc;
    char normal;
    // Filled by the bootstrap run, one value per parameter, when it was done.
    double* boot_std_dev;
    double* bc_lower_ptr;
    double* bc_upper_ptr;
    double* perc_lower_ptr;
    double* perc_upper_ptr;
    double* normal_lower_ptr;
    double* normal_upper_ptr;
    double* lower_than_ref_ct;  // per parameter: converged estimates below the fit's, ties counted as half (BC)
  } ci;
  struct {
    char do_cov;
    char both_cov_corr_on;
    char scale_to_corr;
    double* dbl_ptr;  // the bootstrap's packed correlation and/or covariance, or null
  } cov;
  struct {
    MERSENNE_RAND mr;       // the bootstrap stream; restarted from the seed for every BY group
    ZRANUSED used;          // seeds of the stream the bootstrap drew from, published at task end
    XV_VECTOR* p_out_xv;    // the BOOTDATA= variable vector, terminated at end of step
    struct BootRun* run;    // the current BY group's residuals, uniforms and samples, or null
    double* single_boot_record;     // one sample record: index, seed, weighted SSE, nparm estimates
    std::int32_t n_act_failed_tasks;  // samples of the run whose refit failed
    void* boot_success_file_h;      // record file ("qxrec") of the run's converged sample records
    void* tab_h;                    // table ("qxtab") over that file
    void* qxbstat_inst_h;           // statistics ("qxbstat") of the table's estimate columns
  } comp;
  struct {
    double boot_index, seed, sse;  // the BOOTDATA= row the variables are bound to
    double* parm_vals;
    XO_PARMS xo;
  } out_data;
  struct {  // the BootstrapOutputStatistics row of a bootstrap graph (write_to_table)
    std::int32_t boot_index;
    double parm_val1, parm_val2;
  } table_data;
  struct {
    double sumwsse;              // the reference fit's weighted SSE
    double* ref_best_parm_vals;  // its estimates (nparm), when the bootstrap set-up made room
  } ref;
  char boot_to_be_done;
};
