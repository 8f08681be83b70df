// A balanced (AVL) search tree over user records that begin with TREE. Keys
// are `len` bytes at byte offset `off` in each record, compared by memcmp,
// or unsigned 32-bit integers at `off` when `len` is 0.
#include <cstring>

#include "host/services.h"
#include "host/output_tables.h"

namespace {

int compare(const TREE* a, const TREE* b, int len, int off) {
  const auto* ka = reinterpret_cast<const unsigned char*>(a) + off;
  const auto* kb = reinterpret_cast<const unsigned char*>(b) + off;
  if (len > 0) return std::memcmp(ka, kb, static_cast<std::size_t>(len));
  std::uint32_t ua, ub;
  std::memcpy(&ua, ka, sizeof ua);
  std::memcpy(&ub, kb, sizeof ub);
  return ua < ub ? -1 : ua > ub ? 1 : 0;
}

TREE*& child(TREE* node, int side) { return side < 0 ? node->llink : node->rlink; }

// Restores balance at s, which leans to `a` by two after the insertion;
// returns the new root of that subtree.
TREE* rebalance(TREE* s, int a) {
  TREE* r = child(s, a);
  if (r->bal == a) {
    child(s, a) = child(r, -a);
    child(r, -a) = s;
    s->bal = r->bal = 0;
    return r;
  }
  TREE* p = child(r, -a);
  child(r, -a) = child(p, a);
  child(p, a) = r;
  child(s, a) = child(p, -a);
  child(p, -a) = s;
  s->bal = static_cast<std::int16_t>(p->bal == a ? -a : 0);
  r->bal = static_cast<std::int16_t>(p->bal == -a ? a : 0);
  p->bal = 0;
  return p;
}

}  // namespace

TREE* yolbdf(TREE** headptr, TREE* now, int len, int off, TreeCompareFn /*func*/) {
  now->llink = now->rlink = nullptr;
  now->bal = 0;
  if (!*headptr) return *headptr = now;
  TREE* parent_of_s = nullptr;  // parent of the rebalancing point
  TREE* s = *headptr;           // the last node on the path that leans
  for (TREE* p = *headptr;;) {
    const int cmp = compare(now, p, len, off);
    if (cmp == 0) return p;
    TREE* q = cmp < 0 ? p->llink : p->rlink;
    if (!q) {
      child(p, cmp < 0 ? -1 : 1) = now;
      break;
    }
    if (q->bal != 0) {
      parent_of_s = p;
      s = q;
    }
    p = q;
  }
  const int a = compare(now, s, len, off) < 0 ? -1 : 1;
  for (TREE* p = child(s, a); p != now;) {
    const int cmp = compare(now, p, len, off);
    if (cmp == 0) {
      xebug("ztrebld: invalid compare");
      return nullptr;
    }
    p->bal = static_cast<std::int16_t>(cmp < 0 ? -1 : 1);
    p = child(p, p->bal);
  }
  if (s->bal == 0) {
    s->bal = static_cast<std::int16_t>(a);
  } else if (s->bal == -a) {
    s->bal = 0;
  } else {
    TREE* top = rebalance(s, a);
    if (!parent_of_s) *headptr = top;
    else if (parent_of_s->rlink == s) parent_of_s->rlink = top;
    else parent_of_s->llink = top;
  }
  return now;
}

TREE* yolfdf(TREE** headptr, TREE* now, int len, int off, TreeCompareFn /*func*/) {
  for (TREE* p = *headptr; p;) {
    const int cmp = compare(now, p, len, off);
    if (cmp == 0) return p;
    p = cmp < 0 ? p->llink : p->rlink;
  }
  return nullptr;
}

TREE* yolbdf2(TREE**, TREE*, int, int, TreeCompareFn) { return nullptr; }
