// The OUTPUT data sets: one per OUTPUT statement, defined at set-up
// (jovouti) and filled per BY group by the OUTPUT pass (jovout). Every data
// set holds the input variables, the ID variables the program computes, the
// statistics its statement names, the parameters under the PARMS= names
// and, when any OUTPUT statement has DER, the derivatives "DER_name". The
// statistics of all the data sets are bound to one shared output record.
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

// One OUTPUT statement's data set.
struct OutputSet {
  XO_FILE* file;    // OUT=
  XV_VECTOR* list;  // its variables
  XO_PARMS xo;      // its write parameters
};
