// The kernel library behind the module's kernel-library handle. Each concern
// (named values, journals, extensions, events, ...) fills its own slots of
// the handle by registering them here; the host installs every registered
// slot into the handle area when it starts.
#pragma once

#include <string>
#include <string_view>

#include "host/types.h"

namespace platform {

class Host;

// Registers `fn` for slot `slot` of the handle (see host/kernel_handle.h).
// Use at namespace scope: `const KernelSlot kFoo{14, &name_get};`
struct KernelSlot {
  KernelSlot(int slot, void* fn);
};

// The generic header every kernel-library object begins with.
struct QXGeneric {
  void* oven;                   // the object that made this one
  const char* name;             // the object's kind
  void (*destroy)(void* self);  // releases the object
};

// An extension loaded by name: the factory returns a new instance whose
// first member is a QXGeneric.
using ExtensionFactory = void* (*)();
struct ExtensionRegistration {
  ExtensionRegistration(const char* name, ExtensionFactory factory);
};
// A new instance of the named extension, or null when no extension of that
// name is built.
void* create_extension(std::string_view name);

}  // namespace platform
