// The debug print of the sweep inverse and the correlation form.
#include <algorithm>
#include <cmath>

#include "host/services.h"
#include "host/matrix_printer.h"
#include "linalg/constants.h"
#include "linalg/packed.h"
#include "linalg/sweep_inverse_parts.h"

using linalg::kSqrtHuge;
using linalg::kSqrtTiny;

namespace {

bool debug_print_on(const ZSWPN* swpi) { return swpi->itprint && swpi->debug && swpi->matinfo; }

// v/den, where a denominator below 1 that would overflow the quotient gives
// +-kSqrtHuge (0 stays 0).
double divide_guarded(double v, double den) {
  if (den < 1.0 && den <= std::fabs(v) / kSqrtHuge) return v == 0.0 ? 0.0 : std::copysign(kSqrtHuge, v);
  return v / den;
}

}  // namespace

void print_entering_matrix(double* xpx, int nest1, const ZSWPN* swpi) {
  if (!debug_print_on(swpi)) return;
  const ZMATINFO& info = *swpi->matinfo;
  char title[256];
  const int length = wkread(info.msg_grp, info.title_msg, title, sizeof title - 1);
  title[std::clamp(length, 0, static_cast<int>(sizeof title) - 1)] = '\0';
  char corner[] = "I";
  char blank[] = " ";
  zpsmat(xpx, nest1, info.names, info.ndec, info.ndecfmt, corner, title, blank);
}

void corr(double* xpx, double* wrk, int n, int nest1, zswpptr swpi) {
  for (int i = 0; i < n; ++i) wrk[i] = std::sqrt(std::max(0.0, xpx[zisub(i, i)]));
  if (swpi) print_entering_matrix(xpx, nest1, swpi);
  // Rows without a scale factor (at or beyond n) are left as they are.
  const int rows = std::min(n, nest1);
  for (int i = 0; i < rows; ++i) {
    double* row = xpx + zisub(i, 0);
    if (wrk[i] <= kSqrtTiny) {
      std::fill_n(row, i + 1, 0.0);
      continue;
    }
    for (int j = 0; j <= i; ++j) row[j] = divide_guarded(row[j], wrk[j] * wrk[i]);
  }
}
