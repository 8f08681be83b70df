#include "host/message_format.h"

#include "host/globals.h"
#include "host/kernel_handle.h"
#include "host/session_encoding.h"

namespace {

// The kernel handle that owns the locale's national-language extension, else
// the module's.
QX_HNDL_S* handle_of(QXLocaleh locale) {
  if (locale && locale->qxnls && locale->qxnls->hndl) return locale->qxnls->hndl;
  return Exported_QXHandle;
}

QX_HNDL_S* handle_of(QXZFmtInfop info) { return handle_of(info ? info->locale : nullptr); }

}  // namespace

QXZCapturedp qxzCaptureV(QX_HNDL_S* qx, void* pool, QXStatus fmtStatus, va_list args) {
  return qx && qx->msgCapture ? qx->msgCapture(qx, pool, fmtStatus, args) : nullptr;
}

QXZCapturedp qxzCapture(QX_HNDL_S* qx, void* pool, QXStatus fmtStatus, ...) {
  va_list args;
  va_start(args, fmtStatus);
  QXZCapturedp c = qxzCaptureV(qx, pool, fmtStatus, args);
  va_end(args);
  return c;
}

QXStatus qxzFormat2BuffV(QXZFmtInfop fmtinfo, const QXChar* fmt, QXStrSize fmtL, QXChar* dest,
                         QXStrSize destL, QXStrSize* cnvL, va_list args) {
  QX_HNDL_S* h = handle_of(fmtinfo);
  if (!h || !h->msgFormatBuff) return kQXMissingExtension;
  QXZFmtInfo_S local{};
  return h->msgFormatBuff(h, fmtinfo ? fmtinfo : &local, fmt, fmtL, dest, destL, cnvL, 0, args);
}

QXStatus qxzFormat2Buff(QXZFmtInfop fmtinfo, const QXChar* fmt, QXStrSize fmtL, QXChar* dest,
                        QXStrSize destL, QXStrSize* cnvL, ...) {
  va_list args;
  va_start(args, cnvL);
  const QXStatus rc = qxzFormat2BuffV(fmtinfo, fmt, fmtL, dest, destL, cnvL, args);
  va_end(args);
  return rc;
}

QXStatus qxzFormatBuffV(QXLocaleh locale, const QXChar* fmt, QXStrSize fmtL, QXChar* dest,
                        QXStrSize destL, QXStrSize* cnvL, va_list args) {
  QXZFmtInfo_S info{locale, 0, 0};
  return qxzFormat2BuffV(&info, fmt, fmtL, dest, destL, cnvL, args);
}

QXStatus qxzFormatBuff(QXLocaleh locale, const QXChar* fmt, QXStrSize fmtL, QXChar* dest,
                       QXStrSize destL, QXStrSize* cnvL, ...) {
  va_list args;
  va_start(args, cnvL);
  const QXStatus rc = qxzFormatBuffV(locale, fmt, fmtL, dest, destL, cnvL, args);
  va_end(args);
  return rc;
}

QXZRenderedp qxzRender2(QXZFmtInfop fmtinfo, void* pool, QXZCapturedp captured) {
  QX_HNDL_S* h = handle_of(fmtinfo);
  QXZFmtInfo_S local{};
  return h && h->msgRender ? h->msgRender(h, fmtinfo ? fmtinfo : &local, pool, captured) : nullptr;
}

QXZRenderedp qxzRender(QXLocaleh locale, void* pool, QXZCapturedp captured) {
  QXZFmtInfo_S info{locale, 0, 0};
  return qxzRender2(&info, pool, captured);
}

QXZRenderedp qxzRender2FmtV(QXZFmtInfop fmtinfo, void* pool, const QXChar* fmt, QXStrSize fmtL,
                            va_list args) {
  QX_HNDL_S* h = handle_of(fmtinfo);
  QXZFmtInfo_S local{};
  return h && h->msgRenderFmt ? h->msgRenderFmt(h, fmtinfo ? fmtinfo : &local, pool, fmt, fmtL, args)
                              : nullptr;
}

QXZRenderedp qxzRender2Fmt(QXZFmtInfop fmtinfo, void* pool, const QXChar* fmt, QXStrSize fmtL, ...) {
  va_list args;
  va_start(args, fmtL);
  QXZRenderedp r = qxzRender2FmtV(fmtinfo, pool, fmt, fmtL, args);
  va_end(args);
  return r;
}

QXZRenderedp qxzRenderFmtV(QXLocaleh locale, void* pool, const QXChar* fmt, QXStrSize fmtL,
                           va_list args) {
  QXZFmtInfo_S info{locale, 0, 0};
  return qxzRender2FmtV(&info, pool, fmt, fmtL, args);
}

QXZRenderedp qxzRenderFmt(QXLocaleh locale, void* pool, const QXChar* fmt, QXStrSize fmtL, ...) {
  va_list args;
  va_start(args, fmtL);
  QXZRenderedp r = qxzRenderFmtV(locale, pool, fmt, fmtL, args);
  va_end(args);
  return r;
}

QXStatus qxzStatus2BuffV(QXZFmtInfop fmtinfo, QXStatus fmtStatus, QXChar* dest, QXStrSize destL,
                         QXStrSize* cnvL, va_list args) {
  QXZFmtInfo_S local{};
  QXZFmtInfop info = fmtinfo ? fmtinfo : &local;
  QX_HNDL_S* h = handle_of(info);
  if (!info->locale) info->locale = zLocaleh();
  if (!info->locale) return kQXMissingExtension;
  if (!h || !h->msgStatusBuff) return kQXMissingExtension;
  return h->msgStatusBuff(h, info, fmtStatus, dest, destL, cnvL, args);
}

QXStatus qxzStatus2Buff(QXZFmtInfop fmtinfo, QXStatus fmtStatus, QXChar* dest, QXStrSize destL,
                        QXStrSize* cnvL, ...) {
  va_list args;
  va_start(args, cnvL);
  const QXStatus rc = qxzStatus2BuffV(fmtinfo, fmtStatus, dest, destL, cnvL, args);
  va_end(args);
  return rc;
}

QXStatus qxzStatusBuffV(QXLocaleh locale, QXStatus fmtStatus, QXChar* dest, QXStrSize destL,
                        QXStrSize* cnvL, va_list args) {
  QXZFmtInfo_S info{locale, 0, 0};
  return qxzStatus2BuffV(&info, fmtStatus, dest, destL, cnvL, args);
}

QXStatus qxzStatusBuff(QXLocaleh locale, QXStatus fmtStatus, QXChar* dest, QXStrSize destL,
                       QXStrSize* cnvL, ...) {
  va_list args;
  va_start(args, cnvL);
  const QXStatus rc = qxzStatusBuffV(locale, fmtStatus, dest, destL, cnvL, args);
  va_end(args);
  return rc;
}
