// Fill routines of the Threefry methods: the generic operations over the
// counter-based engines, plus the count operation of each width.
#include "random/engine_threefry.h"
#include "random/method_descriptors.h"
#include "random/method_template.h"

void zrnfFRY2X32(ZRNG_S* q, std::uint64_t) {
  zrng_fill_descriptor(q, zrng_methods::kFRY2X32);
  zrng_fill_operations<Fry2x32Engine>(q);
  q->zrng_count_32 = &zrng_FRY2X32_count_32;
}

void zrnfFRY2X64(ZRNG_S* q, std::uint64_t) {
  zrng_fill_descriptor(q, zrng_methods::kFRY2X64);
  zrng_fill_operations<Fry2x64Engine>(q);
  q->zrng_count_64 = &zrng_FRY2X64_count_64;
}

void zrnfFRY4X64(ZRNG_S* q, std::uint64_t) {
  zrng_fill_descriptor(q, zrng_methods::kFRY4X64);
  zrng_fill_operations<Fry4x64Engine>(q);
  q->zrng_count_64 = &zrng_FRY4X64_count_64;
}
