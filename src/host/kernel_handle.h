// The kernel-library handle: a table of 64-bit slots holding the kernel
// library's service entry points and data. The module never writes it.
// Slot types are refined by the code that calls each slot; every slot is one
// pointer wide and the order is fixed.
#pragma once

#include <cstddef>

#include "host/kernel_records.h"

struct QXThreadRecord;

struct QX_HNDL_S {
  void* getVersion;        // 0
  void* destroy;           // 1
  void* eventCreate;       // 2
  void* lockCreate;        // 3
  void* ioCreate;          // 4
  void* jnlCreate;         // 5
  void* poolCreate;        // 6
  void* keyCreate;         // 7
  void* trackCreate;       // 8
  void* (*loadExtension)(QX_HNDL_S* hndl, const QXChar* name, QXStrSize nameL, int flags);  // 9
  void* threadCreate;      // 10
  QXThreadRecord* (*threadGetHandle)(QX_HNDL_S* hndl);  // 11
  QXStatus (*nameClear)(QX_HNDL_S* hndl, const QXChar* name, QXStrSize nameL);  // 12
  QXBoolean (*nameExists)(QX_HNDL_S* hndl, const QXChar* name, QXStrSize nameL);  // 13
  // 14: reads a value of `type` into `result`; `size` gives the bytes
  // available and receives the bytes stored.
  QXStatus (*nameGet)(QX_HNDL_S* hndl, const QXChar* name, QXStrSize nameL, int type,
                      void* result, QXMemSize* size);
  // 15: stores `size` bytes of a value of `type`; `create` 1 makes the name.
  QXStatus (*nameSet)(QX_HNDL_S* hndl, const QXChar* name, QXStrSize nameL, int create,
                      int type, const void* value, QXMemSize size, int reserved1,
                      int reserved2);
  void* tlsCreate;         // 16
  void* tlsDestroy;        // 17
  void* getuuid;           // 18
  void* uuidSrv;           // 19
  void* uuidSrvQX;         // 20
  void* uuidSetCt;         // 21
  void* morph;             // 22
  void* unmorph;           // 23
  void* qxExtModLoad;      // 24
  void* qxarm;             // 25 data
  QXJnlh qxjnl;            // 26 default journal
  QXNLSh qxnls;            // 27 national-language extension
  void* qxdefaultio;       // 28
  void* getdefaultio;      // 29
  void* qxelm;             // 30
  void* log4kov;           // 31
  void* callmorphed;       // 32
  QXStatus (*ConfigureSystem)(int code, void* block, std::uint32_t flags, QX_HNDL_S* hndl);  // 33
  void* qxsecure;          // 34
  SKNLS_S* sknls_global;   // 35 session locale record
  std::uint64_t flags;     // 36 bit 0 suppresses run-time trace entries
  void* qxopt;             // 37
  void* GetNumaInfo;       // 38
  void* qxDiUpdateFile;    // 39
  void* iobytecount;       // 40
  void* qxOptionsGCB;      // 41
  void* numalock;          // 42
  void* hostword43;        // 43
  void* hostword44;        // 44
  void* qxmGenericRlse;    // 45
  void* xmsPopPool;        // 46
  void* xmsPushPool;       // 47
  void* qxcsessn;          // 48
  void* MISSTAB;           // 49
  void* tools;             // 50
  void* qxmGenericReal;    // 51
  // 52-56: the message-formatting services, carved from the reserved words.
  QXZCapturedp (*msgCapture)(QX_HNDL_S* hndl, void* pool, QXStatus fmtStatus, va_list args);
  QXStatus (*msgFormatBuff)(QX_HNDL_S* hndl, QXZFmtInfop info, const QXChar* fmt,
                            QXStrSize fmtL, QXChar* dest, QXStrSize destL, QXStrSize* cnvL,
                            int flags, va_list args);
  QXZRenderedp (*msgRender)(QX_HNDL_S* hndl, QXZFmtInfop info, void* pool,
                            QXZCapturedp captured);
  QXZRenderedp (*msgRenderFmt)(QX_HNDL_S* hndl, QXZFmtInfop info, void* pool,
                               const QXChar* fmt, QXStrSize fmtL, va_list args);
  QXStatus (*msgStatusBuff)(QX_HNDL_S* hndl, QXZFmtInfop info, QXStatus fmtStatus,
                            QXChar* dest, QXStrSize destL, QXStrSize* cnvL, va_list args);
  void* futureArray[111];  // 57-167 reserved
};
static_assert(sizeof(QX_HNDL_S) == 168 * sizeof(void*));
static_assert(offsetof(QX_HNDL_S, ConfigureSystem) == 33 * sizeof(void*));
static_assert(offsetof(QX_HNDL_S, flags) == 36 * sizeof(void*));
static_assert(offsetof(QX_HNDL_S, loadExtension) == 9 * sizeof(void*));
static_assert(offsetof(QX_HNDL_S, nameGet) == 14 * sizeof(void*));
static_assert(offsetof(QX_HNDL_S, qxjnl) == 26 * sizeof(void*));
static_assert(offsetof(QX_HNDL_S, sknls_global) == 35 * sizeof(void*));
static_assert(offsetof(QX_HNDL_S, msgCapture) == 52 * sizeof(void*));

// A thread's handle record (threadGetHandle): its eighth word is the
// thread's identity, distinct for every thread of the process.
struct QXThreadRecord {
  QX_GENERIC_S generic;          // words 0-2
  std::uint64_t reserved[4];     // words 3-6
  std::uint64_t id;              // word 7
};
static_assert(offsetof(QXThreadRecord, id) == 7 * sizeof(std::uint64_t));

// The clock of the host reads an object kept at word 185 of the handle area.
inline constexpr int kQXHandleClockWord = 185;
