// The kernel library's events (handle slot 2, eventCreate). An event made
// for a foreign event record posts that record, which wtforev has bound to
// a host gate; so a pool thread can wake a task that waits on the gate.
#include "host/kernel_events.h"
#include "host/kernel_handle.h"
#include "platform/kernel/kernel_library.h"

namespace platform {
namespace {

struct Event : QXEvent {
  QXForeignEvent* alien;
};

void destroy_event(void* self) { delete static_cast<Event*>(static_cast<QXEvent*>(self)); }

// Reads everything it needs before posting: once the gate is posted its
// waiter may destroy the event and release the foreign record at once.
QXStatus post_event(QXEvent* self) {
  QXForeignEvent* alien = static_cast<Event*>(self)->alien;
  if (alien && alien->extPost) {
    void (*post)(void*) = alien->extPost;
    void* context = alien->context;
    post(context);
  }
  return 0;
}

QXEvent* event_create(QX_HNDL_S* handle, QXEventCreateParms* parms, void*, void*) {
  if (!parms) return nullptr;
  auto* event = new Event{};
  event->gen = {handle, "event", &destroy_event};
  event->post = &post_event;
  event->alien = parms->alien;
  if (event->alien) event->alien->extEvent = event;
  if (parms->postIt) post_event(event);
  return event;
}

constexpr QXEventCreateFn kEventCreateFn = &event_create;  // checks the signature
const KernelSlot kEventCreate{2, reinterpret_cast<void*>(kEventCreateFn)};

}  // namespace
}  // namespace platform
