// The kernel-library handle: a table of 64-bit slots holding the kernel
// library's service entry points and data. The module never writes it.
// Slot types are refined by the code that calls each slot; every slot is one
// pointer wide and the order is fixed.
#pragma once

#include <cstddef>

#include "host/types.h"

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
  void* loadExtension;     // 9
  void* threadCreate;      // 10
  void* threadGetHandle;   // 11
  void* nameClear;         // 12
  void* nameExists;        // 13
  void* nameGet;           // 14
  void* nameSet;           // 15
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
  void* qxjnl;             // 26 default journal
  void* qxnls;             // 27 national-language extension
  void* qxdefaultio;       // 28
  void* getdefaultio;      // 29
  void* qxelm;             // 30
  void* log4kov;           // 31
  void* callmorphed;       // 32
  void* ConfigureSystem;   // 33 coded requests
  void* qxsecure;          // 34
  void* sknls_global;      // 35 session locale record
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
  void* futureArray[116];  // 52-167 reserved
};
static_assert(sizeof(QX_HNDL_S) == 168 * sizeof(void*));
static_assert(offsetof(QX_HNDL_S, ConfigureSystem) == 33 * sizeof(void*));
static_assert(offsetof(QX_HNDL_S, flags) == 36 * sizeof(void*));

// The clock of the host reads an object kept at word 185 of the handle area.
inline constexpr int kQXHandleClockWord = 185;
