#include "platform/compiler/compiler.h"

#include <algorithm>
#include <unordered_set>

#include "platform/compiler/block_runner.h"
#include "platform/compiler/pass6_derivatives.h"
#include "platform/compiler/executor.h"
#include "platform/host.h"
#include "platform/language/varlist.h"

namespace platform::compiler {

namespace {
// Compilers not yet purged; a step that ends without purging its compiler
// block (an early exit before the end-of-task routine was registered)
// leaves its compiler here for the host to release.
std::unordered_set<Compiler*>& live_compilers() {
  static std::unordered_set<Compiler*> live;
  return live;
}
}  // namespace

Compiler::Compiler(const CMPINIT& init)
    : output_manager(init.yolman), errflag_(init.errflag), memdef_(init.memdef), seg_(init.seg) {
  live_compilers().insert(this);
}

Compiler::~Compiler() { live_compilers().erase(this); }

void purge_unreleased_compilers() {
  while (!live_compilers().empty()) delete *live_compilers().begin();
}

void Compiler::report(int number, va_list args) {
  if (Host::exists()) Host::current().log_message(148, number, args);
}

void Compiler::error(int number, ...) {
  failed_ = true;
  if (errflag_) *errflag_ = 1;
  va_list ap;
  va_start(ap, number);
  report(number, ap);
  va_end(ap);
}

void Compiler::note(int number, ...) {
  if (!notes) return;
  va_list ap;
  va_start(ap, number);
  report(number, ap);
  va_end(ap);
}

Symbol* Compiler::variable(const std::string& name) {
  Symbol* s = symbols.define(name);
  if (!s) {
    error(11, name.c_str());
    return nullptr;
  }
  if (!s->in_pdv && !s->hidden && s->pub.kind != 'l') {
    s->in_pdv = true;
    pdv.push_back(s);
  }
  return s;
}

namespace {

bool type_matches(const Symbol* s, language::VarListKind kind) {
  const char type = s->pub.type != ' ' ? s->pub.type : s->declared_type;
  if (kind == language::VarListKind::Numeric || kind == language::VarListKind::NumericRange)
    return type != '$';
  if (kind == language::VarListKind::Character || kind == language::VarListKind::CharacterRange)
    return type == '$';
  return true;
}

// A list (a range, a prefix, _ALL_ ...) selects the variables a user names:
// not the parameters, nor the compiler's own MODEL. and DER. symbols.
bool listed(const Symbol* s) {
  return s->name.find('.') == std::string::npos && s->pub.kind != 'a' && !(s->pub.flags[2] & kCmpDeclaredParm);
}

}  // namespace

// The variables in the order lists run over: the input data set's first, in
// its order (made symbols of the program when `create` is set), then the
// program's own in the order they appear.
std::vector<Symbol*> Compiler::variables_in_order(bool create) {
  std::vector<Symbol*> order;
  for (const DatasetVariable& v : dataset) {
    Symbol* s = create ? variable(v.name) : symbols.find(v.name);
    if (!s) continue;
    bind_to_dataset(s);
    order.push_back(s);
  }
  for (Symbol* s : pdv)
    if (std::find(order.begin(), order.end(), s) == order.end()) order.push_back(s);
  return order;
}

std::vector<Symbol*> Compiler::expand(const language::VarList& list, bool create) {
  using language::VarListKind;
  std::vector<Symbol*> out;
  const bool lists = std::any_of(list.begin(), list.end(), [](const auto& i) { return i.kind != VarListKind::Name; });
  const std::vector<Symbol*> order = lists ? variables_in_order(create) : std::vector<Symbol*>{};
  for (const auto& item : list) {
    const std::size_t before = out.size();
    switch (item.kind) {
      case VarListKind::Name: {
        Symbol* s = create ? variable(item.first) : symbols.find(item.first);
        if (s) out.push_back(s);  // null: no cell left, reported by variable()
        break;
      }
      case VarListKind::Range: case VarListKind::NumericRange: case VarListKind::CharacterRange: {
        const std::string first = upper_key(item.first), last = upper_key(item.last);
        bool inside = false;
        for (Symbol* s : order) {
          if (s->key == first) inside = true;
          if (inside && listed(s) && type_matches(s, item.kind)) out.push_back(s);
          if (s->key == last) break;
        }
        break;
      }
      case VarListKind::Prefix: {
        const std::string prefix = upper_key(item.first);
        for (Symbol* s : order)
          if (s->key.compare(0, prefix.size(), prefix) == 0 && listed(s)) out.push_back(s);
        break;
      }
      case VarListKind::All: case VarListKind::Numeric: case VarListKind::Character:
        for (Symbol* s : order)
          if (listed(s) && type_matches(s, item.kind)) out.push_back(s);
        break;
    }
    if (out.size() == before && item.kind != VarListKind::Name)
      error(19, language::varlist_item_text(item).c_str(), item.pos.line, item.pos.column);
  }
  return out;
}

}  // namespace platform::compiler
