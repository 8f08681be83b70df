// Streams from a kernel pool, and keyed substreams of a stream.
#include <cstring>
#include <new>

#include "random/status_codes.h"
#include "random/stream.h"

namespace {

constexpr std::uint32_t kPoolFlags = 0x80000000u;

void* pool_allocate(QXPoolh pool, QXMemSize size) {
  return pool && pool->memAlloc ? pool->memAlloc(pool, size, kPoolFlags) : nullptr;
}

void point_at_state(ZRAND_S* q, void* area) {
  q->Blob = area;
  q->State32 = static_cast<std::uint32_t*>(area);
  q->State64 = static_cast<std::uint64_t*>(area);
}

}  // namespace

ZRANSTR* zrand_alloc_qx(QXPoolh pool) {
  void* block = pool_allocate(pool, sizeof(ZRANSTR));
  if (!block) return nullptr;
  auto* q = new (block) ZRANSTR{};
  q->Status = zrand_status::kNotInitialised;
  q->IsUsable = 0;
  q->Functions = &q->rng;
  point_at_state(q, &q->mt);
  q->nrv = 1;
  q->p = nullptr;
  return q;
}

int zrand_clone(ZRAND_S* to, std::uint64_t key, ZRAND_S* from) {
  if (!to || !from) return zrand_status::kNullArgument;
  std::memcpy(to->Method, from->Method, sizeof to->Method);
  to->Seed = from->Seed;
  to->Thread = from->Thread;
  to->Functions = from->Functions;
  to->BlobSize = from->BlobSize;
  to->reb = from->reb;
  to->rangen = from->rangen;
  to->Jnlh = from->Jnlh;
  to->Check1 = from->Check1;
  to->Key = key;
  to->nrv = 1;
  // The clone draws from its own state area; without one there is nothing
  // to restart, and writing through a null area would corrupt memory.
  if (!to->Blob) {
    to->Status = zrand_status::kNullArgument;
    to->IsUsable = 0;
    return to->Status;
  }
  point_at_state(to, to->Blob);
  to->Status = 0;  // the status of this clone, not of an earlier use of `to`
  to->Status = zrand_rewind(to);
  return to->Status;
}

ZRAND_S* zrand_clone_qx(QXPoolh pool, std::uint64_t key, ZRAND_S* from) {
  if (!pool || !from) return nullptr;
  void* block = pool_allocate(pool, sizeof(ZRAND_S));
  if (!block) return nullptr;
  auto* to = new (block) ZRAND_S{};
  void* area = pool_allocate(pool, from->BlobSize);
  if (!area) {
    if (pool->memFree) pool->memFree(pool, block);
    return nullptr;
  }
  point_at_state(to, area);
  zrand_clone(to, key, from);
  return to;
}
