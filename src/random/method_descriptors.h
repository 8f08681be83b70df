// The nineteen generator methods: their descriptors and fill routines. A
// fill routine clears a method record and writes the method's descriptor
// and operations; `flags` comes from selection and is not used.
#pragma once

#include <cstdint>

#include "random/method_record.h"

struct ZrngMethod {
  const char* name;
  const char* label;
  QXMemSize state_size;  // 0: the method is not available
  std::uint32_t log2_period;
  std::uint32_t bits;
  std::uint64_t has;
  std::uint64_t max_seed;
  std::uint64_t max_key;
};

namespace zrng_methods {
extern const ZrngMethod kSUBKEY32, kSUBKEY64, kRANUNI, kRDRAND, kMT1998, kMTHYBRID, kMT32, kMT64,
    kMH3, kXOR64, kXOR128, kXOR1024, kXOR4096, kXORGENS, kFRY2X32, kFRY2X64, kFRY4X64, kPCG32I,
    kPCG64I;
}

// Clears the record and writes the method's descriptor, sending the label
// as an information note; the operation slots stay empty.
void zrng_fill_descriptor(ZRNG_S* q, const ZrngMethod& method);

void zrnfSUBKEY32(ZRNG_S* q, std::uint64_t flags);
void zrnfSUBKEY64(ZRNG_S* q, std::uint64_t flags);
void zrnfRANUNI(ZRNG_S* q, std::uint64_t flags);
void zrnfRDRAND(ZRNG_S* q, std::uint64_t flags);
void zrnfMT1998(ZRNG_S* q, std::uint64_t flags);
void zrnfMTHYBRID(ZRNG_S* q, std::uint64_t flags);
void zrnfMT32(ZRNG_S* q, std::uint64_t flags);
void zrnfMT64(ZRNG_S* q, std::uint64_t flags);
void zrnfMH3(ZRNG_S* q, std::uint64_t flags);
void zrnfXOR64(ZRNG_S* q, std::uint64_t flags);
void zrnfXOR128(ZRNG_S* q, std::uint64_t flags);
void zrnfXOR1024(ZRNG_S* q, std::uint64_t flags);
void zrnfXOR4096(ZRNG_S* q, std::uint64_t flags);
void zrnfXORGENS(ZRNG_S* q, std::uint64_t flags);
void zrnfFRY2X32(ZRNG_S* q, std::uint64_t flags);
void zrnfFRY2X64(ZRNG_S* q, std::uint64_t flags);
void zrnfFRY4X64(ZRNG_S* q, std::uint64_t flags);
void zrnfPCG32I(ZRNG_S* q, std::uint64_t flags);
void zrnfPCG64I(ZRNG_S* q, std::uint64_t flags);
