// The step's output manager: made through the output service's root object
// when the statements are parsed, with the procedure's title as title line 1.
#include "host/globals.h"
#include "host/pool.h"
#include "host/services.h"
#include "host/object_methods.h"
#include "procedure/statement_parsing.h"

namespace {
constexpr int kCreate = 147;
constexpr int kSetTitles = 439;
constexpr int kNewSection = 435;
constexpr int kMsgProcedureTitle = 82;
}  // namespace

int create_output_manager(RUVAPARSE* ruva) {
  auto* root = static_cast<wobop>(vmalcp_handler(task_pool(), sizeof(WOB_OBJ_STR), kPoolCleared));
  if (!root) xexit(1016, 0);
  xobinit(root);
  WOB_PARM_BLK_STR create[3] = {wob_chars(143, "yol", 3), wob_chars(146, "manager", 7), wob_object(144, nullptr)};
  if (const std::int32_t rc = wobmth(root, nullptr, kCreate, 3, create); rc < 0) return rc;
  auto* manager = create[2].d.op;
  ruva->yolman = manager;
  WOB_PARM_BLK_STR title[4] = {wob_int(440, 1), wob_int(2558, 1), wob_int(148, -1),
                               wob_text(577, yolmsg(305, kMsgProcedureTitle))};
  wobmth(manager, nullptr, kSetTitles, 4, title);
  wobmth(manager, nullptr, kNewSection, 0, nullptr);
  return 0;
}
