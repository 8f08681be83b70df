// Variables every normal run assigns before anything reads them: those the
// model program's leading straight-line statements assign, before any
// statement that could end the run or jump and before any read of them.
// Setting them to missing before each observation would be overwritten
// unseen, so the per-observation reset leaves them out; a run that ends
// before reaching them (DELETE, STOP, an error) makes the observation
// unusable anyway.
#include "platform/compiler/pass7_first_assignments.h"

namespace platform::compiler {
namespace {

using language::Expr;
using language::ExprKind;
using language::Stmt;
using language::StmtKind;

class Scan {
 public:
  explicit Scan(Compiler& c) : c_(c) {}

  // False once the statement can end the run, jump, or read everything.
  bool statement(const Stmt& s, bool top);
  std::set<int> always;

 private:
  void reads(const Expr& e) {
    if (e.kind == ExprKind::Variable) {
      if (const Symbol* s = c_.symbols.find(e.name)) read_.insert(s->pub.id);
    } else if (e.kind == ExprKind::ArrayRef) {
      const ArrayInfo& a = c_.arrays[static_cast<std::size_t>(c_.array_index.at(e.key))];
      for (const Symbol* el : a.elements) read_.insert(el->pub.id);
    }
    for (const auto& arg : e.args) reads(*arg);
  }
  void assigned(const Expr& target, bool top) {
    if (target.kind != ExprKind::Variable) {
      for (const auto& sub : target.args) reads(*sub);
      return;
    }
    const Symbol* s = c_.symbols.find(target.name);
    if (!s) return;
    if (top && !read_.count(s->pub.id) && !seen_.count(s->pub.id)) always.insert(s->pub.id);
    seen_.insert(s->pub.id);
  }
  bool body(const language::StmtList& list) {
    bool straight = true;
    for (const auto& child : list) straight = statement(*child, false) && straight;
    return straight;
  }

  Compiler& c_;
  std::set<int> read_;
  std::set<int> seen_;
};

bool Scan::statement(const Stmt& s, bool top) {
  if (!s.labels.empty()) return false;
  switch (s.kind) {
    case StmtKind::Assign: case StmtKind::Model: {
      // Shared values first, then the assignment, then its derivatives.
      for (const auto& pre : s.else_body) statement(*pre, top);
      reads(*s.value);
      Expr model_target;
      model_target.kind = ExprKind::Variable;
      if (s.kind == StmtKind::Model) model_target.name = "MODEL." + s.target->name;
      assigned(s.kind == StmtKind::Model ? model_target : *s.target, top);
      for (const auto& d : s.body) statement(*d, top);
      return true;
    }
    case StmtKind::If: {
      reads(*s.condition);
      const bool a = body(s.body);
      return body(s.else_body) && a;
    }
    case StmtKind::Do:
      return body(s.body);
    case StmtKind::DoWhile: case StmtKind::DoUntil:
      reads(*s.condition);
      return body(s.body);
    case StmtKind::Retain: case StmtKind::Array: case StmtKind::Length: case StmtKind::Label:
    case StmtKind::Attrib: case StmtKind::Format: case StmtKind::Keep: case StmtKind::Drop:
    case StmtKind::Null:
      return true;
    default:  // loops with checks, SELECT, PUT, jumps and the statements that end a run
      return false;
  }
}

}  // namespace

std::set<int> first_assignments(Compiler& c) {
  Scan scan(c);
  for (const auto& cs : c.statements)
    if (cs->segment == 0 && !scan.statement(*cs->ast, true)) break;
  return scan.always;
}

}  // namespace platform::compiler
