#include "linalg/cpu_count.h"

#include <thread>

#include "host/globals.h"
#include "host/kernel_handle.h"

namespace {

// nameGet(handle, name, name length, value type, result, result size in and
// out); 0 is success.
using NameGetFn = QXStatus (*)(QX_HNDL_S* handle, const QXChar* name, QXStrSize name_l, int type,
                               void* result, QXMemSize* size);
constexpr int kIntegerValue = 3;
constexpr QXChar kCpuCountName[] = {'h', 'o', 's', 't', '.', 'c', 'p', 'u',
                                    'c', 'o', 'u', 'n', 't'};

}  // namespace

int host_cpu_count() {
  QX_HNDL_S* handle = Exported_QXHandle;
  if (!handle || !handle->nameGet) {
    const unsigned machine = std::thread::hardware_concurrency();
    return machine > 0 ? static_cast<int>(machine) : 1;
  }
  long long value = 0;
  QXMemSize size = sizeof value;
  const auto name_get = reinterpret_cast<NameGetFn>(handle->nameGet);
  const QXStatus status = name_get(handle, kCpuCountName, 13, kIntegerValue, &value, &size);
  if (status != 0) return 1;
  // The count is the low 32 bits of the 8-byte value.
  return static_cast<int>(static_cast<unsigned long long>(value) & 0xFFFFFFFFull);
}
