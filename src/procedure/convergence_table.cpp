// The ConvergenceStatus table: one row, the status code and its reason.
#include "host/services.h"
#include "host/object_methods.h"
#include "procedure/convergence_status.h"
#include "procedure/procedure_context.h"

namespace {

constexpr int kSelCreate = 147, kSelColumn = 338, kSelEndDefinition = 298, kSelOpenOutput = 422;
constexpr int kSelRow = 329, kSelClose = 299, kSelRelease = 428;
constexpr int kMsgTableLabel = 54;
constexpr int kMsgConverged = 20, kMsgNotConverged = 21, kMsgWarned = 109;
constexpr int kMsgStepWarning = 117, kMsgSetupWarning = 118, kMsgGroupWarning = 119;
constexpr int kWideText = -256;

struct Status {
  std::int32_t code;
  int message;
};

Status decide(const RUVACOM* ctx, int converged, bool warn) {
  if (converged != 1) return {3, kMsgNotConverged};
  if (ctx->rcby == 4) return {2, ctx->nby == 0 ? kMsgStepWarning : kMsgGroupWarning};
  if (ctx->rcinit == 4) {
    if (ctx->nby == 0) return {2, kMsgStepWarning};
    return {2, ctx->rcby > 3 ? kMsgGroupWarning : kMsgSetupWarning};
  }
  if (warn) return {1, kMsgWarned};
  return {0, kMsgConverged};
}

wobop create_table(wobop manager) {
  WOB_PARM_BLK_STR pb[7] = {wob_chars(143, "yol", 3),       wob_chars(146, "data", 4),
                            wob_object(144, nullptr),       wob_int(148, -1),
                            wob_int(333, 1),                wob_text(138, yoltxt("ConvergenceStatus", -1)),
                            wob_text(296, yolmsg(305, kMsgTableLabel))};
  return wobmth(manager, nullptr, kSelCreate, 7, pb) < 0 ? nullptr : pb[2].d.op;
}

void define_columns(wobop table, std::int32_t* code, xobskey* reason) {
  WOB_PARM_BLK_STR status[3] = {wob_int(103, 3), wob_text(138, yoltxt("Status", -1)), wob_cell(285, code)};
  wobmth(table, nullptr, kSelColumn, 3, status);
  WOB_PARM_BLK_STR text[4] = {wob_int(103, 66), wob_text(138, yoltxt("Reason", -1)), wob_cell(285, reason),
                              wob_int(289, kWideText)};
  wobmth(table, nullptr, kSelColumn, 4, text);
  wobmth(table, nullptr, kSelEndDefinition, 0, nullptr);
}

}  // namespace

// The results of the table's requests are not acted on: the status is
// known to the caller whether or not it is shown.
void show_convergence_table(RUVACOM* ctx, int converged, bool warn) {
  auto* manager = static_cast<wobop>(ctx->yolman);
  wobop table = create_table(manager);
  if (!table) return;
  const Status status = decide(ctx, converged, warn);
  std::int32_t code = status.code;
  // The table stands under the group's BY line: the reasons that can
  // name a group in the log do not here.
  xobskey reason = yolmsgs(305, status.message, "");
  define_columns(table, &code, &reason);
  WOB_PARM_BLK_STR open[3] = {wob_object(0, nullptr), wob_object(0, table),
                              wob_text(339, yoltxt("Stat.ruva.ConvergenceStatus", -1))};
  wobmth(manager, nullptr, kSelOpenOutput, 3, open);
  wobmth(table, nullptr, kSelRow, 0, nullptr);
  wobmth(table, nullptr, kSelClose, 0, nullptr);
  WOB_PARM_BLK_STR release = wob_object(0, open[0].d.op);
  wobmth(manager, nullptr, kSelRelease, 1, &release);
}
