// The procedure's side of the refit engine: the description of the model
// that profiling, the jackknife and the bootstrap share (the model as
// source text, the variables, the record layout, the BOUNDS constraints),
// the BY group's record file of used observations, the data reader and the
// refit tasks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/ext_refit_engine_qxprof.h"

struct RUVACOM;
struct CMPLIST;
struct CMPSYM;

// The objective the engine minimises, the engine's name for a response the
// program computes, and the width of a length in the LENGTH statement.
inline constexpr char OBJ_NAME[] = "_P_WEIGHTED_SSE_";
inline constexpr std::int32_t OBJ_NAME_LEN = 16;
inline constexpr char COMPUTED_DEP_NAME[] = "__COMPUTED_DEP__";
inline constexpr std::int32_t SPACE_FOR_CHAR_LEN = 5;

// Kinds of the record file's users and of refit tasks.
inline constexpr int kRefitProfile = 3, kRefitBootstrap = 4;
enum RefitTaskType : int {
  kTaskReference = 0,
  kTaskProfilePoint = 1,
  kTaskJackknife = 2,
  kTaskBootstrap = 4,
  kTaskFitCheck = 5  // the objective at the fit's estimates, no iteration
};

// Reader position (RUVACOM::read_status).
enum READ_STATUS : std::int32_t { START = 0, SUBSEQUENT = 1 };

// ---- engine set-up
// Builds the block once per step: 0, or 1 after a message.
int setup_qxprof_block(RUVACOM* ctx);
// The variables list, `model_dep` and `computed_dep` alone; 0, or 1 when a
// symbol or list cannot be made.
int get_model_vars(RUVACOM* ctx);
// The creation record of the engine instance.
void fill_qxprof_parms(RUVACOM* ctx, const QXPROF_DATA_DESC* data, std::int32_t n_tasks,
                       QXPROF_PARMS* parms);
// Creates the engine instance when there is none and declares the
// parameters and variables: 0, or 1 with both analyses switched off.
int interface_model(RUVACOM* ctx, const QXPROF_DATA_DESC* data, std::int32_t n_tasks);
// The CONTROL variables of the program (0 when none).
std::int32_t n_control_vars(const RUVACOM* ctx);

// ---- model text
// The objective assignment, with a leading blank.
std::string wsse_text(const RUVACOM* ctx);
// Writes the objective text into `buf` when not null; returns its length.
std::int32_t get_wsse_text(const RUVACOM* ctx, char* buf);
// Puts the MODEL assignments (one per MODEL statement, in order) in place in
// the captured program text and the objective after it: 0, or 1.
int construct_qxcmp_model_text(RUVACOM* ctx, const std::vector<std::string>& models,
                               const std::string& objective);
// Prefixes the model text with a LENGTH statement for character variables.
int insert_char_var_length_text(RUVACOM* ctx);

// ---- record file and data reader
int put_data_qxrec(RUVACOM* ctx, int kind);
// Drops one user of the BY group's record file; the last releases it.
void release_qxrec_file(RUVACOM* ctx);
// Releases the record file whatever its users (end of a BY group).
void close_qxrec_file(RUVACOM* ctx);
int data_reader(QXPROF_DATA_CB_ARGS* args);
void** init_for_data_reader(RUVACOM* ctx);
std::int32_t get_record_size(RUVACOM* ctx);
int computed_vars_cb_for_prof_jack(QXPROF_COMP_VARS_CB_ARGS* args);
// The observed responses of the file's records (and the CONTROL variables):
// the rows of the check that the refits reproduce the fit.
int computed_vars_cb_for_fit_check(QXPROF_COMP_VARS_CB_ARGS* args);
// Whether observation i (0-based, in read order) entered the fit.
bool used_observation(const RUVACOM* ctx, long i);
int set_control_vars_for_qxprof(RUVACOM* ctx, QXPROF_COMP_VARS_CB_ARGS* args, double* dest);

// ---- batches and the check that the refits reproduce the fit
// One batch of `n` tasks of a kind through the engine (made at the first
// batch of the step); the results stay valid until the next batch. Empty
// when the engine fails.
std::vector<QXPROF_RESULT*> run_refit_batch(RUVACOM* ctx, int n, int batch_index, int p_index,
                                            int task_type);
enum class FitCheck { kReproduced, kNotReproduced, kEngineFailed };
// Before the first batch of a BY group (after its record file is made):
// whether the refit objective at the fit's estimates equals the fit's sum
// of squares. When it does not, a WARNING says so and why, and profiling
// and the bootstrap are not done for the group. Checked once per group.
FitCheck check_refits_reproduce_fit(RUVACOM* ctx);
// Whether the parameter values keep every BOUNDS relation, strict ones strictly.
bool within_bounds(const RUVACOM* ctx, const double* parms);

// ---- refit tasks and bound constraints
int define_tasks(RUVACOM* ctx, QXPROF_TASK_DESC* task_desc_h, int batch_index, int n_tasks,
                 int p_index, int task_type);
int consider_bounds(RUVACOM* ctx);
int determine_num_constr(RUVACOM* ctx, int* sp, int* mp);
int alloc_req_memory(RUVACOM* ctx);
