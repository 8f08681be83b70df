// The default parts of the matrix printer: values, row and column labels,
// the small-value threshold.
#include <algorithm>

#include "host/matrix_printer.h"
#include "host/narrow_strings.h"
#include "host/services.h"
#include "linalg/packed.h"

namespace {
const double zpowten[32] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10,
                            1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21,
                            1e22, 1e23, 1e24, 1e25, 1e26, 1e27, 1e28, 1e29, 1e30, 1e31};

const ZPMAT2_COMMON* common(PMATSTR* pmat) {
  return static_cast<const ZPMAT2_COMMON*>(pmat->internal);
}
}  // namespace

double zpmval(PMATSTR* pmat, int row, int col) {
  const ZPMAT2_COMMON* com = common(pmat);
  const double* m = com ? com->matrix : pmat->matrix;
  const int shape = com ? com->shape : pmat->shape;
  int dimen = com ? com->dimen : pmat->dimen;
  if (dimen == 0) dimen = shape == 'c' ? pmat->rows : pmat->cols;
  switch (shape) {
    case 0: case 'r': return m[static_cast<long>(dimen) * row + col];
    case 'c': return m[static_cast<long>(dimen) * col + row];
    case 'd': return row == col ? m[row] : 0.0;
    case 's': return m[zisub(row, col)];
    case 'l': case 't': return row < col ? 0.0 : m[zisub(row, col)];
    case 'u': return col < row ? 0.0 : m[zisub(row, col)];
    default:
      xebug("zpmval: invalid shape=%c", shape);
      return 0.0;
  }
}

void zpmrow(PMATSTR* pmat, int row, int /*width*/) {
  const ZPMAT2_COMMON* com = common(pmat);
  if (com->rowname) {
    xpfmtc(0, com->rowname + static_cast<long>(row) * com->rowoffset, com->rowsize, 0);
  } else if (com->rowsize > 0) {
    xpfmtc(0, " ", 1, -(com->rowsize - 1));
  }
}

void zpmcol(PMATSTR* pmat, int col, int width) {
  const ZPMAT2_COMMON* com = common(pmat);
  if (com->colname) {
    const char* name = com->colname + static_cast<long>(col) * com->coloffset;
    const int n = std::min(wzstrip(name, com->colsize), std::max(width, 0));
    xpfmtc(0, name, n, -(width - n));
  } else if (width > 0) {
    xpfmtc(0, " ", 1, -(width - 1));
  }
}

double zpmsmal(int width, int dec) {
  if (dec < 0 || dec > 32) return 0.0;
  const int k = std::clamp(std::min(width - 7, 8) - dec, -31, 31);
  return k >= 0 ? zpowten[k] : 1.0 / zpowten[-k];
}

int bound(int a, int b, int c) {
  if (b < a) return a;
  return b >= c ? c : b;
}

void zpmhead(PMATSTR* /*pmat*/) { xpoflsh(); }
