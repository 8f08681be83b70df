// The iteration-history table (IterHistory) of the grid search and of the
// estimation: one row per grid point or iteration, a column per parameter
// and the objective. Its columns are bound to the context's fields, so a
// row is added (request 329 on `data`) whenever those fields are current.
#pragma once

#include "host/service_types.h"

struct RUVACOM;

// Table types: the estimation's history, and the grid (3 when its first
// point was infeasible; the same table).
inline constexpr int kHistoryEstimation = 0;
inline constexpr int kHistoryGrid = 2;

// Opens the table (closing one still open); nothing under NOPRINT or
// NOITPRINT. A failing request is reported and sets `outfailed`.
void jovprt(int type, RUVACOM* ctx);

// Adds a row of the fields' current values to the open table, if any.
void add_history_row(RUVACOM* ctx);

// Closes the open table and releases its output object; 0 or the failing
// status (reported). Nothing when no table is open.
int close_history(RUVACOM* ctx);

// Shows message text in the listing as the output manager's message.
void show_note(RUVACOM* ctx, xobskey text);
