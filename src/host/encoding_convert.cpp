#include "host/encoding_convert.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

QXStatus narrow(const QXChar* c, QXStrSize cL, char* a, QXStrSize aL, QXStrSize* cvtL,
                const unsigned char* table) {
  const QXStrSize n = c && a ? std::max<QXStrSize>(0, std::min(cL, aL)) : 0;
  QXStatus status = aL < cL ? kQXBufferTooSmall : 0;
  for (QXStrSize i = 0; i < n; ++i) {
    if (c[i] < 0 || c[i] > 255) {
      a[i] = static_cast<char>(kSubstituteByte);
      status = kQXNoRepresentation;
    } else {
      a[i] = static_cast<char>(table ? table[c[i]] : c[i]);
    }
  }
  if (cvtL) *cvtL = n;
  return status;
}

}  // namespace


int Compiler2QXChar(const char* src, QXStrSize srcL, QXChar* dest, QXStrSize destL,
                    QXStrSize* cvtL) {
  const QXStrSize n = src && dest ? std::max<QXStrSize>(0, std::min(srcL, destL)) : 0;
  for (QXStrSize i = 0; i < n; ++i) dest[i] = c2qx[static_cast<unsigned char>(src[i])];
  if (cvtL) *cvtL = n;
  return srcL > destL ? 1 : 0;
}

QXStatus QXChar2ASCII(const QXChar* c, QXStrSize cL, char* a, QXStrSize aL, QXStrSize* cvtL) {
  return narrow(c, cL, a, aL, cvtL, nullptr);
}

QXStatus QXChar2Compiler(const QXChar* c, QXStrSize cL, char* a, QXStrSize aL, QXStrSize* cvtL) {
  return narrow(c, cL, a, aL, cvtL, u2c);
}

QXStrSize NLSASCIIStrLen(const char* str, QXStrSize l, QXStrSize cL) {
  if (!str) return 0;
  const QXStrSize limit = std::max<QXStrSize>(0, std::min(l, cL));
  QXStrSize i = 0;
  if (limit > 256) {
    // Eight bytes at a time from an 8-byte boundary while no top bit is set.
    constexpr std::uint64_t kTopBits = 0x8080808080808080ull;
    while (i < limit && (reinterpret_cast<std::uintptr_t>(str + i) & 7) != 0 &&
           static_cast<unsigned char>(str[i]) < 0x80)
      ++i;
    std::uint64_t word;
    while (i + 8 <= limit && (std::memcpy(&word, str + i, 8), (word & kTopBits) == 0)) i += 8;
  }
  while (i < limit && static_cast<unsigned char>(str[i]) < 0x80) ++i;
  return i;
}

QXStatus putUESC(char* buf, QXStrSize bufL, QXChar c32, const unsigned char* u2etable,
                 QXStrSize* cvtL) {
  if (cvtL) *cvtL = 0;
  const bool wide = c32 > 0xFFFF;
  const int digits = wide ? 8 : 4;
  if (bufL < 2 + digits || !buf) return kQXBufferTooSmall;
  if (c32 > 0x10FFFF || c32 < 0) return kQXNoRepresentation;
  static constexpr char kHex[] = "0123456789ABCDEF";
  auto put = [&](int k, char ascii) {
    const auto b = static_cast<unsigned char>(ascii);
    buf[k] = static_cast<char>(u2etable ? u2etable[b] : b);
  };
  put(0, '\\');
  put(1, wide ? 'U' : 'u');
  const auto v = static_cast<std::uint32_t>(c32);
  for (int k = 0; k < digits; ++k) put(2 + k, kHex[(v >> (4 * (digits - 1 - k))) & 0xF]);
  if (cvtL) *cvtL = 2 + digits;
  return 0;
}
