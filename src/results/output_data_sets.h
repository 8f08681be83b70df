// The OUTPUT data sets: one per OUTPUT statement, defined at set-up
// (jovouti) and filled per BY group by the OUTPUT pass (jovout). Every data
// set holds the input variables, the ID variables the program computes, the
// statistics its statement names, the parameters under the PARMS= names
// and, when its statement has DER, the derivatives "DER_name". The
// statistics of all the data sets are bound to one shared output record,
// except the ALPHA= limits (LCLM=, UCLM=, LCL=, UCL=): each data set has
// them at its own statement's level, its ALPHA= or else the PROC
// statement's, in cells of its own.
#pragma once

#include "host/dataset_types.h"

// The output record: the statistic of OUTPUT option k at index k - 1.
inline constexpr int kOutputSlots = 23;
namespace out_slot {
enum : int {
  kPredicted = 0, kStdp, kL95m, kU95m, kL95, kU95, kResidual, kStdr, kStudent, kLclm, kUclm, kLcl, kUcl,
  kParms, kH, kSse, kWeight, kStdi,
  kSaved  // the five saved diagnostics (saved_diagnostics.h), to the end
};
}  // namespace out_slot

// The ALPHA= limits of a data set, in the order of their options.
namespace out_limit {
enum : int { kLclm = 0, kUclm, kLcl, kUcl, kCount };
}  // namespace out_limit

// One OUTPUT statement's data set.
struct OutputSet {
  XO_FILE* file;    // OUT=
  XV_VECTOR* list;  // its variables
  XO_PARMS xo;      // its write parameters
  double alpha;     // the level of its ALPHA= limits
  double t;         // their t quantile in the BY group being written
  double limit[out_limit::kCount];  // their values for the row being written
};
