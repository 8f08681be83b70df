// Statement parsing of a step (the first phase): the fields of the
// procedure context it fills, `ruvapar`, the per-statement callback that
// captures the model text for profiling and bootstrap, and the grammar
// block. The procedure context RUVACOM derives from RUVAPARSE, so that these
// routines and the callback (which finds the context through the compiler
// block's `userptr`) read and write its members by their own names.
#pragma once

#include <cstdint>

#include "host/compiler_types.h"
#include "host/statement_records.h"
#include "host/token.h"
#include "host/types.h"

// At most this many MODEL statements have their text positions recorded.
inline constexpr int kMaxModelStatements = 50;
// First capacity of the model text.
inline constexpr std::int32_t kModelTextStart = 1024;

struct QXPROF_CONSTRAINT;
struct QXREC_FILE;

// The profiling engine's set-up that profiling and bootstrap share: the
// statement counts the parse makes and the thread plan the set-up makes.
// The profiling and bootstrap subsystem adds its own members after these.
struct PROF_BOOT_COMMON_BLOCK {
  std::int32_t n_cntl_stmts;    // CONTROL statements
  std::int32_t n_retain_stmts;  // RETAIN statements
  std::int32_t n_model_stmts;   // MODEL statements
  std::int32_t n_where_stmts;   // WHERE statements
  std::int32_t n_format_stmts;  // FORMAT statements
  std::int32_t n_threads;       // threads of the profiling engine
  std::int32_t ntpb;            // refit tasks per batch

  // The refit engine's description of the model, built once per step after
  // the first fit that profiling or the bootstrap refits.
  char is_setup;                   // complete: need not be built again
  std::int32_t model_text_len;
  char* model_text;                // the program as the engine compiles it
  std::int32_t record_size;        // bytes per data record
  void** var_ptrs;                 // per member of `vars`: its value cell
  CMPLIST* vars;                   // the variables handed to the engine
  CMPSYM* model_dep;               // the MODEL. symbol of the response
  CMPSYM* computed_dep;            // the response as the engine reads it
  std::int32_t n_cons, sp, mp;     // BOUNDS constraints: all, one-parameter, two-parameter
  double* parm_lower_limits;       // per parameter
  double* parm_upper_limits;
  std::int32_t* parm_constr_flag;  // per parameter
  std::int32_t* mp_index_h;        // two per two-parameter constraint
  double* mp_c_vals_h;             // two per two-parameter constraint
  QXPROF_CONSTRAINT* l_u_cons_h;   // one per constraint
  QXPROF_CONSTRAINT** c_h_h;       // pointers to them and one spare slot
  std::int32_t n_qxrec_file_users;  // users of the BY group's record file
  QXREC_FILE* qxrec_file_h;
  double* used_responses;       // the observed response of each record of the file
  std::int32_t fit_reproduced;  // for the file's BY group: 0 not yet checked,
                                // 1 the refits reproduce the fit, -1 they do not
};

struct RUVAPARSE {
  void* yolman;                 // output manager
  std::int32_t nretain;         // compiler error flag word
  long vnum;                    // compiler memory shortfall
  std::int32_t seg;             // program segment to run
  CMPGLOBAL globcmp;            // compiler block; userptr leads back here
  PARSINFO* pars_info_h;        // valid only during the parse
  XO_FILE* fiddata;             // the DATA= data set, null when not given
  VARSTRING depname;            // dependent variable's name
  CMPLIST* depsym;              // the MODEL.y symbol
  CMPLIST* inputdepsym;         // the dependent variable's symbol
  STMT* prochead;               // the PROC statement, first of the list
  std::int32_t nby;             // BY variables

  // The model text: the program's statements, each token between blanks,
  // for re-compilation by profiling and bootstrap.
  char* qxcmp_model_text;
  std::int32_t qxcmp_model_text_len;
  std::int32_t model_text_alloc_size;
  std::int32_t model_text_loc;                       // position of the single MODEL statement
  std::int32_t mmodel_text_loc[kMaxModelStatements];  // one per MODEL statement
  char* qxcmp_model_text1;                            // bootstrap copy without the dependent's statements
  std::int32_t qxcmp_model_text_len1;
  std::int32_t model_text_loc1;
  std::int32_t mmodel_text_loc1[kMaxModelStatements];

  char is_bootstrap_spec;
  char is_profile_spec;
  char isDepComputed;           // the program assigns the dependent variable
  char no_prof_flag;
  char no_boot_flag;
  char model_text_overflow;     // more MODEL statements than positions: text unusable
  PROF_BOOT_COMMON_BLOCK qxprof_block;
};

// Makes the step's output manager (kept in `yolman`) and sets the
// procedure's title; 0, or the output service's negative status.
int create_output_manager(RUVAPARSE* ruva);

// Parses the step's statements; 0 when they parsed and define exactly one
// dependent variable, 1 otherwise (the step then ends with 3000).
int ruvapar(RUVAPARSE* ruva);

// Called by the host parser once per statement with its first token current.
int broutine_callback(CMPGLOBAL* gcmp);

// Whether a statement with this keyword belongs in the model text; sets the
// flag of a MODEL, CONTROL or RETAIN statement. Keywords compare case-blind,
// with every synonym the grammar accepts.
bool stmt_needed_for_model_text(const char* tok_name, int tok_len, bool* is_model_stmt,
                                 bool* is_cntl_stmt, bool* is_retain_stmt);

// Rebuilds the model text from the compiled program when the captured one
// does not match it (see statement_parsing.cpp).
void isModelStmtEmbedInProgStmts(CMPGLOBAL* gcmp);

// The grammar's parse-control block, a fresh copy in the task pool.
void* ruvag();
