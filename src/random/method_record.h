// The method record: what a generator method is (names, label, state size,
// period, output width, capabilities, seed and key limits) followed by the
// fixed table of operations through which a stream reaches its engine. The
// blob passed to every operation is the stream's engine state area.
#pragma once

#include <cstdint>

#include "host/kernel_records.h"

using ZrngBlob = void*;

// Capability bits of `zrng_has`.
namespace zrng_has {
inline constexpr std::uint64_t kLabelInNotes = 0x1;
inline constexpr std::uint64_t kSeed32 = 0x8;
inline constexpr std::uint64_t kSeed64 = 0x10;
inline constexpr std::uint64_t kKey32 = 0x20;
inline constexpr std::uint64_t kKey64 = 0x40;
inline constexpr std::uint64_t kThread32 = 0x80;
inline constexpr std::uint64_t kThread64 = 0x100;
inline constexpr std::uint64_t kCounter32 = 0x200;
inline constexpr std::uint64_t kCounter64 = 0x400;
inline constexpr std::uint64_t kOutput32 = 0x800;
inline constexpr std::uint64_t kOutput64 = 0x1000;
inline constexpr std::uint64_t kSeeds = kSeed32 | kSeed64;
inline constexpr std::uint64_t kKeys = kKey32 | kKey64;
inline constexpr std::uint64_t kThreads = kThread32 | kThread64;
}  // namespace zrng_has

inline constexpr int kZrngNameLength = 16;
inline constexpr int kZrngLabelLength = 64;

struct ZRNG_S {
  std::int32_t zrng_name_length;        // capacity of zrng_name: 16
  std::int32_t zrng_label_length;       // capacity of zrng_label: 64
  char zrng_name[kZrngNameLength];      // method name, NUL-terminated
  char zrng_label[kZrngLabelLength];    // descriptive label, NUL-terminated
  QXChar zrng_qxname[kZrngNameLength];  // the name in wide characters; selection's work buffer
  QXMemSize zrng_state_size;            // bytes of state that define the sequence; 0 = unavailable
  std::uint32_t zrng_log2_period;       // log2 of the period, 0 = not stated
  std::uint32_t zrng_bits;              // bits of one raw output word
  std::uint64_t zrng_flags;             // cleared by every fill routine; not used
  std::uint64_t zrng_has;               // capability bits (zrng_has::)
  std::uint64_t zrng_max_seed;          // largest seed
  std::uint64_t zrng_max_key;           // largest key, 0 = no keys
  QXSeverity msglev;                    // cleared by every fill routine; not used

  // The operations, in their fixed slot order. A slot a method does not
  // fill stays null.
  QXMemSize (*zrng_blob_size)();
  void (*zrng_dump_blob_32)(ZrngBlob blob, int max_len);
  void (*zrng_dump_blob_64)(ZrngBlob blob, int max_len);
  int (*zrng_state)(ZrngBlob blob, std::uint8_t* state, int state_l, std::uint64_t flags);
  int (*zrng_seed_32)(ZrngBlob blob, std::uint32_t seed);
  int (*zrng_seed_64)(ZrngBlob blob, std::uint64_t seed);
  int (*zrng_seed_double)(ZrngBlob blob, double seed);
  int (*zrng_key_32)(ZrngBlob blob, std::uint32_t key);
  int (*zrng_key_64)(ZrngBlob blob, std::uint64_t key);
  int (*zrng_key_double)(ZrngBlob blob, double key);
  int (*zrng_thread_32)(ZrngBlob blob, std::uint32_t thread);
  int (*zrng_thread_64)(ZrngBlob blob, std::uint64_t thread);
  void (*zrng_count_32)(ZrngBlob blob, std::uint32_t count);
  void (*zrng_count_64)(ZrngBlob blob, std::uint64_t count);
  std::uint32_t (*zrng_uint32)(ZrngBlob blob);
  std::uint64_t (*zrng_uint64)(ZrngBlob blob);
  double (*zrng_double_open)(ZrngBlob blob);  // the stream's default uniform on (0,1)
  double (*zrng_double_crude)(ZrngBlob blob);
  double (*zrng_double_fast)(ZrngBlob blob);
  int (*zrng_flotation)(ZrngBlob blob);  // never filled
  double (*zrng_double_32_reject_zero)(ZrngBlob blob);
  double (*zrng_double_32_open_open)(ZrngBlob blob);
  double (*zrng_double_32_open_closed)(ZrngBlob blob);
  double (*zrng_double_32_closed_open)(ZrngBlob blob);
  double (*zrng_double_32_closed_closed)(ZrngBlob blob);
  double (*zrng_double_53_reject_zero)(ZrngBlob blob);
  double (*zrng_double_53_open_open)(ZrngBlob blob);
  double (*zrng_double_53_open_closed)(ZrngBlob blob);
  double (*zrng_double_53_closed_open)(ZrngBlob blob);
  double (*zrng_double_53_closed_closed)(ZrngBlob blob);
  double (*zrng_double_64_reject_zero_one)(ZrngBlob blob);
  double (*zrng_double_64_open_open)(ZrngBlob blob);
  double (*zrng_double_64_open_closed)(ZrngBlob blob);
  double (*zrng_double_64_closed_open)(ZrngBlob blob);
  double (*zrng_double_64_closed_closed)(ZrngBlob blob);
  double (*zrng_double_infinite)(ZrngBlob blob);
};

// A method's fill routine: clears the record and writes its descriptor and
// operations. `flags` is passed on from selection and not used.
using ZrngFill = void (*)(ZRNG_S* q, std::uint64_t flags);
