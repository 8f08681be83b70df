// Fill routines of the methods whose engines this build does not carry:
// RANUNI, RDRAND and XORGENS, which are never available, and the
// subtract-key, hash, xorshift, Threefry and PCG methods. Their records
// hold the descriptor with a state size of 0, so that selecting them gives
// the default method with the status "method not available".
#include "random/zrng_methods.h"

namespace {

void fill_unavailable(ZRNG_S* q, const ZrngMethod& method) {
  zrng_fill_descriptor(q, method);
  q->zrng_state_size = 0;
}

}  // namespace

void zrnfSUBKEY32(ZRNG_S* q, std::uint64_t) {
  fill_unavailable(q, zrng_methods::kSUBKEY32);
}
void zrnfSUBKEY64(ZRNG_S* q, std::uint64_t) {
  fill_unavailable(q, zrng_methods::kSUBKEY64);
}
void zrnfRANUNI(ZRNG_S* q, std::uint64_t) {
  fill_unavailable(q, zrng_methods::kRANUNI);
}
void zrnfRDRAND(ZRNG_S* q, std::uint64_t) {
  fill_unavailable(q, zrng_methods::kRDRAND);
}
void zrnfMH3(ZRNG_S* q, std::uint64_t) {
  fill_unavailable(q, zrng_methods::kMH3);
}
void zrnfXOR64(ZRNG_S* q, std::uint64_t) {
  fill_unavailable(q, zrng_methods::kXOR64);
}
void zrnfXOR128(ZRNG_S* q, std::uint64_t) {
  fill_unavailable(q, zrng_methods::kXOR128);
}
void zrnfXOR1024(ZRNG_S* q, std::uint64_t) {
  fill_unavailable(q, zrng_methods::kXOR1024);
}
void zrnfXOR4096(ZRNG_S* q, std::uint64_t) {
  fill_unavailable(q, zrng_methods::kXOR4096);
}
void zrnfXORGENS(ZRNG_S* q, std::uint64_t) {
  fill_unavailable(q, zrng_methods::kXORGENS);
}
void zrnfFRY2X32(ZRNG_S* q, std::uint64_t) {
  fill_unavailable(q, zrng_methods::kFRY2X32);
}
void zrnfFRY2X64(ZRNG_S* q, std::uint64_t) {
  fill_unavailable(q, zrng_methods::kFRY2X64);
}
void zrnfFRY4X64(ZRNG_S* q, std::uint64_t) {
  fill_unavailable(q, zrng_methods::kFRY4X64);
}
void zrnfPCG32I(ZRNG_S* q, std::uint64_t) {
  fill_unavailable(q, zrng_methods::kPCG32I);
}
void zrnfPCG64I(ZRNG_S* q, std::uint64_t) {
  fill_unavailable(q, zrng_methods::kPCG64I);
}
