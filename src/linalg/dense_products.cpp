// Dense row-major products: conforming ones through the BLAS (single-
// threaded, so products never start threads), scalar ones by hand.
#include "linalg/blas.h"
#include "linalg/dense_products.h"

namespace {

// r (+)= a * op(m) for the rows by cols matrix m, transposed when `flag`;
// op(m) is written in row-major order.
void scale_into(double* r, bool add, double a, const double* m, int rows, int cols, int flag) {
  const long count = static_cast<long>(rows) * cols;
  if (flag == 0) {
    for (long k = 0; k < count; ++k) r[k] = add ? r[k] + a * m[k] : a * m[k];
    return;
  }
  // The transpose: m read down its columns, one column per row of r.
  long out = 0;
  for (int col = 0; col < cols; ++col)
    for (int row = 0; row < rows; ++row, ++out) {
      const double v = a * m[static_cast<long>(row) * cols + col];
      r[out] = add ? r[out] + v : v;
    }
}

}  // namespace

void hzmmultr(double* r, int rf, const double* x, int nx, int mx, int xf, const double* y, int ny,
              int my, int yf) {
  if (nx < 1 || mx < 1 || ny < 1 || my < 1) return;
  const int x_rows = xf ? mx : nx, x_inner = xf ? nx : mx;
  const int y_inner = yf ? my : ny, y_cols = yf ? ny : my;
  const bool add = rf != 0;
  if (x_inner == y_inner) {
    // Row-major r = op(x) op(y) is column-major r' = op(y)' op(x)': swap
    // the operands and hand them over as stored.
    use_threads(1);
    blas_dgemm(yf ? 'T' : 'N', xf ? 'T' : 'N', y_cols, x_rows, x_inner, 1.0, y, my, x, mx,
               add ? 1.0 : 0.0, r, y_cols);
  } else if (nx == 1 && mx == 1) {
    scale_into(r, add, x[0], y, ny, my, yf);
  } else if (ny == 1 && my == 1) {
    scale_into(r, add, y[0], x, nx, mx, xf);
  }
}

void QXVEQzsmultr(double* r, int rf, double a, const double* b, int nb, int mb, int f) {
  if (nb < 1 || mb < 1) return;
  // f = 1 reads b as mb rows of nb values and writes its transpose.
  if (f == 0)
    scale_into(r, rf != 0, a, b, nb, mb, 0);
  else
    scale_into(r, rf != 0, a, b, mb, nb, 1);
}
