// Short double vectors for the hot loops. Loads and stores go through memcpy,
// so any alignment is fine; the arithmetic is element by element, so a
// result never depends on the vector width (no reassociation, no fused
// multiply-add: the build turns contraction off).
#pragma once

#include <cstring>

namespace linalg::simd {

typedef double v2d __attribute__((vector_size(16)));
typedef double v4d __attribute__((vector_size(32)));

inline v2d load2(const double* p) {
  v2d v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
inline void store2(double* p, v2d v) { std::memcpy(p, &v, sizeof v); }
// Four-wide vectors are used inside functions only (passing them by value
// would depend on the instruction set the caller was built for).
#define RUVA_LOAD4(v, p) std::memcpy(&(v), (p), sizeof(v))
#define RUVA_STORE4(p, v) std::memcpy((p), &(v), sizeof(v))

}  // namespace linalg::simd

// Hot kernels are built for AVX2 as well as the baseline, chosen at load time
// (not under the thread sanitizer, whose start-up the load-time choice
// precedes).
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__)
#define RUVA_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define RUVA_VECTOR_CLONES
#endif
