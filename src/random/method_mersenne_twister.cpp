// Fill routines of the Mersenne Twister methods: one compilation of the
// method template per engine.
#include "random/engine_mersenne_twister.h"
#include "random/method_descriptors.h"
#include "random/method_template.h"

void zrnfMT1998(ZRNG_S* q, std::uint64_t) {
  zrng_fill_descriptor(q, zrng_methods::kMT1998);
  zrng_fill_operations<MT1998Engine>(q);
}

void zrnfMTHYBRID(ZRNG_S* q, std::uint64_t) {
  zrng_fill_descriptor(q, zrng_methods::kMTHYBRID);
  zrng_fill_operations<MTHYBRIDEngine>(q);
}

void zrnfMT32(ZRNG_S* q, std::uint64_t) {
  zrng_fill_descriptor(q, zrng_methods::kMT32);
  zrng_fill_operations<MT2002Engine>(q);
}

void zrnfMT64(ZRNG_S* q, std::uint64_t) {
  zrng_fill_descriptor(q, zrng_methods::kMT64);
  zrng_fill_operations<MT64Engine>(q);
}
