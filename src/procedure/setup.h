// The pieces of the set-up phase `ruvaint` (step_phases.h) and the requests
// it reads.
#pragma once

#include "host/compiler_types.h"
#include "host/dataset_types.h"

struct RUVACOM;

// Creates the special variables _MODEL_, _OBS_, _SSE_, _HALVE_, _ITER_ and
// _N_ with cells in the context and their initial values. Returns 0.
int set_specials(RUVACOM* ctx);
// After the names are resolved against the input data set: a data-set
// variable named _MODEL_, _OBS_, _SSE_ or _ITER_ gives way to the special
// variable (305/112, return codes at least 4).
void check_special_conflicts(RUVACOM* ctx);

// Whether second derivatives are needed; sets `ruvaout_flag` when an OUTPUT
// statement asks for statistics that need the diagnostics.
int hessian_reqd(RUVACOM* ctx);

// Finds the user-supplied derivative variables: per declared parameter its
// state (0 supplied, 1 to be generated) and, with second derivatives, the
// supplied second-derivative variables into `second`. Returns 0.
int get_dervars(RUVACOM* ctx, int* state, CMPLIST* second);

// Warns (305/923, return codes at least 4) about each assigned DER.
// variable whose name parts are not all parameters: its value is never used.
void check_derivative_names(RUVACOM* ctx, const CMPLIST* ders);

// The model's first derivatives: the gradient list `gradsym` from the
// supplied DER. variables and the generated derivatives; parameters the
// model does not depend on are dropped. `declared` holds the parameters as
// declared, `state` their derivative states. Returns 0, 1 on failure.
int first_derivatives(RUVACOM* ctx, int* state, CMPSYM* const* declared, int ndeclared);
// The second derivatives into `second` (packed lower triangle) unless the
// program supplies them all; empty slots get the literal 0. Returns 0 or 1.
int second_derivatives(RUVACOM* ctx, CMPLIST* second, bool first_made);

// The ESTIMATE and CONTRAST statements into the context's blocks; failures
// end the step. Return 0.
int process_estimate_stmts(RUVACOM* ctx);
int process_contrast_stmts(RUVACOM* ctx);
// The PROFILE and BOOTSTRAP requests into their control records. Return 0.
int process_profile_stmts(RUVACOM* ctx);
int process_bootstrap_stmts(RUVACOM* ctx);
// The PROFDATA= or BOOTDATA= data set of the last PROFILE or BOOTSTRAP
// statement that gives one, whether or not the refits run; null when none
// does.
XO_FILE* requested_profile_data(const RUVACOM* ctx);
XO_FILE* requested_bootstrap_data(const RUVACOM* ctx);

// Checks the symbols the ESTIMATE (estimate true) or CONTRAST expressions
// are built from: a data-set variable or a symbol without a value ends the
// step with 3000 after its message.
void check_expression_inputs(RUVACOM* ctx, CMPSYM* const* inputs, int ninputs, bool estimate);

// The profiling engine's thread count and tasks per batch.
void set_thread_count(RUVACOM* ctx);

// The program listings asked for (LISTDEP, LIST, LISTCODE, DEBUGD).
void process_list_opts(RUVACOM* ctx);
