// The method template: every operation of the method record, generic over an
// engine, so that each method's compilation calls its engine directly and
// only the stream goes through the record. An engine supplies:
//
//   using Word = std::uint32_t or std::uint64_t;  // one raw output word
//   static constexpr const char* kName;           // method name for notes
//   static constexpr QXMemSize kBlobSize;         // bytes of the state area
//   static constexpr QXMemSize kStateSize;        // bytes that define the sequence
//   static constexpr bool kKeys, kThreads, kCrude;
//   static void seed(void* blob, Word s);         // s != 0; restarts the engine
//   static Word next(void* blob);                 // next32 or next64
//   static void key(void* blob, Word k);          // k != 0, when kKeys
//   static void thread(void* blob, Word t);       // when kThreads; 0 changes nothing
//   static double crude(void* blob);              // when kCrude
//
// Return codes of the seed, key and thread forms: 0 nothing changed, 1 the
// value was narrowed, widened or converted, 2 taken in the engine's width.
#pragma once

#include <cmath>
#include <cstdint>

#include "host/missing.h"
#include "random/method_common.h"
#include "random/method_record.h"
#include "random/method_uniform_forms.h"
#include "random/seed_automatic.h"

namespace zrngener {

template <class E>
inline constexpr bool kWide = sizeof(typename E::Word) == 8;

template <class E>
typename E::Word automatic_seed() {
  if constexpr (kWide<E>)
    return zrngi64();
  else
    return static_cast<std::uint32_t>(zrngi31());
}

template <class E>
void seed_or_automatic(void* blob, typename E::Word s) {
  E::seed(blob, s != 0 ? s : automatic_seed<E>());
}

template <class E>
QXMemSize blob_size() {
  zrng_note_blob_size(E::kName, E::kBlobSize);
  return E::kBlobSize;
}

template <class E>
void dump_blob_32(void* blob, int max_len) {
  zrng_dump_words_32(blob, E::kBlobSize, max_len);
}
template <class E>
void dump_blob_64(void* blob, int max_len) {
  zrng_dump_words_64(blob, E::kBlobSize, max_len);
}

template <class E>
int state(void* blob, std::uint8_t* bytes, int state_l, std::uint64_t flags) {
  return zrng_state_load(blob, E::kStateSize, bytes, state_l, flags);
}

template <class E>
int seed_32(void* blob, std::uint32_t s) {
  seed_or_automatic<E>(blob, s);
  return kWide<E> ? 1 : 2;
}

// A 32-bit engine takes the two halves folded together; halves that fold
// to 0 ask for an automatic seed, as 0 itself does.
template <class E>
int seed_64(void* blob, std::uint64_t s) {
  if constexpr (kWide<E>) {
    seed_or_automatic<E>(blob, s);
    return 2;
  } else {
    seed_or_automatic<E>(blob, static_cast<std::uint32_t>(s ^ (s >> 32)));
    return 1;
  }
}

// A missing, non-positive or unmappable seed asks for an automatic seed.
template <class E>
int seed_double(void* blob, double d) {
  typename E::Word s = 0;
  if (!wzmis(d) && d > 0) {
    if constexpr (kWide<E>)
      s = zrng_mapped_seed_64(d);
    else
      s = zrng_mapped_seed_32(d);
  }
  seed_or_automatic<E>(blob, s);
  return 1;
}

template <class E>
int key_32(void* blob, std::uint32_t k) {
  if constexpr (!E::kKeys) {
    return (void)blob, (void)k, 0;
  } else {
    if (k == 0) return 0;
    E::key(blob, k);
    return kWide<E> ? 1 : 2;
  }
}

template <class E>
int key_64(void* blob, std::uint64_t k) {
  if constexpr (!E::kKeys) {
    return (void)blob, (void)k, 0;
  } else {
    if (k == 0) return 0;
    if constexpr (kWide<E>) {
      E::key(blob, k);
      return 2;
    } else {
      if (const auto low = static_cast<std::uint32_t>(k)) E::key(blob, low);
      return 1;
    }
  }
}

// A key that is not finite is ignored, as 0 is.
template <class E>
int key_double(void* blob, double d) {
  if constexpr (!E::kKeys) {
    return (void)blob, (void)d, 0;
  } else {
    if (wzmis(d) || d == 0.0 || !std::isfinite(d)) return 0;
    typename E::Word k;
    if constexpr (kWide<E>)
      k = zrng_wrap_key_64(d);
    else
      k = zrng_wrap_key_32(d);
    if (k != 0) E::key(blob, k);
    return 1;
  }
}

template <class E>
int thread_32(void* blob, std::uint32_t t) {
  if constexpr (!E::kThreads) {
    return (void)blob, (void)t, 0;
  } else {
    E::thread(blob, t);
    return kWide<E> ? 1 : 2;
  }
}

template <class E>
int thread_64(void* blob, std::uint64_t t) {
  if constexpr (!E::kThreads) {
    return (void)blob, (void)t, 0;
  } else if constexpr (kWide<E>) {
    E::thread(blob, t);
    return 2;
  } else {
    E::thread(blob, static_cast<std::uint32_t>(t));
    return 1;
  }
}

template <class E>
std::uint32_t uint32(void* blob) {
  if constexpr (kWide<E>)
    return static_cast<std::uint32_t>(E::next(blob) >> 32);
  else
    return E::next(blob);
}

template <class E>
std::uint64_t uint64(void* blob) {
  if constexpr (kWide<E>) {
    return E::next(blob);
  } else {
    const std::uint64_t first = E::next(blob);
    return (first << 32) | E::next(blob);
  }
}

// The double forms: F maps one raw word to a double; R redraws.
template <class E, double (*F)(typename E::Word)>
double from_word(void* blob) {
  return F(E::next(blob));
}

template <class E>
double d32_reject_zero(void* blob) {
  return zrng_uniform::reject_zero_32([blob] { return E::next(blob); });
}
template <class E>
double d53_reject_zero(void* blob) {
  return zrng_uniform::reject_zero_53([blob] { return E::next(blob); });
}
template <class E>
double d64_reject_zero_one(void* blob) {
  return zrng_uniform::reject_zero_one_64([blob] { return E::next(blob); });
}
template <class E>
double d_infinite(void* blob) {
  return zrng_uniform::infinite([blob] { return E::next(blob); });
}

template <class E>
void fill_doubles(ZRNG_S* q) {
  namespace u = zrng_uniform;
  if constexpr (kWide<E>) {
    q->zrng_double_53_reject_zero = &d53_reject_zero<E>;
    q->zrng_double_53_open_open = &from_word<E, u::open_open_53>;
    q->zrng_double_53_open_closed = &from_word<E, u::open_closed_53>;
    q->zrng_double_53_closed_open = &from_word<E, u::closed_open_53>;
    q->zrng_double_53_closed_closed = &from_word<E, u::closed_closed_53>;
    q->zrng_double_64_reject_zero_one = &d64_reject_zero_one<E>;
    q->zrng_double_64_open_open = &from_word<E, u::open_open_64>;
    q->zrng_double_64_open_closed = &from_word<E, u::open_closed_64>;
    q->zrng_double_64_closed_open = &from_word<E, u::closed_open_64>;
    q->zrng_double_64_closed_closed = &from_word<E, u::closed_closed_64>;
    q->zrng_double_infinite = &d_infinite<E>;
    q->zrng_double_open = q->zrng_double_64_reject_zero_one;
    q->zrng_double_fast = q->zrng_double_64_closed_closed;
  } else {
    q->zrng_double_32_reject_zero = &d32_reject_zero<E>;
    q->zrng_double_32_open_open = &from_word<E, u::open_open_32>;
    q->zrng_double_32_open_closed = &from_word<E, u::open_closed_32>;
    q->zrng_double_32_closed_open = &from_word<E, u::closed_open_32>;
    q->zrng_double_32_closed_closed = &from_word<E, u::closed_closed_32>;
    q->zrng_double_open = q->zrng_double_32_reject_zero;
    q->zrng_double_fast = q->zrng_double_32_closed_open;
  }
  if constexpr (E::kCrude) q->zrng_double_crude = &E::crude;
}

}  // namespace zrngener

// Writes every generic operation of engine E into the record's slots. The
// count slots stay empty; a method with operations of its own writes them
// afterwards.
template <class E>
void zrng_fill_operations(ZRNG_S* q) {
  using namespace zrngener;
  q->zrng_blob_size = &blob_size<E>;
  q->zrng_dump_blob_32 = &dump_blob_32<E>;
  q->zrng_dump_blob_64 = &dump_blob_64<E>;
  q->zrng_state = &state<E>;
  q->zrng_seed_32 = &seed_32<E>;
  q->zrng_seed_64 = &seed_64<E>;
  q->zrng_seed_double = &seed_double<E>;
  q->zrng_key_32 = &key_32<E>;
  q->zrng_key_64 = &key_64<E>;
  q->zrng_key_double = &key_double<E>;
  q->zrng_thread_32 = &thread_32<E>;
  q->zrng_thread_64 = &thread_64<E>;
  q->zrng_uint32 = &uint32<E>;
  q->zrng_uint64 = &uint64<E>;
  fill_doubles<E>(q);
}
