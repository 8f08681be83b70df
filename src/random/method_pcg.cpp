// Fill routines of the PCG methods.
#include "random/engine_pcg.h"
#include "random/method_descriptors.h"
#include "random/method_template.h"

void zrnfPCG32I(ZRNG_S* q, std::uint64_t) {
  zrng_fill_descriptor(q, zrng_methods::kPCG32I);
  zrng_fill_operations<Pcg32iEngine>(q);
}

void zrnfPCG64I(ZRNG_S* q, std::uint64_t) {
  zrng_fill_descriptor(q, zrng_methods::kPCG64I);
  zrng_fill_operations<Pcg64iEngine>(q);
}
