#include "platform/language/printer.h"

#include <cstdio>
#include <sstream>

#include "host/missing.h"
#include "host/statement_records.h"
#include "platform/language/option_table.h"
#include "platform/language/operator_text.h"
#include "platform/language/varlist.h"

namespace platform::language {
namespace {

// A string stream that lets a failed allocation through as std::bad_alloc,
// where the library's would keep it to itself and hand back part of the
// text.
class TextStream : public std::ostringstream {
 public:
  TextStream() { exceptions(std::ios::badbit); }
};

std::string number_text(double v) {
  if (is_missing(v)) return ".";
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.15g", v);
  return buf;
}

std::string quoted(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("''") : std::string(1, c);
  return q + "'";
}

std::string join(const std::vector<std::string>& parts, const char* sep = " ") {
  std::string out;
  for (std::size_t i = 0; i < parts.size(); ++i) out += (i ? sep : "") + parts[i];
  return out;
}

std::string list_text(const ExprList& list) {
  std::vector<std::string> parts;
  for (const ExprPtr& e : list) parts.push_back(expression_text(*e));
  return join(parts, ", ");
}

std::string vars_text(const VarList& v) { return join(varlist_texts(v)); }

std::string do_text(const Stmt& s) {
  TextStream o;
  o << "DO " << expression_text(*s.target) << " =";
  for (std::size_t i = 0; i < s.clauses.size(); ++i) {
    const DoClause& d = s.clauses[i];
    o << (i ? ", " : " ") << expression_text(*d.start);
    if (d.to) o << " TO " << expression_text(*d.to);
    if (d.by) o << " BY " << expression_text(*d.by);
    if (d.while_cond) o << " WHILE " << expression_text(*d.while_cond);
    if (d.until_cond) o << " UNTIL " << expression_text(*d.until_cond);
  }
  return o.str();
}

std::string array_text(const ArrayDecl& a) {
  TextStream o;
  o << "ARRAY " << a.name << "{";
  for (std::size_t i = 0; i < a.dims.size(); ++i) {
    const ArrayDim& d = a.dims[i];
    o << (i ? ", " : "") << (d.star ? "*" : std::to_string(d.lower) + ":" + std::to_string(d.upper));
  }
  o << "}" << (a.is_char ? " $" : "");
  if (a.length) o << " " << a.length;
  if (a.temporary) o << " _TEMPORARY_";
  if (!a.elements.empty()) o << " " << vars_text(a.elements);
  if (!a.initial.empty()) o << " (" << list_text(a.initial) << ")";
  return o.str();
}

std::string put_text(const Stmt& s) {
  TextStream o;
  o << "PUT";
  for (const PutItem& p : s.puts) {
    if (p.kind == PutKind::Text) o << " " << quoted(p.text);
    else if (p.kind == PutKind::All) o << " _ALL_";
    else if (p.kind == PutKind::Page) o << " _PAGE_";
    else o << " " << expression_text(*p.value) << (p.kind == PutKind::NamedValue ? "=" : "");
    if (!p.format.empty()) o << " " << p.format;
  }
  return o.str();
}

std::string attrib_text(const Stmt& s) {
  TextStream o;
  o << (s.kind == StmtKind::Label ? "LABEL" : s.kind == StmtKind::Attrib ? "ATTRIB" : "FORMAT");
  for (const AttribItem& a : s.attribs) {
    o << " " << vars_text(a.vars);
    if (a.length) o << " LENGTH=" << (a.is_char ? "$" : "") << a.length;
    if (a.has_label) o << " LABEL=" << quoted(a.label);
    if (!a.format.empty()) o << " FORMAT=" << a.format;
  }
  return o.str();
}

std::string parms_text(const Stmt& s) {
  TextStream o;
  o << "PARMS";
  for (const ParmGroup& g : s.parm_groups) {
    o << " " << vars_text(g.names);
    if (!g.values.empty()) o << " =";
    for (const ValueRange& r : g.values) {
      o << " " << number_text(r.start);
      if (r.has_to) o << " TO " << number_text(r.to) << " BY " << number_text(r.by);
    }
  }
  return o.str();
}

std::string retain_text(const Stmt& s) {
  TextStream o;
  o << (s.kind == StmtKind::Retain ? "RETAIN" : "CONTROL");
  for (const RetainItem& r : s.retains) {
    o << " " << vars_text(r.vars);
    if (!r.initial.empty()) o << " (" << list_text(r.initial) << ")";
  }
  return o.str();
}

// One statement's head text (without nested statements).
std::string head_text(const Stmt& s) {
  TextStream o;
  for (const std::string& l : s.labels) o << l << ": ";
  switch (s.kind) {
    case StmtKind::Null: o << ";"; break;
    case StmtKind::Assign: o << expression_text(*s.target) << " = " << expression_text(*s.value); break;
    case StmtKind::Model: o << "MODEL " << s.target->name << " = " << expression_text(*s.value); break;
    case StmtKind::If: o << "IF " << expression_text(*s.condition) << " THEN"; break;
    case StmtKind::Do: o << "DO"; break;
    case StmtKind::DoIterative: o << do_text(s); break;
    case StmtKind::DoWhile: o << "DO WHILE " << expression_text(*s.condition); break;
    case StmtKind::DoUntil: o << "DO UNTIL " << expression_text(*s.condition); break;
    case StmtKind::Select: o << "SELECT" << (s.value ? " " + expression_text(*s.value) : ""); break;
    case StmtKind::Retain:
    case StmtKind::Control: o << retain_text(s); break;
    case StmtKind::Array: o << array_text(*s.array); break;
    case StmtKind::Length:
      o << "LENGTH";
      for (const LengthItem& l : s.lengths) o << " " << vars_text(l.vars) << (l.is_char ? " $" : "") << " " << l.length;
      break;
    case StmtKind::Delete: o << "DELETE"; break;
    case StmtKind::Return: o << "RETURN"; break;
    case StmtKind::Stop: o << "STOP"; break;
    case StmtKind::Abort: o << "ABORT"; break;
    case StmtKind::Leave: o << "LEAVE"; break;
    case StmtKind::Continue: o << "CONTINUE"; break;
    case StmtKind::Goto: o << "GOTO " << s.target_label; break;
    case StmtKind::Link: o << "LINK " << s.target_label; break;
    case StmtKind::Put: o << put_text(s); break;
    case StmtKind::Label:
    case StmtKind::Attrib:
    case StmtKind::Format: o << attrib_text(s); break;
    case StmtKind::Where: o << "WHERE " << expression_text(*s.condition); break;
    case StmtKind::Keep: o << "KEEP " << vars_text(s.vars); break;
    case StmtKind::Drop: o << "DROP " << vars_text(s.vars); break;
    case StmtKind::Parms: o << parms_text(s); break;
    case StmtKind::Estimate:
    case StmtKind::Contrast:
      o << (s.kind == StmtKind::Estimate ? "ESTIMATE " : "CONTRAST ") << quoted(s.text) << " "
        << list_text(s.exprs);
      break;
  }
  return o.str();
}

void print_list(const StmtList& list, int depth, std::ostream& o);

void print_stmt(const Stmt& s, int depth, std::ostream& o) {
  const std::string indent(static_cast<std::size_t>(2 * depth), ' ');
  o << indent << "line " << s.pos.line << ": " << head_text(s) << "\n";
  print_list(s.body, depth + 1, o);
  for (const WhenClause& w : s.whens) {
    o << indent << "  WHEN " << list_text(w.values) << "\n";
    if (w.body) print_stmt(*w.body, depth + 2, o);
  }
  if (!s.else_body.empty()) {
    o << indent << (s.kind == StmtKind::Select ? "  OTHERWISE" : "ELSE") << "\n";
    print_list(s.else_body, depth + 1, o);
  }
}

void print_list(const StmtList& list, int depth, std::ostream& o) {
  for (const StmtPtr& s : list) print_stmt(*s, depth, o);
}

// The option contexts of a statement, for naming its bits and fields.
std::vector<OptionContext> contexts_of(const std::string& keyword) {
  using C = OptionContext;
  if (keyword == "RUVA")
    return {C::Proc, C::PlotsGlobal, C::StatsGlobal, C::StatsGlobalList, C::PlotsRequest,
            C::PlotsDiagnostics, C::StatsDiagnostics, C::StatsDiagnosticsList, C::PlotsResiduals,
            C::PlotsFit, C::StatsFit, C::StatsFitList};
  if (keyword == "OUTPUT") return {C::Output, C::OutputSlash};
  if (keyword == "BOOTSTRAP") return {C::Bootstrap, C::BootDgp, C::BootResidual, C::BootPlots, C::BootCi};
  if (keyword == "PROFILE") return {C::Profile};
  if (keyword == "ESTIMATE") return {C::Estimate};
  if (keyword == "CONTRAST") return {C::Contrast};
  if (keyword == "PARMS") return {C::Parms};
  return {};
}

std::string bit_names(const std::string& keyword, int bit) {
  std::vector<std::string> names;
  for (OptionContext c : contexts_of(keyword))
    for (const OptionSpec& desc : option_table()) {
      if (desc.context != c) continue;
      bool sets = desc.list_bit == bit;
      for (int b : desc.bits) sets = sets || b == bit;
      if (sets) names.push_back(option_name(desc) + (desc.list_bit == bit ? "=" : ""));
    }
  if (keyword == "BY" && bit == 1) names.push_back("NOTSORTED");
  return join(names, "/");
}

std::string field_name(const std::string& keyword, int field) {
  for (OptionContext c : contexts_of(keyword))
    for (const OptionSpec& desc : option_table())
      if (desc.context == c && desc.field >= 0 &&
          (desc.field == field || (desc.kind == OptionKind::Range && field > desc.field && field <= desc.field + 2)))
        return option_name(desc) + "=";
  return {};
}

std::string field_value(const FieldValue& f) {
  switch (f.type) {
    case stfield::kNumber: return number_text(f.number);
    case stfield::kKeyword: return f.keyword;
    case stfield::kDataset: return f.text + (f.mode == 2 ? " (written)" : " (read)");
    case stfield::kNames: return f.names.empty() ? "(no names)" : join(f.names);
    case stfield::kText: return quoted(f.text);
    case stfield::kExprs: return list_text(f.exprs->exprs);
    case stfield::kIntegers: {
      std::vector<std::string> parts;
      for (int i : f.integers) parts.push_back(std::to_string(i));
      return join(parts);
    }
    default: return "?";
  }
}

}  // namespace

std::string expression_text(const Expr& e) {
  switch (e.kind) {
    case ExprKind::Number: return number_text(e.number);
    case ExprKind::Missing: return e.missing == '.' ? "." : std::string(".") + e.missing;
    case ExprKind::String: return quoted(e.name);
    case ExprKind::Variable: break;
    case ExprKind::ArrayRef: return e.name + "{" + list_text(e.args) + "}";
    case ExprKind::Call: return e.name + "(" + list_text(e.args) + ")";
    case ExprKind::Unary: {
      const char* op = e.unary_op == UnaryOp::Plus ? "+" : e.unary_op == UnaryOp::Minus ? "-" : "NOT ";
      return std::string("(") + op + expression_text(*e.args[0]) + ")";
    }
    case ExprKind::Binary:
      return "(" + expression_text(*e.args[0]) + " " + binary_operator_text(e.binary_op) + " " +
             expression_text(*e.args[1]) + ")";
    case ExprKind::In: {
      std::vector<std::string> items;
      for (std::size_t i = 1; i < e.args.size(); ++i) items.push_back(expression_text(*e.args[i]));
      return "(" + expression_text(*e.args[0]) + (e.negated ? " NOT IN (" : " IN (") + join(items, ", ") + "))";
    }
  }
  return e.name;
}

std::string program_text(const Program& program) {
  TextStream o;
  print_list(program.statements, 0, o);
  return o.str();
}

std::string proc_statement_text(const ProcStatement& st) {
  TextStream o;
  o << st.keyword << " (line " << st.pos.line << ")\n";
  for (int b = 0; b < 256; ++b)
    if (st.bits.test(static_cast<std::size_t>(b))) o << "  bit " << b << ": " << bit_names(st.keyword, b) << "\n";
  for (const auto& [k, f] : st.fields) {
    std::string name = field_name(st.keyword, k);
    if (st.keyword == "RUVA" && k == 0) name = "BY variables";
    if (st.keyword == "RUVA" && k == 7) name = "ID variables";
    o << "  field " << k << (name.empty() ? "" : " (" + name + ")") << ": " << field_value(f) << "\n";
  }
  return o.str();
}

std::string step_text(const StepParse& step) {
  TextStream o;
  o << "Procedure statements\n";
  for (const ProcStatement& st : step.statements) o << proc_statement_text(st);
  o << "\nProgram\n" << program_text(step.program);
  return o.str();
}

}  // namespace platform::language
