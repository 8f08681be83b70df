// Slot 11 of the kernel-library handle: each thread's handle record, whose
// identity word is distinct for every thread of the process.
#include <atomic>

#include "host/kernel_handle.h"
#include "platform/kernel/kernel_library.h"

namespace platform {
namespace {

void keep(void*) {}

QXThreadRecord* thread_get_handle(QX_HNDL_S*) {
  static std::atomic<std::uint64_t> next_id{1};
  thread_local QXThreadRecord record = [] {
    QXThreadRecord r{};
    r.generic = {0, "thread", &keep};
    r.id = next_id.fetch_add(1, std::memory_order_relaxed);
    return r;
  }();
  return &record;
}

const KernelSlot kThreadGetHandle{11, reinterpret_cast<void*>(&thread_get_handle)};

}  // namespace
}  // namespace platform
