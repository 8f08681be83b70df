#include "host/clocks.h"

#include <sys/time.h>

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "host/globals.h"
#include "host/kernel_handle.h"
#include "host/wide_strings.h"

std::int64_t bkz_lasttime = 0;

namespace {

// The kernel library's clock object sits at word 185 of the handle area;
// word 17 of the object is the function that it wants called now and then.
constexpr int kClockHookWord = 17;
constexpr std::int64_t kClockHookInterval = 5;

timeval time_of_day() {
  timeval tv{};
  gettimeofday(&tv, nullptr);
  return tv;
}

using ClockHook = void (*)(void* object);

// The hook and its object, or a null hook when the kernel library has none.
ClockHook clock_hook(void** object) {
  if (!Exported_QXHandle) return nullptr;
  *object = reinterpret_cast<void**>(Exported_QXHandle)[kQXHandleClockWord];
  if (!*object) return nullptr;
  return reinterpret_cast<ClockHook>(static_cast<void**>(*object)[kClockHookWord]);
}

// "[hh:mm:ss] " and a NUL, from qxztime.
void format_stamp(char (&stamp)[kTimeStampLength + 1]) {
  std::uint32_t hours = 0, minutes = 0;
  double seconds = 0;
  qxztime(&hours, &minutes, &seconds);
  std::snprintf(stamp, sizeof stamp, "[%02u:%02u:%02u] ", hours % 100, minutes % 100,
                static_cast<unsigned>(seconds) % 100);
}

}  // namespace

QXStatus qxztime(std::uint32_t* hours, std::uint32_t* minutes, double* seconds) {
  const timeval tv = time_of_day();
  const time_t now = tv.tv_sec;
  tm local{};
  localtime_r(&now, &local);
  if (hours) *hours = static_cast<std::uint32_t>(local.tm_hour);
  if (minutes) *minutes = static_cast<std::uint32_t>(local.tm_min);
  if (seconds) *seconds = local.tm_sec + tv.tv_usec / 1000000.0;
  return 0;
}

double bkztod() {
  const timeval tv = time_of_day();
  const std::int64_t s = tv.tv_sec;
  const std::int64_t since = s - bkz_lasttime;
  void* object = nullptr;
  if (since < 0 || since > kClockHookInterval) {
    if (ClockHook hook = clock_hook(&object)) {
      hook(object);
      bkz_lasttime = s;
    }
  }
  return static_cast<double>(s) + tv.tv_usec / 1000000.0;
}

std::int64_t qxzTimeUsec(std::int64_t mask) {
  const timeval tv = time_of_day();
  return (static_cast<std::int64_t>(tv.tv_sec) & mask) * 1000000 + tv.tv_usec;
}

QXStatus bkzAddTimeT(const QXChar* fmt, QXChar* out, QXStrSize len, unsigned flags) {
  if (!out || len < 1) return kQXBufferTooSmall;
  QXStrSize used = 0;
  bool truncated = false;
  if ((flags & kAddTimeStamp) && !(flags & kAddTimeNoStamp)) {
    char stamp[kTimeStampLength + 1];
    format_stamp(stamp);
    const QXStrSize n = std::min<QXStrSize>(kTimeStampLength, len - 1);
    for (; used < n; ++used) out[used] = static_cast<unsigned char>(stamp[used]);
    truncated = n < kTimeStampLength;
  }
  const QXStrSize text = skStrTLen(fmt);
  const QXStrSize n = std::min(text, len - 1 - used);
  if (n > 0) skMemSCpy(fmt, out + used, static_cast<QXMemSize>(n) * sizeof(QXChar));
  out[used + n] = 0;
  return truncated || n < text ? kQXBufferTooSmall : 0;
}

QXStatus bkzGetLogTime(char* out, QXStrSize len, unsigned /*flags*/) {
  if (!out || len < 1) return kQXBufferTooSmall;
  char stamp[kTimeStampLength + 1];
  format_stamp(stamp);
  const QXStrSize n = std::min<QXStrSize>(kTimeStampLength, len - 1);
  skMemCpy(stamp, out, static_cast<QXMemSize>(n));
  out[n] = '\0';
  return n < kTimeStampLength ? kQXBufferTooSmall : 0;
}
