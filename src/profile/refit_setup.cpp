// The refit engine's description of the model, built once per step after a
// fit: the variables the engine reads, the model text, the record size and
// the BOUNDS constraints; and the engine instance with its parameters and
// variables declared.
#include <cstring>

#include "host/services.h"
#include "procedure/model_text.h"
#include "procedure/procedure_context.h"
#include "procedure/statement_lookup.h"
#include "procedure/step_memory.h"
#include "profile/refit_client.h"

namespace {

constexpr int kMsgNoMemory = 431, kMsgModelText = 438;

bool is_dataset_var(const CMPSYM* s) {
  return s && s->dsvarno >= 1;
}

// What each record holds: the data set variables, and the parameters the
// model was found not to depend on. The program may still read such a
// parameter (d*0, or a condition), and the fit's pass reads the value the
// fit left in it; the refits read that value from the record, so that they
// run the program as the fit did and their estimates of the other
// parameters are those of the model without it.
bool is_record_var(const RUVACOM* ctx, const CMPSYM* s) {
  return is_dataset_var(s) || (s && dropped_parameter(ctx, s));
}

void add_if_record_var(RUVACOM* ctx, CMPSYM* s) {
  if (is_record_var(ctx, s)) cmplstx(ctx->qxprof_block.vars, s, &ctx->globcmp);
}

void add_inputs_of(RUVACOM* ctx, CMPSYM* s) {
  CMPGLOBAL* g = &ctx->globcmp;
  if (!s || cmpdeps(g, s, 0, 0, 0) <= 0) return;
  for (CMPSYM* d = cmpndep(g, s, nullptr, 0, 0); d; d = cmpndep(g, s, d, 0, 0))
    add_if_record_var(ctx, d);
}

// Each MODEL statement as the assignment of its right-hand side to the
// MODEL. symbol, in program order; false (after 305/438) for one without "=".
bool model_assignments(RUVACOM* ctx, std::vector<std::string>* out) {
  const CMPSYM* y = ctx->qxprof_block.model_dep;
  CMPSTMT* cursor = nullptr;
  CMPSRC src{};
  while (cmplsrc(&ctx->globcmp, &cursor, 0, 0, &src, 0)) {
    const std::int32_t label = label_part(src);
    if (!begins_with_model(src.text + label, src.length - label)) continue;
    const std::string text(src.text, static_cast<std::size_t>(src.length));
    const std::size_t start = static_cast<std::size_t>(label);
    const std::size_t eq = text.find('=', start);
    if (eq == std::string::npos) {
      xpmlog(305, kMsgModelText);
      return false;
    }
    out->push_back(std::string(y->name, static_cast<std::size_t>(y->nameleng)) + " " +
                   text.substr(eq) + " ");
  }
  return true;
}

// The bootstrap of a response the program computes needs the text without
// the statements that compute it: the block is built again from the second
// copy by the next caller.
bool needs_second_build(const RUVACOM* ctx) {
  return ctx->isDepComputed && ctx->is_bootstrap_spec && !ctx->bootCompStrt;
}

void use_second_copy(RUVACOM* ctx) {
  ctx->qxcmp_model_text = ctx->qxcmp_model_text1;
  ctx->qxcmp_model_text_len = ctx->qxcmp_model_text_len1;
  ctx->model_text_loc = ctx->model_text_loc1;
  std::memcpy(ctx->mmodel_text_loc, ctx->mmodel_text_loc1, sizeof ctx->mmodel_text_loc);
}

std::int32_t value_size(const CMPSYM* s) {
  return cmp_character(s) ? s->length : 8;
}

}  // namespace

std::int32_t n_control_vars(const RUVACOM* ctx) {
  return ctx->control ? ctx->control->n : 0;
}

int get_model_vars(RUVACOM* ctx) {
  PROF_BOOT_COMMON_BLOCK& q = ctx->qxprof_block;
  CMPGLOBAL* g = &ctx->globcmp;
  if (!ctx->depsym || ctx->depsym->n < 1 || !(q.vars = ruva_new<CMPLIST>())) return 1;
  q.model_dep = ctx->depsym->s[0];
  CMPSYM* dep = ctx->inputdepsym && ctx->inputdepsym->n > 0 ? ctx->inputdepsym->s[0] : nullptr;
  // A response the program assigns (y = log(y), or one it computes) reaches
  // the refits as the fit's pass left it, in a variable of its own: the
  // record keeps the data set's value for the program to read.
  const bool as_read = is_dataset_var(dep) && !cmp_assigned(dep);
  q.computed_dep = as_read ? dep : cmpsymd(COMPUTED_DEP_NAME, 16, 'v', 'n', g);
  if (!q.computed_dep || cmplstx(q.vars, q.computed_dep, g) != 0) return 1;
  add_inputs_of(ctx, q.model_dep);
  for (CMPSYM* s = cmplstv(g); s; s = s->next) add_if_record_var(ctx, s);
  if (ctx->weightflag) {
    CMPSYM* w = cmpsyms("_WEIGHT_", 8, g);
    add_if_record_var(ctx, w);
    add_inputs_of(ctx, w);
  }
  for (std::int32_t i = 0; i < n_control_vars(ctx); ++i) cmplstd(q.vars, ctx->control->s[i], g);
  return 0;
}

int setup_qxprof_block(RUVACOM* ctx) {
  PROF_BOOT_COMMON_BLOCK& q = ctx->qxprof_block;
  if (alloc_req_memory(ctx) != 0 || get_model_vars(ctx) != 0) {
    xpmlog(305, kMsgNoMemory);
    return 1;
  }
  std::vector<std::string> models;
  if (!model_assignments(ctx, &models)) return 1;
  if (construct_qxcmp_model_text(ctx, models, wsse_text(ctx)) != 0) {
    xpmlog(305, kMsgNoMemory);
    return 1;
  }
  q.model_text = ctx->qxcmp_model_text;
  q.model_text_len = ctx->qxcmp_model_text_len;
  if (insert_char_var_length_text(ctx) != 0) {
    xpmlog(305, kMsgNoMemory);
    return 1;
  }
  consider_bounds(ctx);
  q.record_size = get_record_size(ctx);
  if (needs_second_build(ctx)) {
    q.is_setup = 0;
    use_second_copy(ctx);
  } else {
    q.is_setup = 1;
  }
  return 0;
}

void fill_qxprof_parms(RUVACOM* ctx, const QXPROF_DATA_DESC* data, std::int32_t n_tasks,
                       QXPROF_PARMS* parms) {
  const PROF_BOOT_COMMON_BLOCK& q = ctx->qxprof_block;
  const std::int32_t n_control = n_control_vars(ctx);
  *parms = QXPROF_PARMS{};
  parms->dims.n_tasks = n_tasks;
  parms->perf = {1, q.n_threads, q.ntpb};
  parms->data = *data;
  QXPROF_ACT_MODEL& m = parms->model;
  m.n_parms = ctx->nparm;
  m.n_vars = (q.vars ? q.vars->n : 0) + n_control;
  m.n_comp_vars = n_control + 1;
  m.n_lag_vars = n_control;
  m.type = FROM_TEXT;
  m.based.text = {{OBJ_NAME, OBJ_NAME_LEN}, q.model_text, q.model_text_len};
}

namespace {

std::vector<QXPROF_VAR_INFO> variable_declarations(const RUVACOM* ctx) {
  const PROF_BOOT_COMMON_BLOCK& q = ctx->qxprof_block;
  std::vector<QXPROF_VAR_INFO> out;
  std::int32_t offset = 0, computed = 0;
  auto declare = [&](const CMPSYM* s, bool is_computed) {
    QXPROF_VAR_INFO v{};
    v.index = static_cast<std::int32_t>(out.size());
    v.numeric = cmp_numeric(s) || s == q.computed_dep;
    v.byte_len = value_size(s);
    v.name_s = {s->name, s->nameleng};
    v.type = is_computed ? COMPUTED_VAR : DATASET_VAR;
    if (is_computed) {
      v.u.comp_index = computed++;
    } else {
      v.u.offset = offset;
      offset += (v.byte_len + 7) / 8 * 8;
    }
    out.push_back(v);
    return &out.back();
  };
  for (std::int32_t i = 0; q.vars && i < q.vars->n; ++i)
    declare(q.vars->s[i], q.vars->s[i] == q.computed_dep);
  for (std::int32_t i = 0; i < n_control_vars(ctx); ++i) {
    QXPROF_VAR_INFO* v = declare(ctx->control->s[i], true);
    v->lag_on = true;
    v->max_lag = 1;
  }
  return out;
}

}  // namespace

int interface_model(RUVACOM* ctx, const QXPROF_DATA_DESC* data, std::int32_t n_tasks) {
  auto fail = [ctx] {
    ctx->no_prof_flag = ctx->no_boot_flag = 1;
    return 1;
  };
  if (!ctx->insts.prof_inst_h) {
    auto* ext = static_cast<QXPROF_EXTENSION*>(ctx->exts.prof_ext_h);
    QXPROF_PARMS parms;
    fill_qxprof_parms(ctx, data, n_tasks, &parms);
    QXPROF_INSTANCE* inst = ext ? ext->create_instance(ext, nullptr, &parms) : nullptr;
    if (!inst) return fail();
    ctx->insts.prof_inst_h = inst;
  }
  auto* inst = static_cast<QXPROF_INSTANCE*>(ctx->insts.prof_inst_h);
  std::vector<QXPROF_PARM_INFO> parms;
  for (std::int32_t i = 0; i < ctx->nparm; ++i) {
    const CMPSYM* p = ctx->parmsym->s[i];
    parms.push_back({p->name, p->nameleng, i});
  }
  const std::vector<QXPROF_VAR_INFO> vars = variable_declarations(ctx);
  if (inst->FactoryPtr->define_parms(inst, nullptr, parms.data(), ctx->nparm) != 0 ||
      inst->FactoryPtr->define_vars(inst, nullptr, vars.data(),
                                    static_cast<std::int32_t>(vars.size())) != 0)
    return fail();
  return 0;
}

std::int32_t get_record_size(RUVACOM* ctx) {
  const PROF_BOOT_COMMON_BLOCK& q = ctx->qxprof_block;
  std::int32_t size = 0;
  for (std::int32_t i = 0; q.vars && i < q.vars->n; ++i) {
    const CMPSYM* s = q.vars->s[i];
    if (is_record_var(ctx, s) && s != q.model_dep && s != q.computed_dep)
      size += (value_size(s) + 7) / 8 * 8;
  }
  return size;
}
