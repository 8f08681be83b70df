#include "results/saved_diagnostics.h"

#include "host/missing.h"
#include "host/services.h"

void read_saved_diagnostics(XC_FILE* file, long obs, double* row) {
  constexpr int kBytes = kSavedDiagnostics * static_cast<int>(sizeof(double));
  if (file && xcpoint(file, obs) == 0 && xcread(file, row, kBytes) == 0) return;
  for (int k = 0; k < kSavedDiagnostics; ++k) row[k] = missing_value();
}
