// The extension "qxepdl": loaded by name through the kernel library, it
// creates worker pools (WorkerPool) for the threaded sweep.
#include "host/ext_worker_pools_qxepdl.h"
#include "platform/kernel/kernel_library.h"
#include "platform/threads/worker_pool.h"

namespace platform {
namespace {

Puddle* create_pool(TPDLExtension* ext, TPDLCreateParms* parms, void*, void*) {
  if (!parms) return nullptr;
  WorkerPool* pool = WorkerPool::create(*parms, ext);
  return pool ? pool->puddle() : nullptr;
}

void destroy_extension(void* self) { delete static_cast<TPDLExtension*>(self); }

void* make_extension() {
  return new TPDLExtension{{nullptr, "qxepdl", &destroy_extension}, &create_pool};
}

const ExtensionRegistration kQxepdl{"qxepdl", &make_extension};

}  // namespace
}  // namespace platform
