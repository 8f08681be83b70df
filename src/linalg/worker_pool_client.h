// A thin layer over the kernel library's worker-pool extension "qxepdl" and
// the host's waits: create a pool that runs one callback per request, queue
// requests, wait for all of them, and take the pool down.
#pragma once

#include "host/ext_worker_pools_qxepdl.h"

using rctype = int;

struct PuddleControl {
  QXExtensionh extHandle;  // the loaded extension
  Puddleh puddle;          // the pool
};

// Loads the extension and creates a pool of numThreads threads running
// userCallBack (a TPDLLogicFn) on each request. Returns 0, 1 when the
// extension cannot be loaded, 2 when the pool cannot be created; with bit 0
// of errorFlags a failure is reported and ends the step (1012) instead.
rctype zpudi(PuddleControl* control, int numThreads, int errorFlags, void* userCallBack);
// Queues one request; a refusal ends the step (1012).
void zpudenq(PuddleControl* control, void* parms);
// Waits until every queued request has finished, then readies the pool for
// the next batch; a wait that cannot be set up ends the step (1012).
void zpudwt(PuddleControl* control);
// Stops and destroys the pool and unloads the extension; safe to repeat.
void zpudt(PuddleControl* control);
