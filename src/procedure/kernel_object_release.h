// Releasing a kernel-library object (an extension or an instance) held in a
// handle field of the context.
#pragma once

#include "host/kernel_object_header.h"

// Destroys the object behind `*handle` through its generic header and
// clears the handle, so that the object is released at most once.
inline void release_qx_object(void** handle) {
  if (!*handle) return;
  auto* generic = static_cast<QXGeneric*>(*handle);
  *handle = nullptr;
  if (generic->destroy) generic->destroy(generic);
}
