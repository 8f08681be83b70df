// The worker-pool extension "qxepdl": a pool ("puddle") of persistent
// threads that run a callback once per queued request and post an event
// when every queued request has finished.
#pragma once

#include <cstddef>

#include "host/kernel_events.h"
#include "host/kernel_object_header.h"
#include "host/types.h"

using TPDLCallBacksp = void*;
// Runs one request on a pool thread.
using TPDLLogicFn = void (*)(QXMemPtr context, QXGenerich request, QXThreadh thread,
                             TPDLCallBacksp cb);

// The pool-creation request.
struct TPDLCreateParms {
  std::size_t min;        // threads to start
  std::size_t max;        // most threads
  std::size_t more;       // growth step (the extension's own meaning)
  TPDLLogicFn logic;      // the request function
  TPDLLogicFn failure;    // called instead when a request cannot be run
  QXMemPtr ctxt;          // handed to logic and failure
  unsigned int flags;     // the extension's own bits
  void* jnl;              // journal for the pool's reports, or null
  unsigned int timeout;   // idle timeout (unused)
  std::size_t stackSize;  // thread stack size, 0 for the default
  unsigned int tFlags;    // thread flags
  void* poolParms;        // memory-pool parameters, or null
  void* lockParms;        // lock parameters, or null
};

// The pool object: a function table; each function takes the pool first.
struct Puddle {
  QXGeneric gen;
  QXStatus (*enqueue)(Puddle* pool, void* request, void*, void*, void*);
  // Stops accepting requests and waits until the queued ones have finished.
  QXStatus (*quiesce)(Puddle* pool, void*, void*, void*);
  // Readies an idle pool for the next batch; fails while requests are open.
  QXStatus (*reset)(Puddle* pool);
  void* stats;
  // Posts `event` once the queue is empty and every request has finished.
  QXStatus (*wait)(Puddle* pool, QXEvent* event);
  void* enqueueOwner;
  void* quiesceOwner;
  void* quiesceStatus;
  void* stats2;
  void* wait2;
};
using Puddleh = Puddle*;

// The loaded extension: the generic header, then the pool-creation function.
struct TPDLExtension {
  QXGeneric gen;
  Puddle* (*create)(TPDLExtension* ext, TPDLCreateParms* parms, void*, void*);
};
using QXExtensionh = TPDLExtension*;
