#include "random/method_descriptors.h"

#include <cstring>

#include "random/message_gate.h"
#include "random/status_codes.h"

namespace zrng_methods {
namespace {
constexpr std::uint64_t kMax32 = 0xFFFFFFFFull;
constexpr std::uint64_t kMax64 = ~0ull;
}  // namespace

// name, label, state bytes, log2 period, bits, capabilities, largest seed, largest key
const ZrngMethod kSUBKEY32{"SUBKEY32", "32-bit Subtract Key", 4, 32, 32, 0x82F, kMax32, kMax32};
const ZrngMethod kSUBKEY64{"SUBKEY64", "64-bit Subtract Key", 8, 64, 64, 0x1057, kMax64, kMax64};
const ZrngMethod kRANUNI{"RANUNI", "RANUNI", 0, 0, 31, 0x80A, kMax32, 0};
const ZrngMethod kRDRAND{"RDRAND", "Intel RDRAND", 0, 0, 0, 0x3801, 0, 0};
const ZrngMethod kMT1998{"MT1998", "1998 32-bit Mersenne Twister", 2496, 19968, 32, 0x28AF, kMax32,
                         kMax32};
const ZrngMethod kMTHYBRID{
    "MTHYBRID", "Hybrid 1998/2002 32-bit Mersenne Twister", 2496, 19968, 32, 0x28AF, kMax32,
    kMax32};
const ZrngMethod kMT32{"MT32", "2002 32-bit Mersenne Twister", 2496, 19968, 32, 0x28AF, kMax32,
                       kMax32};
const ZrngMethod kMT64{"MT64", "64-bit Mersenne Twister", 2496, 19968, 64, 0x1157, kMax64, kMax64};
const ZrngMethod kMH3{"MH3", "64-bit Murmur Hash 3", 8, 64, 64, 0x1017, kMax64, 0};
const ZrngMethod kXOR64{"XOR64", "64-bit XORSHIFT64*", 8, 64, 64, 0x1017, kMax64, 0};
const ZrngMethod kXOR128{"XOR128", "64-bit XORSHIFT128+", 16, 128, 64, 0x1017, kMax64, 0};
const ZrngMethod kXOR1024{"XOR1024", "64-bit XORSHIFT1024*", 128, 1024, 64, 0x1017, kMax64, 0};
const ZrngMethod kXOR4096{"XOR4096", "64-bit XORSHIFT4096*", 512, 4096, 64, 0x1017, kMax64, 0};
const ZrngMethod kXORGENS{"XORGENS", "64-bit XORGENS*", 0, 0, 64, 0x1013, kMax64, 0};
const ZrngMethod kFRY2X32{"FRY2X32", "32-bit Random123 2x32-bit Threefry", 8, 64, 32, 0xAAF, kMax32,
                          kMax32};
const ZrngMethod kFRY2X64{
    "FRY2X64", "64-bit Random123 2x64-bit Threefry", 16, 128, 64, 0x1557, kMax64, kMax64};
const ZrngMethod kFRY4X64{
    "FRY4X64", "64-bit Random123 4x64-bit Threefry", 32, 256, 64, 0x1557, kMax64, kMax64};
const ZrngMethod kPCG32I{"PCG32I", "32-bit PCG32i", 4, 32, 32, 0x82F, kMax32, 0x7FFFFFFFull};
const ZrngMethod kPCG64I{"PCG64I", "64-bit PCG64i", 8,      64,
                         64,       0x1057,          kMax64, 0x7FFFFFFFFFFFFFFFull};

}  // namespace zrng_methods

void zrng_fill_descriptor(ZRNG_S* q, const ZrngMethod& method) {
  std::memset(q, 0, sizeof *q);
  q->zrng_name_length = kZrngNameLength;
  q->zrng_label_length = kZrngLabelLength;
  q->zrng_has = method.has;
  const std::size_t n = strnlen(method.name, kZrngNameLength - 1);
  std::memcpy(q->zrng_name, method.name, n);
  for (std::size_t i = 0; i < n; ++i)
    q->zrng_qxname[i] = static_cast<unsigned char>(method.name[i]);
  std::strncpy(q->zrng_label, method.label, kZrngLabelLength - 1);
  zrngmsg(QXSeverityNone, zrand_status::kMethodLabel, q->zrng_label);
  q->zrng_state_size = method.state_size;
  q->zrng_log2_period = method.log2_period;
  q->zrng_bits = method.bits;
  q->zrng_max_seed = method.max_seed;
  q->zrng_max_key = method.max_key;
}
