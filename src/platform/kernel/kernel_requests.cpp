// Slot 33 of the kernel-library handle: coded requests. This kernel answers
// request 8 (resource statistics), request 16 (elapsed time) and request 46
// (memory available); every other
// code is answered with 0x803FC004 (operation not supported) and leaves its
// block as it was.
#include <dirent.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string>

#include "host/kernel_handle.h"
#include "host/kernel_requests.h"
#include "platform/host.h"
#include "platform/kernel/kernel_library.h"
#include "platform/kernel/kernel_state.h"

namespace platform {
namespace {

constexpr int kStatistics = 8;
constexpr int kElapsedTime = 16;
constexpr int kMemoryAvailable = 46;

QXTimePair time_pair(const timeval& t) { return {t.tv_sec, t.tv_usec}; }

// The process's size in bytes: its address space (`resident` false) or the
// part of it in memory.
std::uint64_t process_bytes(bool resident) {
  std::ifstream statm("/proc/self/statm");
  std::uint64_t size = 0, in_memory = 0;
  if (!(statm >> size >> in_memory)) return 0;
  return (resident ? in_memory : size) * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
}

std::uint64_t thread_count() {
  DIR* dir = opendir("/proc/self/task");
  if (!dir) return 1;
  std::uint64_t n = 0;
  while (const dirent* e = readdir(dir))
    if (e->d_name[0] != '.') ++n;
  closedir(dir);
  return n;
}

// Byte and call counts of the process's reads and writes, when the system
// reports them.
void io_counts(QXZ_Stats_Info& s) {
  std::ifstream io("/proc/self/io");
  std::string key;
  std::int64_t value = 0;
  while (io >> key >> value) {
    if (key == "rchar:") s.bytesRead = value;
    else if (key == "wchar:") s.bytesWritten = value;
    else if (key == "syscr:") s.reads = value;
    else if (key == "syscw:") s.writes = value;
    else continue;
    s.bytecountsvalid = 1;
  }
}

QXStatus statistics(QXZ_Stats_Info* s) {
  KernelState& kernel = Host::current().kernel();
  *s = QXZ_Stats_Info{};
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  timeval now{};
  gettimeofday(&now, nullptr);
  s->user_cpu_time = time_pair(usage.ru_utime);
  s->system_cpu_time = time_pair(usage.ru_stime);
  s->timestamp = time_pair(now);
  s->current_memory = process_bytes(true);
  s->high_water_mark_memory = static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;
  s->current_thread_count = thread_count();
  auto& high = kernel.thread_high_water();
  std::uint64_t seen = high.load();
  while (seen < s->current_thread_count && !high.compare_exchange_weak(seen, s->current_thread_count)) {
  }
  s->high_water_mark_thread_count = std::max(seen, s->current_thread_count);
  s->total_io_count = static_cast<std::uint64_t>(usage.ru_inblock + usage.ru_oublock);
  s->stepcount = static_cast<std::uint64_t>(Host::current().step_number());
  io_counts(*s);
  return 0;
}

// The memory the process can still take: what the system reports as
// available, or its free pages, and no more than the address-space limit
// leaves of the address space, which counts what is mapped, resident or not.
double available_bytes() {
  double bytes = 0;
  std::ifstream meminfo("/proc/meminfo");
  std::string key, unit;
  double kib = 0;
  while (meminfo >> key >> kib >> unit)
    if (key == "MemAvailable:") bytes = kib * 1024;
  if (bytes <= 0) bytes = static_cast<double>(sysconf(_SC_AVPHYS_PAGES)) * static_cast<double>(sysconf(_SC_PAGESIZE));
  rlimit limit{};
  if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
    bytes = std::min(bytes, static_cast<double>(limit.rlim_cur) - static_cast<double>(process_bytes(false)));
  return std::max(bytes, 0.0);
}

struct MemoryBlock {
  double available;
  std::uint32_t flags;
};

// Two doubles: the clock now, then its origin; the caller takes the difference.
QXStatus elapsed_time(double* block) {
  block[0] = monotonic_seconds();
  block[1] = Host::current().kernel().clock_origin();
  return 0;
}

QXStatus configure_system(int code, void* block, std::uint32_t /*flags*/, QX_HNDL_S*) {
  switch (code) {
    case kStatistics:
      return block ? statistics(static_cast<QXZ_Stats_Info*>(block)) : kQXInvalidArgument;
    case kElapsedTime:
      return block ? elapsed_time(static_cast<double*>(block)) : kQXInvalidArgument;
    case kMemoryAvailable:
      if (!block) return kQXInvalidArgument;
      static_cast<MemoryBlock*>(block)->available = available_bytes();
      return 0;
    default:
      return kQXNotSupported;
  }
}

const KernelSlot kConfigureSystem{33, reinterpret_cast<void*>(&configure_system)};

}  // namespace
}  // namespace platform
