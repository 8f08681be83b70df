// Messages to a kernel journal: each function hands its trailing arguments
// to the journal's own method as one va_list. Formats are wide printf-style
// texts: "%S" (or "%s") takes a wide string, "%hs" a narrow one, "%.*S" a
// length and a wide string. A null journal gets nothing: statuses are
// 0x803FC009 and the locale null.
#pragma once

#include "host/kernel_records.h"

QXStatus qxlMessageToBuf(QXJnlh jnl, const QXChar* fmt, QXStrSize fmtL, QXChar* msg,
                         QXStrSize msgL, QXStrSize* cnvL, ...);
// `fmtL` 0 means the format is NUL-terminated.
QXStatus qxlMessageToJnl(QXJnlh jnl, QXSeverity sev, const QXChar* fmt, QXStrSize fmtL, ...);
QXStatus qxlStatusToBuf(QXJnlh jnl, QXStatus inStatus, QXChar* msg, QXStrSize msgL,
                        QXStrSize* cnvL, ...);
QXStatus qxlStatusToJnl(QXJnlh jnl, QXSeverity sev, QXStatus inStatus, ...);
QXLocaleh qxlGetLocale(QXJnlh jnl);

// The kernel handle's default journal, or null.
QXJnlh qx_default_journal();
