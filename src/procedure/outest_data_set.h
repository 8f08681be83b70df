// The parameter-estimates data set (OUTEST=): its definition, and the rows
// that the grid search, the iterations, the final estimates and the
// covariance write. Every variable is bound to a field of the context or to
// a parameter's storage; a writer sets the fields and emits the row.
#pragma once

struct RUVACOM;

// Defines the data set: 0, or 1 (after 305/8) when its variable list
// cannot be opened. Finds the context through the task record.
int jovesti();

// Sets the row identity: `_TYPE_` (eight characters) and a blank `_NAME_`.
void set_outest_type(RUVACOM* ctx, const char* type);
// Sets `_STATUS_` (and the context's status text) to message 305/number.
void set_outest_status(RUVACOM* ctx, int number);
// Emits the row as the bound fields hold it now; `record` is the input
// record whose BY values it carries, or null for the current one. A failed
// write is reported by the host and the step goes on.
void write_outest_row(RUVACOM* ctx, const void* record);
