// Values kept under text keys in the output service's symbol objects, and
// the destination test.
#include "host/services.h"
#include "host/output_tables.h"

namespace {
constexpr int kSetValue = 164, kGetValue = 175;
constexpr char kParentKey[] = "^P_S_T^";

WOB_PARM_BLK_STR empty_slot() { return wob_blocks(0, nullptr, 0); }

bool no_value(int rc) {
  return (static_cast<std::uint32_t>(rc) & kWobNoValueMask) == static_cast<std::uint32_t>(kWobNoValue);
}
}  // namespace

int yoladvl(wobop sym, xobskey key, WOB_PARM_BLK_STR* val, int copy) {
  WOB_PARM_BLK_STR pb[2] = {wob_text(0, key), copy ? *val : wob_blocks(0, val, 1)};
  return wobmth(sym, nullptr, kSetValue, 2, pb);
}

WOB_PARM_BLK_STR yolscvl(wobop sym, xobskey key, int search) {
  WOB_PARM_BLK_STR pb[2] = {wob_text(0, key), empty_slot()};
  int rc = wobmth(sym, nullptr, kGetValue, 2, pb);
  wobop table = sym;
  while (no_value(rc) && search) {
    WOB_PARM_BLK_STR up[2] = {wob_chars(0, kParentKey, 7), empty_slot()};
    if (wobmth(table, nullptr, kGetValue, 2, up) != 0 || up[1].type != kWobObject || !up[1].d.op) return {};
    table = up[1].d.op;
    pb[1] = empty_slot();
    rc = wobmth(table, nullptr, kGetValue, 2, pb);
  }
  // A found value comes back as a block holding the stored one.
  if (rc != 0 || pb[1].type != kWobBlocks || !pb[1].d.ary.p.pbp) return {};
  return *pb[1].d.ary.p.pbp;
}

int yolqbit(void* /*reb*/, std::uint32_t dest) {
  const YOLGCB* gcb = yolggcb();
  if (!gcb) return 0;
  return (gcb->destinations & dest) != 0 ? 1 : 0;
}
