#include "platform/compiler/pass3_types.h"

#include <algorithm>

#include "platform/compiler/language_functions.h"

namespace platform::compiler {
namespace {

using language::Expr;
using language::ExprKind;
using language::Stmt;
using language::StmtKind;

// A symbol whose type the analysis infers (and so may infer again).
bool inferred(const Symbol& s) {
  return s.declared_type == ' ' && s.pub.dsvarno == 0 && !s.hidden &&
         (s.pub.kind == 'v' || s.pub.kind == 'd');
}

class TypeWalker {
 public:
  explicit TypeWalker(Compiler& c, TypeMemo* memo = nullptr) : c_(c), memo_(memo) {}

  ExprType expr(const Expr& e);
  void statement(const Stmt& s);

 private:
  void assign(const Expr& target, ExprType value);
  void first_use(Symbol* s) {
    if (s && s->pub.type == ' ') s->pub.type = 'n';
  }

  ExprType node(const Expr& e);

  Compiler& c_;
  TypeMemo* memo_;
};

ExprType TypeWalker::expr(const Expr& e) {
  if (!memo_ || e.args.empty()) return node(e);
  if (auto it = memo_->find(&e); it != memo_->end()) return it->second;
  const ExprType t = node(e);
  memo_->emplace(&e, t);
  return t;
}

ExprType TypeWalker::node(const Expr& e) {
  switch (e.kind) {
    case ExprKind::String:
      return {true, std::max(1, static_cast<int>(e.name.size()))};
    case ExprKind::Variable: {
      Symbol* s = c_.symbols.find(e.name);
      first_use(s);
      if (s && s->pub.type == '$') return {true, s->declared_length > 0 ? s->declared_length : s->pub.length};
      return {};
    }
    case ExprKind::ArrayRef: {
      for (const auto& sub : e.args) expr(*sub);
      const ArrayInfo& a = c_.arrays[static_cast<std::size_t>(c_.array_index.at(e.key))];
      if (a.character) return {true, a.length};
      return {};
    }
    case ExprKind::Call: {
      std::vector<ExprType> args;
      const LanguageFunction* f = find_language_function(e.key);
      for (std::size_t i = 0; i < e.args.size(); ++i) {
        if (f && f->array_argument && i == 0) continue;
        args.push_back(expr(*e.args[i]));
      }
      if (f && f->character_result) return {true, args.empty() ? 8 : (args[0].character ? args[0].length : kNumberTextLength)};
      return {};
    }
    case ExprKind::Binary: {
      const ExprType l = expr(*e.args[0]), r = expr(*e.args[1]);
      if (e.binary_op != language::BinaryOp::Concat) return {};
      const int ll = l.character ? l.length : kNumberTextLength;
      const int rl = r.character ? r.length : kNumberTextLength;
      return {true, std::min(kMaxCharLength, ll + rl)};
    }
    case ExprKind::Unary: case ExprKind::In:
      for (const auto& arg : e.args) expr(*arg);
      return {};
    default:
      return {};
  }
}

void TypeWalker::assign(const Expr& target, ExprType value) {
  if (target.kind != ExprKind::Variable) {
    for (const auto& sub : target.args) expr(*sub);
    return;
  }
  Symbol* s = c_.symbols.find(target.name);
  if (!s || s->pub.type != ' ') return;
  if (value.character) {
    s->pub.type = '$';
    s->declared_length = value.length;
  } else {
    s->pub.type = 'n';
  }
}

void TypeWalker::statement(const Stmt& s) {
  switch (s.kind) {
    case StmtKind::Assign: case StmtKind::Model:
      for (const auto& pre : s.else_body) statement(*pre);
      if (s.kind == StmtKind::Assign) assign(*s.target, expr(*s.value));
      else expr(*s.value);
      for (const auto& d : s.body) statement(*d);
      return;
    case StmtKind::If:
      expr(*s.condition);
      break;
    case StmtKind::DoIterative:
      for (const auto& clause : s.clauses)
        for (const Expr* e : {clause.start.get(), clause.to.get(), clause.by.get()})
          if (e) expr(*e);
      assign(*s.target, {});
      for (const auto& clause : s.clauses)
        for (const Expr* e : {clause.while_cond.get(), clause.until_cond.get()})
          if (e) expr(*e);
      break;
    case StmtKind::DoWhile: case StmtKind::DoUntil: case StmtKind::Where:
      expr(*s.condition);
      break;
    case StmtKind::Select:
      if (s.value) expr(*s.value);
      for (const auto& w : s.whens) {
        for (const auto& v : w.values) expr(*v);
        if (w.body) statement(*w.body);
      }
      break;
    case StmtKind::Put:
      for (const auto& item : s.puts)
        if (item.value) expr(*item.value);
      return;
    default:
      break;
  }
  for (const auto& child : s.body) statement(*child);
  for (const auto& child : s.else_body) statement(*child);
}

}  // namespace

ExprType expression_type(Compiler& c, const Expr& e, TypeMemo* memo) { return TypeWalker(c, memo).expr(e); }

bool Compiler::analyse() {
  // After an error the trees may name what does not exist: no phase walks them.
  if (failed_) return false;
  if (analysed_) return true;
  for (std::size_t i = 0; i < symbols.size(); ++i) {
    Symbol& s = symbols.at(i);
    if (s.pub.kind == 'l' || s.hidden) continue;
    if (inferred(s)) s.pub.type = ' ';
    else if (s.declared_type != ' ') s.pub.type = s.declared_type;
  }
  TypeWalker walker(*this);
  for (int segment = 0; segment < kSegments; ++segment)
    for (const auto& cs : statements)
      if (cs->segment == segment) walker.statement(*cs->ast);
  for (std::size_t i = 0; i < symbols.size(); ++i) {
    Symbol& s = symbols.at(i);
    if (s.pub.kind == 'l') continue;
    if (s.pub.type == '$') {
      const int length = s.declared_length > 0 ? s.declared_length : 8;
      if (!symbols.make_character(s, length)) error(24, s.name.c_str());
    } else {
      if (static_cast<char*>(s.pub.data) != nullptr && s.char_offset >= 0 &&
          s.pub.data == cells.chars() + s.char_offset)
        symbols.make_numeric(s);
      s.pub.type = 'n';
      s.pub.length = 8;
    }
  }
  analysed_ = true;
  return !failed_;
}

}  // namespace platform::compiler
