// One batch of refit tasks through the engine: the instance is made and the
// model declared at the step's first batch, reset for every later one.
#include <new>

#include "procedure/procedure_context.h"
#include "profile/refit_client.h"

std::vector<QXPROF_RESULT*> run_refit_batch(RUVACOM* ctx, int n, int batch_index, int p_index,
                                            int task_type) {
  const QXPROF_DATA_DESC data{ctx->iobs, ctx->qxprof_block.record_size, ctx, data_reader};
  auto* inst = static_cast<QXPROF_INSTANCE*>(ctx->insts.prof_inst_h);
  if (!inst) {
    if (interface_model(ctx, &data, n) != 0) return {};
    inst = static_cast<QXPROF_INSTANCE*>(ctx->insts.prof_inst_h);
  } else if (inst->FactoryPtr->reset(inst, nullptr, &data, n, 0) != 0) {
    return {};
  }
  std::vector<QXPROF_TASK_DESC> tasks(static_cast<std::size_t>(n));
  std::vector<QXPROF_RESULT*> results(static_cast<std::size_t>(n));
  const QXPROF_FACTORY& ops = *inst->FactoryPtr;
  if (define_tasks(ctx, tasks.data(), batch_index, n, p_index, task_type) != 0 || ops.profile(inst, nullptr) != 0)
    return {};
  const int waited = ops.wait_until_done(inst, nullptr);
  // A refit thread that ran out of memory stopped the batch: the step ends
  // as when its own thread runs out (return code 1016, one message, no
  // output data set kept half-written).
  if (waited == QXPROF_OUT_OF_MEMORY) throw std::bad_alloc();
  if (waited != 0 || ops.get_results_by_id_array(inst, nullptr, nullptr, -1, results.data()) != 0) return {};
  return results;
}
