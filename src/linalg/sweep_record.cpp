// Making and releasing the sweep-inverse record.
#include "host/pool.h"
#include "linalg/constants.h"
#include "linalg/sweep_inverse.h"

namespace {

constexpr int kRecordFlags = 0x2002;

}  // namespace

zswpptr zswpnsu(void* pool, int n, zmatinfoptr mati, long* bytes, int moorep) {
  if (!pool || n < 0) return nullptr;
  const long order = n;
  auto* swpi = static_cast<ZSWPN*>(vmalcp_handler(pool, sizeof(ZSWPN), kRecordFlags));
  if (!swpi) return nullptr;
  swpi->n = n;
  long taken = sizeof(ZSWPN);
  swpi->sweepwrk = static_cast<double*>(vmalcp_handler(pool, 24 * order, kRecordFlags));
  swpi->sweepx = static_cast<char*>(vmalcp_handler(pool, order, kRecordFlags));
  taken += 25 * order;
  // Set, not left to the pool: zswpnfr releases it whenever it is not null.
  swpi->inv = nullptr;
  if (moorep) {
    swpi->inv = static_cast<double*>(vmalcp_handler(pool, 16 * order * order, kRecordFlags));
    taken += 16 * order * order;
    swpi->moorep = 1;
  }
  if (!swpi->sweepwrk || !swpi->sweepx || (moorep && !swpi->inv)) {
    zswpnfr(pool, swpi);
    return nullptr;
  }
  if (bytes) *bytes = taken;
  swpi->sing = linalg::kDefaultSingular;
  swpi->matinfo = mati;
  swpi->zsweepr[0] = swpi->zsweepr[1] = ' ';
  swpi->zsweepr[2] = '\0';
  return swpi;
}

void zswpnfr(void* pool, zswpptr swpi) {
  if (!pool || !swpi) return;
  const long order = swpi->n;
  if (swpi->sweepwrk) vmfree_handler(pool, swpi->sweepwrk, 24 * order, 0);
  if (swpi->sweepx) vmfree_handler(pool, swpi->sweepx, order, 0);
  if (swpi->inv) vmfree_handler(pool, swpi->inv, 16 * order * order, 0);
  vmfree_handler(pool, swpi, sizeof(ZSWPN), 0);
}
