// Slots 12-15 of the kernel-library handle: the named-value store.
#include "host/kernel_handle.h"
#include "platform/host.h"
#include "platform/kernel/kernel_library.h"
#include "platform/kernel/kernel_state.h"
#include "platform/utf8.h"

namespace platform {
namespace {

NamedValueStore& store() { return Host::current().kernel().named_values(); }

QXStatus name_clear(QX_HNDL_S*, const QXChar* name, QXStrSize nameL) {
  if (!name) return kQXInvalidArgument;
  return store().clear(wide_view(name, nameL));
}

QXBoolean name_exists(QX_HNDL_S*, const QXChar* name, QXStrSize nameL) {
  return name && store().exists(wide_view(name, nameL)) ? 1 : 0;
}

QXStatus name_get(QX_HNDL_S*, const QXChar* name, QXStrSize nameL, int type, void* result,
                  QXMemSize* size) {
  if (!name) return kQXInvalidArgument;
  return store().get(wide_view(name, nameL), type, result, size);
}

QXStatus name_set(QX_HNDL_S*, const QXChar* name, QXStrSize nameL, int create, int type,
                  const void* value, QXMemSize size, int, int) {
  if (!name) return kQXInvalidArgument;
  return store().set(wide_view(name, nameL), (create & 1) != 0, type, value, size);
}

const KernelSlot kNameClear{12, reinterpret_cast<void*>(&name_clear)};
const KernelSlot kNameExists{13, reinterpret_cast<void*>(&name_exists)};
const KernelSlot kNameGet{14, reinterpret_cast<void*>(&name_get)};
const KernelSlot kNameSet{15, reinterpret_cast<void*>(&name_set)};

}  // namespace
}  // namespace platform
