#include "platform/kernel/kernel_library.h"

#include <map>
#include <vector>

#include "host/kernel_handle.h"
#include "platform/host.h"
#include "platform/kernel/kernel_state.h"

namespace platform {
namespace {

std::vector<std::pair<int, void*>>& slots() {
  static std::vector<std::pair<int, void*>> list;
  return list;
}

std::map<std::string, ExtensionFactory, std::less<>>& extensions() {
  static std::map<std::string, ExtensionFactory, std::less<>> map;
  return map;
}

// loadExtension(handle, wide name, length in characters, flags).
void* load_extension(QX_HNDL_S* /*handle*/, const QXChar* name, QXStrSize length, int /*flags*/) {
  if (!name || length <= 0) return nullptr;
  std::string narrow;
  for (QXStrSize i = 0; i < length; ++i) {
    if (name[i] <= 0 || name[i] > 127) return nullptr;
    narrow += static_cast<char>(name[i]);
  }
  return create_extension(narrow);
}

const KernelSlot kLoadExtension{9, reinterpret_cast<void*>(&load_extension)};

}  // namespace

KernelSlot::KernelSlot(int slot, void* fn) { slots().emplace_back(slot, fn); }

ExtensionRegistration::ExtensionRegistration(const char* name, ExtensionFactory factory) {
  extensions()[name] = factory;
}

void* create_extension(std::string_view name) {
  auto it = extensions().find(name);
  return it == extensions().end() ? nullptr : it->second();
}

void install_kernel_library(Host& host) {
  auto** area = static_cast<void**>(host.qx_handle_area());
  for (auto [slot, fn] : slots()) area[slot] = fn;
  host.kernel().install(area);
}

}  // namespace platform
