#include "random/method_common.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "host/kernel_journal_messages.h"
#include "host/kernel_text_literals.h"
#include "random/hash_murmur3.h"
#include "random/message_gate.h"
#include "random/seed_automatic.h"
#include "random/status_codes.h"

namespace {

constexpr double kTwo32 = 4294967296.0;
constexpr double kTwo64 = 18446744073709551616.0;

// Clears what follows the given bytes and derives each further 64-bit word
// from the word k places before it.
void complete_by_mixing(std::uint8_t* bytes, QXMemSize size, int given) {
  std::memset(bytes + given, 0, size - static_cast<QXMemSize>(given));
  const QXMemSize k = static_cast<QXMemSize>(given) / 8;
  if (k == 0) return;
  for (QXMemSize i = k; i < size / 8; ++i) {
    std::uint64_t word;
    std::memcpy(&word, bytes + 8 * (i - k), 8);
    word = zmh3x64(word);
    std::memcpy(bytes + 8 * i, &word, 8);
  }
}

const QXChar* dump_format_32(int items) {
  switch (items) {
    case 1:
      return qx_text(U"   %3i: %8x");
    case 2:
      return qx_text(U"   %3i: %8x  %3i: %8x");
    case 3:
      return qx_text(U"   %3i: %8x  %3i: %8x  %3i: %8x");
    default:
      return qx_text(U"   %3i: %8x  %3i: %8x  %3i: %8x  %3i: %8x");
  }
}

const QXChar* dump_format_64(int items) {
  switch (items) {
    case 1:
      return qx_text(U"   %3i: %16llx");
    case 2:
      return qx_text(U"   %3i: %16llx  %3i: %16llx");
    case 3:
      return qx_text(U"   %3i: %16llx  %3i: %16llx  %3i: %16llx");
    default:
      return qx_text(U"   %3i: %16llx  %3i: %16llx  %3i: %16llx  %3i: %16llx");
  }
}

template <class Word, class Arg>
void dump_words(const void* blob, QXMemSize blob_size, int max_len, const QXChar* (*format)(int)) {
  QXJnlh jnl = qx_default_journal();
  if (!jnl || !blob) return;
  const long available = static_cast<long>(blob_size / sizeof(Word));
  const long n = std::min<long>(std::max(max_len, 0), available);
  Word w[4] = {};
  for (long i = 0; i < n; i += 4) {
    const int items = static_cast<int>(std::min<long>(4, n - i));
    std::memcpy(w, static_cast<const std::uint8_t*>(blob) + i * sizeof(Word),
                static_cast<std::size_t>(items) * sizeof(Word));
    const int at = static_cast<int>(i);
    qxlMessageToJnl(jnl, QXSeverityNone, format(items), 0, at, static_cast<Arg>(w[0]), at + 1,
                    static_cast<Arg>(w[1]), at + 2, static_cast<Arg>(w[2]), at + 3,
                    static_cast<Arg>(w[3]));
  }
  if (n < available)
    qxlMessageToJnl(jnl, QXSeverityNone, qx_text(U"        Further elements omitted."), 0);
}

}  // namespace

int zrng_state_load(void* blob, QXMemSize state_size, const std::uint8_t* state, int state_l,
                    std::uint64_t flags) {
  if (state_l < 1 || !blob || !state) return 0;
  auto* bytes = static_cast<std::uint8_t*>(blob);
  const auto given = static_cast<QXMemSize>(state_l);
  if (given >= state_size) {
    std::memcpy(bytes, state, state_size);
    return 2;
  }
  if (flags & 2) {
    for (QXMemSize at = 0; at < state_size; at += given)
      std::memcpy(bytes + at, state, std::min(given, state_size - at));
    return 3;
  }
  std::memcpy(bytes, state, given);
  if (flags & 1) return 1;
  complete_by_mixing(bytes, state_size, state_l);
  return 4;
}

void zrng_dump_words_32(const void* blob, QXMemSize blob_size, int max_len) {
  dump_words<std::uint32_t, unsigned>(blob, blob_size, max_len, &dump_format_32);
}

void zrng_dump_words_64(const void* blob, QXMemSize blob_size, int max_len) {
  dump_words<std::uint64_t, unsigned long long>(blob, blob_size, max_len, &dump_format_64);
}

void zrng_note_blob_size(const char* name, QXMemSize blob_size) {
  zrngmsg(QXSeverityNone, zrand_status::kBlobSize, name,
          static_cast<unsigned long long>(blob_size));
}

std::uint32_t zrng_wrap_key_32(double d) {
  const double r = std::trunc(std::fmod(d, kTwo32));
  return r >= 0 ? static_cast<std::uint32_t>(r)
                : static_cast<std::uint32_t>(0u - static_cast<std::uint32_t>(-r));
}

std::uint64_t zrng_wrap_key_64(double d) {
  const double r = std::trunc(std::fmod(d, kTwo64));
  return r >= 0 ? static_cast<std::uint64_t>(r) : 0ull - static_cast<std::uint64_t>(-r);
}

std::uint32_t zrng_mapped_seed_32(double d) {
  const double v = zrngd2i(d, 0xFFFFFFFFull);
  return v >= 1 && v < kTwo32 ? static_cast<std::uint32_t>(v) : 0;
}

std::uint64_t zrng_mapped_seed_64(double d) {
  const double v = zrngd2i(d, ~0ull);
  return v >= 1 && v < kTwo64 ? static_cast<std::uint64_t>(v) : 0;
}
