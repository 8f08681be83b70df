#include "platform/compiler/source_text.h"

#include "host/missing.h"
#include "platform/compiler/symbol_table.h"
#include "platform/language/operator_text.h"
#include "platform/language/varlist.h"

namespace platform::compiler {
namespace {

using language::BinaryOp;
using language::Expr;
using language::ExprKind;
using language::Stmt;
using language::StmtKind;
using language::UnaryOp;

constexpr int kComparisonLevel = 5;

// Binding level of an operator: 1 binds tightest.
int level(const Expr& e) {
  switch (e.kind) {
    case ExprKind::Unary:
      return 1;
    case ExprKind::In:
      return kComparisonLevel;
    case ExprKind::Binary:
      switch (e.binary_op) {
        case BinaryOp::Power: case BinaryOp::Min: case BinaryOp::Max: return 1;
        case BinaryOp::Multiply: case BinaryOp::Divide: return 2;
        case BinaryOp::Add: case BinaryOp::Subtract: return 3;
        case BinaryOp::Concat: return 4;
        case BinaryOp::And: return 6;
        case BinaryOp::Or: return 7;
        default: return kComparisonLevel;
      }
    default:
      return 0;
  }
}

std::string quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    out += c;
    if (c == '\'') out += c;
  }
  return out + "'";
}

std::string operand(const Expr& e, int parent, bool right_side, bool right_assoc) {
  const int l = level(e);
  bool paren = l > parent;
  // A comparison inside a comparison keeps its parentheses: a < b = c
  // would read as the chain (a < b) & (b = c).
  if (l == parent && l == kComparisonLevel) paren = true;
  else if (l == parent && l != 0) paren = right_assoc ? !right_side : right_side;
  const std::string text = expression_text(e);
  return paren ? "(" + text + ")" : text;
}

std::string args_text(const language::ExprList& args, std::size_t from = 0) {
  std::string out;
  for (std::size_t i = from; i < args.size(); ++i) {
    if (i > from) out += ", ";
    out += expression_text(*args[i]);
  }
  return out;
}

std::string body_text(const language::StmtList& body) {
  std::string out;
  for (const auto& s : body) out += " " + statement_text(*s);
  return out;
}

std::string do_spec_text(const language::DoClause& clause) {
  std::string out = expression_text(*clause.start);
  if (clause.to) out += " TO " + expression_text(*clause.to);
  if (clause.by) out += " BY " + expression_text(*clause.by);
  if (clause.while_cond) out += " WHILE(" + expression_text(*clause.while_cond) + ")";
  if (clause.until_cond) out += " UNTIL(" + expression_text(*clause.until_cond) + ")";
  return out;
}

std::string retain_text(const std::vector<language::RetainItem>& items) {
  std::string out;
  for (const auto& item : items) {
    if (!item.vars.empty()) out += " " + var_list_text(item.vars);
    if (!item.initial.empty()) out += " (" + args_text(item.initial) + ")";
  }
  return out;
}

// CONTROL names its variables, each list followed by its one value.
std::string control_text(const std::vector<language::RetainItem>& items) {
  std::string out;
  for (const auto& item : items) {
    out += " " + var_list_text(item.vars);
    if (!item.initial.empty()) out += " = " + expression_text(*item.initial[0]);
  }
  return out;
}

std::string array_text(const language::ArrayDecl& a) {
  std::string out = "ARRAY " + a.name + "{";
  for (std::size_t i = 0; i < a.dims.size(); ++i) {
    if (i) out += ",";
    const auto& d = a.dims[i];
    if (d.star) out += "*";
    else if (d.lower == 1) out += std::to_string(d.upper);
    else out += std::to_string(d.lower) + ":" + std::to_string(d.upper);
  }
  out += "}";
  if (a.is_char) out += " $";
  if (a.length) out += " " + std::to_string(a.length);
  if (a.temporary) out += " _TEMPORARY_";
  if (!a.elements.empty()) out += " " + var_list_text(a.elements);
  if (!a.initial.empty()) out += " (" + args_text(a.initial) + ")";
  return out;
}

std::string put_text(const std::vector<language::PutItem>& items) {
  std::string out;
  for (const auto& item : items) {
    switch (item.kind) {
      case language::PutKind::Value: out += " " + expression_text(*item.value); break;
      case language::PutKind::NamedValue: out += " " + expression_text(*item.value) + "="; break;
      case language::PutKind::Text: out += " " + quoted(item.text); break;
      case language::PutKind::All: out += " _ALL_"; break;
      case language::PutKind::Page: out += " _PAGE_"; break;
    }
    if (!item.format.empty()) out += " " + item.format;
  }
  return out;
}

std::string statement_body(const Stmt& s) {
  switch (s.kind) {
    case StmtKind::Null: break;
    case StmtKind::Assign:
      return expression_text(*s.target) + " = " + expression_text(*s.value) + ";";
    case StmtKind::Model:
      return "MODEL " + expression_text(*s.target) + " = " + expression_text(*s.value) + ";";
    case StmtKind::If: {
      std::string out = "IF " + expression_text(*s.condition) + " THEN" + body_text(s.body);
      if (!s.else_body.empty()) out += " ELSE" + body_text(s.else_body);
      return out;
    }
    case StmtKind::Do: return "DO;" + body_text(s.body) + " END;";
    case StmtKind::DoIterative: {
      std::string out = "DO " + expression_text(*s.target) + " = ";
      for (std::size_t i = 0; i < s.clauses.size(); ++i)
        out += (i ? ", " : "") + do_spec_text(s.clauses[i]);
      return out + ";" + body_text(s.body) + " END;";
    }
    case StmtKind::DoWhile:
      return "DO WHILE(" + expression_text(*s.condition) + ");" + body_text(s.body) + " END;";
    case StmtKind::DoUntil:
      return "DO UNTIL(" + expression_text(*s.condition) + ");" + body_text(s.body) + " END;";
    case StmtKind::Select: {
      std::string out = "SELECT";
      if (s.value) out += "(" + expression_text(*s.value) + ")";
      out += ";";
      for (const auto& w : s.whens)
        out += " WHEN(" + args_text(w.values) + ")" + (w.body ? " " + statement_text(*w.body) : ";");
      if (!s.else_body.empty()) out += " OTHERWISE" + body_text(s.else_body);
      return out + " END;";
    }
    case StmtKind::Retain: return "RETAIN" + retain_text(s.retains) + ";";
    case StmtKind::Control: return "CONTROL" + control_text(s.retains) + ";";
    case StmtKind::Array: return array_text(*s.array) + ";";
    case StmtKind::Length: {
      std::string out = "LENGTH";
      for (const auto& l : s.lengths)
        out += " " + var_list_text(l.vars) + (l.is_char ? " $" : "") + " " + std::to_string(l.length);
      return out + ";";
    }
    case StmtKind::Delete: return "DELETE;";
    case StmtKind::Return: return "RETURN;";
    case StmtKind::Stop: return "STOP;";
    case StmtKind::Abort: return "ABORT;";
    case StmtKind::Leave: return "LEAVE;";
    case StmtKind::Continue: return "CONTINUE;";
    case StmtKind::Goto: return "GOTO " + s.target_label + ";";
    case StmtKind::Link: return "LINK " + s.target_label + ";";
    case StmtKind::Put: return "PUT" + put_text(s.puts) + ";";
    case StmtKind::Label: case StmtKind::Attrib: case StmtKind::Format: {
      std::string out = s.kind == StmtKind::Label ? "LABEL" : s.kind == StmtKind::Attrib ? "ATTRIB" : "FORMAT";
      for (const auto& a : s.attribs) {
        out += " " + var_list_text(a.vars);
        if (s.kind == StmtKind::Format) out += " " + a.format;
        else {
          if (a.has_label) out += (s.kind == StmtKind::Label ? " = " : " LABEL=") + quoted(a.label);
          if (s.kind == StmtKind::Attrib && !a.format.empty()) out += " FORMAT=" + a.format;
          if (a.length) out += std::string(" LENGTH=") + (a.is_char ? "$" : "") + std::to_string(a.length);
        }
      }
      return out + ";";
    }
    case StmtKind::Where: return "WHERE " + expression_text(*s.condition) + ";";
    case StmtKind::Keep: return "KEEP " + var_list_text(s.vars) + ";";
    case StmtKind::Drop: return "DROP " + var_list_text(s.vars) + ";";
    case StmtKind::Parms: {
      std::string out = "PARMS";
      for (const auto& g : s.parm_groups) {
        out += " " + var_list_text(g.names);
        if (!g.values.empty()) out += " =";
        for (const auto& v : g.values) {
          out += " " + number_text(v.start);
          if (v.has_to) out += " TO " + number_text(v.to) + " BY " + number_text(v.by);
        }
      }
      return out + ";";
    }
    case StmtKind::Estimate: return "ESTIMATE " + quoted(s.text) + " " + args_text(s.exprs) + ";";
    case StmtKind::Contrast: return "CONTRAST " + quoted(s.text) + " " + args_text(s.exprs) + ";";
  }
  return ";";
}

}  // namespace

std::string expression_text(const Expr& e) {
  switch (e.kind) {
    case ExprKind::Number: return number_text(e.number);
    case ExprKind::Missing: return e.missing == '.' ? "." : std::string(".") + e.missing;
    case ExprKind::String: return quoted(e.name);
    case ExprKind::Variable: break;
    case ExprKind::ArrayRef: return e.name + "{" + args_text(e.args) + "}";
    case ExprKind::Call: return e.key + "(" + args_text(e.args) + ")";
    case ExprKind::In:
      return operand(*e.args[0], kComparisonLevel, false, false) + (e.negated ? " NOT IN (" : " IN (") +
             args_text(e.args, 1) + ")";
    case ExprKind::Unary: {
      const char* op = e.unary_op == UnaryOp::Minus ? "-" : e.unary_op == UnaryOp::Plus ? "+" : "NOT ";
      return op + operand(*e.args[0], 1, true, true);
    }
    case ExprKind::Binary: {
      const int l = level(e);
      const bool right_assoc = l == 1;
      const bool spaced = l > 2;
      const std::string op = binary_operator_text(e.binary_op);
      return operand(*e.args[0], l, false, right_assoc) + (spaced ? " " + op + " " : op) +
             operand(*e.args[1], l, true, right_assoc);
    }
  }
  return e.name;
}

std::string var_list_text(const language::VarList& list) {
  std::string out;
  for (const auto& item : list) {
    if (!out.empty()) out += " ";
    out += language::varlist_item_text(item);
  }
  return out;
}

std::string statement_text(const Stmt& s) {
  std::string out;
  for (const auto& label : s.labels) out += label + ": ";
  return out + statement_body(s);
}

const char* statement_keyword(const Stmt& s) {
  switch (s.kind) {
    case StmtKind::Null: break;
    case StmtKind::Assign: return "ASSIGN";
    case StmtKind::Model: return "MODEL";
    case StmtKind::If: return "IF";
    case StmtKind::Do: case StmtKind::DoIterative: case StmtKind::DoWhile: case StmtKind::DoUntil:
      return "DO";
    case StmtKind::Select: return "SELECT";
    case StmtKind::Retain: return "RETAIN";
    case StmtKind::Array: return "ARRAY";
    case StmtKind::Length: return "LENGTH";
    case StmtKind::Delete: return "DELETE";
    case StmtKind::Return: return "RETURN";
    case StmtKind::Stop: return "STOP";
    case StmtKind::Abort: return "ABORT";
    case StmtKind::Leave: return "LEAVE";
    case StmtKind::Continue: return "CONTINUE";
    case StmtKind::Goto: return "GOTO";
    case StmtKind::Link: return "LINK";
    case StmtKind::Put: return "PUT";
    case StmtKind::Label: return "LABEL";
    case StmtKind::Attrib: return "ATTRIB";
    case StmtKind::Where: return "WHERE";
    case StmtKind::Format: return "FORMAT";
    case StmtKind::Keep: return "KEEP";
    case StmtKind::Drop: return "DROP";
    case StmtKind::Control: return "CONTROL";
    case StmtKind::Parms: return "PARMS";
    case StmtKind::Estimate: return "ESTIMATE";
    case StmtKind::Contrast: return "CONTRAST";
  }
  return "NULL";
}

}  // namespace platform::compiler
