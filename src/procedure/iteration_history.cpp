#include "procedure/iteration_history.h"

#include "host/services.h"
#include "host/object_methods.h"
#include "host/output_tables.h"
#include "procedure/procedure_context.h"

namespace {

constexpr int kSelCreate = 147, kSelColumn = 338, kSelEndDefinition = 298, kSelOpenOutput = 422;
constexpr int kSelRow = 329, kSelClose = 299, kSelRelease = 428, kSelTitles = 439, kSelNewSection = 435;
constexpr int kSelShowMessage = 358;
constexpr int kMessageKind = 108;
constexpr int kMsgDependent = 27, kMsgIterLabel = 48;
constexpr int kMsgEstimationLabel = 52, kMsgGridLabel = 53, kMsgPointLabel = 47;
constexpr const char* kTemplate = "stat.ruva.IterHistory";

wobop manager(const RUVACOM* ctx) { return static_cast<wobop>(ctx->yolman); }

// False (after the host's message, with `outfailed` set) for a failed request.
bool succeeded(RUVACOM* ctx, int rc) {
  if (rc >= 0) return true;
  xprrlog(0, rc);
  ctx->outfailed = 1;
  return false;
}

int method_message(char method) {
  switch (method) {
    case 'A': return 56;
    case 'R': return 58;
    case 'W': return 59;
    default: return 57;  // 'U'
  }
}

int objective_label(const RUVACOM* ctx) {
  if (ctx->weightflag) return ctx->lossflag ? 46 : 30;
  return ctx->lossflag ? 34 : 32;
}

bool set_title(RUVACOM* ctx, int line, xobskey text) {
  WOB_PARM_BLK_STR pb[4] = {WOB_PARM_BLK_STR{}, wob_int(440, line), wob_int(148, -1), wob_text(577, text)};
  return succeeded(ctx, wobmth(manager(ctx), nullptr, kSelTitles, 4, pb));
}

bool titles(RUVACOM* ctx, int type) {
  const xobskey dependent = yolmsgs(305, kMsgDependent, static_cast<int>(ctx->depname.l), ctx->depname.s);
  if (!set_title(ctx, 2, dependent)) return false;
  return type != kHistoryEstimation || set_title(ctx, 3, yolmsg(305, method_message(ctx->method)));
}

bool create_table(RUVACOM* ctx, int type) {
  const int label = type == kHistoryEstimation ? kMsgEstimationLabel : kMsgGridLabel;
  WOB_PARM_BLK_STR pb[7] = {wob_chars(143, "yol", 3),        wob_chars(146, "data", 4),
                            wob_object(144, nullptr),        wob_int(148, -1),
                            wob_int(332, 1),                 wob_text(296, yolmsg(305, label)),
                            wob_text(138, yoltxt("IterHistory", -1))};
  if (!succeeded(ctx, wobmth(manager(ctx), nullptr, kSelCreate, 7, pb))) return false;
  ctx->data = pb[2].d.op;
  return true;
}

// The grid point's number: the listing starts every panel with it where
// the parameters that vary leave no room beside them for the others.
bool point_column(RUVACOM* ctx, wobop data) {
  WOB_PARM_BLK_STR pb[7] = {wob_int(272, 6),       wob_int(270, 0),
                            wob_text(138, yoltxt("Point", -1)), wob_text(296, yolmsg(305, kMsgPointLabel)),
                            wob_cell(285, &ctx->grid_point),    wob_int(103, 3),
                            wob_text(339, yoltxt("gridpoint", -1))};
  return succeeded(ctx, wobmth(data, nullptr, kSelColumn, 7, pb));
}

bool define_columns(RUVACOM* ctx, int type) {
  auto* data = static_cast<wobop>(ctx->data);
  if (type == kHistoryEstimation && yolinsc(data, yolmsg(305, kMsgIterLabel), "Iter", "s", &ctx->iter) != 0) {
    ctx->outfailed = 1;
    return false;
  }
  if (type != kHistoryEstimation && !point_column(ctx, data)) return false;
  for (int i = 0; i < ctx->nparm; ++i) {
    const xobskey name = yoltxt(ctx->pname[i], -1);
    WOB_PARM_BLK_STR pb[7] = {wob_int(272, 12),         wob_int(270, 89),      wob_text(138, name),
                              wob_text(296, name),      wob_cell(285, &ctx->parm[i]), wob_int(103, 5),
                              wob_text(339, yoltxt("parameter", -1))};
    if (!succeeded(ctx, wobmth(data, nullptr, kSelColumn, 7, pb))) return false;
  }
  if (yolinsc(data, yolmsg(305, objective_label(ctx)), "SSE", "g", &ctx->sse) != 0) {
    ctx->outfailed = 1;
    return false;
  }
  return succeeded(ctx, wobmth(data, nullptr, kSelEndDefinition, 0, nullptr));
}

bool open_output(RUVACOM* ctx) {
  WOB_PARM_BLK_STR pb[3] = {wob_object(0, nullptr), wob_object(0, static_cast<wobop>(ctx->data)),
                            wob_text(339, yoltxt(kTemplate, -1))};
  if (!succeeded(ctx, wobmth(manager(ctx), nullptr, kSelOpenOutput, 3, pb))) return false;
  ctx->output = pb[0].d.op;
  return true;
}

}  // namespace

void add_history_row(RUVACOM* ctx) {
  if (ctx->data) wobmth(static_cast<wobop>(ctx->data), nullptr, kSelRow, 0, nullptr);
}

int close_history(RUVACOM* ctx) {
  if (!ctx->data) return 0;
  int rc = wobmth(static_cast<wobop>(ctx->data), nullptr, kSelClose, 0, nullptr);
  ctx->data = nullptr;
  // A table whose definition failed was never opened: no output to release.
  if (rc >= 0 && ctx->output) {
    WOB_PARM_BLK_STR release = wob_object(0, static_cast<wobop>(ctx->output));
    rc = wobmth(manager(ctx), nullptr, kSelRelease, 1, &release);
  }
  ctx->output = nullptr;
  if (rc < 0) xprrlog(0, rc);
  return rc < 0 ? rc : 0;
}

void jovprt(int type, RUVACOM* ctx) {
  if (ctx->noprint || ctx->noitprint) return;
  const bool first = ctx->data == nullptr;
  if (!first && close_history(ctx) != 0) {
    ctx->outfailed = 1;
    return;
  }
  if (!titles(ctx, type)) return;
  if (first) wobmth(manager(ctx), nullptr, kSelNewSection, 0, nullptr);
  if (create_table(ctx, type) && define_columns(ctx, type)) open_output(ctx);
}

void show_note(RUVACOM* ctx, xobskey text) {
  WOB_PARM_BLK_STR pb[2] = {wob_text(577, text), wob_byte(273, kMessageKind)};
  wobmth(manager(ctx), nullptr, kSelShowMessage, 2, pb);
}
