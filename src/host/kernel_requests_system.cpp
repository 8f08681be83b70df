// Coded kernel requests: signals, threads, statistics, clock, locale,
// modules, exit and attention.
#include <cstdint>

#include "host/globals.h"
#include "host/kernel_handle.h"
#include "host/kernel_requests.h"

QXStatus qx_request(int code, void* block, QXFlags flags) {
  QX_HNDL_S* handle = Exported_QXHandle;
  if (!handle || !handle->ConfigureSystem) return kQXMissingExtension;
  return handle->ConfigureSystem(code, block, kQXRequestFlags | flags, handle);
}

QXStatus qxtConfigureSignals(void* context, QXFlags flags) { return qx_request(0, context, flags); }

// The handlers are the kernel's business; the caller is never told of a failure.
QXStatus qxtInitializeQXSignalHandlers() {
  qx_request(1, nullptr);
  return 0;
}

QXStatus qxbStartQXAT(void* context, QXFlags flags) { return qx_request(3, context, flags); }
QXStatus qxbLogStatMessage(void* context, QXFlags flags) { return qx_request(4, context, flags); }
QXStatus qxbProcessQXATcommand(void* context, QXFlags flags) { return qx_request(5, context, flags); }
QXStatus qxbProcessQXATrequest(void* context, QXFlags flags) { return qx_request(6, context, flags); }
QXStatus qxzSetSupVerNum(void* context, QXFlags flags) { return qx_request(7, context, flags); }
QXStatus qxzstats(QXZ_Stats_Info* stats) { return qx_request(8, stats); }
QXStatus qxzSetDefaultLocale(void* context) { return qx_request(9, context); }
QXStatus qxzGetIOCount(void* context) { return qx_request(10, context); }
QXStatus qxlSetLogLoc(void* context) { return qx_request(11, context); }

QXStatus qxbLogTraceMessage(const void* fmt, const void* message, QXFlags flags) {
  struct {
    const void* fmt;
    const void* message;
    std::uint32_t flags;
  } block{fmt, message, flags};
  return qx_request(12, &block);
}

void* qxModuleLoadp(const QXChar* mod, QXStrSize modL, int path, QXJnlh jnl) {
  struct {
    const QXChar* mod;
    QXStrSize modL;
    std::int32_t path;
    QXJnlh jnl;
    void* result;
  } block{mod, modL, path, jnl, nullptr};
  qx_request(13, &block);
  return block.result;
}

void* qxzGetVerconInfo(const QXChar* mod, QXStrSize modL, int searchPath, QXStatus* status,
                       QXJnlh jnl) {
  struct {
    const QXChar* mod;
    QXStrSize modL;
    std::int32_t searchPath;
    QXJnlh jnl;
    void* unused;
    void* result;
  } block{mod, modL, searchPath, jnl, nullptr, nullptr};
  const QXStatus rc = qx_request(14, &block);
  if (status) *status = rc;
  return block.result;
}

double qxzdttme() {
  double block[2] = {0, 0};
  QX_HNDL_S* handle = Exported_QXHandle;
  if (handle && handle->ConfigureSystem) handle->ConfigureSystem(16, block, kQXClockRequestFlags, handle);
  return block[0] - block[1];
}

void qxexit(int rc) {
  qx_request(17, reinterpret_cast<void*>(static_cast<std::intptr_t>(rc)));
}

QXStatus qxzSetEncodings() { return qx_request(19, nullptr); }
void skSetAttentionNotify(void* routine) { qx_request(20, routine); }
QXStatus qxatnenq(void* datum) { return qx_request(21, datum); }

void* qxatndeq() {
  void* result = nullptr;
  qx_request(22, &result);
  return result;
}

QXStatus qxtChangeMethods(void* methods) { return qx_request(24, methods); }
QXStatus qxtGetExcSupport(void* support) { return qx_request(25, support); }
QXStatus qxtResetMethods() { return qx_request(26, nullptr); }
QXStatus qxtSetAsyncThreadId(void* thread) { return qx_request(27, thread); }
QXStatus qxtClearAsyncThreadid() { return qx_request(28, nullptr); }
QXStatus qxtSetSignalHandlers(void* handlers) { return qx_request(29, handlers); }
QXStatus qxtClearSignalHandlers() { return qx_request(30, nullptr); }
QXStatus bktThreadInit(void* thrd) { return qx_request(31, thrd); }
void bktSetupThreadStackGuar() { qx_request(32, nullptr); }

int bktRestoreStackWindows() {
  std::int32_t result = 0;
  qx_request(33, &result);
  return result;
}

QXStatus qxtSetPthreadId() { return qx_request(48, nullptr); }
void qxbSetIsNative() { qx_request(49, nullptr); }
void qxbClearIsNative() { qx_request(50, nullptr); }

QXLocaleh qxzGetDefLocale() {
  QX_HNDL_S* handle = Exported_QXHandle;
  if (!handle || !handle->sknls_global) return nullptr;
  return handle->sknls_global->Localeh;
}
