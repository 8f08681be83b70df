// Quadratic forms of packed symmetric matrices and products of dense
// row-major matrices. All work in caller storage, never allocate and never
// fail; shapes that do not fit are ignored.
#pragma once

// prod = rec*sym*rec' for the p rows of the row-major p by n matrix rec:
// a scalar when p = 1, else a packed symmetric p by p matrix. work holds n
// doubles (p > 1 only). acc nonzero adds to prod instead of replacing it.
void zqform(const double* sym, int n, const double* rec, int p, double* prod, double* work,
            int acc);

// r = op(x)*op(y), or r += op(x)*op(y) when rf is nonzero; x is nx by mx, y
// ny by my, row-major; xf/yf 1 transposes that operand. Conforming products
// go to the BLAS; a 1 by 1 operand scales the other; anything else leaves r
// untouched.
void hzmmultr(double* r, int rf, const double* x, int nx, int mx, int xf, const double* y, int ny,
              int my, int yf);

// r = a*b (f = 0) or a*b' (f = 1) for the nb by mb row-major b, added to r
// when rf is nonzero.
void QXVEQzsmultr(double* r, int rf, double a, const double* b, int nb, int mb, int f);
