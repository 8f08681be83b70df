// The RANUNI method: the multiplicative congruential generator of zranuni
// as an instance of the method template. Its engine word is the 31-bit
// seed; no state can be loaded. The method is described but not available
// (state size 0), so selecting it gives the default method.
#include "random/engine_congruential.h"
#include "random/method_descriptors.h"
#include "random/method_template.h"

namespace {

struct RanuniEngine {
  using Word = std::uint32_t;
  static constexpr const char* kName = "RANUNI";
  static constexpr QXMemSize kBlobSize = sizeof(long);
  static constexpr QXMemSize kStateSize = 0;
  static constexpr bool kKeys = false;
  static constexpr bool kThreads = false;
  static constexpr bool kCrude = true;
  static void seed(void* blob, Word s) { *static_cast<long*>(blob) = static_cast<long>(s); }
  static Word next(void* blob) {
    auto* seed = static_cast<long*>(blob);
    zranuni(seed);
    return static_cast<Word>(*seed);
  }
  // seed / (2^31 - 1) of the next step.
  static double crude(void* blob) { return zranuni(static_cast<long*>(blob)); }
};
static_assert(sizeof(long) == 8);

int no_state(void*, std::uint8_t*, int state_l, std::uint64_t) {
  return state_l < 1 ? 0 : -1;
}

}  // namespace

void zrnfRANUNI(ZRNG_S* q, std::uint64_t) {
  zrng_fill_descriptor(q, zrng_methods::kRANUNI);
  zrng_fill_operations<RanuniEngine>(q);
  q->zrng_state = &no_state;
}
