#include "host/kernel_journal_messages.h"

#include "host/globals.h"
#include "host/kernel_handle.h"

QXJnlh qx_default_journal() { return Exported_QXHandle ? Exported_QXHandle->qxjnl : nullptr; }

QXStatus qxlMessageToBuf(QXJnlh jnl, const QXChar* fmt, QXStrSize fmtL, QXChar* msg,
                         QXStrSize msgL, QXStrSize* cnvL, ...) {
  if (!jnl || !jnl->messageToBuf) return kQXMissingExtension;
  va_list args;
  va_start(args, cnvL);
  const QXStatus rc = jnl->messageToBuf(jnl, fmt, fmtL, msg, msgL, cnvL, args);
  va_end(args);
  return rc;
}

QXStatus qxlMessageToJnl(QXJnlh jnl, QXSeverity sev, const QXChar* fmt, QXStrSize fmtL, ...) {
  if (!jnl || !jnl->messageToJnl) return kQXMissingExtension;
  va_list args;
  va_start(args, fmtL);
  const QXStatus rc = jnl->messageToJnl(jnl, sev, fmt, fmtL, args);
  va_end(args);
  return rc;
}

QXStatus qxlStatusToBuf(QXJnlh jnl, QXStatus inStatus, QXChar* msg, QXStrSize msgL,
                        QXStrSize* cnvL, ...) {
  if (!jnl || !jnl->statusToBuf) return kQXMissingExtension;
  va_list args;
  va_start(args, cnvL);
  const QXStatus rc = jnl->statusToBuf(jnl, inStatus, msg, msgL, cnvL, args);
  va_end(args);
  return rc;
}

QXStatus qxlStatusToJnl(QXJnlh jnl, QXSeverity sev, QXStatus inStatus, ...) {
  if (!jnl || !jnl->statusToJnl) return kQXMissingExtension;
  va_list args;
  va_start(args, inStatus);
  const QXStatus rc = jnl->statusToJnl(jnl, sev, inStatus, args);
  va_end(args);
  return rc;
}

QXLocaleh qxlGetLocale(QXJnlh jnl) { return jnl && jnl->getLocale ? jnl->getLocale(jnl) : nullptr; }
