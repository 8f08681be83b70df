// The BOOTDATA= data set: the BY variables, the sample's number, seed and
// weighted SSE, and its estimates; one row per sample, failed ones with
// missing SSE and estimates.
#include <algorithm>
#include <cstring>

#include "host/services.h"
#include "procedure/data_set_rows.h"
#include "procedure/ruvacom.h"
#include "procedure/statement_lookup.h"
#include "profile/bootstrap.h"

namespace {

constexpr int kMsgNoStorage = 8;
constexpr int kMsgIndexLabel = 491, kMsgSeedLabel = 492, kMsgSseLabel = 493;
constexpr int kMaxLabel = 256;
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

void write_boot_rows(RUVACOM* ctx, const std::vector<double>& records) {
  RUVA_BOOTSTRAP_CONTROL* b = ctx->ruvabootstrap_control;
  if (!b->comp.p_out_xv) return;
  auto& row = b->out_data;
  const std::size_t width = static_cast<std::size_t>(ctx->nparm) + 3;
  for (std::size_t r = 0; r + width <= records.size(); r += width) {
    row.boot_index = records[r], row.seed = records[r + 1], row.sse = records[r + 2];
    std::copy(records.begin() + r + 3, records.begin() + r + width, row.parm_vals);
    append_row(b->data.fid, &row.xo, b->comp.p_out_xv, ctx->lastobsptr);
  }
}
