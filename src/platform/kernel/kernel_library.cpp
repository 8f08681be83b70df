#include "platform/kernel/kernel_library.h"

#include <array>
#include <cstdlib>

#include "host/kernel_handle.h"
#include "platform/host.h"
#include "platform/kernel/kernel_state.h"

namespace platform {
namespace {

// The registries are filled by constructors of namespace-scope objects,
// before main: they take no memory from the heap, so that a process short
// of memory reaches main, where it can say so, instead of ending in a
// static constructor. More registrations than they hold is a fault of the
// build, found by any run.
constexpr std::size_t kMostSlots = 32;
constexpr std::size_t kMostExtensions = 16;

struct Slot {
  int slot;
  void* fn;
};
struct Extension {
  const char* name;
  ExtensionFactory factory;
};

template <typename Entry, std::size_t N>
struct Registry {
  std::array<Entry, N> entries{};
  std::size_t count = 0;

  void add(const Entry& entry) {
    if (count == N) std::abort();
    entries[count++] = entry;
  }
  const Entry* begin() const { return entries.data(); }
  const Entry* end() const { return entries.data() + count; }
};

// Constant-initialised: ready before any constructor registers in it.
constinit Registry<Slot, kMostSlots> g_slots;
constinit Registry<Extension, kMostExtensions> g_extensions;

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

KernelSlot::KernelSlot(int slot, void* fn) { g_slots.add({slot, fn}); }

ExtensionRegistration::ExtensionRegistration(const char* name, ExtensionFactory factory) {
  g_extensions.add({name, factory});
}

void* create_extension(std::string_view name) {
  for (const Extension& e : g_extensions)
    if (name == e.name) return e.factory();
  return nullptr;
}

void install_kernel_library(Host& host) {
  auto** area = static_cast<void**>(host.qx_handle_area());
  for (const auto& [slot, fn] : g_slots) area[slot] = fn;
  host.kernel().install(area);
}

}  // namespace platform
