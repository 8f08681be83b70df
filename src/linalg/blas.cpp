// Binding of the BLAS product (Fortran calling convention: every argument by
// reference, hidden lengths of the character arguments at the end) and of
// the thread setting, which only threaded BLAS builds provide and which is
// therefore looked up at run time.
#include "linalg/blas.h"

#include <dlfcn.h>

#include <cstddef>
#include <initializer_list>

extern "C" void dgemm_(const char* transa, const char* transb, const int* m, const int* n,
                       const int* k, const double* alpha, const double* a, const int* lda,
                       const double* b, const int* ldb, const double* beta, double* c,
                       const int* ldc, std::size_t transa_len, std::size_t transb_len);

void blas_dgemm(char transa, char transb, long m, long n, long k, double alpha, const double* a,
                long lda, const double* b, long ldb, double beta, double* c, long ldc) {
  const int mi = static_cast<int>(m), ni = static_cast<int>(n), ki = static_cast<int>(k);
  const int ldai = static_cast<int>(lda), ldbi = static_cast<int>(ldb), ldci = static_cast<int>(ldc);
  dgemm_(&transa, &transb, &mi, &ni, &ki, &alpha, a, &ldai, b, &ldbi, &beta, c, &ldci, 1, 1);
}

namespace {

using SetThreadsFn = void (*)(int);

// The thread setting of whichever threaded BLAS is loaded, or null.
SetThreadsFn blas_thread_setter() {
  static const SetThreadsFn setter = [] {
    for (const char* name : {"openblas_set_num_threads", "bli_thread_set_num_threads"})
      if (void* fn = dlsym(RTLD_DEFAULT, name)) return reinterpret_cast<SetThreadsFn>(fn);
    return SetThreadsFn{nullptr};
  }();
  return setter;
}

}  // namespace

void use_threads(int count) {
  if (SetThreadsFn set = blas_thread_setter()) set(count);
}
