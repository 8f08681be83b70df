// The parameters and their starting values: the per-parameter arrays of the
// context, the grid of starting values for each BY group, and the parameter
// data set they may come from.
#pragma once

#include "host/compiler_types.h"

struct RUVACOM;

// Sizes the per-parameter arrays and symbol lists once per step.
void nlseprm(RUVACOM* ruvaptr);

// Builds the grid of starting values for the current BY group: 0 when it
// stands, 1 when a parameter has no value in this BY group of the parameter
// data set.
int nlparms(RUVACOM* ruva);

// The first starting value of parameter `sym` by the grid's rules (its
// parameter data set values, its PARMS values, or those of the next
// parameter in `parmsym` that has PARMS values); 0 when it has none yet.
double first_starting_value(const RUVACOM* ctx, const CMPSYM* sym);

// Sorts values[0 .. *npoint-1] ascending in place and drops near-duplicates
// (within 1e-10 of the next larger value), lowering *npoint; `sym` names the
// parameter in the note.
void RemoveDups(double* values, int* npoint, CMPSYM* sym);

// Orders `index` (0 .. n-1) ascending by a[index[i] * stride] by heap sort.
void IndexVec(double* a, int n, int* index, int stride);
// The heap sort's sift-down: the element at offset `currindx` of `a` sinks
// from 1-based node k of a heap of n nodes; returns its 0-based slot.
int RestoreHeap(double* a, int* index, int currindx, int k, int n, int s);

// Reads the parameter data set of the PARMS statement, when one is named:
// its parameters join `parmsym` after those of PARMS, with their values
// unless these are read per BY group. Failures end the step. Returns 0.
int CheckPData(RUVACOM* ctx);

// Appends `value` to a parameter's list of values, growing it by 10 first
// when it is full.
struct RUVAPARMSTR;
void append_start_value(RUVAPARMSTR* entry, double value);
