// Coded requests to the kernel library: every member sends one request
// through the handle's ConfigureSystem entry with its request code, its
// argument block (or single argument) and the request flags, and returns the
// status or the result the kernel put in the block. Without a kernel handle
// nothing is sent: statuses are 0x803FC009 and results null.
#pragma once

#include <cstdint>

#include "host/kernel_records.h"

inline constexpr std::uint32_t kQXRequestFlags = 0x10000000;
inline constexpr std::uint32_t kQXClockRequestFlags = 0x10800000;

// Sends request `code` with `block` and kQXRequestFlags OR `flags`.
QXStatus qx_request(int code, void* block, QXFlags flags = 0);

struct QXTimePair {
  std::int64_t seconds;
  std::int64_t microseconds;
};

// Resource statistics (request 8).
struct QXZ_Stats_Info {
  QXTimePair user_cpu_time;
  QXTimePair system_cpu_time;
  QXTimePair timestamp;
  std::uint64_t current_memory;
  std::uint64_t high_water_mark_memory;
  std::uint64_t current_thread_count;
  std::uint64_t high_water_mark_thread_count;
  std::uint64_t total_io_count;
  std::uint64_t stepcount;
  std::int64_t bytesWritten;
  std::int64_t bytesRead;
  std::int64_t reads;
  std::int64_t writes;
  std::int64_t seeks;
  std::uint64_t bytecountsvalid;
  std::uint64_t unused7;
  std::uint64_t unused8;
};

// Signals, threads, statistics, clock, locale, modules, exit and attention.
QXStatus qxtConfigureSignals(void* context, QXFlags flags);
QXStatus qxtInitializeQXSignalHandlers();
QXStatus qxbStartQXAT(void* context, QXFlags flags);
QXStatus qxbLogStatMessage(void* context, QXFlags flags);
QXStatus qxbProcessQXATcommand(void* context, QXFlags flags);
QXStatus qxbProcessQXATrequest(void* context, QXFlags flags);
QXStatus qxzSetSupVerNum(void* context, QXFlags flags);
QXStatus qxzstats(QXZ_Stats_Info* stats);
QXStatus qxzSetDefaultLocale(void* context);
QXStatus qxzGetIOCount(void* context);
QXStatus qxlSetLogLoc(void* context);
QXStatus qxbLogTraceMessage(const void* fmt, const void* message, QXFlags flags);
void* qxModuleLoadp(const QXChar* mod, QXStrSize modL, int path, QXJnlh jnl);
void* qxzGetVerconInfo(const QXChar* mod, QXStrSize modL, int searchPath, QXStatus* status,
                       QXJnlh jnl);
void qxexit(int rc);
QXStatus qxzSetEncodings();
void skSetAttentionNotify(void* routine);
QXStatus qxatnenq(void* datum);
void* qxatndeq();
QXStatus qxtChangeMethods(void* methods);
QXStatus qxtGetExcSupport(void* support);
QXStatus qxtResetMethods();
QXStatus qxtSetAsyncThreadId(void* thread);
QXStatus qxtClearAsyncThreadid();
QXStatus qxtSetSignalHandlers(void* handlers);
QXStatus qxtClearSignalHandlers();
QXStatus bktThreadInit(void* thrd);
void bktSetupThreadStackGuar();
int bktRestoreStackWindows();
QXStatus qxtSetPthreadId();
void qxbSetIsNative();
void qxbClearIsNative();
// The kernel clock: elapsed seconds (request 16).
double qxzdttme();
// The session's default locale: the first word of the session record.
QXLocaleh qxzGetDefLocale();

// Run-time trace, abort callbacks, paths, floating-point control, memory,
// version, assertions and resource tracking.
QXStatus qxbEnableRtrace(QXFlags flags, void* info);
QXStatus qxbDisableRtrace(QXFlags flags, void* info);
void qxLogRtraceEntry(int desc, const void* file1, const void* file2, QXFlags flags);
void qxSetExternalRtrace(void* cb);
void qxbRtraceReleaseEntry(void* entry);
void* qxAddAbortCallback(void* callback, void* context, QXFlags flags);
QXStatus qxRemoveAbortCallback(void* handle);
QXStatus qxInvokeAbortCallbacks(void* outputfile);
QXStatus qxSetExtendedPaths(void* paths, void* sizes, int number, QXFlags flags);
QXStatus qxtSaveFPControl(void* mc);
QXStatus qxtRestoreFPControl(void* mc);
QXStatus qxtMaskAllFPExceptions();
QXStatus qxmGuessHostFriendlyMemAvail(QXMemSize* size, QXFlags flags, QXMemSize minimum,
                                      QXMemSize maximum);
QXStatus qxmrlmem(double* size, QXFlags flags);
QXStatus qxmSetRealMemsize(QXMemSize size);
QXStatus qxzGetShortVer(void* handle, char* buffer, QXMemSize len, char* desc, QXMemSize dlen);
char* qxGetOSPath(QXFlags flags);
void qxReleaseOSPath(char* path);
QXStatus skassert(const char* expr, const char* file, int line, int abort);
void qxbRegisterPerfmon(void* cb);
void* qxzPushTrackResourceHandler(void* handler, void* ctxt, std::int64_t rtype);
QXStatus qxzPopTrackResourceHandler(void* handle, std::int64_t rtype);
QXStatus qxzResourceChange(std::int64_t rtype, std::int64_t cvalue, std::int64_t value);
void* qxzGetCurrRootAddr();
void qxzSetCurrRootCB(void* CB);
QXStatus qxsFindLoadlibs(void* loadlibs, void* pool);
