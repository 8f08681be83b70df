// Code generation of statements: assignments, IF, the DO loops, SELECT,
// the jumps and the statements that end a run, PUT and WHERE.
#include <functional>

#include "host/missing.h"
#include "platform/compiler/executor.h"
#include "platform/compiler/pass7_codegen.h"
#include "platform/compiler/source_text.h"

namespace platform::compiler {
namespace {

using language::Expr;
using language::ExprKind;
using language::Stmt;
using language::StmtKind;

}  // namespace

void CodeGen::statement(const Stmt& s) {
  for (const std::string& l : s.labels) statement_labels_[upper_key(l)] = here();
  switch (s.kind) {
    case StmtKind::Assign: case StmtKind::Model:
      body(s.else_body);  // values the derivatives share, computed first
      if (s.kind == StmtKind::Assign) assign(*s.target, *s.value);
      else assign_to_symbol(*c_.symbols.find("MODEL." + s.target->name), *s.value);
      return derivative_block(s.body);
    case StmtKind::If:
      return if_statement(s);
    case StmtKind::Do:
      if (s.on_demand) return on_demand_block(s.body);
      return body(s.body);
    case StmtKind::DoIterative:
      return do_iterative(s);
    case StmtKind::DoWhile: case StmtKind::DoUntil: {
      const int top = label(), exit = label(), next = label();
      place(top);
      if (s.kind == StmtKind::DoWhile) branch(*s.condition, exit, false);
      loops_.push_back({exit, next});
      body(s.body);
      loops_.pop_back();
      place(next);
      if (s.kind == StmtKind::DoUntil) branch(*s.condition, exit, true);
      // The jump back closes the loop, so that the interpreter counts it.
      jump(Op::Jmp, top, 0, 0, 0, site_at(s.pos, SiteWhat::Loop, "DO"));
      place(exit);
      return;
    }
    case StmtKind::Select:
      return select(s);
    case StmtKind::Delete:
      emit(Op::Delete);
      return;
    case StmtKind::Return:
      emit(Op::Return);
      return;
    case StmtKind::Stop:
      emit(Op::Stop, 0, 0, 0, 0, site_at(s.pos, SiteWhat::Statement, "STOP"));
      return;
    case StmtKind::Abort:
      emit(Op::Abort, 0, 0, 0, 0, site_at(s.pos, SiteWhat::Statement, "ABORT"));
      return;
    case StmtKind::Leave:
      if (!loops_.empty()) jump(Op::Jmp, loops_.back().exit_label);
      return;
    case StmtKind::Continue:
      if (!loops_.empty()) jump(Op::Jmp, loops_.back().continue_label);
      return;
    case StmtKind::Goto: case StmtKind::Link: {
      const bool link = s.kind == StmtKind::Link;
      const int at = emit(link ? Op::Link : Op::Jmp, 0, 0, 0, 0,
                          site_at(s.pos, SiteWhat::Statement, link ? "LINK" : "GOTO"));
      goto_jumps_.emplace_back(at, s.target_label);
      return;
    }
    case StmtKind::Put:
      return put(s);
    case StmtKind::Where:
      return where(s);
    default:
      return;  // declarations: no code
  }
}

void CodeGen::assign(const Expr& target, const Expr& value) {
  if (target.kind != ExprKind::ArrayRef) return assign_to_symbol(*c_.symbols.find(target.name), value);
  const ArrayInfo& a = array(target.key);
  const int v = a.character ? chr(value) : num(value);
  const int idx = element_index(target, a);
  emit(a.character ? Op::CStoreX : Op::StoreX, v, idx, array_id(target.key));
}

void CodeGen::assign_to_symbol(Symbol& s, const Expr& value) {
  if (s.pub.type != '$') {
    num(value, symbol_cell(s));
    return;
  }
  const int slot = symbol_slot(s);
  const int src = chr(value);
  if (src != slot) emit(Op::CMov, slot, src);
}

namespace {

// Whether skipping the statements saves more than the test costs: a few
// plain arithmetic assignments are cheaper to run than to jump over.
bool worth_skipping(const language::StmtList& list) {
  if (list.size() > 3) return true;
  std::function<bool(const Expr&)> costly = [&](const Expr& e) {
    if (e.kind == ExprKind::Call || e.kind == ExprKind::ArrayRef ||
        (e.kind == ExprKind::Binary && e.binary_op == language::BinaryOp::Power))
      return true;
    for (const auto& a : e.args)
      if (costly(*a)) return true;
    return false;
  };
  for (const auto& s : list)
    if (s->kind != StmtKind::Assign || costly(*s->value)) return true;
  return false;
}

}  // namespace

// The derivative statements of an assignment run only when the run asks
// for derivatives (when that is worth a test).
void CodeGen::derivative_block(const language::StmtList& list) {
  if (list.empty()) return;
  if (!worth_skipping(list)) return body(list);
  const int skip = label();
  jump(Op::SkipDer, skip);
  body(list);
  place(skip);
}

// Derivative statements asked for on demand run only when the run asks for
// every derivative.
void CodeGen::on_demand_block(const language::StmtList& list) {
  for (const auto& s : list)
    if (s->kind == StmtKind::Assign && s->target->kind == ExprKind::Variable)
      on_demand_targets_.insert(c_.symbols.find(s->target->name)->pub.id);
  const int skip = label();
  jump(Op::SkipDer, skip, kFitDerivatives);
  body(list);
  place(skip);
}

void CodeGen::if_statement(const Stmt& s) {
  const int otherwise = label();
  branch(*s.condition, otherwise, false);
  body(s.body);
  if (s.else_body.empty()) return place(otherwise);
  const int end = label();
  jump(Op::Jmp, end);
  place(otherwise);
  body(s.else_body);
  place(end);
}

// One start [TO end [BY step]] [WHILE] [UNTIL] of an iterative DO. The code
// sets the loop variable and jumps to `body`, or to `next` when the clause
// gives no (more) values; the step code, reached through the loop's jump
// table (or directly when `select_cell` is -1), advances it.
int CodeGen::do_clause(const Stmt& s, const language::DoClause& clause, int body_label, int next,
                     int select_cell, int index) {
  const int var = symbol_cell(*c_.symbols.find(s.target->name));
  const int where = site_at(s.pos, SiteWhat::Loop, "DO");
  if (select_cell >= 0) emit(Op::Mov, select_cell, literal_cell(index));
  int step_by = -1, end = -1;
  const int start = num(*clause.start);
  if (clause.to) {
    double v = 0;
    end = constant(*clause.to, &v) ? literal_cell(v) : num(*clause.to, temp());
    step_by = !clause.by ? literal_cell(1) : constant(*clause.by, &v) ? literal_cell(v) : num(*clause.by, temp());
    emit(Op::DoCheck, 0, start, end, step_by, where);
  }
  emit(Op::Mov, var, start);
  const int test = label();
  place(test);
  if (clause.to) jump(Op::DoTest, next, var, end, step_by);
  if (clause.while_cond) branch(*clause.while_cond, next, false);
  jump(Op::Jmp, body_label);
  // The step code.
  const int step = label();
  place(step);
  if (clause.until_cond) branch(*clause.until_cond, next, true);
  if (clause.to) {
    emit(Op::Add, var, var, step_by, 0, where);
    jump(Op::Jmp, test, 0, 0, 0, where);
  } else {
    jump(Op::Jmp, next);
  }
  return step;
}

void CodeGen::do_iterative(const Stmt& s) {
  const int exit = label(), body_label = label(), next = label();
  const std::size_t n = s.clauses.size();
  // Several clauses share the body; a jump table on the current clause leads
  // back to that clause's step code.
  int select_cell = -1, table = -1, step = -1;
  if (n > 1) {
    select_cell = temp();
    table = static_cast<int>(p_.jump_tables.size());
    p_.jump_tables.emplace_back(n, 0);
  }
  for (std::size_t k = 0; k < n; ++k) {
    const int following = k + 1 == n ? exit : label();
    step = do_clause(s, s.clauses[k], body_label, following, select_cell, static_cast<int>(k));
    if (table >= 0) p_.jump_tables[static_cast<std::size_t>(table)][k] = step;
    if (k + 1 < n) place(following);
  }
  place(body_label);
  loops_.push_back({exit, next});
  body(s.body);
  loops_.pop_back();
  place(next);
  if (table >= 0) emit(Op::JumpTable, 0, select_cell, table);
  else jump(Op::Jmp, step, 0, 0, 0, site_at(s.pos, SiteWhat::Loop, "DO"));
  place(exit);
}

void CodeGen::select(const Stmt& s) {
  const int end = label();
  const bool character = s.value && type(*s.value).character;
  const int value = !s.value ? -1 : character ? chr(*s.value) : num(*s.value);
  for (const auto& w : s.whens) {
    const int hit = label(), miss = label();
    for (const auto& v : w.values) {
      if (!s.value) {
        branch(*v, hit, true);
      } else if (character) {
        const int t = temp();
        emit(Op::CCmp, t, value, chr(*v), 0);
        jump(Op::Jt, hit, t);
      } else {
        jump(Op::JfNe, hit, value, num(*v));
      }
    }
    jump(Op::Jmp, miss);
    place(hit);
    if (w.body) statement(*w.body);
    jump(Op::Jmp, end);
    place(miss);
  }
  if (s.else_body.empty()) emit(Op::NoWhen, 0, 0, 0, 0, site_at(s.pos, SiteWhat::Statement, "SELECT"));
  else body(s.else_body);
  place(end);
}

void CodeGen::put(const Stmt& s) {
  std::vector<PutItem> items;
  for (const auto& item : s.puts) {
    PutItem out;
    out.format = item.format;
    switch (item.kind) {
      case language::PutKind::Value: case language::PutKind::NamedValue:
        out.kind = item.kind == language::PutKind::Value ? PutItem::Value : PutItem::NamedValue;
        out.character = type(*item.value).character;
        out.operand = out.character ? chr(*item.value) : num(*item.value);
        out.text = expression_text(*item.value);
        break;
      case language::PutKind::Text:
        out.kind = PutItem::Text;
        out.text = item.text;
        break;
      case language::PutKind::All:
        out.kind = PutItem::All;
        break;
      case language::PutKind::Page:
        continue;
    }
    items.push_back(std::move(out));
  }
  p_.puts.push_back(std::move(items));
  emit(Op::Put, 0, 0, 0, static_cast<int>(p_.puts.size()) - 1);
}

void CodeGen::where(const Stmt& s) {
  const int fail = label(), done = label();
  branch(*s.condition, fail, false);
  jump(Op::Jmp, done);
  place(fail);
  emit(Op::Mov, p_.where_result, literal_cell(0));
  place(done);
}

}  // namespace platform::compiler
