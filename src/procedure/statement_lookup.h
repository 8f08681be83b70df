// Lookups over the parsed statement list and the symbol lists of the step.
#pragma once

#include "host/compiler_types.h"
#include "host/statement_records.h"

struct RUVACOM;

// Whether the statement's keyword begins with `prefix`.
bool stmt_is(const STMT* s, const char* prefix);

// Counts the statements whose keyword begins with `prefix` and stores the
// last of them in `*found`; 0 and no store when there is none.
int FindStmt(const char* prefix, STMT** found);

// The 0-based position of `sym` in `list`, or -1 (also for a null or empty list).
int get_parm_index(const CMPLIST* list, const CMPSYM* sym);

// Whether `s` is a parameter of the PARMS statement or the parameter data
// set that is no longer one of the fit's: the model was found not to
// depend on it (dropped with 305/65).
bool dropped_parameter(const RUVACOM* ctx, const CMPSYM* s);

// Name `i` of a name-list field: false when there is none.
bool field_name(const STLIST* field, int i, const char** name, int* length);

// The variables of the ID statements, in order, into `list`.
void collect_id_variables(RUVACOM* ctx, CMPLIST* list);

// Gives each symbol of `list` its information block, through which the
// labels of LABEL statements reach the tables and output data sets.
void attach_symbol_labels(RUVACOM* ctx, const CMPLIST* list);

// The label of a symbol: its text at *text (null when it has none) and its
// length (the text's own length when the stored one is negative), cut to
// at most 256 bytes at the start of a UTF-8 character.
int symbol_label(const CMPSYM* sym, const char** text);
