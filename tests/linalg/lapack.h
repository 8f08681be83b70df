// The reference BLAS and LAPACK routines the tests compare against (Fortran
// calling convention: every argument by address, the lengths of character
// arguments appended). Our row-packed lower triangle is their column-packed
// upper triangle, 'U'.
#pragma once

#include <cstddef>

extern "C" {
void dspr_(const char* uplo, const int* n, const double* alpha, const double* x, const int* incx,
           double* ap, std::size_t uplo_len);
void dpptrf_(const char* uplo, const int* n, double* ap, int* info, std::size_t uplo_len);
void dpptri_(const char* uplo, const int* n, double* ap, int* info, std::size_t uplo_len);
void dgeqp3_(const int* m, const int* n, double* a, const int* lda, int* jpvt, double* tau,
             double* work, const int* lwork, int* info);
void dgeqrf_(const int* m, const int* n, double* a, const int* lda, double* tau, double* work,
             const int* lwork, int* info);
void dgesvd_(const char* jobu, const char* jobvt, const int* m, const int* n, double* a,
             const int* lda, double* s, double* u, const int* ldu, double* vt, const int* ldvt,
             double* work, const int* lwork, int* info, std::size_t, std::size_t);
void dsptrd_(const char* uplo, const int* n, double* ap, double* d, double* e, double* tau,
             int* info, std::size_t);
void dspev_(const char* jobz, const char* uplo, const int* n, double* ap, double* w, double* z,
            const int* ldz, double* work, int* info, std::size_t, std::size_t);
void dstebz_(const char* range, const char* order, const int* n, const double* vl,
             const double* vu, const int* il, const int* iu, const double* abstol,
             const double* d, const double* e, int* m, int* nsplit, double* w, int* iblock,
             int* isplit, double* work, int* iwork, int* info, std::size_t, std::size_t);
void dstein_(const int* n, const double* d, const double* e, const int* m, const double* w,
             const int* iblock, const int* isplit, double* z, const int* ldz, double* work,
             int* iwork, int* ifail, int* info);
void dtptri_(const char* uplo, const char* diag, const int* n, double* ap, int* info,
             std::size_t, std::size_t);
}
