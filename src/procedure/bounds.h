// BOUNDS statements as pairs of sides (parameters or constants) and the
// optimiser run record with one linear inequality constraint per pair.
#pragma once

#include "host/compiler_types.h"

struct RUVACOM;

// One BOUNDS statement; the records hang off the context newest first.
struct BOUNDSSTR {
  BOUNDSSTR* next;     // the next (older) record
  char label[8];       // left as zero bytes
  CMPLIST eqbnds1;     // pairs (left k, right k) of non-strict bounds: left k <= right k
  CMPLIST eqbnds2;
  CMPLIST strtbnds1;   // pairs of strict bounds: left k < right k
  CMPLIST strtbnds2;
  CMPLIST bounds;      // every item of the statement, in order
  double* vals;        // one constraint value per pair: the non-strict pairs, then the strict
};

// A new zero-filled record pushed on the context's list; null without room.
BOUNDSSTR* boundsstr(RUVACOM* ctx);

// Fills the record's side lists from the statement's items and its relation
// array of n integers (pairs: position of the first item right of the
// relation, relation code). A list that cannot grow ends the step with 1016.
void process_bounds(RUVACOM* ctx, BOUNDSSTR* rec, int n, const int* relations);

// The value of a literal side of a bound; false for a parameter or a
// missing value.
bool literal_value(const CMPSYM* sym, double* value);

// Reads every BOUNDS statement into a record: 0, or 1 when a record cannot
// be allocated.
int read_bounds_statements(RUVACOM* ctx);

// False, after 305/920 for each parameter concerned, when the constant
// limits that the BOUNDS put on a parameter leave it no value.
bool bounds_consistent(RUVACOM* ctx);

// Drops, with note 305/1061 for each, the pairs of the BOUNDS that name a
// parameter the model was found not to depend on (dropped with 305/65):
// such a parameter has no effect on the fit, nor then has a bound on it,
// even one that ties it to a kept parameter.
void drop_bounds_on_dropped_parameters(RUVACOM* ctx);

// Adds the constraint `left relation right` to the run record: 0 = done,
// 1 = failed (a side that is neither a parameter nor a constant: 305/111).
int do_bound(RUVACOM* ctx, CMPSYM* left, CMPSYM* right, int* count, double* value,
             const char* relation, double* coefficients);

// Creates the optimiser run record with the bounds as constraints and the
// procedure's options: 0 = ready in `zoptg`, 1 = failed.
int do_zopt(RUVACOM* ctx);
