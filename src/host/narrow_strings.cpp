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

namespace {
// Without a host (no control block or no table there) ASCII case tables and
// the identity serve in place of the host's tables.
struct FallbackTables {
  unsigned char identity[256], upper[256], lower[256];
  FallbackTables() {
    for (int c = 0; c < 256; ++c) {
      identity[c] = upper[c] = lower[c] = static_cast<unsigned char>(c);
      if (c >= 'a' && c <= 'z') upper[c] = static_cast<unsigned char>(c - 'a' + 'A');
      if (c >= 'A' && c <= 'Z') lower[c] = static_cast<unsigned char>(c - 'A' + 'a');
    }
  }
};
const FallbackTables& fallback() {
  static const FallbackTables tables;
  return tables;
}

const unsigned char* upcase_table() {
  const unsigned char* up =
      v_global_gcb_anchor ? gcb_pointer<const unsigned char>(gcb::kUpcaseTable) : nullptr;
  return up ? up : fallback().upper;
}

// The host's translation table for wztxxlt code 0-4: entry code + 2 of the
// table list at control-block word 27.
const unsigned char* translation_table(int code) {
  auto** list =
      v_global_gcb_anchor ? gcb_pointer<const unsigned char*>(gcb::kTranslateTables) : nullptr;
  if (list && list[code + 2]) return list[code + 2];
  if (code == 2) return fallback().upper;
  return code == 3 ? fallback().lower : fallback().identity;
}

// The host's national-language mode: control-block word 13 points at a
// record whose word 3 points at a mode byte.
bool nls_mode_active() {
  auto* record = v_global_gcb_anchor ? gcb_pointer<HostWord>(gcb::kNlsRecord) : nullptr;
  if (!record) return false;
  auto* mode = reinterpret_cast<const signed char*>(record[3]);
  return mode && *mode > 0;
}
}  // namespace

int wzbcup(const tchar* string1, const tchar* string2, int n) {
  const unsigned char* up = upcase_table();
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
  if (!string || length < 1) length = 0;
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
  if (tlen == 0) return 0;
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

int utf8_cut_length(const tchar* str, int len, int limit) {
  if (len <= limit) return len;
  int cut = limit < 0 ? 0 : limit;
  // A continuation byte (10xxxxxx) at the cut means a character spans it.
  while (cut > 0 && (static_cast<unsigned char>(str[cut]) & 0xC0) == 0x80) --cut;
  return cut;
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

int wztxxlt(int function, const tchar* source, tchar* dest, int len) {
  if (function > 4 || function < 0) return kWztxxltBadCode;
  if (len < 1) return 0;
  if (nls_mode_active() && function != 4) {
    switch (function) {
      case 0: wzsxcch(source, len, dest, len, 1); break;
      case 1: wzsxrch(source, len, dest, len, 1); break;
      case 2: std::memmove(dest, source, static_cast<size_t>(len)); wzstrup(dest, len); break;
      default: std::memmove(dest, source, static_cast<size_t>(len)); wzstrlo(dest, len); break;
    }
    return 0;
  }
  const unsigned char* table = translation_table(function);
  for (int i = 0; i < len; ++i) dest[i] = static_cast<tchar>(table[static_cast<unsigned char>(source[i])]);
  return 0;
}

int max(int a, int b) { return a > b ? a : b; }
int min(int a, int b) { return a < b ? a : b; }
