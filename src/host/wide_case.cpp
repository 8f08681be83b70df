// Case mapping, case-blind comparison and trailing-blank trimming of QXChar
// wide strings, over the generated case tables.
#include <algorithm>

#include "host/case_tables.h"
#include "host/globals.h"
#include "host/kernel_handle.h"
#include "host/wide_strings.h"

namespace {

constexpr QXChar kBlank = 32;
constexpr QXChar kTableLimit = 0x10000;

// c + delta through an 8-bit shift table; the aux delta looks c up in the
// (from, to) list, and a character the list does not hold stays.
QXChar shift_char(QXChar c, const std::int8_t* shift, const QXChar* aux) {
  if (c < 0 || c >= kTableLimit) return c;
  const int meta = skz_metatable[c >> 7];
  if (meta < 0) return c;
  const int delta = shift[meta + (c & 127)];
  if (delta != kAuxDelta) return c + delta;
  for (const QXChar* pair = aux; pair[0] != 0; pair += 2)
    if (pair[0] == c) return pair[1];
  return c;
}

QXChar map_char(QXChar c, const std::int32_t* meta_table, const std::int32_t* shift) {
  if (c < 0 || c >= kTableLimit) return c;
  const std::int32_t meta = meta_table[c >> 7];
  return meta < 0 ? c : c + shift[meta + (c & 127)];
}

// The handle's national-language extension, when the kernel library has one.
QXNLSh nls_extension() { return Exported_QXHandle ? Exported_QXHandle->qxnls : nullptr; }

using CaseMethod = QXChar (*)(QXNLSh, QXChar, int);

// Characters 0-127 always use the tables; others use the extension's
// method when there is one.
template <QXChar (*Table)(QXChar)>
void case_string(QXChar* string, QXStrSize slen, CaseMethod QX_NLS_S::*method) {
  if (!string || slen < 1) return;
  QXNLSh nls = nls_extension();
  CaseMethod fn = nls ? nls->*method : nullptr;
  for (QXStrSize i = 0; i < slen; ++i) {
    const QXChar c = string[i];
    string[i] = (fn && (c < 0 || c > 127)) ? fn(nls, c, 1) : Table(c);
  }
}

}  // namespace

QXChar qxz_down_char(QXChar c) { return shift_char(c, skz_downshift, skz_downaux); }
QXChar qxz_up_char(QXChar c) { return shift_char(c, skz_upshift, skz_upaux); }
QXChar qxz_min_char(QXChar c) { return map_char(c, skz_min_meta, skz_minshift); }
QXChar qxz_max_char(QXChar c) { return map_char(c, skz_max_meta, skz_maxshift); }

QXStrSize qxzstrp(const QXChar* str, QXStrSize len) {
  if (!str) return 0;
  while (len > 0 && str[len - 1] == kBlank) --len;
  return std::max<QXStrSize>(len, 0);
}

void qxzstlo(QXChar* string, QXStrSize slen) {
  case_string<qxz_down_char>(string, slen, &QX_NLS_S::charLower);
}

void qxzstup(QXChar* string, QXStrSize slen) {
  case_string<qxz_up_char>(string, slen, &QX_NLS_S::charUpper);
}

void qxzstmin(QXChar* string, QXStrSize slen) {
  for (QXStrSize i = 0; string && i < slen; ++i) string[i] = qxz_min_char(string[i]);
}

void qxzstmax(QXChar* string, QXStrSize slen) {
  for (QXStrSize i = 0; string && i < slen; ++i) string[i] = qxz_max_char(string[i]);
}

QXBoolean qxzseqn(const QXChar* s1, QXStrSize len1, const QXChar* s2, QXStrSize len2) {
  if (len1 != len2) return 0;
  if (len1 <= 0 || s1 == s2) return 1;
  if (!s1 || !s2) return 0;
  for (QXStrSize i = 0; i < len1; ++i)
    if (s1[i] != s2[i] && qxz_down_char(s1[i]) != qxz_down_char(s2[i])) return 0;
  return 1;
}

int qxzsncmp(const QXChar* s1, QXStrSize len1, const QXChar* s2, QXStrSize len2) {
  // A missing string compares as an empty one.
  if (!s1 || len1 < 0) len1 = 0;
  if (!s2 || len2 < 0) len2 = 0;
  const QXStrSize n = std::min(len1, len2);
  int tie = 0;
  for (QXStrSize i = 0; i < n; ++i) {
    const QXChar a = s1[i], b = s2[i];
    if (a == b) continue;
    if (tie == 0) tie = a < b ? -1 : 1;
    const QXChar da = qxz_down_char(a), db = qxz_down_char(b);
    if (da != db) return da < db ? -2 : 2;
  }
  if (len1 == len2) return tie;
  if (len1 < len2) return skMemTNot(kBlank, s2 + len1, len2 - len1) ? tie : -2;
  return skMemTNot(kBlank, s1 + len2, len1 - len2) ? tie : 2;
}
