// The platform BLAS: the general matrix product and the thread setting of
// the BLAS library the program is linked with.
#pragma once

// C = alpha*op(A)*op(B) + beta*C in column-major terms, arguments by value:
// transa/transb 'N' or 'T', C m by n, inner dimension k.
void blas_dgemm(char transa, char transb, long m, long n, long k, double alpha, const double* a,
                long lda, const double* b, long ldb, double beta, double* c, long ldc);

// Sets the number of threads the BLAS may use, when the library has such a
// setting; otherwise does nothing (a BLAS without threads is single-threaded
// already).
void use_threads(int count);
