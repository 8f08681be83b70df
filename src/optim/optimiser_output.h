// Everything the optimiser shows goes through these functions: the output
// groups of the iterations, the IterInfo table (`znpitsu`, `znpit`, in
// optimiser.h), the step-report tables and the failure notes. They sit in one
// file so that the library's numerical code never talks to the output
// service itself.
#pragma once

#include "optim/optimiser.h"

struct PMATSTR;

// Label routines of the matrix printer for the working rows: a row is
// named by its constraint, a column by its parameter (miscptr is the run).
void rowp(PMATSTR* pma, int row, int width);
void colp(PMATSTR* pma, int col, int width);

namespace optim {

// Room that `znprnit` needs at `pit`.
inline constexpr int kIterLabelBytes = 128;

// The output group of one iteration ("estiter<k>"), kept in opts.grp.
void open_iteration_group(ZOPTGLOBAL* g, int iteration);
// Closes opts.grp when one is open.
void close_group(ZOPTGLOBAL* g);

// The step report of `zoptdlt` for the m free rows: the bordered matrix
// before ("XPXMat") or after ("InvXPXMat") the sweep, the singular rows,
// and the step ("ParmChange", `title` 204 with the iteration label or 677).
void report_matrix(ZOPTGLOBAL* g, int m, bool swept);
void report_singular_rows(ZOPTGLOBAL* g, int m);
void report_step(ZOPTGLOBAL* g, int m, int title);

// Failure notes (printed when opts.printerror is set).
void note_marquardt_failed(int subiterations, double lambda);
void note_line_search_failed(int trials);
void note_switched_to_marquardt();
void note_feasibility_failed(int passes);
void note_dependent_constraints();
// The same fact in the log, for the projection's trace, naming the fit.
void log_dependent_constraints(const ZOPTGLOBAL* g);

// The tables of the constrained steps (constraint_output.cpp). A vector of
// the n parameters under the given template ("wyv.model.pvec" for a
// change, "wyv.model.vec" for values), title message and object name;
// returns the output call's result.
int report_parameter_vector(ZOPTGLOBAL* g, double* values, const char* templ, int title,
                            const char* name);
// The full step in the parameters; an output failure ends the step.
void report_full_step(ZOPTGLOBAL* g);
// The multiplier estimates of the working constraints, labelled with the
// constraints' own names; an output failure ends the step.
void report_multipliers(ZOPTGLOBAL* g, double* values, int title, const char* name);
// The feasibility pass's correction and the point it reached.
void report_feasibility_pass(ZOPTGLOBAL* g, double* correction);
// The working rows (mat or fmat) on the listing, titled by a message.
void print_constraint_matrix(ZOPTGLOBAL* g, double** rows, int title);

}  // namespace optim
