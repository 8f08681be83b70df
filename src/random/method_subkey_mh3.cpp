// Fill routines of the subtract-key and hash-iteration methods.
#include "random/engine_subkey_mh3.h"
#include "random/method_descriptors.h"
#include "random/method_template.h"

void zrnfSUBKEY32(ZRNG_S* q, std::uint64_t) {
  zrng_fill_descriptor(q, zrng_methods::kSUBKEY32);
  zrng_fill_operations<Subkey32Engine>(q);
}

void zrnfSUBKEY64(ZRNG_S* q, std::uint64_t) {
  zrng_fill_descriptor(q, zrng_methods::kSUBKEY64);
  zrng_fill_operations<Subkey64Engine>(q);
}

void zrnfMH3(ZRNG_S* q, std::uint64_t) {
  zrng_fill_descriptor(q, zrng_methods::kMH3);
  zrng_fill_operations<MH3Engine>(q);
}
