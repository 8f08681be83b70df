// Variables and rows of the procedure's output data sets.
#pragma once

#include "host/dataset_types.h"

// One variable of the output data set's list: its description, and where
// its value is read when a row is gathered (`bound_length` bytes of text for
// a character variable, 0 meaning its length). 0 or the host's status.
struct OutputVariable {
  short type;  // kNumeric or kCharacter
  int length;
  const char* name;
  int namelen;
  const char* label;  // may be null
  int labellen;
};
int define_output_variable(XV_VECTOR* list, XO_FILE* input, const OutputVariable& v, const void* cell,
                           int bound_length);

// A numeric or character variable labelled by message `label_msg` of set
// 305. 0 or the host's status.
int define_labelled_variable(XV_VECTOR* list, XO_FILE* input, const char* name, short type, int length,
                             int label_msg, const void* cell);

// Sets an output data set's type (8 blank-padded characters) and its label.
void describe_output_data_set(XO_FILE* file, const char* type, const char* label);

// Gathers the row that `list` binds (copied input variables from `record`,
// or from the current record when it is null) and appends it to `file`
// through the file's write routine with the parameters `xo`. A failed write
// is reported by the host and the step goes on.
void append_row(XO_FILE* file, XO_PARMS* xo, XV_VECTOR* list, const void* record);
