// The kernel-library extensions "qxprof" (the refit engine) and "qxrec" (the
// record file): the records the procedure hands them and their operation
// tables. Every instance begins with the generic header through which it is
// released. Engine operations take the instance and a null journal first and
// return 0 on success.
#pragma once

#include <cstdint>

#include "host/kernel_object_header.h"

// ---------------------------------------------------------------- record file

inline constexpr std::int32_t QXREC_NRECS = 1;   // FValueGet: the record count (int64)
inline constexpr std::int32_t QXREC_RECLEN = 2;  // FValueGet: the record length in bytes (int64)
// FValueGet: the error number (int64) of the first write of records that
// failed, 0 when none has.
inline constexpr std::int32_t QXREC_WRITE_ERROR = 3;
inline constexpr std::uint64_t QXREC_BUF_SIZE = 134217728;

struct QXREC_PARMS {
  std::int32_t RecLen;        // bytes per record (0 allowed)
  std::int64_t nUtRec;        // records the caller expects to keep in memory
  std::int32_t flags;
  const char* localPath;      // folder of the spill file; null: the system's
  std::int32_t localPathLen;
  std::int64_t dataMemLimit;  // bytes of records kept in memory; 0: nUtRec x RecLen
};

struct QXREC_FILE;
struct QXREC_INSTANCE;

struct QXREC_FILE {
  QXGeneric gen;
  // FValueGet(file, QXREC_NRECS, &count (int64), 0): 0, or nonzero for an
  // unknown value id. The file's `gen.oven` is the instance that made it.
  int (*FValueGet)(QXREC_FILE* file, std::int32_t id, void* value, std::int32_t flags);
};

struct QXREC_FACTORY {
  QXREC_FILE* (*MakeFile)(QXREC_INSTANCE* inst, const QXREC_PARMS* parms);
  int (*AddRecord)(QXREC_INSTANCE* inst, QXREC_FILE* file, const void* record);
  // Copies record `index` (0-based, order added); nonzero when absent.
  int (*LoadRecord)(QXREC_INSTANCE* inst, QXREC_FILE* file, std::int64_t index, void* buffer);
  int (*TruncateFile)(QXREC_INSTANCE* inst, QXREC_FILE* file);  // releases the file
};

struct QXREC_INSTANCE {
  QXGeneric gen;
  QXREC_FACTORY* FactoryPtr;
};

struct QXREC_EXTENSION {
  QXGeneric gen;
  QXREC_INSTANCE* (*create_instance)(QXREC_EXTENSION* ext, void* journal);
};

// -------------------------------------------------------------------- engine

struct QXPROF_STRING {
  const char* str;
  std::int32_t len;
};

// Engine to data reader.
struct QXPROF_DATA_CB_ARGS {
  void* d_user_ptr;
  void* buffer;
  std::int32_t buf_rec_size;     // distance between records in the buffer
  std::int32_t n_recs_to_read;
  std::int32_t first_obs_index;  // out: first record delivered, -1 when none
  std::int32_t n_act_recs_read;  // out
};
// 0 while records remain after the delivered ones, -1 at the end.
using QXPROF_DATA_READER = int (*)(QXPROF_DATA_CB_ARGS* args);

struct QXPROF_DATA_DESC {
  std::int64_t n_obs;
  std::int32_t record_size;
  void* d_user_ptr;
  QXPROF_DATA_READER data_reader;
};

struct QXPROF_LAG_INFO {
  std::int32_t n_lag_vars;
  std::int32_t* lag_vars_indices;
  std::int32_t* lag_vars_max_lag;
  double** vals_ptr_ptr;  // per lagged variable the address of its previous value
};

// Engine to a task's computed-variables callback.
struct QXPROF_COMP_VARS_CB_ARGS {
  double* comp_buffer;  // out: rows of n_comp_vars doubles
  std::int32_t n_rows_computed;  // out
  std::int32_t task_id;
  void* t_user_ptr;
  std::int32_t n_comp_vars;
  QXPROF_LAG_INFO lag_info;
  const void* data_buffer;
  const double* parm_array;
  std::int32_t first_obs_index;
  std::int32_t n_rows_to_compute;
  std::int32_t n_prev_cb_calls;
};
using QXPROF_COMP_VARS_CB = int (*)(QXPROF_COMP_VARS_CB_ARGS* args);

enum QXPROF_MODEL_TYPE : std::int32_t { FROM_TEXT = 0, FROM_FILE = 1, FROM_CALLBACK = 2, FROM_ITEM_STORE = 3 };

struct QXPROF_MODEL_TEXTB {
  QXPROF_STRING objf_name_s;  // the objective variable
  const char* text;
  std::int32_t len;
};

struct QXPROF_ACT_MODEL {
  std::int32_t n_parms;
  std::int32_t n_vars;
  std::int32_t n_comp_vars;
  std::int32_t n_lag_vars;
  QXPROF_MODEL_TYPE type;
  union {
    QXPROF_MODEL_TEXTB text;
  } based;
};

struct QXPROF_DIMS {
  std::int32_t n_tasks;
};

struct QXPROF_PERF {
  std::int32_t role;
  std::int32_t n_threads;
  std::int32_t n_tasks_per_batch;
};

struct QXPROF_PARMS {
  QXPROF_DIMS dims;
  QXPROF_PERF perf;
  QXPROF_DATA_DESC data;
  QXPROF_ACT_MODEL model;
};

struct QXPROF_PARM_INFO {
  const char* name;
  std::int32_t name_len;
  std::int32_t index;  // 0..nparm-1; below 0 is refused
};

enum QXPROF_VAR_TYPE : std::int32_t { DATASET_VAR = 0, COMPUTED_VAR = 1 };

struct QXPROF_VAR_INFO {
  std::int32_t index;
  QXPROF_VAR_TYPE type;
  union {
    std::int32_t offset;      // DATASET_VAR: byte offset in the record
    std::int32_t comp_index;  // COMPUTED_VAR: column of the computed row
  } u;
  bool numeric;
  std::int32_t byte_len;
  QXPROF_STRING name_s;
  bool lag_on;
  std::int32_t max_lag;
};

enum MISSING_POLICY : std::int32_t { MISS_NEGLECT = 0, ONLY_OBJ = 1, OBJ_GRAD = 2, OBJ_GRAD_HESS = 3 };
enum QXPROF_MIN_MAX : std::int32_t { MIN = 0, MAX = 1 };
enum QXPROF_CONSTR_TYPE : std::int32_t { UNCONSTR = 0, CB_CONSTR = 1, SYM_CONSTR = 2 };
enum QXPROF_C_TYPE : std::int32_t { SINGLE_PARM = 0, MULTI_PARM_LINEAR = 1, NONLINEAR = 2 };
enum QXPROF_REL_OP : std::int32_t { EQUAL = 0, GEQ = 1, LEQ = 2 };

// Optimiser options of a task; a double holding the special missing value
// leaves the engine its default.
struct QXPROF_NLO_U_OPT {
  QXPROF_MIN_MAX min_max_type;
  double* parm_start_vals;  // declaration order
  std::int32_t accept_obj_form;
  std::int32_t tech;
  std::int32_t maxi;
  std::int32_t mini;
  std::int32_t maxf;
  double upti;
  double atol;
  double ftol;
  double aftl;
  double gtol;
  double agtl;
};

struct QXPROF_MP_DATA {
  std::int32_t n_parms;
  std::int32_t* index_h;
  QXPROF_STRING* parm_names_h;
  double* c_vals_h;
};

// parameter `index` rel_op val, or sum c_vals_h[i] x parameter index_h[i] rel_op val.
struct QXPROF_CONSTRAINT {
  double val;
  QXPROF_C_TYPE c_type;
  QXPROF_REL_OP rel_op;
  union {
    struct {
      std::int32_t index;
      QXPROF_STRING parm_name_s;
    } sp;
    QXPROF_MP_DATA mp;
  };
};

struct QXPROF_CB_CONSTR {  // not used by the procedure
  double* lb_h;
  double* ub_h;
  void* acget;
  void* UserNLC;
  void* UserJacobianNLC;
};

struct QXPROF_SYM_CONSTR {
  std::int32_t n_c;
  QXPROF_CONSTRAINT** c_h_h;
};

struct QXPROF_TASK_DESC {
  std::int32_t task_id;
  bool no_grad_flag;
  bool no_hess_flag;
  unsigned char* skip_obs_bit_array_h;  // bit k set: record k left out (MSB first)
  void* t_user_ptr;
  QXPROF_COMP_VARS_CB computed_vars_cb;
  MISSING_POLICY missing_policy;
  QXPROF_NLO_U_OPT nlo_u_opt;
  QXPROF_CONSTR_TYPE constr_type;
  union {
    QXPROF_SYM_CONSTR sym;
    QXPROF_CB_CONSTR cb;
  } constr;
};

// One task's outcome; the pointers stay valid until the next reset or the
// instance's destruction.
struct QXPROF_RESULT {
  std::int32_t task_id;
  std::int32_t qxznlo_rc;   // > 0 converged, 0 stopped at the start, < 0 failed
  std::int64_t n_cont_obs;  // observations that contributed to the objective
  double* obj_val_ptr;      // the weighted sum of squares
  double* parm_array;       // all parameters, declaration order
  std::int32_t n_iter;
  std::int32_t n_func;
  double r;                 // the relative offset R where the run ended; missing when none
};

// qxznlo_rc of a task whose criterion asked for R below what double
// precision can measure at its end: no step lowered the objective any more,
// and the end meets the default criterion (R below 1e-5) as the optimiser's
// own convergence test judges it.
inline constexpr std::int32_t QXPROF_RC_PRECISION_LIMIT = 2;
// qxznlo_rc of a task whose constraints no point satisfies (a profile value
// beyond the BOUNDS): it stops before its first objective.
inline constexpr std::int32_t QXPROF_RC_NO_FEASIBLE_POINT = -1;

// Nonzero results of wait_until_done: a task of the batch failed in a way
// no refit result can say (it threw), and the batch was stopped; its
// results are not to be used. QXPROF_OUT_OF_MEMORY when a task ran out of
// memory.
inline constexpr int QXPROF_BATCH_FAILED = 1;
inline constexpr int QXPROF_OUT_OF_MEMORY = 2;

struct QXPROF_INSTANCE;
using QXPROF_J = void*;  // journal, always null here

struct QXPROF_FACTORY {
  int (*define_vars)(QXPROF_INSTANCE*, QXPROF_J, const QXPROF_VAR_INFO*, std::int32_t n);
  int (*define_parms)(QXPROF_INSTANCE*, QXPROF_J, const QXPROF_PARM_INFO*, std::int32_t n);
  int (*define_prof_tasks)(QXPROF_INSTANCE*, QXPROF_J, const QXPROF_TASK_DESC*, std::int32_t n);
  int (*profile)(QXPROF_INSTANCE*, QXPROF_J);
  int (*stop)(QXPROF_INSTANCE*, QXPROF_J);
  int (*check_done)(QXPROF_INSTANCE*, QXPROF_J);  // 0 done, 1 running
  int (*wait_for_some_time_and_check_done)(QXPROF_INSTANCE*, QXPROF_J, std::int32_t msec);
  int (*wait_until_done)(QXPROF_INSTANCE*, QXPROF_J);
  int (*set_foreign_event_for_plw_gate)(QXPROF_INSTANCE*, QXPROF_J, void* event);
  // (inst, null, ids or null, count or -1 for all, out: one pointer per task in task order)
  int (*get_results_by_id_array)(QXPROF_INSTANCE*, QXPROF_J, const std::int32_t* ids, std::int32_t n,
                                 QXPROF_RESULT** results);
  int (*reset)(QXPROF_INSTANCE*, QXPROF_J, const QXPROF_DATA_DESC*, std::int32_t n_tasks, std::int32_t flags);
  int (*destroy_instance)(QXPROF_INSTANCE*, QXPROF_J);
};

struct QXPROF_INSTANCE {
  QXGeneric gen;
  QXPROF_FACTORY* FactoryPtr;
};

struct QXPROF_EXTENSION {
  QXGeneric gen;
  QXPROF_INSTANCE* (*create_instance)(QXPROF_EXTENSION* ext, void* journal, const QXPROF_PARMS* parms);
};
