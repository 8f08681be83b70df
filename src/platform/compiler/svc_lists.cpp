// Vector 148: symbol lists, the symbol chain, and the dependencies found by
// the data-flow analysis. A list's storage comes from its pool (the task
// pool when it names none); a list that cannot grow keeps what it had, and
// the block's error flag and shortfall say why.
#include <algorithm>
#include <cstring>

#include "host/name_list.h"
#include "host/statement_records.h"
#include "platform/compiler/compiler.h"
#include "platform/language/varlist.h"
#include "platform/host.h"
#include "platform/services/service_impls.h"

namespace platform::svc {

using compiler::Compiler;
using compiler::compiler_of;

namespace {

Pool& pool_of(const CMPLIST* list) {
  return list->pool ? *Pool::from_handle(list->pool) : Host::current().task_pool();
}

// Room for `need` entries; false (after noting the shortfall) when there is none.
bool reserve(CMPLIST* list, int need, CMPGLOBAL* cmp) {
  if (list->s && list->k >= need) return true;
  const int k = std::max({need, 4, list->k * 2});
  const long bytes = static_cast<long>(k) * static_cast<long>(sizeof(CMPSYM*));
  auto* s = static_cast<CMPSYM**>(pool_of(list).allocate(bytes));
  if (!s) {
    if (Compiler* c = compiler_of(cmp)) c->out_of_memory(bytes);
    return false;
  }
  if (list->s && list->n > 0) std::memcpy(s, list->s, static_cast<std::size_t>(list->n) * sizeof(CMPSYM*));
  if (list->s) pool_of(list).release(list->s);
  list->s = s;
  list->k = k;
  return true;
}

int append(CMPLIST* list, CMPSYM* sym, CMPGLOBAL* cmp) {
  if (!list || !sym || !reserve(list, list->n + 1, cmp)) return 1;
  list->s[list->n++] = sym;
  return 0;
}

bool contains(const CMPLIST* list, const CMPSYM* sym) {
  return list->s && std::find(list->s, list->s + list->n, sym) != list->s + list->n;
}

}  // namespace

int cmplsta(CMPLIST* list, int length, CMPGLOBAL* cmp) {
  if (!list) return 1;
  list->n = 0;
  list->k = 0;
  list->s = nullptr;
  return reserve(list, std::max(length, 1), cmp) ? 0 : 1;
}

int cmplst(CMPLIST* list, CMPSYM* sym, CMPGLOBAL* cmp) { return append(list, sym, cmp); }

int cmplstx(CMPLIST* list, CMPSYM* sym, CMPGLOBAL* cmp) {
  if (list && contains(list, sym)) return 0;
  return append(list, sym, cmp);
}

int cmplstn(CMPLIST* list, int n, CMPSYM** syms, CMPGLOBAL* cmp) {
  if (!list || n < 0 || (n > 0 && !syms) || !reserve(list, list->n + std::max(n, 1), cmp)) return 1;
  for (int i = 0; i < n; ++i) list->s[list->n++] = syms[i];
  return 0;
}

int cmplstd(CMPLIST* list, CMPSYM* sym, CMPGLOBAL* /*cmp*/) {
  if (!list || !list->s) return 1;
  CMPSYM** end = list->s + list->n;
  CMPSYM** at = std::find(list->s, end, sym);
  if (at == end) return 1;
  std::copy(at + 1, end, at);
  --list->n;
  return 0;
}

int cmplstb(CMPLIST* list, int kindcode, int /*segment*/, CMPGLOBAL* cmp) {
  Compiler* c = compiler_of(cmp);
  if (!c || !list) return 1;
  for (CMPSYM* s = c->symbols.first(); s; s = s->next)
    if (s->kindcode == kindcode && append(list, s, cmp)) return 1;
  return reserve(list, std::max(list->n, 1), cmp) ? 0 : 1;
}

int cmplstp(CMPLIST* list, const char* prefix, int length, CMPGLOBAL* cmp) {
  Compiler* c = compiler_of(cmp);
  if (!c || !list || !prefix) return 1;
  const std::string key = compiler::upper_key(std::string_view(prefix, static_cast<std::size_t>(std::max(length, 0))));
  for (std::size_t i = 0; i < c->symbols.size(); ++i) {
    compiler::Symbol& s = c->symbols.at(i);
    if (s.pub.kind != 'l' && s.key.compare(0, key.size(), key) == 0 && append(list, &s.pub, cmp))
      return 1;
  }
  return 0;
}

int cmplstg(CMPLIST* list, double** cells, CMPGLOBAL* /*cmp*/) {
  if (!list || !cells) return 1;
  for (int i = 0; i < list->n; ++i) cells[i] = list->s[i] ? static_cast<double*>(list->s[i]->data) : nullptr;
  return 0;
}

int cmplsts(CMPLIST* list, double* storage, CMPGLOBAL* /*cmp*/) {
  if (!list || !storage) return 1;
  for (int i = 0; i < list->n; ++i) {
    CMPSYM* s = list->s[i];
    if (!s || s->type == '$') continue;
    s->data = storage + i;
  }
  return 0;
}

CMPSYM* cmplstv(CMPGLOBAL* cmp) {
  Compiler* c = compiler_of(cmp);
  return c ? c->symbols.first() : nullptr;
}

// `item` is a statement's field of variable-list texts (names, a--b,
// a-NUMERIC-b, x:, _ALL_ ...), expanded over the program's variables in
// their order; a name the program does not know becomes a new variable.
int cmplsti(CMPLIST* list, const void* item, CMPGLOBAL* cmp) {
  Compiler* c = compiler_of(cmp);
  const auto* field = static_cast<const STLIST*>(item);
  if (!c || !list || !field || field->type != stfield::kNames) return 1;
  language::VarList vars;
  const char* name = nullptr;
  int length = 0;
  for (int i = 0; i < field->v.f.n && zgetnmr(field->v.f.u.nlistx, i, &name, &length) == 0; ++i)
    vars.push_back(language::varlist_item_of_text(std::string(name, static_cast<std::size_t>(length))));
  for (compiler::Symbol* s : c->expand(vars, true)) {
    c->bind_to_dataset(s);
    if (append(list, &s->pub, cmp)) return 1;
  }
  return 0;
}

int cmpnumv(CMPSYM* sym, CMPGLOBAL* cmp) {
  Compiler* c = compiler_of(cmp);
  if (!c || !sym || sym->type != '$') return 0;
  c->refuse_character(c->symbols.of(sym));
  return 1;
}

int cmpdeps(CMPGLOBAL* cmp, CMPSYM* sym, int /*reserved1*/, int /*reserved2*/, int /*reserved3*/) {
  Compiler* c = compiler_of(cmp);
  if (!c || !sym || !c->dataflow(false)) return 0;
  return static_cast<int>(c->deps(c->symbols.of(sym)).size());
}

CMPSYM* cmpndep(CMPGLOBAL* cmp, CMPSYM* sym, CMPSYM* previous, int /*reserved1*/, int /*reserved2*/) {
  Compiler* c = compiler_of(cmp);
  if (!c || !sym || !c->dataflow(false)) return nullptr;
  const std::vector<CMPSYM*>& deps = c->deps(c->symbols.of(sym));
  if (!previous) return deps.empty() ? nullptr : deps.front();
  // The inputs are in ascending order of id.
  auto it = std::lower_bound(deps.begin(), deps.end(), previous,
                             [](const CMPSYM* a, const CMPSYM* b) { return a->id < b->id; });
  return it == deps.end() || *it != previous || it + 1 == deps.end() ? nullptr : *(it + 1);
}

int cmpwrit(CMPGLOBAL* cmp, CMPSYM* sym) {
  Compiler* c = compiler_of(cmp);
  return c && sym && c->written(c->symbols.of(sym)) ? 1 : 0;
}

int cmpcarr(CMPGLOBAL* cmp, CMPSYM* sym, char* text, int size) {
  Compiler* c = compiler_of(cmp);
  if (!text || size < 1) return 0;
  text[0] = '\0';
  if (!c || !sym) return 0;
  const std::string name = c->carried_temporary(c->symbols.of(sym));
  const std::size_t n = std::min(name.size(), static_cast<std::size_t>(size - 1));
  std::memcpy(text, name.data(), n);
  text[n] = '\0';
  return static_cast<int>(n);
}

int cmpspos(CMPGLOBAL* cmp, CMPSYM* sym, int* line, int* column) {
  Compiler* c = compiler_of(cmp);
  if (!c || !sym) return 1;
  for (const compiler::Occurrence& o : c->symbols.of(sym).occurrences) {
    if (!o.assigned) continue;
    if (line) *line = o.line;
    if (column) *column = o.column;
    return 0;
  }
  return 1;
}

}  // namespace platform::svc
