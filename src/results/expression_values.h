// What the additional estimates and the contrasts share: one evaluation of
// their compiled expressions and derivatives at the final estimates, the
// gradient matrix built from the derivative record, and the covariance of
// the parameters.
#pragma once

#include <string>

struct RUVACOM;
struct CMPDER;
struct ResultTable;
struct STMT;

// Runs the model program for the BY group's first observation, then its
// segment 1 (the ESTIMATE and CONTRAST expressions with their derivatives)
// at the current estimates. False when a run fails; message 305/603 names
// `kind` ("ESTIMATE" or "CONTRAST").
bool evaluate_expressions(RUVACOM* ctx, const char* kind);
// The same run at the current parameters, without the message.
bool run_expressions(RUVACOM* ctx);

// The rows by nparm gradient matrix G (row-major) from the derivative
// record and its value cells; a row with a missing derivative is all zero,
// and flagged 1 in `underived` (rows flags, 0 for the others) when given.
void gradient_matrix(const RUVACOM* ctx, const CMPDER* record, double* const* cells, int rows, double* g,
                     char* underived = nullptr);

// V = mse C, packed of order nparm (C the inverse in use, inverse_in_use.h); all
// missing when the fitted variance is.
void parameter_covariance(const RUVACOM* ctx, double* v);

// Ends the step (120) after a failing output request; the status was
// logged when it failed. The one tolerated status returns.
void end_after_output_failure(int status);

// A number option of an ESTIMATE or CONTRAST statement (ALPHA=, DF=), or
// `otherwise` when it was not given.
double statement_number(const STMT* s, int slot, double otherwise);

// The Label column, `width` characters wide, bound to the context's label
// text, and the label of the current row into it.
bool label_column(ResultTable* t, RUVACOM* ctx, int width);
void set_label(RUVACOM* ctx, int width, const char* text, int length);

// An ESTIMATE or CONTRAST label as the log shows it: the message's text
// would end it at a NUL byte, which is written \x00.
std::string logged_label(const char* label, int length);

// NOTE `message` (set 305) on the ESTIMATE or CONTRAST of that label, which
// is not estimable, with the BY group's phrase.
void note_not_estimable(RUVACOM* ctx, int message, const char* label, int length);
