// The BOOTDATA= data set: the BY variables, the sample's number, seed and
// weighted SSE, and its estimates; one row per sample, failed ones with
// missing SSE and estimates. And the rows of the bootstrap graphs' data
// object, one per converged sample.
#include <algorithm>
#include <cstring>
#include <new>

#include "host/ext_refit_engine_qxprof.h"
#include "host/services.h"
#include "host/object_methods.h"
#include "procedure/data_set_rows.h"
#include "procedure/procedure_context.h"
#include "procedure/setup.h"
#include "procedure/statement_lookup.h"
#include "procedure/step_memory.h"
#include "profile/bootstrap.h"

namespace {

constexpr int kMsgNoStorage = 8;
constexpr int kMsgIndexLabel = 491, kMsgSeedLabel = 492, kMsgSseLabel = 493;
constexpr int kMaxLabel = 256;
constexpr std::int32_t kEmitRow = 329;
constexpr char kDataSetLabel[] = "RUVA BOOTSTRAP";

int define_fixed(RUVACOM* ctx, const char* name, int label_msg, const double* cell) {
  return define_labelled_variable(ctx->ruvabootstrap_control->comp.p_out_xv, ctx->fiddata, name, kNumeric, 8,
                                  label_msg, cell);
}

}  // namespace

int init_for_bootstrap_output(RUVACOM* ctx) {
  RUVA_BOOTSTRAP_CONTROL* b = ctx->ruvabootstrap_control;
  auto& row = b->out_data;
  xvputi(b->data.fid, ctx->nby + 3 + ctx->nparm, 32, &b->comp.p_out_xv);
  if (!b->comp.p_out_xv) {
    xpmlog(305, kMsgNoStorage);
    return 1;
  }
  describe_output_data_set(b->data.fid, "BOOT", kDataSetLabel);
  int rc = 0;
  if (ctx->nby > 0)
    rc |= xvputcv(b->comp.p_out_xv, ctx->fiddata, stmt_field(ctx->prochead, 0)->v.f.u.nlistx,
                  ctx->nby, 0);
  rc |= define_fixed(ctx, "_BOOT_INDEX_", kMsgIndexLabel, &row.boot_index);
  rc |= define_fixed(ctx, "_SEED_", kMsgSeedLabel, &row.seed);
  rc |= define_fixed(ctx, "_SSE_", kMsgSseLabel, &row.sse);
  for (int i = 0; i < ctx->nparm; ++i) {
    const CMPSYM* sym = ctx->parmsym->s[i];
    const char* label = nullptr;
    const int labellen = std::min(symbol_label(sym, &label), kMaxLabel);
    const OutputVariable v{kNumeric, 8, sym->name, sym->nameleng, label, labellen};
    rc |= define_output_variable(b->comp.p_out_xv, ctx->fiddata, v, &row.parm_vals[i], 0);
  }
  return rc | xvpute(b->comp.p_out_xv);
}

void define_unfilled_bootstrap_output(RUVACOM* ctx) {
  RUVA_BOOTSTRAP_CONTROL* b = ctx->ruvabootstrap_control;
  XO_FILE* requested = requested_bootstrap_data(ctx);
  if (!requested || (b && b->comp.p_out_xv)) return;
  if (!b) b = ctx->ruvabootstrap_control = new (ruva_new_or_exit<RUVA_BOOTSTRAP_CONTROL>()) RUVA_BOOTSTRAP_CONTROL();
  b->data.fid = requested;
  b->data.data_flag = 1;
  if (!b->out_data.parm_vals) b->out_data.parm_vals = ruva_new_or_exit<double>(std::max(ctx->nparm, 1));
  init_for_bootstrap_output(ctx);
}

int write_to_dataset(RUVACOM* ctx) {
  RUVA_BOOTSTRAP_CONTROL* b = ctx->ruvabootstrap_control;
  if (!b->data.fid || !b->comp.p_out_xv) return 1;
  auto& row = b->out_data;
  const int p = ctx->nparm;
  const double* rec = b->comp.single_boot_record;
  const std::vector<double>& failed = b->comp.run->failed;
  std::int64_t next_converged = 0;
  std::size_t next_failed = 0;
  // Both sources are in sample order: the merge gives the rows in order.
  for (int k = 1; k <= b->n_samples; ++k) {
    if (load_converged(ctx, next_converged) && static_cast<int>(rec[0]) == k) {
      ++next_converged;
    } else if (next_failed + p + 3 <= failed.size()) {
      rec = failed.data() + next_failed;
      next_failed += static_cast<std::size_t>(p) + 3;
    } else {
      return 1;
    }
    row.boot_index = rec[0], row.seed = rec[1], row.sse = rec[2];
    std::copy(rec + 3, rec + 3 + p, row.parm_vals);
    append_row(b->data.fid, &row.xo, b->comp.p_out_xv, ctx->lastobsptr);
    rec = b->comp.single_boot_record;
  }
  return 0;
}

int write_to_table(RUVACOM* ctx, int parm1_index, int parm2_index, wobop table) {
  RUVA_BOOTSTRAP_CONTROL* b = ctx->ruvabootstrap_control;
  const std::int64_t n = converged_count(ctx);
  if (n <= 0) return 1;
  const auto field = [](int parm) { return parm < 0 ? 2 : 3 + parm; };
  const double* rec = b->comp.single_boot_record;
  auto& cells = b->table_data;
  for (std::int64_t k = 0; k < n; ++k) {
    if (!load_converged(ctx, k)) return 1;
    cells.boot_index = static_cast<std::int32_t>(rec[0]);
    cells.parm_val1 = rec[field(parm1_index)];
    cells.parm_val2 = rec[field(parm2_index)];
    wobmth(table, nullptr, kEmitRow, 0, nullptr);
  }
  return 0;
}
