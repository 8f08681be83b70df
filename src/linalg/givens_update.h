// Square-root-free (scaled) Givens rotation for building a triangular factor
// one data row at a time.
#pragma once

// Row 1 stands for sqrt(*pd1)·(b1, f1), row 2 for sqrt(*pd2)·(b2, f2); f1 has
// stride inf, f2 unit stride, p values each. Rotates the two rows so that row
// 2's element in column k becomes 0, updating the weights, b1[k .. n-1],
// b2[k .. n-1] and the right-hand sides. An element whose scaled magnitude is
// at most size·1.110223024625157e-16 counts as 0: an incoming one is dropped,
// and an empty row 1 simply takes over row 2. b2[k] is 0 on return.
void zgg(int k, int n, double* pd1, double* pd2, double* b1, double* b2, double size, int p,
         int inf, double* f1, double* f2);
