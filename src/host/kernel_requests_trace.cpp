// Coded kernel requests: run-time trace, abort callbacks, paths,
// floating-point control, memory, version, assertions and resource tracking.
#include <algorithm>
#include <cstdint>

#include "host/globals.h"
#include "host/kernel_handle.h"
#include "host/kernel_requests.h"

namespace {
struct FlagsAndInfo {
  std::uint32_t flags;
  void* info;
};
}  // namespace

QXStatus qxbEnableRtrace(QXFlags flags, void* info) {
  FlagsAndInfo block{flags, info};
  return qx_request(34, &block);
}

QXStatus qxbDisableRtrace(QXFlags flags, void* info) {
  FlagsAndInfo block{flags, info};
  return qx_request(35, &block);
}

// Sent only with a first file and while the handle's bit 0 allows trace entries.
void qxLogRtraceEntry(int desc, const void* file1, const void* file2, QXFlags flags) {
  QX_HNDL_S* handle = Exported_QXHandle;
  if (!file1 || !handle || (handle->flags & 1) != 0) return;
  struct {
    void* unused;
    const void* file1;
    const void* file2;
    std::uint32_t flags;
    std::int32_t desc;
  } block{nullptr, file1, file2, flags, desc};
  qx_request(36, &block);
}

void qxSetExternalRtrace(void* cb) { qx_request(37, cb); }
void qxbRtraceReleaseEntry(void* entry) { qx_request(38, entry); }

void* qxAddAbortCallback(void* callback, void* context, QXFlags flags) {
  struct {
    void* result;
    void* callback;
    void* context;
    std::uint32_t flags;
  } block{nullptr, callback, context, flags};
  qx_request(39, &block);
  return block.result;
}

QXStatus qxRemoveAbortCallback(void* handle) { return qx_request(40, handle); }
QXStatus qxInvokeAbortCallbacks(void* outputfile) { return qx_request(41, outputfile); }

QXStatus qxSetExtendedPaths(void* paths, void* sizes, int number, QXFlags flags) {
  struct {
    void* paths;
    void* sizes;
    std::int32_t number;
    std::uint32_t flags;
  } block{paths, sizes, number, flags};
  return qx_request(42, &block);
}

QXStatus qxtSaveFPControl(void* mc) { return qx_request(43, mc); }
QXStatus qxtRestoreFPControl(void* mc) { return qx_request(44, mc); }
QXStatus qxtMaskAllFPExceptions() { return qx_request(45, nullptr); }

namespace {
struct MemoryBlock {
  double available;
  std::uint32_t flags;
};
}  // namespace

QXStatus qxmGuessHostFriendlyMemAvail(QXMemSize* size, QXFlags flags, QXMemSize minimum,
                                      QXMemSize maximum) {
  MemoryBlock block{0, flags};
  const QXStatus rc = qx_request(46, &block);
  double v = block.available >= 0 ? block.available : 0.0;  // also refuses NaN
  if (maximum != 0) v = std::min(v, static_cast<double>(maximum));
  if (minimum != 0 && static_cast<double>(minimum) > v) v = 0;
  // 2^64 and above do not fit the result: the largest size stands for them.
  if (size) *size = v >= 18446744073709551616.0 ? UINT64_MAX : static_cast<QXMemSize>(v);
  return rc;
}

QXStatus qxmrlmem(double* size, QXFlags flags) {
  MemoryBlock block{0, flags};
  const QXStatus rc = qx_request(46, &block);
  if (size) *size = block.available;
  return rc;
}

QXStatus qxmSetRealMemsize(QXMemSize size) {
  struct {
    double size;
    std::int32_t zero;
  } block{static_cast<double>(size), 0};
  return qx_request(47, &block);
}

QXStatus qxzGetShortVer(void* handle, char* buffer, QXMemSize len, char* desc, QXMemSize dlen) {
  struct {
    void* handle;
    char* buffer;
    QXMemSize len;
    char* desc;
    QXMemSize dlen;
  } block{handle, buffer, len, desc, dlen};
  return qx_request(51, &block);
}

char* qxGetOSPath(QXFlags flags) {
  struct {
    char* result;
    std::uint32_t flags;
  } block{nullptr, flags};
  qx_request(52, &block);
  return block.result;
}

void qxReleaseOSPath(char* path) {
  struct {
    char* path;
    std::int32_t zero;
  } block{path, 0};
  qx_request(53, &block);
}

QXStatus skassert(const char* expr, const char* file, int line, int abort) {
  struct {
    const char* expr;
    const char* file;
    std::int64_t line;
    std::int32_t abort;
  } block{expr, file, line, abort};
  return qx_request(54, &block);
}

void qxbRegisterPerfmon(void* cb) { qx_request(55, cb); }

void* qxzPushTrackResourceHandler(void* handler, void* ctxt, std::int64_t rtype) {
  struct {
    void* handler;
    void* ctxt;
    std::int64_t rtype;
    void* unset;
    void* result;
  } block{handler, ctxt, rtype, nullptr, nullptr};
  qx_request(57, &block);
  return block.result;
}

QXStatus qxzPopTrackResourceHandler(void* handle, std::int64_t rtype) {
  struct {
    void* handle;
    std::int64_t rtype;
  } block{handle, rtype};
  return qx_request(58, &block);
}

QXStatus qxzResourceChange(std::int64_t rtype, std::int64_t cvalue, std::int64_t value) {
  std::int64_t block[3] = {rtype, cvalue, value};
  return qx_request(59, block);
}

void* qxzGetCurrRootAddr() {
  void* result = nullptr;
  qx_request(60, &result);
  return result;
}

void qxzSetCurrRootCB(void* CB) { qx_request(61, CB); }

QXStatus qxsFindLoadlibs(void* loadlibs, void* pool) {
  void* block[2] = {loadlibs, pool};
  return qx_request(62, block);
}
