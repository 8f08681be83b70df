#include "host/object_methods.h"

std::int32_t wobmth(wobop obj, WOB_MA_TBL_STR* sst, std::int32_t sel, std::int32_t np,
                    WOB_PARM_BLK_STR* pb) {
  if (!sst && !obj) return kWobNoMethod;
  for (WOB_MA_TBL_STR* t = sst ? sst : obj->clsh; t; t = t->super) {
    const auto bucket = static_cast<std::int32_t>(static_cast<std::uint32_t>(sel) & t->mth_mask);
    for (WOB_EXPRESS_STR* e = t->mth_tbl[bucket]; e; e = e->next)
      if (e->id == sel) return e->ent->func(obj, e->mcoh, e->ent->id, np, pb);
  }
  return kWobNoMethod;
}

std::int32_t wob_end_group(wobop group) {
  if (!group || !group->clsh) return kWobNoMethod;
  const WOB_ZOOM_STR& end = group->clsh->zoom[3];
  if (!end.ent || !end.ent->func) return kWobNoMethod;
  constexpr std::int32_t kEndCode = 4;
  return end.ent->func(group, end.mcoh, kEndCode, 0, nullptr);
}
