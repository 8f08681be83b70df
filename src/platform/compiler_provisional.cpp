// Provisional compiler services for the statement parsing of a step: the
// compiler initialisation, a symbol table of the names the parsed program
// uses (with the assigned-by-the-program flag), symbol lists and the
// statement-assigns-symbol query. They serve `ruvapar` until the
// model-program compiler provides the full services; that compiler replaces
// this file.
#include <cctype>
#include <cstring>
#include <deque>
#include <map>
#include <string>

#include "platform/host.h"
#include "platform/parse_session.h"
#include "platform/service_impls.h"

namespace platform::svc {
namespace {

namespace lang = platform::language;

struct SymbolTable {
  const lang::StepParse* parse = nullptr;
  std::deque<CMPSYM> symbols;
  std::deque<std::string> names;
  std::map<std::string, CMPSYM*> by_key;
};

std::map<const CMPGLOBAL*, SymbolTable>& tables() {
  static std::map<const CMPGLOBAL*, SymbolTable> t;
  return t;
}

std::string upper(std::string_view s) {
  std::string u(s);
  for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return u;
}

CMPSYM* define(SymbolTable& t, const std::string& name, char kind, char type) {
  const std::string key = upper(name);
  if (auto it = t.by_key.find(key); it != t.by_key.end()) return it->second;
  t.names.push_back(name);
  CMPSYM& s = t.symbols.emplace_back();
  s.name = t.names.back().data();
  s.length = static_cast<std::int32_t>(name.size());
  s.kind = kind;
  s.type = type;
  t.by_key[key] = &s;
  return &s;
}

void collect(SymbolTable& t, const lang::Expr& e) {
  if (e.kind == lang::ExprKind::Variable) define(t, e.name, 'v', ' ');
  for (const lang::ExprPtr& a : e.args) collect(t, *a);
}

void assign(SymbolTable& t, const lang::Expr& target) {
  CMPSYM* s = define(t, target.name, 'v', ' ');
  s->flag[0] |= kSymAssigned;
  for (const lang::ExprPtr& a : target.args) collect(t, *a);
}

void collect(SymbolTable& t, const lang::StmtList& list);

void collect(SymbolTable& t, const lang::Stmt& s) {
  if (s.kind == lang::StmtKind::Model) {
    CMPSYM* m = define(t, "MODEL." + s.target->name, 'v', 'n');
    m->flag[0] |= kSymAssigned;
    define(t, s.target->name, 'v', ' ');
  } else if ((s.kind == lang::StmtKind::Assign || s.kind == lang::StmtKind::DoIterative) && s.target) {
    assign(t, *s.target);
  }
  for (const lang::ExprPtr* e : {&s.value, &s.condition})
    if (*e) collect(t, **e);
  for (const lang::ExprPtr& e : s.exprs) collect(t, *e);
  collect(t, s.body);
  collect(t, s.else_body);
  for (const lang::WhenClause& w : s.whens)
    if (w.body) collect(t, *w.body);
}

void collect(SymbolTable& t, const lang::StmtList& list) {
  for (const lang::StmtPtr& s : list) collect(t, *s);
}

// The table of the block's parsed step, built on first use.
SymbolTable& table(CMPGLOBAL* cmp) {
  SymbolTable& t = tables()[cmp];
  ParsedStep* step = parsed_step(cmp);
  const lang::StepParse* parse = step ? step->parse.get() : nullptr;
  if (t.parse != parse) {
    t = SymbolTable{};
    t.parse = parse;
    if (parse) collect(t, parse->program.statements);
  }
  return t;
}

bool grow(CMPLIST* list) {
  const std::int32_t room = list->k > 0 ? 2 * list->k : 4;
  auto* s = static_cast<CMPSYM**>(Host::current().task_pool().allocate(static_cast<long>(sizeof(CMPSYM*) * room)));
  if (!s) return false;
  if (list->n > 0) std::memcpy(s, list->s, sizeof(CMPSYM*) * static_cast<std::size_t>(list->n));
  list->s = s;
  list->k = room;
  return true;
}

}  // namespace

int cmpinit(CMPINIT* init, CMPGLOBAL* cmp) {
  if (init) {
    if (init->errflag) *init->errflag = 0;
    if (init->memdef) *init->memdef = 0;
  }
  forget_parsed_step(cmp);
  tables().erase(cmp);
  return 0;
}

int cmplsta(CMPLIST* list, int room, CMPGLOBAL*) {
  list->n = 0;
  list->k = 0;
  list->s = nullptr;
  list->pool = Host::current().task_pool().handle();
  if (room < 1) room = 1;
  list->s = static_cast<CMPSYM**>(Host::current().task_pool().allocate(static_cast<long>(sizeof(CMPSYM*) * room)));
  if (list->s) list->k = room;
  return list->s ? 0 : 1;
}

int cmplst(CMPLIST* list, CMPSYM* sym, CMPGLOBAL*) {
  if (list->n >= list->k && !grow(list)) return 1;
  list->s[list->n++] = sym;
  return 0;
}

int cmplstp(CMPLIST* list, const char* prefix, int length, CMPGLOBAL* cmp) {
  const std::string p = upper(std::string_view(prefix, static_cast<std::size_t>(length)));
  int found = 0;
  for (auto& [key, sym] : table(cmp).by_key) {
    if (key.compare(0, p.size(), p) != 0) continue;
    if (cmplst(list, sym, cmp) != 0) return -1;
    ++found;
  }
  return found;
}

CMPSYM* cmpsyms(const char* name, int length, CMPGLOBAL* cmp) {
  SymbolTable& t = table(cmp);
  auto it = t.by_key.find(upper(std::string_view(name, static_cast<std::size_t>(length))));
  return it == t.by_key.end() ? nullptr : it->second;
}

CMPSYM* cmpsymd(const char* name, int length, int kind, int type, CMPGLOBAL* cmp) {
  return define(table(cmp), std::string(name, static_cast<std::size_t>(length)), static_cast<char>(kind),
                static_cast<char>(type));
}

// Nonzero when the program statement (numbered from 1, as `cmplsrc` counts)
// assigns the symbol.
int cmpsts(CMPGLOBAL* cmp, CMPSYM* sym, long statement) {
  ParsedStep* step = parsed_step(cmp);
  if (!step || !sym || statement < 1) return 0;
  const auto& pieces = step->parse->program_pieces;
  if (static_cast<std::size_t>(statement) > pieces.size()) return 0;
  const lang::StepParse& p = *step->parse;
  const lang::SourcePiece& piece = pieces[static_cast<std::size_t>(statement) - 1];
  const lang::Token& first = p.tokens[piece.first];
  const std::string key = upper(std::string_view(sym->name, static_cast<std::size_t>(sym->length)));
  return piece.name == "ASSIGN" && first.upper == key ? 1 : 0;
}

}  // namespace platform::svc
