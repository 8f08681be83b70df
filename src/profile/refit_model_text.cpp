// The model as the refit engine compiles it: the program's statements as
// captured during the parse, each MODEL statement replaced in place by the
// assignment of its right-hand side to the MODEL. symbol, a LENGTH statement
// for character variables in front and the weighted squared residual
// assigned to the objective at the end. The texts are built as growing
// strings and sized by what they hold.
//
// The fit reads the model's value however the program's run for an
// observation ends (a RETURN, a LINK's RETURN, a GOTO past the end, or the
// last statement), so the program runs as a LINK routine and the objective
// follows the LINK: a RETURN anywhere in the program, or its end, comes
// back to the objective, which a statement simply appended after the
// program would miss.
#include <cstdio>
#include <cstring>

#include "procedure/procedure_context.h"
#include "procedure/step_memory.h"
#include "profile/refit_client.h"

namespace {

// The labels of the program routine and of the objective; a program that
// used one of them would fail to compile, and refits would not run.
constexpr char kProgramLabel[] = "_P_MODEL_PROGRAM_";
constexpr char kObjectiveLabel[] = "_P_MODEL_OBJECTIVE_";

std::string name_of(const CMPSYM* s) {
  return std::string(s->name, static_cast<std::size_t>(s->nameleng));
}

// A NUL-terminated copy in the task pool, or null.
char* pool_copy(const std::string& text) {
  auto* out = static_cast<char*>(ruva_alloc(static_cast<long>(text.size()) + 1));
  if (out) std::memcpy(out, text.data(), text.size());
  return out;
}

}  // namespace

std::string wsse_text(const RUVACOM* ctx) {
  const PROF_BOOT_COMMON_BLOCK& q = ctx->qxprof_block;
  const std::string residual = "( " + name_of(q.model_dep) + " - " + name_of(q.computed_dep) + " )";
  std::string text = std::string(" ") + OBJ_NAME + " = ";
  if (ctx->weightflag) text += "_weight_ * ";
  return text + residual + " * " + residual + " ;";
}

std::int32_t get_wsse_text(const RUVACOM* ctx, char* buf) {
  const std::string text = wsse_text(ctx);
  if (buf) std::memcpy(buf, text.data(), text.size());
  return static_cast<std::int32_t>(text.size());
}

int construct_qxcmp_model_text(RUVACOM* ctx, const std::vector<std::string>& models,
                               const std::string& objective) {
  const std::string captured(ctx->qxcmp_model_text ? ctx->qxcmp_model_text : "",
                             static_cast<std::size_t>(ctx->qxcmp_model_text_len));
  std::string out;
  std::size_t previous = 0;
  for (std::size_t i = 0; i < models.size(); ++i) {
    const std::int32_t loc = models.size() == 1 ? ctx->model_text_loc : ctx->mmodel_text_loc[i];
    const std::size_t at =
        std::min(std::max(static_cast<std::size_t>(std::max(loc, 0)), previous), captured.size());
    out.append(captured, previous, at - previous);
    out += models[i];
    previous = at;
  }
  out.append(captured, previous, std::string::npos);
  out = std::string(" link ") + kProgramLabel + " ; goto " + kObjectiveLabel + " ; " +
        kProgramLabel + ": " + out + " return ; " + kObjectiveLabel + ":" + objective;
  char* text = pool_copy(out);
  if (!text) return 1;
  ctx->qxcmp_model_text = text;
  ctx->qxcmp_model_text_len = static_cast<std::int32_t>(out.size());
  ctx->model_text_alloc_size = ctx->qxcmp_model_text_len + 1;
  return 0;
}

int insert_char_var_length_text(RUVACOM* ctx) {
  PROF_BOOT_COMMON_BLOCK& q = ctx->qxprof_block;
  std::string prefix;
  for (std::int32_t i = 0; q.vars && i < q.vars->n; ++i) {
    const CMPSYM* s = q.vars->s[i];
    if (!cmp_character(s)) continue;
    char length[16];
    std::snprintf(length, sizeof length, "%*d", SPACE_FOR_CHAR_LEN, static_cast<int>(s->length));
    prefix += name_of(s) + " $ " + length + " ";
  }
  if (prefix.empty()) return 0;
  const std::string text = "length " + prefix + ";" +
                           std::string(q.model_text, static_cast<std::size_t>(q.model_text_len));
  char* copy = pool_copy(text);
  if (!copy) return 1;
  q.model_text = copy;
  q.model_text_len = static_cast<std::int32_t>(text.size());
  return 0;
}
