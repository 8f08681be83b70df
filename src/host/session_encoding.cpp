#include "host/session_encoding.h"

#include "host/globals.h"
#include "host/kernel_handle.h"
#include "host/kernel_journal_messages.h"
#include "host/kernel_text_literals.h"

namespace {

SKNLS_S* session() { return Exported_QXHandle ? Exported_QXHandle->sknls_global : nullptr; }

void destroy(QXNLSPipelineh pipeline) {
  if (pipeline && pipeline->generic.destroy) pipeline->generic.destroy(pipeline);
}

void journal_status(QXStatus status) {
  if (QXJnlh jnl = qx_default_journal()) qxlStatusToJnl(jnl, QXSeverityError, status);
}

}  // namespace

int zsknls(NLScei cei) {
  QX_HNDL_S* handle = Exported_QXHandle;
  SKNLS_S* s = session();
  if (!s) return kQXMissingExtension;
  if (cei == s->SessCei) return 0;
  // Both pipelines are made before anything changes, so a failure leaves
  // the session whole.
  QXNLSh nls = handle->qxnls;
  QXNLSPipelineh to = nls && nls->pipelineToQXChar ? nls->pipelineToQXChar(nls, cei, 0, nullptr) : nullptr;
  QXNLSPipelineh from = nls && nls->pipelineFromQXChar ? nls->pipelineFromQXChar(nls, cei, 0, nullptr) : nullptr;
  if (!to || !from) {
    destroy(to);
    destroy(from);
    journal_status(kQXMissingExtension);
    return kQXMissingExtension;
  }
  destroy(s->SessToQXChar);
  destroy(s->SessFromQXChar);
  s->SessToQXChar = to;
  s->SessFromQXChar = from;
  s->SessCei = cei;
  if (handle->nameSet) {
    const KOVLONG value = cei;
    handle->nameSet(handle, qx_text(U"QXNLS.PLW_SESSION_CEI"), 21, 1, 3, &value, sizeof value, 0, 0);
  }
  return 0;
}

NLScei zSessCei() { return session() ? session()->SessCei : U_INVALID_CE; }
QXNLSPipelineh zSessToQXChar() { return session() ? session()->SessToQXChar : nullptr; }
QXNLSPipelineh zSessFromQXChar() { return session() ? session()->SessFromQXChar : nullptr; }
QXLocaleh zLocaleh() { return session() ? session()->Localeh : nullptr; }

QXStrSize zCharToQXChar(const char* from, QXChar* to, QXStrSize len) {
  if (!from || !to || len <= 0) return 0;
  QXNLSPipelineh p = zSessToQXChar();
  if (!p || !p->Transcode) {
    journal_status(kQXMissingExtension);
    return 0;
  }
  QXMemSize used = 0;
  const QXStatus rc = p->Transcode(p, from, static_cast<QXMemSize>(len), to,
                                   static_cast<QXMemSize>(len) * sizeof(QXChar), &used, 0);
  if (rc != 0) journal_status(rc);
  return static_cast<QXStrSize>(used / sizeof(QXChar));
}

QXStrSize zQXCharToSess(const QXChar* from, QXStrSize len, char* to, QXStrSize room) {
  if (!from || !to || len <= 0 || room <= 0) return 0;
  QXNLSPipelineh p = zSessFromQXChar();
  if (!p || !p->Transcode) {
    journal_status(kQXMissingExtension);
    return 0;
  }
  QXMemSize used = 0;
  const QXStatus rc = p->Transcode(p, from, static_cast<QXMemSize>(len) * sizeof(QXChar), to,
                                   static_cast<QXMemSize>(room), &used, 0);
  if (rc != 0) journal_status(rc);
  return static_cast<QXStrSize>(used);
}
