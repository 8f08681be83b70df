#include "procedure/step_memory.h"

#include "host/globals.h"
#include "host/pool.h"
#include "host/services.h"
#include "procedure/step_exit.h"

void* ruva_alloc(long bytes) {
  if (bytes <= 0) return nullptr;
  return vmalcp_handler(task_pool(), bytes, kPoolCleared);
}

void ruva_free(void* block) {
  if (block) vmfree_handler(task_pool(), block, kUnknownLength, kPoolRelease);
}

void ruva_out_of_memory(long bytes) {
  xmemmsg(bytes);
  ruva_exit(1016);
}
