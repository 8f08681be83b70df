// The records behind the parameters' starting values: one candidate list per
// parameter for the grid, and the parameter data set (PDATA=) they may come
// from.
#pragma once

#include <cstdint>

#include "host/compiler_types.h"
#include "host/dataset_types.h"

// One parameter's starting values.
struct RUVAPARMSTR {
  std::int32_t alloc;   // capacity of `vals` while values are gathered from PDATA=
  std::int32_t loc;     // the parameter's 0-based position in PARMS order
  std::int32_t npoint;  // number of starting values
  double* vals;         // the values; ascending and free of near-duplicates once the grid stands
  CMPSYM* sym;          // the parameter's program symbol
};

// The parameter data set named by PDATA= (or DATA=) on the PARMS statement.
struct RUVA_PDATA {
  std::int16_t by;      // 1: the data set carries the BY variables; values are read per BY group
  XO_FILE* fid;         // the data set
  XV_VECTOR* get;       // its read definition
  char* parmname;       // receives the current row's parameter name (`parmlen` bytes)
  std::int32_t estid;   // variable number of "Estimate" or "Est"
  std::int32_t parmid;  // variable number of "Parameter" or "Parm"
  std::int32_t parmlen; // length of the name variable
  std::int32_t npstr;   // entries of `pstr`
  double estval;        // receives the current row's value
  XO_PARMS xoparm;      // sequential reading of the rows
  CMPLIST* pdlst;       // parameters named in the data set and not in PARMS, first appearance first
  RUVAPARMSTR* pstr;    // one entry per `pdlst` symbol, same order
};
