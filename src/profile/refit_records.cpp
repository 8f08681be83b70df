// The BY group's used observations as fixed-length records of the record
// file, the engine's data reader over them, and the computed variables (the
// response and the CONTROL variables) of reference, profile and jackknife
// refits.
#include <algorithm>
#include <cstring>

#include "host/missing.h"
#include "host/services.h"
#include "procedure/observation_pass.h"
#include "procedure/step_memory.h"
#include "procedure/procedure_context.h"
#include "profile/refit_client.h"
#include "profile/profiling.h"

namespace {

constexpr int kMsgNoMemory = 431, kMsgNoTaskMemory = 472;

QXREC_INSTANCE* record_instance(const RUVACOM* ctx) {
  return static_cast<QXREC_INSTANCE*>(ctx->insts.qxrec_inst_h);
}

std::int32_t field_size(const CMPSYM* s) {
  return ((cmp_character(s) ? s->length : 8) + 7) / 8 * 8;
}

bool used(const RUVACOM* ctx, long i) {
  return ctx->obs_computable_flag && i / 8 < ctx->obs_computable_bytes &&
         (ctx->obs_computable_flag[i / 8] & (0x80u >> (i % 8))) != 0;
}

// The current observation's input variables packed at their offsets; the
// padding stays zero.
void pack_record(const RUVACOM* ctx, unsigned char* record) {
  const PROF_BOOT_COMMON_BLOCK& q = ctx->qxprof_block;
  std::int32_t offset = 0;
  for (std::int32_t i = 0; i < q.vars->n; ++i) {
    const CMPSYM* s = q.vars->s[i];
    if (s == q.computed_dep) continue;
    std::memcpy(record + offset, q.var_ptrs[i],
                static_cast<std::size_t>(cmp_character(s) ? s->length : 8));
    offset += field_size(s);
  }
}

// The record file sized for the group; a model that reads no input
// variable but the response has empty records, all of which fit in memory.
QXREC_FILE* make_file(RUVACOM* ctx) {
  const std::int32_t size = ctx->qxprof_block.record_size;
  const std::int64_t group = std::max<std::int64_t>(ctx->nobs, 1);
  QXREC_PARMS parms{};
  parms.RecLen = size;
  parms.nUtRec =
      size > 0
          ? std::min<std::int64_t>(
                static_cast<std::int64_t>(QXREC_BUF_SIZE / static_cast<std::uint64_t>(size)), group)
          : group;
  parms.flags = 1;
  QXREC_INSTANCE* inst = record_instance(ctx);
  return inst->FactoryPtr->MakeFile(inst, &parms);
}

}  // namespace

void** init_for_data_reader(RUVACOM* ctx) {
  PROF_BOOT_COMMON_BLOCK& q = ctx->qxprof_block;
  q.var_ptrs = ruva_new<void*>(std::max(q.vars->n, 1));
  if (!q.var_ptrs) {
    xpmlog(305, kMsgNoTaskMemory);
    xexit(1016, 0);
  }
  for (std::int32_t i = 0; i < q.vars->n; ++i) q.var_ptrs[i] = q.vars->s[i]->data;
  return q.var_ptrs;
}

int put_data_qxrec(RUVACOM* ctx, int kind) {
  PROF_BOOT_COMMON_BLOCK& q = ctx->qxprof_block;
  if (ctx->ruvaprofile_control) ++q.n_qxrec_file_users;
  if (ctx->ruvabootstrap_control) ++q.n_qxrec_file_users;
  init_for_data_reader(ctx);
  if (!ctx->insts.qxrec_inst_h) {
    auto* ext = static_cast<QXREC_EXTENSION*>(ctx->exts.qxrec_ext_h);
    ctx->insts.qxrec_inst_h = ext ? ext->create_instance(ext, nullptr) : nullptr;
    if (!ctx->insts.qxrec_inst_h) {
      xpmlog(305, kMsgNoMemory);
      return 1;
    }
  }
  if (!(q.qxrec_file_h = make_file(ctx))) return 1;
  // The observed responses serve the check that the refits reproduce the
  // fit, and profiling's refits; they live as long as the file.
  q.fit_reproduced = 0;
  double* responses = q.used_responses = ruva_new_or_exit<double>(std::max(ctx->iobs, 1L));
  if (kind == kRefitProfile && ctx->ruvaprofile_control)
    ctx->ruvaprofile_control->comp.y_obs_ptr = responses;
  QXREC_INSTANCE* inst = record_instance(ctx);
  std::vector<unsigned char> record(static_cast<std::size_t>(std::max(q.record_size, 1)));
  long k = 0;
  // The record takes the variables before the program runs: the refits run
  // the program on it again, so a variable it changes in place (x = log(x))
  // must reach them as the data set holds it. The response is the one the
  // program leaves.
  observation_pass(
      ctx, [&](long) { pack_record(ctx, record.data()); },
      [&](long i, bool ran) {
        if (!ran || !used(ctx, i)) return;
        inst->FactoryPtr->AddRecord(inst, q.qxrec_file_h, record.data());
        if (k < std::max(ctx->iobs, 1L)) responses[k] = *ctx->depval;
        ++k;
      });
  return 0;
}

void release_qxrec_file(RUVACOM* ctx) {
  PROF_BOOT_COMMON_BLOCK& q = ctx->qxprof_block;
  if (q.n_qxrec_file_users > 0) --q.n_qxrec_file_users;
  if (q.n_qxrec_file_users == 0) close_qxrec_file(ctx);
}

void close_qxrec_file(RUVACOM* ctx) {
  PROF_BOOT_COMMON_BLOCK& q = ctx->qxprof_block;
  q.n_qxrec_file_users = 0;
  ruva_free(q.used_responses);
  q.used_responses = nullptr;
  if (ctx->ruvaprofile_control) ctx->ruvaprofile_control->comp.y_obs_ptr = nullptr;
  if (!q.qxrec_file_h) return;
  QXREC_INSTANCE* inst = record_instance(ctx);
  if (inst) inst->FactoryPtr->TruncateFile(inst, q.qxrec_file_h);
  q.qxrec_file_h = nullptr;
}

int data_reader(QXPROF_DATA_CB_ARGS* args) {
  auto* ctx = static_cast<RUVACOM*>(args->d_user_ptr);
  QXREC_INSTANCE* inst = record_instance(ctx);
  const std::int32_t start = ctx->read_status == SUBSEQUENT ? ctx->comp_obs_index : 0;
  args->first_obs_index = start;
  args->n_act_recs_read = 0;
  auto* buffer = static_cast<unsigned char*>(args->buffer);
  while (args->n_act_recs_read < args->n_recs_to_read &&
         inst->FactoryPtr->LoadRecord(
             inst, ctx->qxprof_block.qxrec_file_h, start + args->n_act_recs_read,
             buffer + static_cast<std::ptrdiff_t>(args->n_act_recs_read) * args->buf_rec_size) == 0)
    ++args->n_act_recs_read;
  if (args->n_act_recs_read == 0) args->first_obs_index = -1;
  const std::int32_t next = start + args->n_act_recs_read;
  if (args->n_act_recs_read == args->n_recs_to_read && next != ctx->iobs) {
    ctx->read_status = SUBSEQUENT;
    ctx->comp_obs_index = next;
    return 0;
  }
  ctx->read_status = START;
  ctx->comp_obs_index = 0;
  return -1;
}

namespace {

// Rows of the observed responses `y` (and the CONTROL variables, one row a call).
int observed_rows(RUVACOM* ctx, const double* y, QXPROF_COMP_VARS_CB_ARGS* args) {
  if (!y) return 1;
  if (n_control_vars(ctx) == 0) {
    std::copy_n(y + args->first_obs_index, args->n_rows_to_compute, args->comp_buffer);
  } else {
    if (args->n_rows_to_compute != 1) return 1;
    args->comp_buffer[0] = y[args->first_obs_index];
    if (set_control_vars_for_qxprof(ctx, args, args->comp_buffer + 1) != 0) return 1;
  }
  args->n_rows_computed = args->n_rows_to_compute;
  return 0;
}

}  // namespace

int computed_vars_cb_for_prof_jack(QXPROF_COMP_VARS_CB_ARGS* args) {
  auto* ctx = static_cast<RUVACOM*>(args->t_user_ptr);
  return observed_rows(
      ctx, ctx->ruvaprofile_control ? ctx->ruvaprofile_control->comp.y_obs_ptr : nullptr, args);
}

int computed_vars_cb_for_fit_check(QXPROF_COMP_VARS_CB_ARGS* args) {
  auto* ctx = static_cast<RUVACOM*>(args->t_user_ptr);
  return observed_rows(ctx, ctx->qxprof_block.used_responses, args);
}

int set_control_vars_for_qxprof(RUVACOM* ctx, QXPROF_COMP_VARS_CB_ARGS* args, double* dest) {
  const QXPROF_LAG_INFO& lag = args->lag_info;
  for (std::int32_t i = 0; i < n_control_vars(ctx); ++i) {
    const CMPSYM* s = ctx->control->s[i];
    // A pass starts each at its initial value; without one it starts
    // missing, as in the fit's pass.
    if (args->n_prev_cb_calls == 0) {
      dest[i] = s->ninit > 0 && s->init ? s->init[0] : missing_value();
      continue;
    }
    if (i >= lag.n_lag_vars || lag.lag_vars_max_lag[i] != 1) return 1;
    dest[i] = *lag.vals_ptr_ptr[i];
  }
  return 0;
}

bool used_observation(const RUVACOM* ctx, long i) { return used(ctx, i); }

long used_obs_number(const RUVACOM* ctx, long k) {
  for (long i = 0, seen = 0; i < ctx->obs_computable_bytes * 8; ++i)
    if (used(ctx, i) && seen++ == k) return i + 1;
  return k + 1;
}
