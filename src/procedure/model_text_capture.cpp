// The per-statement callback of the parse: counts the statements profiling
// and bootstrap care about and copies the model program's statements, token
// by token, into the model text.
#include <cctype>
#include <cstring>
#include <string_view>

#include "host/services.h"
#include "platform/language/messages.h"
#include "procedure/model_text.h"
#include "procedure/statement_parsing.h"

namespace {

// Case-blind comparison of a token's text with an upper-case word.
bool same_word(const char* text, int len, std::string_view word) {
  if (len != static_cast<int>(word.size())) return false;
  for (int i = 0; i < len; ++i)
    if (std::toupper(static_cast<unsigned char>(text[i])) != word[static_cast<std::size_t>(i)]) return false;
  return true;
}

bool same_word(const TOKEN* t, std::string_view word) { return same_word(t->spell, t->lng, word); }

bool is_semicolon(const TOKEN* t) { return t->lng == 1 && t->spell[0] == ';'; }

// The PROC statement starts the capture afresh.
void begin_capture(RUVAPARSE* ruva) {
  ruva->qxcmp_model_text_len = 0;
  ruva->model_text_alloc_size = kModelTextStart;
  ruva->qxcmp_model_text = model_text_new(kModelTextStart);
  ruva->qxprof_block = PROF_BOOT_COMMON_BLOCK{};
  ruva->is_bootstrap_spec = ruva->is_profile_spec = 0;
  ruva->model_text_overflow = 0;
}

void append_label(RUVAPARSE* ruva) {
  TKLABEL label{};
  if (xttklab(&label) <= 0) return;
  model_text_reserve(&ruva->qxcmp_model_text, &ruva->model_text_alloc_size, ruva->qxcmp_model_text_len,
                     label.length + 1);
  char* at = ruva->qxcmp_model_text + ruva->qxcmp_model_text_len;
  std::memcpy(at, label.text, static_cast<std::size_t>(label.length));
  at[label.length] = ':';
  ruva->qxcmp_model_text_len += label.length + 1;
}

// Records where a MODEL statement stands; past the last position the text
// can no longer place every model, so profiling and bootstrap are off.
void record_model(RUVAPARSE* ruva, std::int32_t* single, std::int32_t* positions, std::int32_t* count,
                  std::int32_t where) {
  ++*count;
  *single = where;
  if (*count <= kMaxModelStatements) {
    positions[*count - 1] = where;
    return;
  }
  if (!ruva->model_text_overflow) xpmlog(platform::language::msg::kSet, platform::language::msg::kTooManyModels,
                                         kMaxModelStatements);
  ruva->model_text_overflow = 1;
  ruva->no_prof_flag = ruva->no_boot_flag = 1;
}

// Copies the statement's tokens up to and including its semicolon.
void copy_statement(RUVAPARSE* ruva, TOKEN* t) {
  const int ingrammar = ruva->pars_info_h ? ruva->pars_info_h->ingrammar : 0;
  while (t && t->type != token_type::kEndOfStep) {
    if (t->type == token_type::kPunctuation && t->subtype == token_type::kSemicolonSubtype) {
      t->type = token_type::kStatementEnd;
      t->subtype = 0;
    }
    model_text_append(&ruva->qxcmp_model_text, &ruva->model_text_alloc_size, &ruva->qxcmp_model_text_len,
                      t->spell, t->lng);
    if (is_semicolon(t)) return;
    t = xttkpk(t, ingrammar);
  }
}

}  // namespace

bool stmt_needed_for_model_text(const char* tok_name, int tok_len, bool* is_model_stmt, bool* is_cntl_stmt,
                                bool* is_retain_stmt) {
  *is_model_stmt = *is_cntl_stmt = *is_retain_stmt = false;
  static constexpr std::string_view kNotNeeded[] = {
      "RUVA", "PARM", "PARMS", "PARAMETER", "PARAMETERS", "BY", "ID", "BOOTSTRAP", "BOOT", "BOUND",
      "BOUNDS", "PROFILE", "RESTRICT", "OUTPUT", "RUN", "QUIT", "ESTIMATE", "CONTRAST"};
  for (std::string_view w : kNotNeeded)
    if (same_word(tok_name, tok_len, w)) return false;
  // DER.p and DER.p.q statements: the derivatives are derived again.
  if (tok_len > 4 && same_word(tok_name, 4, "DER.")) return false;
  if (same_word(tok_name, tok_len, "MODEL")) {
    *is_model_stmt = true;
    return false;
  }
  if (same_word(tok_name, tok_len, "CONTROL") || same_word(tok_name, tok_len, "CONT") ||
      same_word(tok_name, tok_len, "CON")) {
    *is_cntl_stmt = true;
    return false;
  }
  if (same_word(tok_name, tok_len, "RETAIN")) *is_retain_stmt = true;
  return true;
}

int broutine_callback(CMPGLOBAL* gcmp) {
  auto* ruva = gcmp ? static_cast<RUVAPARSE*>(gcmp->userptr) : nullptr;
  TOKEN* tok = xttkcur();
  if (!ruva || !tok) return 0;
  if (same_word(tok, "RUVA") || !ruva->qxcmp_model_text) begin_capture(ruva);
  append_label(ruva);

  bool is_model = false, is_cntl = false, is_retain = false;
  bool needed = stmt_needed_for_model_text(tok->spell, tok->lng, &is_model, &is_cntl, &is_retain);
  // "model = 1;" assigns a variable named like a keyword.
  const int ingrammar = ruva->pars_info_h ? ruva->pars_info_h->ingrammar : 0;
  const TOKEN* after = xttkpk(tok, ingrammar);
  const bool assignment = tok->type == token_type::kName && after && after->lng == 1 && after->spell[0] == '=';
  if (assignment) {
    needed = true;
    is_model = is_cntl = is_retain = false;
  }
  PROF_BOOT_COMMON_BLOCK& counts = ruva->qxprof_block;
  if (is_cntl) ++counts.n_cntl_stmts;
  else if (is_retain) ++counts.n_retain_stmts;
  if (is_model)
    record_model(ruva, &ruva->model_text_loc, ruva->mmodel_text_loc, &counts.n_model_stmts,
                 ruva->qxcmp_model_text_len);
  if (!assignment) {
    if (same_word(tok, "WHERE")) ++counts.n_where_stmts;
    else if (same_word(tok, "FORMAT")) ++counts.n_format_stmts;
    else if (same_word(tok, "BOOTSTRAP") || same_word(tok, "BOOT")) ruva->is_bootstrap_spec = 1;
    else if (same_word(tok, "PROFILE")) ruva->is_profile_spec = 1;
  }
  if (needed && tok->type != token_type::kEndOfStep) copy_statement(ruva, tok);
  return 0;
}

// Records a MODEL position during the rebuild of the text (shared rule).
void model_text_record_model(RUVAPARSE* ruva, std::int32_t* single, std::int32_t* positions, std::int32_t* count,
                             std::int32_t where) {
  record_model(ruva, single, positions, count, where);
}
