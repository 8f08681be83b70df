// Kernel-library events, made through the handle's eventCreate slot.
#pragma once

#include "host/kernel_object_header.h"
#include "host/types.h"
#include "host/wait_types.h"

struct QX_HNDL_S;

// An event: posting it posts the foreign event it was made for, if any.
// Destroy it through gen.destroy.
struct QXEvent {
  QXGeneric gen;
  QXStatus (*post)(QXEvent* self);
};

struct QXEventCreateParms {
  QXBoolean postIt;        // 1: the event starts posted
  QXForeignEvent* alien;   // host wait record to post, or null
  void* RParm1;            // reserved
  void* RParm2;            // reserved
};

// Slot 2 of the handle: eventCreate(handle, parms, 0, 0); null on failure.
using QXEventCreateFn = QXEvent* (*)(QX_HNDL_S* handle, QXEventCreateParms* parms, void*, void*);
