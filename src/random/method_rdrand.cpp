// The hardware method. This build has no hardware source, so the method's
// state size is 0 and selecting it gives the default method; its record
// still holds an operation in every slot: stubs that change nothing and
// return what their formula gives for a zero word.
#include "random/method_common.h"
#include "random/method_descriptors.h"
#include "random/method_uniform_forms.h"

namespace {

constexpr const char* kName = "RDRAND";

QXMemSize blob_size() {
  zrng_note_blob_size(kName, 0);
  return 0;
}
void dump(void*, int) {}
int state(void*, std::uint8_t*, int, std::uint64_t) {
  return 0;
}
template <class V>
int ignore(void*, V) {
  return 0;
}
template <class W>
W zero_word(void*) {
  return 0;
}
template <class W, double (*F)(W)>
double of_zero(void*) {
  return F(0);
}
double zero(void*) {
  return 0.0;
}

}  // namespace

void zrnfRDRAND(ZRNG_S* q, std::uint64_t) {
  namespace u = zrng_uniform;
  using std::uint32_t, std::uint64_t;
  zrng_fill_descriptor(q, zrng_methods::kRDRAND);
  q->zrng_blob_size = &blob_size;
  q->zrng_dump_blob_32 = q->zrng_dump_blob_64 = &dump;
  q->zrng_state = &state;
  q->zrng_seed_32 = q->zrng_key_32 = q->zrng_thread_32 = &ignore<uint32_t>;
  q->zrng_seed_64 = q->zrng_key_64 = q->zrng_thread_64 = &ignore<uint64_t>;
  q->zrng_seed_double = q->zrng_key_double = &ignore<double>;
  q->zrng_uint32 = &zero_word<uint32_t>;
  q->zrng_uint64 = &zero_word<uint64_t>;
  q->zrng_double_32_reject_zero = &zero;
  q->zrng_double_32_open_open = &of_zero<uint32_t, u::open_open_32>;
  q->zrng_double_32_open_closed = &of_zero<uint32_t, u::open_closed_32>;
  q->zrng_double_32_closed_open = &zero;
  q->zrng_double_32_closed_closed = &zero;
  q->zrng_double_53_reject_zero = &zero;
  q->zrng_double_53_open_open = &of_zero<uint64_t, u::open_open_53>;
  q->zrng_double_53_open_closed = &of_zero<uint64_t, u::open_closed_53>;
  q->zrng_double_53_closed_open = &zero;
  q->zrng_double_53_closed_closed = &zero;
  q->zrng_double_64_reject_zero_one = &zero;
  q->zrng_double_64_open_open = &of_zero<uint64_t, u::open_open_64>;
  q->zrng_double_64_open_closed = &of_zero<uint64_t, u::open_closed_64>;
  q->zrng_double_64_closed_open = &zero;
  q->zrng_double_64_closed_closed = &zero;
  q->zrng_double_infinite = &zero;
  q->zrng_double_open = q->zrng_double_64_reject_zero_one;
  q->zrng_double_fast = q->zrng_double_64_closed_closed;
}
