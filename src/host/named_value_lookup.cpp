// The countdown and the keyword lookup over named values.
#include <algorithm>
#include <climits>
#include <cstring>

#include "host/named_values.h"
#include "host/named_values_internal.h"
#include "host/kernel_journal_messages.h"
#include "host/kernel_text_literals.h"
#include "host/wide_strings.h"

using namespace named_values;

namespace {

constexpr KOVLONG kUnreadable = -666;
constexpr KOVLONG kUnreadableStart = 100;
constexpr auto kLimitReached = static_cast<QXStatus>(0x8c7fe8cau);
constexpr auto kNoKeyword = static_cast<QXStatus>(0x8c7fe8c9u);

int as_count(KOVLONG v) { return static_cast<int>(std::clamp<KOVLONG>(v, INT_MIN, INT_MAX)); }

void trace_count(const Name& n, KOVLONG v) {
  if (debug_on() && journal())
    qxlMessageToJnl(journal(), QXSeverityNone, qx_text(U"%hs(%.*S)=%lli"), 0, "qxnrlimit", n.shown(),
                    n.text, static_cast<long long>(v));
}

}  // namespace

int qxnrlimit(const QXChar* name, int name_l, KOVLONG limit) {
  const Name n = measure(name, name_l);
  QX_HNDL_S* h = handle();
  if (!n.text || !h || !h->nameExists) return as_count(limit);
  if (!h->nameExists(h, n.text, n.length)) {
    integer_set(n, limit);
    trace_count(n, limit);
    return as_count(limit);
  }
  KOVLONG value = integer_get(n, kUnreadable, "qxnrlget");
  if (value == kUnreadable) {
    if (debug_on() && journal())
      qxlMessageToJnl(journal(), QXSeverityError,
                      qx_text(U"qxNameValueGet failed for %.*S in %hs. The existing value may not be "
                              U"a QXChar string or KOVLONG."),
                      0, n.shown(), n.text, "qxnrlimit");
    value = kUnreadableStart;  // counts on from 99
  }
  if (value == 1) {
    if (journal())
      qxlStatusToJnl(journal(), QXSeverityNote, kLimitReached, n.shown(), n.text, 1LL, 1);
    integer_set(n, 0);
    trace_count(n, 0);
    return 0;
  }
  const KOVLONG next = std::max<KOVLONG>(value - 1, -1);
  integer_set(n, next);
  trace_count(n, next);
  return as_count(next);
}

int qxnrlook(const QXChar* name, int name_l, int defval, ...) {
  const Name n = measure(name, name_l);
  if (!n.text) return defval;
  QXChar buffer[kLookupBuffer];
  int length = text_get(n, buffer, kLookupBuffer, "qxnrtget");
  // Blanks around the value do not count, nor does its case.
  QXChar* value = buffer;
  while (length > 0 && *value == ' ') ++value, --length;
  length = static_cast<int>(qxzstrp(value, length));
  qxzstup(value, length);
  if (length == 0) return defval;

  QXJnlh jnl = journal();
  const bool debug = debug_on() && jnl;
  int result = defval;
  bool matched = false;
  va_list pairs;
  va_start(pairs, defval);
  while (const QXChar* keyword = va_arg(pairs, const QXChar*)) {
    const int keyword_value = va_arg(pairs, int);
    const QXStrSize keyword_length = skStrTLen(keyword);
    matched = keyword_length == length &&
              std::memcmp(keyword, value, static_cast<std::size_t>(length) * sizeof(QXChar)) == 0;
    if (debug)
      qxlMessageToJnl(jnl, QXSeverityNone,
                      matched ? qx_text(U"%hs(%.*S) '%.*S' == '%.*S' %i") : qx_text(U"%hs(%.*S) '%.*S' != '%.*S' %i"),
                      0, "qxnrlook", n.shown(), n.text, length, value, static_cast<int>(keyword_length),
                      keyword, keyword_value);
    if (matched) {
      result = keyword_value;
      break;
    }
  }
  va_end(pairs);
  if (!matched && jnl) {
    // Reported once: the name is cleared to empty text, which reads as the default.
    qxlStatusToJnl(jnl, QXSeverityError, kNoKeyword, length, value, n.shown(), n.text);
    qxnrtset(n.text, static_cast<int>(n.length), nullptr, 0);
  }
  if (debug)
    qxlMessageToJnl(jnl, QXSeverityNone, qx_text(U"%hs(%.*S)=%i '%.*S'"), 0, "qxnrlook", n.shown(),
                    n.text, result, length, value);
  return result;
}
