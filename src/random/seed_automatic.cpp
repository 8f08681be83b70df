#include "random/seed_automatic.h"

#include <cmath>
#include <cstring>

#include "host/globals.h"
#include "host/kernel_handle.h"
#include "host/kernel_requests.h"
#include "host/kernel_text_literals.h"
#include "host/missing.h"
#include "host/named_values.h"
#include "random/hash_murmur3.h"
#include "random/message_gate.h"
#include "random/status_codes.h"

namespace {

constexpr double kTwo32 = 4294967296.0;
constexpr double kTwo53 = 9007199254740992.0;
constexpr double kTwo63 = 9223372036854775808.0;
constexpr double kTwo64 = 18446744073709551616.0;
constexpr long kMaxClockReads = 10000000;

double seed_override() {
  return qxnrdget(qx_text(U"qxbug.RNGSEED"), 0, 0.0);
}

// The first clock reading and the one at which the clock ticked.
struct Tick {
  double t0;
  double t;
};

Tick wait_for_tick() {
  Tick tick{qxzdttme(), 0.0};
  tick.t = tick.t0;
  for (long reads = 0; reads < kMaxClockReads && tick.t == tick.t0; reads += 4) {
    tick.t = qxzdttme();
    if (tick.t != tick.t0) break;
    tick.t = qxzdttme();
    if (tick.t != tick.t0) break;
    tick.t = qxzdttme();
    if (tick.t != tick.t0) break;
    tick.t = qxzdttme();
  }
  return tick;
}

std::uint64_t statistics_word() {
  QXZ_Stats_Info stats{};
  qxzstats(&stats);
  std::uint64_t words[4];
  std::memcpy(words, &stats, sizeof words);
  return words[3];
}

std::uint64_t thread_identity() {
  QX_HNDL_S* handle = Exported_QXHandle;
  if (!handle || !handle->threadGetHandle) return 0;
  const QXThreadRecord* record = handle->threadGetHandle(handle);
  return record ? record->id : 0;
}

std::uint64_t clock_nanoseconds(double t) {
  const double ns = t * 1e9;
  return ns >= 0 && ns < kTwo64 ? static_cast<std::uint64_t>(ns) : 0;
}

// The clock hash before the reduction of zrngi64.
std::uint64_t clock_hash() {
  const Tick tick = wait_for_tick();
  const std::uint64_t v = clock_nanoseconds(tick.t) + statistics_word() + 2 * thread_identity() + 1;
  return zmh3x64(v);
}

// Low 32 bits of the integer part of a finite double whose magnitude is
// below 2^63 (0 otherwise).
std::uint32_t low_word(double v) {
  if (!(std::fabs(v) < kTwo63)) return 0;
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(static_cast<std::int64_t>(v)));
}

std::uint32_t clock_word() {
  const Tick tick = wait_for_tick();
  const double d = tick.t - tick.t0;
  const double r =
      d != 0 ? std::fmod(tick.t * 1.0000000000000009 / d, kTwo32) : std::fmod(tick.t, kTwo32);
  return low_word(r);
}

}  // namespace

std::uint64_t zrngi64() {
  const double fixed = seed_override();
  if (fixed >= 1 && fixed < kTwo64) return static_cast<std::uint64_t>(fixed);
  const std::uint64_t h = clock_hash();
  return h < 2049 ? h : h >> 11;
}

std::uint64_t zrngt64() {
  return clock_hash();
}

std::int32_t zrngi31() {
  if (const std::uint32_t fixed = low_word(seed_override()))
    return static_cast<std::int32_t>(fixed);
  std::uint32_t x = clock_word();
  if (x == 0) x = 1;
  x &= 0x7FFFFFFFu;
  // 0x80000000 clears to 0 and 2^31-1 is outside the generators' range.
  if (x == 0 || x == 0x7FFFFFFFu) x = 1;
  return static_cast<std::int32_t>(x);
}

std::uint32_t zrngt32() {
  const std::uint32_t x = clock_word();
  return x ? x : 1;
}

double zrngd2i(double old_seed, std::uint64_t max_seed) {
  if (wzmis(old_seed)) return 0;
  const double most = max_seed > (1ull << 53) ? kTwo53 : static_cast<double>(max_seed);
  if (!std::isfinite(old_seed)) {
    zrngmsg(QXSeverityError, zrand_status::kSeedUnmappable, static_cast<unsigned long long>(most),
            old_seed);
    return 0;
  }
  if (!(old_seed > 0)) return 0;
  if (old_seed < kTwo64 && old_seed == std::floor(old_seed) &&
      old_seed <= static_cast<double>(max_seed))
    return old_seed;
  int exponent = 0;
  const double m = std::frexp(old_seed, &exponent);
  const double r = std::floor((most - 2) * ((m - 0.5) * 2) + 1);
  if (r < 1 || r > most)
    zrngmsg(QXSeverityError, zrand_status::kSeedUnmappable, static_cast<unsigned long long>(most),
            old_seed);
  return r;
}
