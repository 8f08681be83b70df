#include "host/time_stamps.h"

#include <sys/time.h>

#include <atomic>
#include <cstdio>
#include <ctime>

#include "host/globals.h"
#include "host/qx_handle.h"

std::int64_t bkz_lasttime = 0;

namespace {

constexpr int kStampLength = 11;  // "[hh:mm:ss] "
constexpr int kClockObjectWord = 17;

// The stamp with its terminator.
void make_stamp(char (&stamp)[kStampLength + 1]) {
  unsigned hours = 0, minutes = 0;
  double seconds = 0;
  qxztime(&hours, &minutes, &seconds);
  std::snprintf(stamp, sizeof stamp, "[%02u:%02u:%02u] ", hours % 100, minutes % 100,
                static_cast<unsigned>(seconds) % 100);
}

}  // namespace

int qxztime(unsigned* hours, unsigned* minutes, double* seconds) {
  timeval now{};
  gettimeofday(&now, nullptr);
  const time_t t = now.tv_sec;
  tm local{};
  localtime_r(&t, &local);
  if (hours) *hours = static_cast<unsigned>(local.tm_hour);
  if (minutes) *minutes = static_cast<unsigned>(local.tm_min);
  if (seconds) *seconds = local.tm_sec + static_cast<double>(now.tv_usec) / 1e6;
  return 0;
}

double bkztod() {
  timeval now{};
  gettimeofday(&now, nullptr);
  std::atomic_ref<std::int64_t> last(bkz_lasttime);
  const std::int64_t since = now.tv_sec - last.load(std::memory_order_relaxed);
  if ((since < 0 || since > 5) && Exported_QXHandle) {
    auto** area = reinterpret_cast<void**>(Exported_QXHandle);
    auto** object = static_cast<void**>(area[kQXHandleClockWord]);
    if (object && object[kClockObjectWord]) {
      reinterpret_cast<void (*)(void*)>(object[kClockObjectWord])(object);
      last.store(now.tv_sec, std::memory_order_relaxed);
    }
  }
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_usec) / 1e6;
}

std::int64_t qxzTimeUsec(std::int64_t mask) {
  timeval now{};
  gettimeofday(&now, nullptr);
  return (static_cast<std::int64_t>(now.tv_sec) & mask) * 1000000 + now.tv_usec;
}

void bkzAddTimeT(const QXChar* fmt, QXChar* out, QXStrSize len, int flags) {
  if (!out || len < 1) return;
  QXStrSize n = 0;
  if ((flags & kTimeStampFlag) && !(flags & kNoTimeStampFlag)) {
    char stamp[kStampLength + 1];
    make_stamp(stamp);
    for (int k = 0; k < kStampLength && n < len - 1; ++k) out[n++] = static_cast<unsigned char>(stamp[k]);
  }
  for (QXStrSize k = 0; fmt && fmt[k] != 0 && n < len - 1; ++k) out[n++] = fmt[k];
  out[n] = 0;
}

void bkzGetLogTime(char* out, QXStrSize len, int /*flags*/) {
  if (!out || len < 1) return;
  char stamp[kStampLength + 1];
  make_stamp(stamp);
  QXStrSize n = 0;
  for (; n < kStampLength && n < len - 1; ++n) out[n] = stamp[n];
  out[n] = 0;
}
