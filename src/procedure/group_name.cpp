#include "procedure/group_name.h"

#include "host/dataset_types.h"
#include "host/services.h"
#include "procedure/procedure_context.h"

namespace {
constexpr int kMsgTheData = 990, kMsgTheGroup = 991;
}  // namespace

std::string group_name(const RUVACOM* ctx) {
  XO_BYGROUP group{};
  char text[sizeof group.text + 32];
  if (ctx->nby && xoinfo(ctx->fiddata, kXoByGroupText, &group) == 0 && group.text[0])
    xpmstr(text, sizeof text, 305, kMsgTheGroup, group.text);
  else
    xpmstr(text, sizeof text, 305, kMsgTheData);
  return text;
}

std::string by_group_phrase(const RUVACOM* ctx) { return ctx->nby < 1 ? "" : " in " + group_name(ctx); }
