// The converged samples of a bootstrap run on a record file of the
// record-file extension, which keeps a bounded part in memory and spills
// the rest to a temporary file, so that a run of any length holds at most
// that part; and the release of the run's extension objects.
#include <algorithm>
#include <cstring>

#include "host/ext_column_statistics_qxbstat.h"
#include "host/ext_refit_engine_qxprof.h"
#include "host/ext_tables_qxtab.h"
#include "host/services.h"
#include "procedure/procedure_context.h"
#include "profile/bootstrap.h"

namespace {

constexpr int kMsgNoRunMemory = 472;
// Bytes of sample records kept in memory; the rest of the file spills.
constexpr std::int64_t kSampleMemory = 1 << 20;

QXREC_INSTANCE* records(const RUVACOM* ctx) { return static_cast<QXREC_INSTANCE*>(ctx->insts.qxrec_inst_h); }

QXREC_FILE* converged_file(const RUVACOM* ctx) {
  return static_cast<QXREC_FILE*>(ctx->ruvabootstrap_control->comp.boot_success_file_h);
}

int no_memory(RUVACOM* ctx) {
  xpmlog(305, kMsgNoRunMemory);
  ctx->no_boot_flag = 1;
  xexit(1016, 0);
  return 1;
}

}  // namespace

int prepare_boot_qxrec_file(RUVACOM* ctx) {
  RUVA_BOOTSTRAP_CONTROL* b = ctx->ruvabootstrap_control;
  if (!ctx->insts.qxrec_inst_h) {
    auto* ext = static_cast<QXREC_EXTENSION*>(ctx->exts.qxrec_ext_h);
    ctx->insts.qxrec_inst_h = ext ? ext->create_instance(ext, nullptr) : nullptr;
  }
  QXREC_INSTANCE* inst = records(ctx);
  if (!inst) return no_memory(ctx);
  const std::int32_t length = (ctx->nparm + 3) * 8;
  // Fewer records in memory each time the file cannot be made.
  for (std::int64_t kept = b->n_samples; kept > 0 && !b->comp.boot_success_file_h; kept /= 2) {
    const QXREC_PARMS parms{length, kept, 1, nullptr, 0, std::min(kept * length, kSampleMemory)};
    b->comp.boot_success_file_h = inst->FactoryPtr->MakeFile(inst, &parms);
  }
  return b->comp.boot_success_file_h ? 0 : no_memory(ctx);
}

int add_converged_sample(RUVACOM* ctx) {
  QXREC_INSTANCE* inst = records(ctx);
  return inst->FactoryPtr->AddRecord(inst, converged_file(ctx), ctx->ruvabootstrap_control->comp.single_boot_record);
}

std::int64_t converged_count(RUVACOM* ctx) {
  QXREC_FILE* file = converged_file(ctx);
  std::int64_t n = 0;
  return file && file->FValueGet && file->FValueGet(file, QXREC_NRECS, &n, 0) == 0 ? n : 0;
}

bool load_converged(RUVACOM* ctx, std::int64_t k) {
  QXREC_INSTANCE* inst = records(ctx);
  QXREC_FILE* file = converged_file(ctx);
  return inst && file && inst->FactoryPtr->LoadRecord &&
         inst->FactoryPtr->LoadRecord(inst, file, k, ctx->ruvabootstrap_control->comp.single_boot_record) == 0;
}

bool converged_samples_readable(RUVACOM* ctx) {
  const std::int64_t n = converged_count(ctx);
  return n == 0 || load_converged(ctx, n - 1);
}

std::string converged_samples_failure(const RUVACOM* ctx) {
  QXREC_FILE* file = converged_file(ctx);
  std::int64_t error = 0;
  if (!file || file->FValueGet(file, QXREC_WRITE_ERROR, &error, 0) != 0 || error == 0)
    return "its records could not be read back";
  return std::strerror(static_cast<int>(error));
}

void release_boot_run_objects(RUVACOM* ctx) {
  auto& comp = ctx->ruvabootstrap_control->comp;
  if (QXREC_INSTANCE* inst = records(ctx); inst && comp.boot_success_file_h)
    inst->FactoryPtr->TruncateFile(inst, converged_file(ctx));
  comp.boot_success_file_h = nullptr;
  if (auto* tab = static_cast<QXTAB_INSTANCE*>(ctx->insts.qxtab_inst_h); tab && comp.tab_h) {
    auto* table = static_cast<QXTAB_TABLE*>(comp.tab_h);
    tab->FactoryPtr->DeleteTable(tab, nullptr, 0, &table);
  }
  comp.tab_h = nullptr;
  if (auto* stats = static_cast<QXBSTAT_INSTANCE*>(comp.qxbstat_inst_h)) {
    stats->FactoryPtr->DestroyInstance(&stats);
    comp.qxbstat_inst_h = nullptr;
  }
}
