// The procedure context RUVACOM: one record per step, zeroed before
// anything else, registered in the task record's procedure-context word and
// read or written by every phase of the step, by the optimiser callbacks and
// by the end-of-task handler. Its arrays and lists come from the task pool
// and go with the task; nothing in it is freed field by field except the
// per-BY-group storage.
//
// The context itself lives in the task pool, not on the driver's stack: the
// end-of-task handler reads it after the step has ended.
#pragma once

#include <cstdint>

#include "host/compiler_types.h"
#include "host/dataset_types.h"
#include "host/service_types.h"
#include "host/types.h"
#include "procedure/analysis_requests.h"
#include "procedure/graph_control.h"
#include "procedure/parameter_records.h"
#include "procedure/statement_parsing.h"
#include "procedure/unused_observations.h"
#include "results/t_test.h"

struct BOUNDSSTR;
struct CMPDER;
struct ZOPTGLOBAL;
struct RUVADIAG;
struct WOB_OBJ_STR;

// The recovery points of the step. A fault (an exception out of guarded
// code, or the host's floating-point handler) resumes at the innermost
// armed point; the flags say which points are armed.
struct RUVA_EXCEPTIONS {
  void (*my_fpe_handler_ptr)(int);  // the handler installed with the host
  QXBoolean j_buf_cmp_set;          // a model-program run is under way (nlexec)
  QXBoolean j_buf_zopt_set;         // the optimiser call is under way
  QXBoolean j_buf_unrecoverable_set;  // the procedure-level point is armed
};

// Kernel-library instances made by profiling, bootstrap and the curvature
// measures; each begins with the generic object header.
struct RUVA_QX_INSTANCES {
  void* prof_inst_h;
  void* qxrec_inst_h;
  void* qxznlo_inst_h;
  void* qxtab_inst_h;
};

// Extensions loaded by name for the step.
struct RUVA_QX_EXTENSIONS {
  void* prof_ext_h;
  void* qxrec_ext_h;
  void* qxznlo_ext_h;
  void* qxtab_ext_h;
  void* qxbstat_ext_h;
};

struct RUVACOM : RUVAPARSE {
  // Scalar values.
  double alpha;      // ALPHA=
  double outalpha;   // the OUTPUT statements' level
  double sse;        // objective of the current data pass
  double sumwy2;     // and its sum of w y^2: the scale of the zero-objective test
  long nonzero_y;    // and how many of its used responses are not zero
  double epsilon;    // SINGULAR=
  double bepsilon;   // EPSILON=
  double criterion;  // convergence criterion (CONVERGE= or CONVERGEOBJ=)
  double criter2;    // CONVERGEPARM=
  double offset_criterion;  // CONVERGE= or its default: the relative offset every fit must reach
  double dep;
  double model;      // _MODEL_: 1 the program runs for the model value only, 0 derivatives too
  double one;        // 1.0: stands in for an absent weight, loss or residual
  double tau;        // TAU=
  double rho;        // RHO=
  double sigsq;      // SIGSQ=
  double usse;       // _SSE_
  double halve;      // _HALVE_
  double obs;        // _OBS_
  double un_;        // _N_
  double sumw, sumy, sumy2, sumwsse;  // sums of the last data pass
  double iter;       // _ITER_
  double prevobj;    // previous objective

  // Arrays.
  double* parm;       // current parameter values (nparm + 1)
  double* parmlast;   // previous values
  double* der;        // derivative row of the observation, the residual last
  double* xpx;        // bordered packed cross-product matrix
  double* intcep;     // the intercept cross-products (an element of xpx2)
  double* weight;     // cell of the observation weight
  double* loss;       // cell of the loss
  double** hessptr;   // the program's second-derivative cells, packed
  double* hessian;    // second derivatives of one observation
  double* hessian2;   // accumulated second-derivative terms
  double* jwj;        // NEWTON: the last pass's J'WJ, kept whole before the second-derivative terms come off
  double* gradient;
  double* dudparm;
  double* dudeval;
  double** col1;
  double** col2;
  double* dephat;     // cell of the predicted value
  double* xpx2;       // covariance work matrix
  double* inverted;   // the matrix whose inverse xpx holds (parameter block), for estimability
  double inverted_condition;  // of the rows of `inverted` the sweep keeps; 0 until estimable asks
  double* whole_inverse;  // G4: the pseudo-inverse before the rows of dependent parameters are cleared
  double* work;
  double* hougaard;   // Hougaard sums (n doubles) when HOUGAARD was asked for

  // Data sets.
  XO_PARMS xoparm;       // read parameters of the input data set
  XV_VECTOR* dataptr;    // input variable vector
  XO_FILE* outestptr;    // OUTEST= data set, null when not requested
  XO_PARMS outestxo;     // its write parameters
  const void* lastobsptr;
  XV_VECTOR* outestxv;   // its variable vector
  char* parmdf;          // per-parameter status letters
  XO_FILE* outptr;       // OUT= of the last OUTPUT statement
  double* outobsptr;     // the OUTPUT record
  XV_VECTOR* outxv;      // its variable vector
  struct OutputSet* outsets;  // every OUTPUT data set, in statement order (nout of them)

  // Names and lists.
  char** pname;            // parameter names (nparm + 1)
  std::int32_t maxnamelen; // width for parameter names in listings
  CMPLIST* parmsym;        // the parameters
  CMPSYM* usse_sym;        // the _SSE_ symbol
  BOUNDSSTR* boundslist;   // BOUNDS records, newest first
  char* swept;
  long bycnt;              // BY groups done
  char name_[32];          // name of the next OUTEST row
  char cleanedup;          // the clean-up of this context has run
  char type[8];            // type of the next OUTEST row

  // Counters.
  long nobs;               // observations read in the current pass
  long iobs;               // and used
  UnusedObservations unused;  // and why the others were not used
  long i_error_obs;
  std::int32_t nparm;
  std::int32_t nout;       // OUTPUT statements
  std::int32_t nstep;      // MAXSUBIT=
  std::int32_t maxiter;    // MAXITER=
  std::int32_t nsave;      // best grid points kept
  std::int32_t nrank;      // BEST=, -1 when not given
  std::int32_t npoints;    // grid points
  std::int32_t grid_point;  // the number, from 1, of the grid point in the parameters
  std::int32_t failed;     // the model run of the current observation ended with code 3 or more
  std::int32_t outfailed;  // an output request of the iteration history failed
  std::int32_t nerrmsg;    // run-error reports made in this BY group
  std::int32_t nmissgen;   // missing values generated in the current pass
  std::int32_t nodf;       // UNCORRECTEDDF
  std::int32_t rc;         // the step's return code
  std::int32_t rcinit;     // rc as the set-up left it
  std::int32_t rcby;       // the BY group's return code
  char status[16];         // status text of the fit

  // Option letters and switches.
  char totalss, exerror, stephalve, smethod, debug, debugd, weightflag, lossflag;
  char method;    // 'U' GAUSS, 'R' MARQUARDT, 'W' NEWTON, 'A' GRADIENT
  char concrit;   // 'R', 'S', 'P' or 'B': which convergence criteria apply
  char save, dud, gauss, g4, g4s, list, listcode, listdep, xref, listder;
  char lastpass;  // 1 in the last data pass of a BY group, 2 once its reports are exhausted
  char do_der;    // the data pass forms derivatives
  char hougaard_req;  // HOUGAARD was asked for (the array `hougaard` is made by the set-up)

  // Program binding.
  char wgtjpjflag;
  char residflag;
  double* wgtjpj;       // cell of the cross-product weight
  double* resid;        // cell of the residual
  double** derloc;      // where the program leaves each kept parameter's first derivative
  double** hessloc;
  double* depval;       // cell of the dependent variable
  CMPLIST* gradsym;     // first-derivative symbols, one per kept parameter
  CMPLIST* dersym;      // user-supplied DER. variables
  CMPLIST* needer;      // parameters whose derivative the compiler generates
  CMPLIST* control;     // CONTROL statement variables
  CMPDER* derstruct;    // the model's first derivatives
  double** dercmp;      // CHECKDER: the supplied derivatives to compare
  double** userder;     // cells of the supplied DER. variables
  double** genderloc;   // cells of the generated first derivatives
  CMPLIST* hesssym;     // second-derivative symbols, packed (when needed)
  char derchck;         // CHECKDER
  double zero;          // 0.0: stands in for a derivative the program does not form
  char noprint, noitprint, itall, se;

  // Output.
  WOB_OBJ_STR* data;
  WOB_OBJ_STR* output;
  ZOPTGLOBAL* zoptg;       // the optimiser run record
  RUVAPARMSTR* parms;      // the starting-value grid
  RUVA_PDATA* pdata;       // the parameter data set

  // Result and diagnostics control.
  std::int32_t yol_graphics_flag;
  std::int32_t boxs_bias_flag;
  std::int32_t kurtosis_flag;
  std::int32_t ruvameasures_table_flag;
  std::int32_t ruvaout_flag;         // an OUTPUT statement needs the diagnostics
  std::int32_t save_diag_flag;
  CMPLIST* id_vars;                  // ID statement variables, null when none
  RUVADIAG* ruvadiag;
  RUVAGRAPH_CONTROL* graph_control;  // the PLOTS request, null when no graph is drawn
  std::int32_t ruvadiag_alloc_count;
  unsigned char* obs_computable_flag;  // used-observation bitmap of the last pass
  long obs_computable_bytes;           // its size: one bit per observation of the BY group
  char cov_unavailable;                // the covariance of the estimates could not be formed
  char whole_inverse_kept;             // this group's results use whole_inverse, not xpx
  struct PassMemo* pass_memo;          // the sums of the grid's best pass, for the optimiser's first
  struct LossTerms* loss_terms;        // the derivatives of _WEIGHT_ times _LOSS_ for its check, or null
  char bootCompStrt;                   // the bootstrap of this group's fit has started
  xobskey outputstats_path;            // the output-statistics table of the diagnostics
  RUVAPROFILE_CONTROL* ruvaprofile_control;
  RUVA_BOOTSTRAP_CONTROL* ruvabootstrap_control;

  // Kernel-library objects and recovery points.
  RUVA_QX_INSTANCES insts;
  RUVA_QX_EXTENSIONS exts;
  std::int32_t read_status;     // the refit data reader: 0 from the first record, 1 from comp_obs_index
  std::int32_t comp_obs_index;  // next record the reader delivers
  RUVA_EXCEPTIONS exception_s;

  // ESTIMATE block.
  std::int32_t nesti;      // ESTIMATE statements
  std::int32_t maxename;   // longest label
  std::int32_t* estilen;   // label lengths
  char** estilab;          // label texts
  double* ecovmat;         // with ECOV or ECORR
  double* gradesti;        // nesti x nparm derivatives
  double** estiptr;        // value cells of the expressions
  double** gradeptr;       // their derivative cells
  CMPLIST* estisym;        // one expression symbol per statement
  CMPDER* gradestr;
  xobskey outlabel;        // the current row's label, a text object
  double mse;
  double estdf;            // DF=, -1 when absent
  std::int16_t estdfspec;  // 1 when DF= is positive
  std::int16_t pecorr, pecov, peder;  // ECORR, ECOV, EDER
  double* parmwork;
  RUVA_TVAL tval;          // the t test of the current estimate
  xobskey* estnam;         // the estimates' labels, naming matrix rows and columns
  xobskey* estdernam;      // "Der name" for each parameter, naming EDER's columns

  // CONTRAST block.
  std::int32_t ncont;      // CONTRAST statements
  char** contlab;
  std::int32_t* contlen;   // label lengths, followed in the same block by the row counts
  std::int32_t* contn;     // rows of each contrast
  std::int32_t maxcname;
  std::int32_t maxcontn;   // most rows of one contrast
  std::int32_t contnt;     // rows in all
  CMPLIST* contsym;        // every row's symbol in statement order
  double** contptr;
  double* contvec;         // 3 maxcontn doubles
  char* contdf;            // maxcontn bytes
  double* contvar;         // maxcontn(maxcontn+1)/2 doubles
  double** gradcptr;
  CMPDER* gradcstr;
  double* gradcont;        // contnt x nparm derivatives
  double ndf, ddf;         // the current contrast's numerator and denominator degrees of freedom
  double fval, probf;      // its F value and p-value
};

// A new zeroed context for the step, registered in the task record.
RUVACOM* ruva_new_context();
// The context of the running step, from the task record; null when none.
RUVACOM* ruva_context();

// Raises the step's and the BY group's return codes to at least `code`.
inline void ruva_raise_rc(RUVACOM* ctx, int code) {
  if (ctx->rc < code) ctx->rc = code;
  if (ctx->rcby < code) ctx->rcby = code;
}

inline bool opt_flag(const STMT* s, int k) { return stmt_bit(s, k); }
