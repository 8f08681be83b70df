#include "procedure/statement_lookup.h"

#include <algorithm>
#include <cstring>

#include "host/name_list.h"
#include "host/narrow_strings.h"
#include "host/services.h"
#include "procedure/procedure_context.h"

bool stmt_is(const STMT* s, const char* prefix) {
  return std::strncmp(s->name, prefix, std::strlen(prefix)) == 0;
}

int FindStmt(const char* prefix, STMT** found) {
  RUVACOM* ctx = ruva_context();
  int count = 0;
  for (STMT* s = ctx ? ctx->prochead : nullptr; s; s = s->next) {
    if (!stmt_is(s, prefix)) continue;
    ++count;
    *found = s;
  }
  return count;
}

int get_parm_index(const CMPLIST* list, const CMPSYM* sym) {
  if (!list) return -1;
  for (int i = 0; i < list->n; ++i)
    if (list->s[i] == sym) return i;
  return -1;
}

bool dropped_parameter(const RUVACOM* ctx, const CMPSYM* s) {
  return cmp_declared_parm(s) && get_parm_index(ctx->parmsym, s) < 0;
}

bool field_name(const STLIST* field, int i, const char** name, int* length) {
  return field && field->type == stfield::kNames && i < field->v.f.n &&
         zgetnmr(field->v.f.u.nlistx, i, name, length) == 0;
}

// The parse gathers the ID statements' variable lists into field 7 of the
// procedure statement. The compiler expands them (ranges, prefixes, _ALL_)
// over the variables of the input data set and the program; a name the
// program does not use is made a data-set variable. Each variable is kept
// once, at its first place.
void collect_id_variables(RUVACOM* ctx, CMPLIST* list) {
  const STLIST* names = stmt_field(ctx->prochead, 7);
  if (!names) return;
  CMPLIST expanded{};
  if (cmplsti(&expanded, names, &ctx->globcmp) != 0 && expanded.n == 0) return;
  for (int i = 0; i < expanded.n; ++i)
    if (get_parm_index(list, expanded.s[i]) < 0 && cmplst(list, expanded.s[i], &ctx->globcmp) != 0) return;
}

void attach_symbol_labels(RUVACOM* ctx, const CMPLIST* list) {
  for (int i = 0; list && i < list->n; ++i)
    if (!list->s[i]->info) cmpsymi(list->s[i], &ctx->globcmp);
}

int symbol_label(const CMPSYM* sym, const char** text) {
  constexpr int kMaxLabel = 256;
  const CMPSYMINFO* info = sym->info;
  *text = info ? info->label : nullptr;
  if (!*text) return 0;
  const int length = info->labeleng < 0 ? static_cast<int>(std::strlen(*text)) : info->labeleng;
  return utf8_cut_length(*text, length, kMaxLabel);
}
