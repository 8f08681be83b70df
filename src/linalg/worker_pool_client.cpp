#include "linalg/worker_pool_client.h"

#include "host/globals.h"
#include "host/kernel_handle.h"
#include "host/services.h"

namespace {

constexpr QXChar kExtensionName[] = {'q', 'x', 'e', 'p', 'd', 'l'};
constexpr unsigned kPoolFlags = 0x80000000u;
constexpr int kReportFailure = 1;
constexpr int kStepFailed = 1012;

using LoadExtensionFn = void* (*)(QX_HNDL_S* handle, const QXChar* name, QXStrSize length, int flags);

TPDLExtension* load_pool_extension() {
  QX_HNDL_S* handle = Exported_QXHandle;
  if (!handle || !handle->loadExtension) return nullptr;
  auto load = reinterpret_cast<LoadExtensionFn>(handle->loadExtension);
  return static_cast<TPDLExtension*>(load(handle, kExtensionName, 6, 0));
}

// Reports an internal error and ends the step; the host's xexit does not
// return, but a caller still leaves cleanly if it ever did.
void fail_step(const char* what) {
  xebug(what);
  xexit(kStepFailed, 0);
}

}  // namespace

rctype zpudi(PuddleControl* control, int numThreads, int errorFlags, void* userCallBack) {
  control->extHandle = load_pool_extension();
  if (!control->extHandle) {
    if (errorFlags & kReportFailure)
      fail_step("qxExtensionLoad failed in zpudi: the extension qxepdl could not be loaded");
    return 1;
  }
  TPDLCreateParms parms{};
  parms.min = parms.max = static_cast<std::size_t>(numThreads > 0 ? numThreads : 0);
  parms.more = 1;
  parms.logic = reinterpret_cast<TPDLLogicFn>(userCallBack);
  parms.flags = kPoolFlags;
  control->puddle = control->extHandle->create(control->extHandle, &parms, nullptr, nullptr);
  if (!control->puddle) {
    if (errorFlags & kReportFailure) fail_step("tpdlCreate failed in zpudi");
    return 2;
  }
  return 0;
}

void zpudenq(PuddleControl* control, void* parms) {
  Puddle* pool = control->puddle;
  if (pool->enqueue(pool, parms, nullptr, nullptr, nullptr) != 0) fail_step("puddleEnque failed");
}

void zpudwt(PuddleControl* control) {
  Puddle* pool = control->puddle;
  QXForeignEvent foreign{};
  GATE gate{};
  wtforev(&foreign, &gate);
  QXEventCreateParms create{0, &foreign, nullptr, nullptr};
  QX_HNDL_S* handle = Exported_QXHandle;
  auto event_create =
      handle ? reinterpret_cast<QXEventCreateFn>(handle->eventCreate) : QXEventCreateFn{nullptr};
  QXEvent* event = event_create ? event_create(handle, &create, nullptr, nullptr) : nullptr;
  if (!event || pool->wait(pool, event) != 0) {
    if (event) event->gen.destroy(event);
    fail_step("zpudlwt failed");
    return;
  }
  GATE* gates[1] = {&gate};
  wtgwait(0, 1, 1, gates);
  event->gen.destroy(event);
  pool->reset(pool);
}

void zpudt(PuddleControl* control) {
  if (Puddle* pool = control->puddle) {
    control->puddle = nullptr;
    pool->quiesce(pool, nullptr, nullptr, nullptr);
    pool->gen.destroy(pool);
  }
  if (TPDLExtension* ext = control->extHandle) {
    control->extHandle = nullptr;
    ext->gen.destroy(ext);
  }
}
