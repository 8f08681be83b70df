// Byte and wide-character memory and string routines of the kernel library.
#include "host/wide_strings.h"

#include <cstring>

#include "host/missing.h"

QXStatus skUnsup() { return kQXNotSupported; }

QXMemSize skStrLen(const char* s) { return s ? std::strlen(s) : 0; }

QXStrSize skStrTLen(const QXChar* s) {
  if (!s) return 0;
  QXStrSize n = 0;
  while (s[n] != 0) ++n;
  return n;
}

void skStrCpy(const char* src, char* dst) {
  if (!dst) return;
  if (!src) {
    dst[0] = '\0';
    return;
  }
  std::memmove(dst, src, std::strlen(src) + 1);
}

void skStrTCpy(const QXChar* src, QXChar* dst) {
  if (!dst) return;
  if (!src) {
    dst[0] = 0;
    return;
  }
  std::memmove(dst, src, static_cast<std::size_t>(skStrTLen(src) + 1) * sizeof(QXChar));
}

void skStrUp(char* src, QXMemSize len) {
  for (QXMemSize i = 0; src && i < len; ++i)
    if (src[i] >= 'a' && src[i] <= 'z') src[i] = static_cast<char>(src[i] - 'a' + 'A');
}

void skStrLow(char* src, QXMemSize len) {
  for (QXMemSize i = 0; src && i < len; ++i)
    if (src[i] >= 'A' && src[i] <= 'Z') src[i] = static_cast<char>(src[i] - 'A' + 'a');
}

QXBoolean skMemNot(signed char c, const void* buff, QXMemSize len) {
  if (len == 0) return 1;
  if (!buff) return 0;
  return skMemNScan(buff, len, static_cast<unsigned char>(c)) == kQXNotFound;
}

QXBoolean skMemTNot(QXChar c, const QXChar* buff, QXStrSize len) {
  if (len <= 0) return 1;
  if (!buff) return 0;
  return skMemTNScan(buff, static_cast<QXMemSize>(len), c) == kQXNotFound;
}

void skMemSet(void* buff, int c, QXMemSize len) {
  if (buff && len) std::memset(buff, c, len);
}

void skMemTSet(QXChar* buff, QXChar c, QXStrSize len) {
  for (QXStrSize i = 0; buff && i < len; ++i) buff[i] = c;
}

int skMemCmp(const void* src, const void* dst, QXMemSize len) {
  if (len == 0 || src == dst) return 0;
  int d = std::memcmp(src, dst, len);  // memcmp compares bytes as unsigned
  return (d > 0) - (d < 0);
}

int skWMemCmp(const QXChar* src, const QXChar* dst, QXMemSize len) {
  for (QXMemSize i = 0; i < len && src != dst; ++i)
    if (src[i] != dst[i]) return src[i] < dst[i] ? -1 : 1;
  return 0;
}

void skMemCpy(const void* src, void* dst, QXMemSize len) {
  if (len && src != dst) std::memcpy(dst, src, len);
}

void skMemSCpy(const void* src, void* dst, QXMemSize len) {
  if (len) std::memmove(dst, src, len);
}

void* skMemDup(const void* src, QXMemSize len, QXPoolh pool) {
  if (!pool || !src || !pool->memAlloc) return nullptr;
  void* copy = pool->memAlloc(pool, len, 0);
  if (copy && len) std::memcpy(copy, src, len);
  return copy;
}

QXMemSize skMemScan(const void* src, QXMemSize len, int ch) {
  if (!src || len == 0) return kQXNotFound;
  const void* hit = std::memchr(src, ch, len);
  return hit ? static_cast<QXMemSize>(static_cast<const unsigned char*>(hit) -
                                      static_cast<const unsigned char*>(src))
             : kQXNotFound;
}

QXMemSize skMemNScan(const void* src, QXMemSize len, int ch) {
  const auto* bytes = static_cast<const unsigned char*>(src);
  const auto c = static_cast<unsigned char>(ch);
  for (QXMemSize i = 0; bytes && i < len; ++i)
    if (bytes[i] != c) return i;
  return kQXNotFound;
}

QXMemSize skMemTNScan(const QXChar* src, QXMemSize len, QXChar ch) {
  for (QXMemSize i = 0; src && i < len; ++i)
    if (src[i] != ch) return i;
  return kQXNotFound;
}

QXBoolean skMissArray(const double* dp, QXMemSize len) {
  for (QXMemSize i = 0; dp && i < len; ++i)
    if (wzmis(dp[i])) return 1;
  return 0;
}
