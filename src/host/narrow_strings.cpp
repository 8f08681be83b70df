#include "host/narrow_strings.h"

#include <cstring>

#include "host/globals.h"
#include "host/services.h"

int vzatl(tchar c, const tchar* str, long len, long /*maxlen*/) {
  for (long i = 0; i < len; ++i)
    if (str[i] != c) return 0;
  return 1;
}

void vzfdl(double val, double* to, long len) {
  for (long i = 0; i < len; ++i) to[i] = val;
}

int wzbcup(const tchar* string1, const tchar* string2, int n) {
  const auto* up = gcb_pointer<unsigned char>(gcb::kUpcaseTable);
  for (int i = 0; i < n; ++i) {
    auto b1 = static_cast<unsigned char>(string1[i]);
    auto b2 = static_cast<unsigned char>(string2[i]);
    if (b1 == b2) continue;
    int d = static_cast<int>(up[b1]) - static_cast<int>(up[b2]);
    if (d != 0) return d;
  }
  return 0;
}

int wzstcsp(const tchar* search, int slen, const tchar* options, int olen) {
  if (!search || !options || slen < 1 || olen < 1) return -1;
  for (int i = 0; i < slen; ++i)
    if (std::memchr(options, search[i], static_cast<size_t>(olen))) return i;
  return -1;
}

void wzstjls(tchar* string, int length, int type, int* retlen, int* start) {
  int lead = 0;
  while (lead < length && string[lead] == ' ') ++lead;
  if (lead == length) {
    *retlen = 0;
    *start = 0;
    return;
  }
  int end = length;
  while (end > lead && string[end - 1] == ' ') --end;
  const int t = end - lead;
  int target = lead;
  switch (type) {
    case 'L': case 'l': target = 0; break;
    case 'R': case 'r': target = length - t; break;
    case 'C': case 'c': target = length - ((length + t + 1) >> 1); break;
    default: break;
  }
  if (target != lead) {
    std::memmove(string + target, string + lead, static_cast<size_t>(t));
    std::memset(string, ' ', static_cast<size_t>(target));
    std::memset(string + target + t, ' ', static_cast<size_t>(length - target - t));
  }
  *retlen = t;
  *start = target;
}

int wzstlen(const tchar* str) { return str ? static_cast<int>(std::strlen(str)) : 0; }

int wzstndx(const tchar* str, int slen, const tchar* tok, int tlen) {
  if (!tok || tlen == 0) return 0;
  if (tlen < 0) tlen = static_cast<int>(std::strlen(tok));
  if (slen == 0 || !str || tlen > slen) return -1;
  for (int i = 0; i + tlen <= slen; ++i)
    if (std::memcmp(str + i, tok, static_cast<size_t>(tlen)) == 0) return i;
  return -1;
}

int wzstpos(const tchar* str, int len, unsigned char c) {
  if (!str || len < 1) return -1;
  const void* p = std::memchr(str, c, static_cast<size_t>(len));
  return p ? static_cast<int>(static_cast<const tchar*>(p) - str) : -1;
}

int wzstrip(const tchar* str, int len) {
  if (len < 1) return len;
  // Eight bytes at a time over long runs of trailing blanks.
  constexpr std::uint64_t kBlanks = 0x2020202020202020ull;
  while (len > 16) {
    std::uint64_t word;
    std::memcpy(&word, str + len - 8, 8);
    if (word != kBlanks) break;
    len -= 8;
  }
  while (len > 0 && str[len - 1] == ' ') --len;
  return len;
}

int wzstmax(const tchar* string, int length, int off, int n) {
  if (n < 1) return 0;
  if (!string || length == 0) return length;
  int longest = 0;
  for (int i = 0; i < n; ++i) {
    int l = wzstrip(string + static_cast<long>(i) * off, length);
    if (l > longest) longest = l;
  }
  return longest;
}

short wztxdotr() { return 0; }
short wztxdods() { return 0; }

namespace {
// The host's national-language mode: control-block word 13 points at a
// record whose word 3 points at a mode byte.
bool nls_mode_active() {
  auto* record = gcb_pointer<HostWord>(gcb::kNlsRecord);
  if (!record) return false;
  auto* mode = reinterpret_cast<const signed char*>(record[3]);
  return mode && *mode > 0;
}
}  // namespace

int wztxxlt(int function, const tchar* source, tchar* dest, int len) {
  if (function > 4 || function < 0) return kWztxxltBadCode;
  if (nls_mode_active() && function != 4) {
    switch (function) {
      case 0: return wzsxcch(source, len, dest, len, 1);
      case 1: return wzsxrch(source, len, dest, len, 1);
      case 2: std::memmove(dest, source, static_cast<size_t>(len)); wzstrup(dest, len); return 0;
      default: std::memmove(dest, source, static_cast<size_t>(len)); wzstrlo(dest, len); return 0;
    }
  }
  auto** tables = gcb_pointer<const unsigned char*>(gcb::kTranslateTables);
  const unsigned char* table = tables[function + 2];
  for (int i = 0; i < len; ++i) dest[i] = static_cast<tchar>(table[static_cast<unsigned char>(source[i])]);
  return 0;
}

int max(int a, int b) { return a > b ? a : b; }
int min(int a, int b) { return a < b ? a : b; }
