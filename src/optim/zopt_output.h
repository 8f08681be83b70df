// Everything the optimiser shows goes through these functions: the output
// groups of the iterations, the IterInfo table (`znpitsu`, `znpit`, in
// zopt.h), the step-report tables and the failure notes. They sit in one
// file so that the library's numerical code never talks to the output
// service itself.
#pragma once

#include "optim/zopt.h"

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

}  // namespace optim
