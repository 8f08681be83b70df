// The diagnostics record of a step: what the observation-level diagnostics
// leave for later passes. The diagnostics themselves are not built yet; the
// OUTPUT pass reads the file of saved diagnostics through this record.
#pragma once

#include "host/dataset_types.h"

struct RUVADIAG {
  XC_FILE* diag_file_ptr;  // the saved diagnostics of the BY group (saved_diagnostics.h), or null
};
