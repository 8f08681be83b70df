// Vector 148: the listings, and the source statements of the program.
#include <algorithm>
#include <cstring>

#include "platform/compiler/compiler.h"
#include "platform/compiler/listings.h"
#include "platform/services/service_impls.h"

namespace platform::svc {

using compiler::Compiler;
using compiler::compiler_of;

int cmppprg(CMPGLOBAL* cmp) {
  Compiler* c = compiler_of(cmp);
  if (!c) return 1;
  compiler::print_program(*c);
  return 0;
}

// The code listing may be asked for before cmpgen: the program is then
// generated for the listing (and kept, as generation would give the same).
int cmppsts(const char* title, int title_length, CMPGLOBAL* cmp) {
  Compiler* c = compiler_of(cmp);
  if (!c) return 1;
  if (!c->program && !c->generate()) return 1;
  const std::string heading = title ? std::string(title, static_cast<std::size_t>(std::max(title_length, 0)))
                                    : std::string("Code Listing");
  compiler::print_code(*c, *c->program, heading);
  return 0;
}

int cmppsbt(CMPGLOBAL* cmp) {
  Compiler* c = compiler_of(cmp);
  if (!c) return 1;
  compiler::print_symbols(*c);
  return 0;
}

int cmplsrc(CMPGLOBAL* cmp, CMPSTMT** cursor, int /*reserved1*/, int /*reserved2*/,
            CMPSRC* source, int /*reserved3*/) {
  Compiler* c = compiler_of(cmp);
  if (!c || !cursor) return 0;
  auto& list = c->sources.empty() ? c->statements : c->sources;
  auto it = list.begin();
  if (*cursor) {
    // A statement's number is its place in the list, 1-based.
    const auto at = static_cast<std::size_t>((*cursor)->number);
    if (at >= 1 && at <= list.size() && list[at - 1].get() == *cursor)
      it = list.begin() + static_cast<std::ptrdiff_t>(at);
    else
      it = std::find_if(list.begin(), list.end(), [&](const auto& s) { return s.get() == *cursor; });
    if (it != list.end() && it->get() == *cursor) ++it;
  }
  while (it != list.end() && (*it)->segment != 0) ++it;
  if (it == list.end()) return 0;
  CMPSTMT& s = **it;
  *cursor = &s;
  if (source) {
    const language::Stmt* node = s.ast ? s.ast.get() : s.node;
    source->text = s.source.data();
    source->length = static_cast<std::int32_t>(s.source.size());
    std::memset(source->name, ' ', sizeof source->name);
    std::memcpy(source->name, s.keyword.data(), std::min(s.keyword.size(), sizeof source->name));
    source->line = node ? node->pos.line : 0;
    source->column = node ? node->pos.column : 0;
  }
  return 1;
}

namespace {

bool assigns(const language::Stmt& s, const std::string& key) {
  auto names = [&](const language::Expr* e) {
    return e && e->kind == language::ExprKind::Variable && e->key == key;
  };
  if ((s.kind == language::StmtKind::Assign || s.kind == language::StmtKind::DoIterative) &&
      names(s.target.get()))
    return true;
  if (s.kind == language::StmtKind::Model && "MODEL." + s.target->key == key) return true;
  for (const auto& child : s.body)
    if (assigns(*child, key)) return true;
  for (const auto& child : s.else_body)
    if (assigns(*child, key)) return true;
  for (const auto& w : s.whens)
    if (w.body && assigns(*w.body, key)) return true;
  return false;
}

}  // namespace

int cmpsts(CMPSYM* sym, CMPSTMT* stmt, CMPGLOBAL* cmp) {
  Compiler* c = compiler_of(cmp);
  const language::Stmt* node = stmt ? (stmt->ast ? stmt->ast.get() : stmt->node) : nullptr;
  if (!c || !sym || !node) return 0;
  return assigns(*node, c->symbols.of(sym).key) ? 1 : 0;
}

}  // namespace platform::svc
