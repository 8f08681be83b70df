// After the parse: when the captured model text does not hold the compiled
// program's MODEL statements as the compiler sees them, or when bootstrap
// needs a text without the statements that compute a computed dependent
// variable, the text is rebuilt from the compiled program's statements.
#include <cctype>
#include <cstring>

#include "host/services.h"
#include "procedure/model_text.h"
#include "procedure/statement_parsing.h"

void model_text_record_model(RUVAPARSE* ruva, std::int32_t* single, std::int32_t* positions, std::int32_t* count,
                             std::int32_t where);

namespace {

int compiled_model_count(CMPGLOBAL* gcmp) {
  int count = 0;
  CMPSTMT* cursor = nullptr;
  CMPSRC src{};
  while (cmplsrc(gcmp, &cursor, 0, 0, &src, 0))
    if (std::memcmp(src.name, "MODEL ", 6) == 0) ++count;
  return count;
}

// One text being rebuilt.
struct Text {
  char** text;
  std::int32_t capacity;
  std::int32_t length = 0;
  std::int32_t* single;
  std::int32_t* positions;
};

void append_statement(Text& t, const char* bytes, std::int32_t n) {
  model_text_append(t.text, &t.capacity, &t.length, bytes, n);
}

// A MODEL statement keeps its label; its text is left out and its place noted.
void place_model(RUVAPARSE* ruva, Text& t, const CMPSRC& src, std::int32_t label, std::int32_t* count) {
  std::int32_t n = label;
  while (n > 0 && std::isspace(static_cast<unsigned char>(src.text[n - 1]))) --n;
  if (n > 0) {
    model_text_reserve(t.text, &t.capacity, t.length, n);
    std::memcpy(*t.text + t.length, src.text, static_cast<std::size_t>(n));
    t.length += n;
  }
  model_text_record_model(ruva, t.single, t.positions, count, t.length);
}

}  // namespace

std::int32_t label_part(const CMPSRC& src) {
  std::int32_t i = 0;
  while (i < src.length && (std::isalnum(static_cast<unsigned char>(src.text[i])) || src.text[i] == '_')) ++i;
  if (i == 0 || i >= src.length || src.text[i] != ':') return 0;
  ++i;
  while (i < src.length && std::isspace(static_cast<unsigned char>(src.text[i]))) ++i;
  return i;
}

bool begins_with_model(const char* text, std::int32_t length) {
  static const char kModel[] = "MODEL ";
  if (length < 6) return false;
  for (int i = 0; i < 6; ++i)
    if (std::toupper(static_cast<unsigned char>(text[i])) != kModel[i]) return false;
  return true;
}

void isModelStmtEmbedInProgStmts(CMPGLOBAL* gcmp) {
  auto* ruva = static_cast<RUVAPARSE*>(gcmp->userptr);
  const int compiled_models = compiled_model_count(gcmp);
  ruva->isDepComputed = ruva->depsym && ruva->inputdepsym && ruva->inputdepsym->n > 0 &&
                        cmp_assigned(ruva->inputdepsym->s[0]);
  const bool second = ruva->isDepComputed && ruva->is_bootstrap_spec;
  if (compiled_models == ruva->qxprof_block.n_model_stmts && !second) return;

  ruva->qxprof_block.n_model_stmts = 0;
  std::memset(ruva->qxcmp_model_text, ' ', static_cast<std::size_t>(ruva->qxcmp_model_text_len));
  Text first{&ruva->qxcmp_model_text, ruva->model_text_alloc_size, 0, &ruva->model_text_loc, ruva->mmodel_text_loc};
  Text copy{&ruva->qxcmp_model_text1, ruva->model_text_alloc_size, 0, &ruva->model_text_loc1, ruva->mmodel_text_loc1};
  if (second) ruva->qxcmp_model_text1 = model_text_new(ruva->model_text_alloc_size);
  const bool single = compiled_models < 2;
  std::int32_t scratch = 0, copy_models = 0;
  if (!single) first.single = copy.single = &scratch;

  CMPSYM* dep = ruva->inputdepsym && ruva->inputdepsym->n > 0 ? ruva->inputdepsym->s[0] : nullptr;
  CMPSTMT* cursor = nullptr;
  CMPSRC src{};
  while (cmplsrc(gcmp, &cursor, 0, 0, &src, 0)) {
    const std::int32_t label = label_part(src);
    const bool keep_in_copy = second && cmpsts(dep, cursor, gcmp) == 0;
    if (begins_with_model(src.text + label, src.length - label)) {
      place_model(ruva, first, src, label, &ruva->qxprof_block.n_model_stmts);
      if (keep_in_copy) place_model(ruva, copy, src, label, &copy_models);
      continue;
    }
    append_statement(first, src.text, src.length);
    if (keep_in_copy) append_statement(copy, src.text, src.length);
  }
  ruva->qxcmp_model_text_len = first.length;
  ruva->model_text_alloc_size = first.capacity;
  if (!second) return;
  ruva->qxcmp_model_text_len1 = copy.length;
  if (!ruva->is_profile_spec) {
    ruva->qxcmp_model_text = ruva->qxcmp_model_text1;
    ruva->qxcmp_model_text_len = ruva->qxcmp_model_text_len1;
    ruva->model_text_alloc_size = copy.capacity;
    if (single) ruva->model_text_loc = ruva->model_text_loc1;
  }
}
