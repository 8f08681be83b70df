// Stand-ins for four wide-string routines, used by the named values until
// the module's own wide-string library is in place.
#pragma once

#include "host/globals.h"
#include "host/qx_handle.h"
#include "host/types.h"

static inline QXMemSize skStrLen(const char* s) {
  QXMemSize n = 0;
  if (s)
    while (s[n] != 0) ++n;
  return n;
}

static inline QXStrSize skStrTLen(const QXChar* s) {
  QXStrSize n = 0;
  if (s)
    while (s[n] != 0) ++n;
  return n;
}

// Length without trailing blanks.
static inline QXStrSize qxzstrp(const QXChar* str, QXStrSize len) {
  while (len > 0 && str[len - 1] == 32) --len;
  return len < 0 ? 0 : len;
}

// Upper-cases in place: ASCII directly, other characters through the
// national-language extension when the kernel has one.
static inline void qxzstup(QXChar* string, QXStrSize slen) {
  QX_HNDL_S* h = Exported_QXHandle;
  QXNLSh nls = h ? h->qxnls : nullptr;
  for (QXStrSize i = 0; i < slen; ++i) {
    const QXChar c = string[i];
    if (c >= 'a' && c <= 'z') string[i] = c - 32;
    else if (c > 127 && nls && nls->charUpper) string[i] = nls->charUpper(nls, c, 1);
  }
}
