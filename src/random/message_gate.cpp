#include "random/message_gate.h"

#include <cstdarg>

#include "host/globals.h"
#include "host/kernel_handle.h"
#include "host/kernel_journal_messages.h"
#include "host/kernel_text_literals.h"
#include "host/named_values.h"

namespace {

constexpr int kSilent = 9;
constexpr KOVLONG kLimit = 100;

int severity_override(int severity) {
  return qxnrlook(qx_text(U"OSENV.KOV_RNG_SEVERITY"), 0, severity, qx_text(U"ERROR"), 4,
                  qx_text(U"ERRORS"), 4, qx_text(U"WARN"), 3, qx_text(U"WARNING"), 3,
                  qx_text(U"WARNINGS"), 3, qx_text(U"NOTE"), 2, qx_text(U"NOTES"), 2,
                  qx_text(U"YES"), 2, qx_text(U"INFO"), 1, qx_text(U"ALL"), 0, nullptr);
}

int threshold() {
  return qxnrlook(qx_text(U"OSENV.KOV_RNG_MESSAGES"), 0, QXSeverityError, qx_text(U"NO"), kSilent,
                  qx_text(U"NONE"), kSilent, qx_text(U"ERROR"), 4, qx_text(U"ERRORS"), 4,
                  qx_text(U"WARN"), 3, qx_text(U"WARNING"), 3, qx_text(U"WARNINGS"), 3,
                  qx_text(U"NOTE"), 2, qx_text(U"NOTES"), 2, qx_text(U"YES"), 2, qx_text(U"INFO"),
                  1, qx_text(U"ALL"), 0, nullptr);
}

}  // namespace

QXStatus zrngmsg(QXSeverity severity, QXStatus msg, ...) {
  QX_HNDL_S* handle = Exported_QXHandle;
  QXJnlh jnl = handle ? handle->qxjnl : nullptr;
  if (!jnl || !jnl->statusToJnl) return 0;
  int level = severity;
  if (level < QXSeverityNote) level = severity_override(level);
  if (level < threshold()) return 0;
  if (level < QXSeverityWarning) {
    if (qxnrlimit(qx_text(U"OSENV.KOV_RNG_NOTE_LIMIT"), 0, kLimit) < 0) return 0;
    level = QXSeverityNote;  // information notes are written as notes
  } else if (qxnrlimit(qx_text(U"OSENV.KOV_RNG_ERROR_LIMIT"), 0, kLimit) < 0) {
    return 0;
  }
  va_list args;
  va_start(args, msg);
  const QXStatus status = jnl->statusToJnl(jnl, static_cast<QXSeverity>(level), msg, args);
  va_end(args);
  if (status != 0) qxlStatusToJnl(jnl, QXSeverityError, status);
  return status;
}
