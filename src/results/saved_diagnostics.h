// The file of saved diagnostics: the observation-level diagnostics of a BY
// group, written by the diagnostics pass and read by the OUTPUT pass.
//
// Format: a utility file of 40-byte records, five doubles each: expected raw
// residual, projected residual, studentized projected residual, Jacobian
// leverage times weight, local influence LMAX. Record i belongs to
// observation i of the BY group (0-based, counting every observation a pass
// reads, used or not), so that an observation finds its own record whatever
// happened to the others. The writer writes one record per observation read,
// in order, with missing values where it computed nothing.
#pragma once

#include "host/dataset_types.h"

inline constexpr int kSavedDiagnostics = 5;

// Observation `obs`'s saved diagnostics into row[0..4]; all missing when the
// file has no record for it.
void read_saved_diagnostics(XC_FILE* file, long obs, double* row);
