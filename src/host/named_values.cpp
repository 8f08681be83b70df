#include "host/named_values.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "host/globals.h"
#include "host/named_values_internal.h"
#include "host/kernel_journal_messages.h"
#include "host/kernel_text_literals.h"
#include "host/session_encoding.h"
#include "host/wide_strings.h"

namespace named_values {

int Name::shown() const { return static_cast<int>(std::min<QXStrSize>(length, INT_MAX)); }

Name measure(const QXChar* name, int name_l) {
  return {name, name && name_l < 1 ? skStrTLen(name) : name_l};
}

QX_HNDL_S* handle() { return Exported_QXHandle; }
QXJnlh journal() { return handle() ? handle()->qxjnl : nullptr; }

bool debug_on() {
  QX_HNDL_S* h = handle();
  return h && h->nameExists && h->nameExists(h, qx_text(U"OSENV.KOV_QXNR_DEBUG"), 20) != 0;
}

bool wrong_type(QXStatus status) { return status == kQXWrongType || status == kQXMissingExtension; }

void report_failure(bool setter, const Name& name, const char* op, QXStatus status) {
  QXJnlh jnl = journal();
  if (!jnl) return;
  const QXStatus rc = qxlMessageToJnl(jnl, QXSeverityError, qx_text(U"%s failed for %.*S in %hs"), 0,
                                      setter ? qx_text(U"qxNameValueSet") : qx_text(U"qxNameValueGet"),
                                      name.shown(), name.text, op);
  qxlStatusToJnl(jnl, QXSeverityError, status);
  if (rc != 0) qxlStatusToJnl(jnl, QXSeverityError, rc);
}

int text_get(const Name& name, QXChar* result, int result_l, const char* op, bool trace) {
  if (!result || result_l < 1) return 0;
  result[0] = 0;
  QX_HNDL_S* h = handle();
  // Room for one character and the terminator at least; no size below that is sent.
  if (result_l < 2 || !name.text || !h || !h->nameGet) return 0;
  const QXMemSize given = static_cast<QXMemSize>(result_l - 1) * sizeof(QXChar);
  QXMemSize size = given;
  const QXStatus rc = h->nameGet(h, name.text, name.length, kText, result, &size);
  if (rc != 0) {
    result[0] = 0;
    if (rc != kQXNameAbsent) report_failure(false, name, op, rc);
    return 0;
  }
  result[std::min(size, given) / sizeof(QXChar)] = 0;
  const int length = static_cast<int>(skStrTLen(result));
  if (trace && debug_on() && journal())
    qxlMessageToJnl(journal(), QXSeverityNone, qx_text(U"%hs(%.*S)='%s'"), 0, op, name.shown(),
                    name.text, result);
  return length;
}

KOVLONG integer_get(const Name& name, KOVLONG defval, const char* op) {
  QX_HNDL_S* h = handle();
  if (!name.text || !h || !h->nameGet) return defval;
  KOVLONG slot = defval;
  QXMemSize size = sizeof slot;
  const QXStatus rc = h->nameGet(h, name.text, name.length, kInteger, &slot, &size);
  if (rc == 0 || rc == kQXNameAbsent) return rc == 0 ? slot : defval;
  if (!wrong_type(rc)) {
    report_failure(false, name, op, rc);
    return defval;
  }
  // Stored as text: parse it.
  QXJnlh jnl = journal();
  if (debug_on() && jnl) qxlStatusToJnl(jnl, QXSeverityError, rc);
  QXChar text[kLookupBuffer];
  const int length = text_get(name, text, kLookupBuffer, "qxnrtget");
  if (length < 1) {
    report_failure(false, name, op, rc);
    return defval;
  }
  const KOVLONG value = qxnrstol(text);
  if (value != kNotInteger) return value;
  if (jnl)
    qxlStatusToJnl(jnl, QXSeverityError, static_cast<QXStatus>(0x8c7fe8c8u), length, text,
                   name.shown(), name.text, static_cast<long long>(kNotInteger),
                   static_cast<long long>(kIntegerBound));
  return defval;
}

QXStatus value_set(const Name& name, int type, const void* value, QXMemSize size, const char* op) {
  QX_HNDL_S* h = handle();
  if (!name.text || !h || !h->nameSet) return 0;
  const QXStatus rc = h->nameSet(h, name.text, name.length, 1, type, value, size, 0, 0);
  if (rc == kQXNameAbsent) return 0;
  if (rc != 0) report_failure(true, name, op, rc);
  return rc;
}

QXStatus integer_set(const Name& name, KOVLONG value) {
  QX_HNDL_S* h = handle();
  if (!name.text || !h || !h->nameSet) return 0;
  QXJnlh jnl = journal();
  const bool debug = debug_on() && jnl;
  if (debug)
    qxlMessageToJnl(jnl, QXSeverityNone, qx_text(U"%hs(%.*S)=%lli"), 0, "qxnrlset", name.shown(),
                    name.text, static_cast<long long>(value));
  const QXStatus rc = h->nameSet(h, name.text, name.length, 1, kInteger, &value, sizeof value, 0, 0);
  if (!wrong_type(rc)) {
    if (rc != 0 && rc != kQXNameAbsent) report_failure(true, name, "qxnrlset", rc);
    return rc == kQXNameAbsent ? 0 : rc;
  }
  // The name holds text: store the integer as text, formatted by the journal.
  if (!jnl) return rc;
  QXChar text[24];
  QXStrSize length = 0;
  qxlMessageToBuf(jnl, qx_text(U"%lli"), 0, text, 24, &length, static_cast<long long>(value));
  if (debug) {
    qxlStatusToJnl(jnl, QXSeverityError, rc);
    qxlMessageToJnl(jnl, QXSeverityNone, qx_text(U"%hs(%.*S)='%.*S'"), 0, "qxnrlset", name.shown(),
                    name.text, static_cast<int>(length), text);
  }
  return value_set(name, kText, text, static_cast<QXMemSize>(length) * sizeof(QXChar), "qxnrlset");
}

}  // namespace named_values

using namespace named_values;

KOVLONG qxnrstol(const QXChar* s) {
  if (!s) return kNotInteger;
  auto digit = [](QXChar c) { return c >= '0' && c <= '9'; };
  while (*s == ' ') ++s;
  bool negative = false;
  if (*s == '-' || *s == '+') negative = *s++ == '-';
  if (!digit(*s)) return kNotInteger;
  double value = 0;
  for (; digit(*s); ++s) {
    value = value * 10 + (*s - '0');
    if (value > static_cast<double>(kIntegerBound)) return negative ? -kIntegerBound : kIntegerBound;
  }
  if (*s == '.')
    for (++s; *s == '0'; ++s) {
    }
  while (*s == ' ') ++s;
  if (*s != 0) return kNotInteger;
  const auto integer = static_cast<KOVLONG>(value);
  return negative ? -integer : integer;
}

int qxnrtget(const QXChar* name, int name_l, QXChar* result, int result_l) {
  return text_get(measure(name, name_l), result, result_l, "qxnrtget");
}

int qxnrcget(const QXChar* name, int name_l, char* result, int result_l) {
  if (!result || result_l < 1) return 0;
  result[0] = 0;
  if (result_l < 2) return 0;
  // Read as wide text, then encode in the session encoding to fit the bytes.
  std::vector<QXChar> wide(static_cast<std::size_t>(result_l));
  const Name n = measure(name, name_l);
  const int chars = text_get(n, wide.data(), result_l, "qxnrcget", false);
  const QXStrSize bytes = zQXCharToSess(wide.data(), chars, result, result_l - 1);
  result[bytes] = 0;
  if (chars > 0 && debug_on() && journal())
    qxlMessageToJnl(journal(), QXSeverityNone, qx_text(U"%hs(%.*S)='%hs'"), 0, "qxnrcget", n.shown(),
                    n.text, result);
  return static_cast<int>(skStrLen(result));
}

KOVLONG qxnrlget(const QXChar* name, int name_l, KOVLONG defval) {
  const Name n = measure(name, name_l);
  const KOVLONG value = integer_get(n, defval, "qxnrlget");
  if (n.text && debug_on() && journal())
    qxlMessageToJnl(journal(), QXSeverityNone, qx_text(U"%hs(%.*S)=%lli"), 0, "qxnrlget", n.shown(),
                    n.text, static_cast<long long>(value));
  return value;
}

double qxnrdget(const QXChar* name, int name_l, double defval) {
  const Name n = measure(name, name_l);
  QX_HNDL_S* h = handle();
  if (!n.text || !h || !h->nameGet) return defval;
  double slot = defval;
  QXMemSize size = sizeof slot;
  const QXStatus rc = h->nameGet(h, n.text, n.length, kDouble, &slot, &size);
  if (rc != 0 && rc != kQXNameAbsent) report_failure(false, n, "qxnrdget", rc);
  if (rc != 0) slot = defval;
  if (debug_on() && journal())
    qxlMessageToJnl(journal(), QXSeverityNone, qx_text(U"%hs(%.*S)=%20g"), 0, "qxnrdget", n.shown(),
                    n.text, slot);
  return slot;
}

QXStatus qxnrtset(const QXChar* name, int name_l, const QXChar* value, int value_l) {
  const QXStrSize length = !value ? 0 : value_l < 1 ? skStrTLen(value) : value_l;
  return value_set(measure(name, name_l), kText, value,
                   static_cast<QXMemSize>(length) * sizeof(QXChar), "qxnrtset");
}

QXStatus qxnrlset(const QXChar* name, int name_l, KOVLONG value) {
  return integer_set(measure(name, name_l), value);
}

QXStatus qxnrdset(const QXChar* name, int name_l, double value) {
  return value_set(measure(name, name_l), kDouble, &value, sizeof value, "qxnrdset");
}
