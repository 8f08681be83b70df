// Why a function of the parameters that the data determine still has no
// variance at the estimates: its value cannot be computed there, the active
// bounds hold it fixed (its gradient lies in the span of their rows, so no
// direction they leave free changes it), it does not depend on the
// parameters, its derivatives cannot be formed, or the fit gives no error
// variance or covariance. An ESTIMATE
// without a standard error and a CONTRAST without an F test get a note
// saying which, the same in every BY group in that state.
#pragma once

struct RUVACOM;
struct CMPDER;

enum class NoVariance { kNone, kUncomputable, kFixedByBounds, kConstant, kUnderived, kExactFit, kNoErrorVariance, kNoCovariance, kNotPositive };

// The function's own reason, from its value and its gradient g (nparm
// entries; all zero when `underived`): a missing value first, then no
// derivatives, no parameter, or a part along the directions the active
// constraints leave free below sqrt(SINGULAR=) of its length.
NoVariance function_without_variance(RUVACOM* ctx, double value, const double* g, bool underived);
// The fit's reason, shared by every function: a perfect fit, a missing
// error mean square, a covariance not formed; kNone otherwise.
NoVariance fit_without_variance(const RUVACOM* ctx);

// For each of `rows` functions (values, gradients g, row-major, from the
// record and its cells; `underived` flags from gradient_matrix): its own
// reason into `reasons`, and into `determined` whether the data determine
// it (inverse_in_use.h, determined_functions.h). A function whose value
// cannot be computed, one the active bounds hold fixed, or one of no
// parameter, is determined whatever the data leave undetermined: its note
// gives that reason instead.
struct FunctionRows {
  const CMPDER* record;  // the derivative record of the expressions
  double* const* cells;  // its value cells
  double* const* values; // each function's value
  const double* g;       // the gradients, rows by nparm
  const char* underived; // per row: its derivatives cannot be computed
  int rows;
};
void mark_functions(RUVACOM* ctx, const FunctionRows& f, char* determined, NoVariance* reasons);

// The notes: ESTIMATE `label` has no standard error, CONTRAST `label` no F
// test, for `reason` (the CONTRAST's structural reasons cover all its
// functions), with the BY group's phrase.
void note_no_standard_error(RUVACOM* ctx, NoVariance reason, const char* label, int length);
void note_no_f_test(RUVACOM* ctx, NoVariance reason, const char* label, int length);
