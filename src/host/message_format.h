// Entry stubs for the kernel library's message formatting: capture a status
// with its arguments, format into a buffer, render to lines, and the text of
// a status into a buffer. The locale forms take a locale (null: the module's
// kernel handle); the 2-forms take a format-information record. Each
// chooses the kernel handle that owns the locale and calls its service.
// Without a handle they return 0x803FC009 or null.
#pragma once

#include <cstdarg>

#include "host/kernel_records.h"

QXZCapturedp qxzCapture(QX_HNDL_S* qx, void* pool, QXStatus fmtStatus, ...);
QXZCapturedp qxzCaptureV(QX_HNDL_S* qx, void* pool, QXStatus fmtStatus, va_list args);

QXStatus qxzFormatBuff(QXLocaleh locale, const QXChar* fmt, QXStrSize fmtL, QXChar* dest,
                       QXStrSize destL, QXStrSize* cnvL, ...);
QXStatus qxzFormatBuffV(QXLocaleh locale, const QXChar* fmt, QXStrSize fmtL, QXChar* dest,
                        QXStrSize destL, QXStrSize* cnvL, va_list args);
QXZRenderedp qxzRender(QXLocaleh locale, void* pool, QXZCapturedp captured);
QXZRenderedp qxzRenderFmt(QXLocaleh locale, void* pool, const QXChar* fmt, QXStrSize fmtL, ...);
QXZRenderedp qxzRenderFmtV(QXLocaleh locale, void* pool, const QXChar* fmt, QXStrSize fmtL,
                           va_list args);
// A null locale takes the session locale; with none, 0x803FC009.
QXStatus qxzStatusBuff(QXLocaleh locale, QXStatus fmtStatus, QXChar* dest, QXStrSize destL,
                       QXStrSize* cnvL, ...);
QXStatus qxzStatusBuffV(QXLocaleh locale, QXStatus fmtStatus, QXChar* dest, QXStrSize destL,
                        QXStrSize* cnvL, va_list args);

QXStatus qxzFormat2Buff(QXZFmtInfop fmtinfo, const QXChar* fmt, QXStrSize fmtL, QXChar* dest,
                        QXStrSize destL, QXStrSize* cnvL, ...);
QXStatus qxzFormat2BuffV(QXZFmtInfop fmtinfo, const QXChar* fmt, QXStrSize fmtL, QXChar* dest,
                         QXStrSize destL, QXStrSize* cnvL, va_list args);
QXZRenderedp qxzRender2(QXZFmtInfop fmtinfo, void* pool, QXZCapturedp captured);
QXZRenderedp qxzRender2Fmt(QXZFmtInfop fmtinfo, void* pool, const QXChar* fmt, QXStrSize fmtL, ...);
QXZRenderedp qxzRender2FmtV(QXZFmtInfop fmtinfo, void* pool, const QXChar* fmt, QXStrSize fmtL,
                            va_list args);
// An empty locale in `fmtinfo` is filled with the session locale.
QXStatus qxzStatus2Buff(QXZFmtInfop fmtinfo, QXStatus fmtStatus, QXChar* dest, QXStrSize destL,
                        QXStrSize* cnvL, ...);
QXStatus qxzStatus2BuffV(QXZFmtInfop fmtinfo, QXStatus fmtStatus, QXChar* dest, QXStrSize destL,
                         QXStrSize* cnvL, va_list args);
