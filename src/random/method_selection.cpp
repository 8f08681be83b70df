#include "random/method_selection.h"

#include <cstring>

#include "host/kernel_text_literals.h"
#include "host/named_values.h"
#include "host/session_encoding.h"
#include "host/wide_strings.h"
#include "random/method_descriptors.h"
#include "random/status_codes.h"

namespace {

struct Keyword {
  const char32_t* word;
  ZrngFill fill;
};

// Keywords by first letter, tried in order; the first match is taken.
const Keyword kKeywords[] = {
    {U"FRY2X32", &zrnfFRY2X32},
    {U"FRY2X64", &zrnfFRY2X64},
    {U"FRY4X64", &zrnfFRY4X64},
    {U"HARD", &zrnfRDRAND},
    {U"HARDWARE", &zrnfRDRAND},
    {U"MH3", &zrnfMH3},
    {U"MT", &zrnfMT64},
    {U"MT1998", &zrnfMT1998},
    {U"MT2002", &zrnfMT32},
    {U"MT32", &zrnfMT32},
    {U"MT64", &zrnfMT64},
    {U"MTHYBRID", &zrnfMTHYBRID},
    {U"PCG", &zrnfPCG64I},
    {U"PCG32I", &zrnfPCG32I},
    {U"PCG64I", &zrnfPCG64I},
    {U"RANUNI", &zrnfRANUNI},
    {U"RDRAND", &zrnfRDRAND},
    {U"SUBKEY32", &zrnfSUBKEY32},
    {U"SUBKEY64", &zrnfSUBKEY64},
    {U"TF", &zrnfFRY4X64},
    {U"TF2", &zrnfFRY2X64},
    {U"TF4", &zrnfFRY4X64},
    {U"THREEFRY", &zrnfFRY4X64},
    {U"THREEFRY2X32", &zrnfFRY2X32},
    {U"THREEFRY2X64", &zrnfFRY2X64},
    {U"THREEFRY4X64", &zrnfFRY4X64},
    {U"TRNG", &zrnfRDRAND},
    {U"XOR64", &zrnfXOR64},
    {U"XOR128", &zrnfXOR128},
    {U"XOR1024", &zrnfXOR1024},
    {U"XOR4096", &zrnfXOR4096},
    {U"XORGENS", &zrnfXORGENS},
};

// The name's characters without blanks before or after.
struct Trimmed {
  const void* start;
  long length;
};

template <class Char>
Trimmed trim(const Char* name, long length) {
  while (length > 0 && name[length - 1] == ' ') --length;
  while (length > 0 && *name == ' ') ++name, --length;
  return {name, length};
}

Trimmed measure_and_trim(const char* name, int name_l, bool wide) {
  if (!name) return {nullptr, 0};
  if (wide) {
    const auto* w = reinterpret_cast<const QXChar*>(name);
    return trim(w, name_l < 0 ? static_cast<long>(skStrTLen(w)) : name_l);
  }
  return trim(name, name_l < 0 ? static_cast<long>(std::strlen(name)) : name_l);
}

ZrngFill find_method(const QXChar* name, long length) {
  const QXChar first = qxz_up_char(name[0]);
  for (const Keyword& k : kKeywords) {
    if (static_cast<QXChar>(k.word[0]) != first) continue;
    const auto* word = qx_text(k.word);
    if (qxzseqn(name, length, word, skStrTLen(word))) return k.fill;
  }
  return nullptr;
}

int fill_default(ZRNG_S* q, std::uint64_t flags, int status) {
  zrnfMTHYBRID(q, flags);
  return status;
}

}  // namespace

int zrngmeth(const char* name, int name_l, ZRNG_S* q, std::uint64_t flags) {
  if (!q) return 0;
  const bool wide = flags & zrngmeth_flags::kWideName;
  const Trimmed t = measure_and_trim(name, name_l, wide);
  if (t.length >= kZrngNameLength) return fill_default(q, flags, zrand_status::kUnknownMethod);

  QXChar* buffer = q->zrng_qxname;
  long length = t.length;
  if (wide)
    std::memcpy(buffer, t.start, static_cast<std::size_t>(length) * sizeof(QXChar));
  else if (length > 0)
    length = static_cast<long>(zCharToQXChar(static_cast<const char*>(t.start), buffer, length));
  buffer[length] = 0;
  if (length == 0) {
    // The named value's text is taken as it stands.
    length = qxnrtget(qx_text(U"OSENV.KOV_RNG_METHOD"), 0, buffer, kZrngNameLength);
    if (length == 0) return fill_default(q, flags, 0);
  }

  const ZrngFill fill = find_method(buffer, length);
  if (!fill) return fill_default(q, flags, zrand_status::kUnknownMethod);
  fill(q, flags);
  if (q->zrng_state_size == 0) return fill_default(q, flags, zrand_status::kMethodUnavailable);
  return 0;
}
