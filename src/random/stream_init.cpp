// Random streams: initialisation (the method once, seed, key, note), and
// the method, seed and crude-double requests built on it.
#include <cmath>
#include <cstring>

#include "host/kernel_journal_messages.h"
#include "host/missing.h"
#include "random/hash_murmur3.h"
#include "random/message_gate.h"
#include "random/method_selection.h"
#include "random/seed_automatic.h"
#include "random/status_codes.h"
#include "random/stream.h"
#include "random/stream_internal.h"

namespace {

using namespace zrand_status;
using namespace zrand_internal;
constexpr double kTwo64 = 18446744073709551616.0;

std::uint64_t to_seed(double mapped) {
  return mapped >= 1 && mapped < kTwo64 ? static_cast<std::uint64_t>(mapped) : 0;
}

bool method_selected(const ZRANSTR* q) {
  return q->UserMethod == q->rng.zrng_name;
}

void select_method(ZRANSTR* q, const char* name, int name_l, bool named) {
  q->UserMethod = q->rng.zrng_name;
  if (named) {
    q->Flags |= zrand_flags::kMethodNamed;
    q->Flags &= ~zrand_flags::kNoteSent;
  }
  q->Status = zrngmeth(name, name_l, &q->rng, q->Flags);
  q->rangen = q->rng.zrng_double_open;
  q->BlobSize = q->rng.zrng_blob_size();
  std::memcpy(q->Method, q->rng.zrng_qxname, sizeof q->Method);
  q->IsUsable = 0;
}

// A 32-bit engine takes the low 32 bits of the seed, and 0 there would ask
// it for an automatic seed: such a seed is folded into the method's range
// instead, so that the seed in force is the one recorded.
void fold_seed(ZRAND_S* q) {
  const ZRNG_S* f = q->Functions;
  if (!has(f, zrng_has::kSeeds) || !narrow(f)) return;
  if (q->Seed == 0 || static_cast<std::uint32_t>(q->Seed) != 0) return;
  q->Seed = to_seed(zrngd2i(static_cast<double>(q->Seed), f->zrng_max_seed));
  zrngmsg(QXSeverityWarning, kSeedMapped, static_cast<unsigned long long>(f->zrng_max_seed),
          q->Method);
}

void settle_seed(ZRANSTR* q, std::uint32_t width_on_entry) {
  if (wzmis(q->UserSeed)) q->UserSeed = 0;
  const ZRNG_S* f = q->Functions;
  if (has(f, zrng_has::kSeeds)) {
    if (q->UserSeed != 0) {
      q->Seed = to_seed(zrngd2i(q->UserSeed, f->zrng_max_seed));
      if (q->Seed != 0 && q->UserSeed != static_cast<double>(q->Seed))
        zrngmsg(QXSeverityWarning, kSeedMapped, static_cast<unsigned long long>(f->zrng_max_seed),
                q->Method);
    }
    if (q->Seed == 0)
      q->Seed = width_on_entry > 32 ? zrngi64() : static_cast<std::uint32_t>(zrngi31());
    fold_seed(q);
  } else if (q->UserSeed != 0 || q->Seed != 0) {
    keep_first(q, kTakesNoSeed);
    zrngmsg(QXSeverityWarning, kSeedIgnored, q->Method,
            q->UserSeed != 0 ? q->UserSeed : static_cast<double>(q->Seed));
  }
}

void settle_key(ZRANSTR* q) {
  if (wzmis(q->UserKey)) q->UserKey = 0;
  const ZRNG_S* f = q->Functions;
  if (has(f, zrng_has::kKeys)) {
    const double k = q->UserKey;
    if (!(k >= 0 && k <= static_cast<double>(f->zrng_max_key) && k == std::floor(k))) {
      keep_first(q, kBadKey);
      zrngmsg(QXSeverityError, kKeyInvalid, static_cast<unsigned long long>(f->zrng_max_key),
              q->Method);
    } else if (q->Key > f->zrng_max_key) {
      keep_first(q, kBadKey);
      zrngmsg(QXSeverityError, kKeyTooLarge, static_cast<unsigned long long>(q->Key),
              static_cast<unsigned long long>(f->zrng_max_key), q->Method);
    }
  } else if (q->UserKey != 0 || q->Key != 0) {
    keep_first(q, kTakesNoKey);
    zrngmsg(QXSeverityWarning, kKeyIgnored, q->Method,
            q->UserKey != 0 ? q->UserKey : static_cast<double>(q->Key));
  }
}

// Once per stream, and only when the caller named the method.
void send_selection_note(ZRANSTR* q) {
  using namespace zrand_flags;
  if (!(q->Flags & kMethodNamed) || (q->Flags & kNoteSent)) return;
  q->Flags |= kNoteSent;
  const ZRNG_S* f = q->Functions;
  const char* label = has(f, zrng_has::kLabelInNotes) ? f->zrng_label : f->zrng_name;
  const auto seed = static_cast<unsigned long long>(q->Seed);
  if (q->Key != 0)
    zrngmsg(QXSeverityNote, kMethodKeyNote, label, seed, static_cast<unsigned long long>(q->Key));
  else if (q->Seed != 0)
    zrngmsg(QXSeverityNote, kMethodSeedNote, label, seed);
  else
    zrngmsg(QXSeverityNote, kMethodNote, label);
}

void record_seeds(ZRAND_S* q) {
  q->InitialSeed = q->Seed;
  q->finalSeed =
      narrow(q->Functions) ? zmh3x32(static_cast<std::uint32_t>(q->Seed)) : zmh3x64(q->Seed);
}

}  // namespace

int zrand_init(ZRANSTR* q) {
  if (!q) return kNullArgument;
  const std::uint32_t width_on_entry = q->Functions ? q->Functions->zrng_bits : 0;
  q->Check1 = kZrandCheck;
  q->Status = 0;
  if (!q->Jnlh) q->Jnlh = qx_default_journal();
  if (!q->Functions) q->Functions = &q->rng;
  if (!method_selected(q)) select_method(q, q->UserMethod, -1, q->UserMethod != nullptr);
  settle_seed(q, width_on_entry);
  settle_key(q);
  send_selection_note(q);
  zrand_rewind(q);
  record_seeds(q);
  return q->Status;
}

int zrand_method(char* name, int name_l, ZRANSTR* q) {
  if (!q) return kNullArgument;
  if (!q->Functions) q->Functions = &q->rng;
  if (method_selected(q)) return 0;
  select_method(q, name, name_l, name && name_l != 0);
  return q->Status;
}

int zrand_seed(std::uint64_t seed, ZRANSTR* q) {
  if (!q) return kNullArgument;
  q->UserSeed = 0;
  q->UserKey = 0;
  q->Key = 0;
  q->Seed = seed;
  return zrand_init(q);
}

int zrand_crude(ZRANSTR* q) {
  const int status = zrand_init(q);
  if (q && q->Functions && q->Functions->zrng_double_crude)
    q->rangen = q->Functions->zrng_double_crude;
  return status;
}

void zrand_fold_seed(ZRAND_S* q) {
  if (q) fold_seed(q);
}
