// Fill routines of the xorshift methods. XORGENS is filled in full but its
// descriptor's state size is 0: selection treats it as unavailable.
#include "random/engine_xorshift.h"
#include "random/method_descriptors.h"
#include "random/method_template.h"

namespace {
int no_state(void*, std::uint8_t*, int state_l, std::uint64_t) {
  return state_l > 0 ? -1 : 0;
}
}  // namespace

void zrnfXOR64(ZRNG_S* q, std::uint64_t) {
  zrng_fill_descriptor(q, zrng_methods::kXOR64);
  zrng_fill_operations<Xor64Engine>(q);
}

void zrnfXOR128(ZRNG_S* q, std::uint64_t) {
  zrng_fill_descriptor(q, zrng_methods::kXOR128);
  zrng_fill_operations<Xor128Engine>(q);
}

void zrnfXOR1024(ZRNG_S* q, std::uint64_t) {
  zrng_fill_descriptor(q, zrng_methods::kXOR1024);
  zrng_fill_operations<Xor1024Engine>(q);
}

void zrnfXOR4096(ZRNG_S* q, std::uint64_t) {
  zrng_fill_descriptor(q, zrng_methods::kXOR4096);
  zrng_fill_operations<Xor4096Engine>(q);
}

void zrnfXORGENS(ZRNG_S* q, std::uint64_t) {
  zrng_fill_descriptor(q, zrng_methods::kXORGENS);
  zrng_fill_operations<XorgensEngine>(q);
  q->zrng_state = &no_state;
}
