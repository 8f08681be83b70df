// The rows of the bootstrap graphs' data object: one per converged sample
// in the record file, in file order, with the sample's index and the two
// values asked for (an estimate, or the SSE for index -1), committed to the
// object through its row method; none without samples.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "host/ext_refit_engine_qxprof.h"
#include "host/object_methods.h"
#include "platform/kernel/kernel_library.h"
#include "procedure/procedure_context.h"
#include "profile/bootstrap.h"

namespace {

struct Row {
  std::int32_t index;
  double v1, v2;
};
std::vector<Row> g_rows;
const RUVA_BOOTSTRAP_CONTROL* g_control = nullptr;

std::int32_t commit(WOB_OBJ_STR*, void*, std::int32_t, std::int32_t, WOB_PARM_BLK_STR*) {
  const auto& d = g_control->table_data;
  g_rows.push_back({d.boot_index, d.parm_val1, d.parm_val2});
  return 0;
}

TEST(BootstrapGraphRows, OnePerConvergedSample) {
  auto* ext = static_cast<QXREC_EXTENSION*>(platform::create_extension("qxrec"));
  QXREC_INSTANCE* inst = ext->create_instance(ext, nullptr);
  auto ctx = std::make_unique<RUVACOM>();
  RUVA_BOOTSTRAP_CONTROL control{};
  double record[5];
  ctx->nparm = 2;
  ctx->ruvabootstrap_control = &control;
  ctx->insts.qxrec_inst_h = inst;
  control.comp.single_boot_record = record;
  g_control = &control;
  // A data object whose only method is the row commit (selector 329).
  WOB_ENT_STR ent{&commit, {nullptr}, 0, 0, 0};
  WOB_EXPRESS_STR express{nullptr, nullptr, &ent, 329};
  WOB_EXPRESS_STR* buckets[1] = {&express};
  WOB_MA_TBL_STR cls{};
  cls.mth_tbl = buckets;
  WOB_OBJ_STR object{&cls, nullptr, nullptr, nullptr};

  const QXREC_PARMS parms{40, 10, 1, nullptr, 0, 0};
  QXREC_FILE* file = inst->FactoryPtr->MakeFile(inst, &parms);
  control.comp.boot_success_file_h = file;
  EXPECT_EQ(write_to_table(ctx.get(), 0, 1, &object), 1);  // no sample yet
  EXPECT_TRUE(g_rows.empty());
  const double samples[3][5] = {{1, 7, 10.5, 200, 0.06}, {3, 7, 11.5, 210, 0.07}, {4, 7, 9.5, 190, 0.05}};
  for (const auto& s : samples) inst->FactoryPtr->AddRecord(inst, file, s);
  EXPECT_EQ(write_to_table(ctx.get(), 0, 1, &object), 0);
  EXPECT_EQ(write_to_table(ctx.get(), 1, -1, &object), 0);
  ASSERT_EQ(g_rows.size(), 6u);
  for (int r = 0; r < 3; ++r) {
    EXPECT_EQ(g_rows[r].index, static_cast<std::int32_t>(samples[r][0]));
    EXPECT_EQ(g_rows[r].v1, samples[r][3]);
    EXPECT_EQ(g_rows[r].v2, samples[r][4]);
    EXPECT_EQ(g_rows[3 + r].v1, samples[r][4]);
    EXPECT_EQ(g_rows[3 + r].v2, samples[r][2]);
  }
  inst->gen.destroy(inst);
  ext->gen.destroy(ext);
}

}  // namespace
