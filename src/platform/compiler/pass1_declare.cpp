// Statements in: each statement the parser hands over is checked for the
// names it uses (functions, arrays, labels), its variables become symbols
// with their flags and occurrences, and its declarations (PARMS, CONTROL,
// RETAIN, ARRAY, LENGTH, LABEL, ATTRIB, FORMAT) are recorded.
#include <algorithm>
#include <climits>
#include <cmath>

#include "host/missing.h"
#include "host/narrow_strings.h"
#include "platform/compiler/compiler.h"
#include "platform/compiler/functions.h"
#include "platform/compiler/language_functions.h"
#include "platform/compiler/source_text.h"
#include "platform/compiler/values.h"

namespace platform::compiler {
namespace {

using language::Expr;
using language::ExprKind;
using language::SourcePos;
using language::Stmt;
using language::StmtKind;

constexpr int kMaxCharLength = 32767;
constexpr int kDuplicateParameter = 140;  // a parameter named twice in PARMS
// The longest label in bytes: the tables keep labels in 256-byte buffers
// that end with a NUL.
constexpr int kMaxLabel = 255;
constexpr int kLabelCut = 31;

// Literal value of an initial-value expression: a number (the parsers give
// it with its sign) or a missing value.
bool literal_number(const Expr& e, double* value) {
  if (e.kind == ExprKind::Number) return *value = e.number, true;
  if (e.kind != ExprKind::Missing) return false;
  *value = missing_literal_value(e.missing);
  return true;
}

class Declarer {
 public:
  Declarer(Compiler& c, int segment) : c_(c), segment_(segment) {}

  void statement(Stmt& s, bool top);
  void expression(Expr& e);

  template <class... A>
  void fail(SourcePos p, int number, A... args) {
    c_.error(number, args..., p.line, p.column);
  }

 private:
  void occurrence(Symbol* s, SourcePos p, bool assigned);
  void target(Expr& e);
  void call(Expr& e);
  void array_ref(Expr& e, ArrayInfo& a);
  void array_decl(Stmt& s);
  void retain(Stmt& s);
  void lengths(Stmt& s);
  void attributes(Stmt& s);
  void body(language::StmtList& list) {
    for (auto& child : list) statement(*child, false);
  }

  Compiler& c_;
  int segment_;
  int loops_ = 0;  // DO loops around the statement
};

void Declarer::occurrence(Symbol* s, SourcePos p, bool assigned) {
  if (!s) return;
  s->pub.flags[0] |= assigned ? kCmpAssigned : kCmpReferenced;
  s->occurrences.push_back({p.line, p.column, assigned, segment_});
}

void Declarer::target(Expr& e) {
  if (e.kind == ExprKind::Call && c_.array_index.count(e.key)) e.kind = ExprKind::ArrayRef;
  if (e.kind == ExprKind::Call) return fail(e.pos, 3, e.name.c_str());
  if (e.kind == ExprKind::ArrayRef) {
    auto it = c_.array_index.find(e.key);
    if (it == c_.array_index.end()) return fail(e.pos, 3, e.name.c_str());
    ArrayInfo& a = c_.arrays[static_cast<std::size_t>(it->second)];
    for (auto& sub : e.args) expression(*sub);
    if (e.args.size() != a.lower.size())
      return fail(e.pos, 4, a.name.c_str(), static_cast<int>(a.lower.size()),
                  static_cast<int>(e.args.size()));
    for (Symbol* element : a.elements) occurrence(element, e.pos, true);
    return;
  }
  if (c_.array_index.count(e.key)) return fail(e.pos, 16, e.name.c_str());
  occurrence(c_.variable(e.name), e.pos, true);
}

void Declarer::array_ref(Expr& e, ArrayInfo& a) {
  e.kind = ExprKind::ArrayRef;
  for (auto& sub : e.args) expression(*sub);
  if (e.args.size() != a.lower.size())
    return fail(e.pos, 4, a.name.c_str(), static_cast<int>(a.lower.size()),
                static_cast<int>(e.args.size()));
  for (Symbol* element : a.elements) occurrence(element, e.pos, false);
}

void Declarer::call(Expr& e) {
  if (auto it = c_.array_index.find(e.key); it != c_.array_index.end())
    return array_ref(e, c_.arrays[static_cast<std::size_t>(it->second)]);
  int n = static_cast<int>(e.args.size());
  if (const LanguageFunction* f = find_language_function(e.key)) {
    if (n < f->min_args || n > f->max_args)
      return fail(e.pos, 2, e.key.c_str(), f->arity_text, n);
    if (f->array_argument) {
      const Expr& first = *e.args[0];
      if (first.kind != ExprKind::Variable || !c_.array_index.count(first.key))
        return fail(e.pos, 20, e.key.c_str());
      for (std::size_t i = 1; i < e.args.size(); ++i) expression(*e.args[i]);
      return;
    }
    for (auto& arg : e.args) expression(*arg);
    return;
  }
  if (e.key == "PDF" || e.key == "CDF") {
    if (n < 2 || n > 4) return fail(e.pos, 2, e.key.c_str(), "2 to 4", n);
    if (e.args[0]->kind != ExprKind::String) return fail(e.pos, 13, e.key.c_str());
    const std::string dist = upper_key(e.args[0]->name);
    if (dist != "NORMAL" && dist != "NORM" && dist != "GAUSS")
      return fail(e.pos, 12, e.args[0]->name.c_str(), e.key.c_str());
    e.key += ":NORMAL";
    e.args.erase(e.args.begin());
    --n;
  }
  const int id = find_function(e.key);
  if (id < 0) return fail(e.pos, 1, e.name.c_str());
  const FunctionDef& f = function_def(id);
  if (n < f.min_args || (f.max_args >= 0 && n > f.max_args)) {
    const std::string arity = f.max_args < 0 ? "at least " + std::to_string(f.min_args)
                              : f.min_args == f.max_args
                                  ? std::to_string(f.min_args)
                                  : std::to_string(f.min_args) + " to " + std::to_string(f.max_args);
    return fail(e.pos, 2, e.name.c_str(), arity.c_str(), n);
  }
  for (auto& arg : e.args) expression(*arg);
}

void Declarer::expression(Expr& e) {
  switch (e.kind) {
    case ExprKind::Variable:
      if (c_.array_index.count(e.key)) return fail(e.pos, 16, e.name.c_str());
      return occurrence(c_.variable(e.name), e.pos, false);
    case ExprKind::ArrayRef: {
      auto it = c_.array_index.find(e.key);
      if (it == c_.array_index.end()) return fail(e.pos, 3, e.name.c_str());
      return array_ref(e, c_.arrays[static_cast<std::size_t>(it->second)]);
    }
    case ExprKind::Call:
      return call(e);
    case ExprKind::Unary: case ExprKind::Binary: case ExprKind::In:
      for (auto& arg : e.args) expression(*arg);
      return;
    case ExprKind::Number:
      if (!std::isfinite(e.number)) fail(e.pos, 27);
      return;
    default:
      return;
  }
}

void Declarer::array_decl(Stmt& s) {
  language::ArrayDecl& d = *s.array;
  if (c_.array_index.count(d.key)) return fail(s.pos, 5, d.name.c_str());
  ArrayInfo a;
  a.name = d.name;
  a.key = d.key;
  a.character = d.is_char;
  a.temporary = d.temporary;
  if (d.length) a.length = d.length;
  if (a.length < 1 || a.length > kMaxCharLength)
    return fail(s.pos, 23, a.length, d.name.c_str());
  std::vector<Symbol*> listed = c_.expand(d.elements, true);
  for (std::size_t k = 0; k < d.dims.size(); ++k) {
    const auto& dim = d.dims[k];
    long extent = dim.star ? static_cast<long>(listed.size()) : dim.upper - dim.lower + 1;
    if (dim.star && d.dims.size() == 1 && listed.empty()) return fail(s.pos, 6, d.name.c_str());
    if (extent < 1) return fail(s.pos, 15, d.name.c_str(), dim.lower, dim.upper);
    a.lower.push_back(dim.star ? 1 : dim.lower);
    a.extent.push_back(extent);
  }
  const long count = a.count();
  if (count > CellStore::kMaxCells) return c_.error(11, d.name.c_str());
  if (!a.temporary) {
    if (listed.empty()) {
      for (long i = 1; i <= count; ++i) listed.push_back(c_.variable(d.name + std::to_string(i)));
    } else if (static_cast<long>(listed.size()) != count) {
      return fail(s.pos, 7, d.name.c_str(), count, static_cast<long>(listed.size()));
    }
    a.elements = listed;
  }
  if (static_cast<long>(d.initial.size()) > count)
    return fail(s.pos, 14, d.name.c_str(), count, static_cast<long>(d.initial.size()));
  for (auto& init : d.initial) {
    double v = 0;
    if (init->kind == ExprKind::String) a.char_initial.push_back(init->name);
    else if (literal_number(*init, &v)) a.initial.push_back(v);
  }
  for (std::size_t i = 0; i < a.elements.size(); ++i) {
    Symbol* e = a.elements[i];
    if (!e) return;  // no cell was left: reported already
    e->declared_type = a.character ? '$' : 'n';
    if (a.character) e->declared_length = a.length;
    const bool has_init = i < (a.character ? a.char_initial.size() : a.initial.size());
    if (has_init) {
      e->retained = true;
      e->pub.flags[0] |= kCmpHasInitial;
      if (a.character) {
        e->char_init = a.char_initial[i];
        e->has_char_init = true;
      } else {
        e->init_values = {a.initial[i]};
        e->pub.ninit = 1;
        e->pub.init = e->init_values.data();
      }
    }
  }
  c_.array_index.emplace(a.key, static_cast<int>(c_.arrays.size()));
  c_.arrays.push_back(std::move(a));
}

void Declarer::retain(Stmt& s) {
  const bool control = s.kind == StmtKind::Control;
  for (auto& item : s.retains) {
    std::vector<Symbol*> vars = c_.expand(item.vars, true);
    for (std::size_t i = 0; i < vars.size(); ++i) {
      Symbol* v = vars[i];
      if (!v) continue;
      v->retained = true;
      if (control) v->pub.kindcode = kCmpKindControl;
      // One value goes to every variable of the list; several go in order.
      const Expr* init = item.initial.size() == 1   ? item.initial[0].get()
                         : i < item.initial.size() ? item.initial[i].get()
                                                    : nullptr;
      if (!init) continue;
      double value = 0;
      if (init->kind == ExprKind::String) {
        v->char_init = init->name;
        v->has_char_init = true;
        if (v->declared_type == ' ') v->declared_type = '$';
        if (!v->declared_length)
          v->declared_length = std::max(1, static_cast<int>(init->name.size()));
      } else if (literal_number(*init, &value)) {
        v->init_values = {value};
        v->pub.ninit = 1;
        v->pub.init = v->init_values.data();
      }
      v->pub.flags[0] |= kCmpHasInitial;
    }
  }
}

void Declarer::lengths(Stmt& s) {
  for (auto& item : s.lengths) {
    if (item.length < 1 || item.length > kMaxCharLength)
      return fail(s.pos, 23, item.length, var_list_text(item.vars).c_str());
    for (Symbol* v : c_.expand(item.vars, true)) {
      v->declared_type = item.is_char ? '$' : 'n';
      if (item.is_char) v->declared_length = item.length;
    }
  }
}

void Declarer::attributes(Stmt& s) {
  for (auto& item : s.attribs) {
    if (item.has_label && item.label.size() > static_cast<std::size_t>(kMaxLabel)) {
      const int length = static_cast<int>(std::min<std::size_t>(item.label.size(), INT_MAX));
      c_.note(kLabelCut, var_list_text(item.vars).c_str(), item.label_pos.line, item.label_pos.column, length,
              kMaxLabel);
      item.label.resize(static_cast<std::size_t>(utf8_cut_length(item.label.data(), length, kMaxLabel)));
    }
    for (Symbol* v : c_.expand(item.vars, true)) {
      if (item.has_label) v->label = item.label;
      if (!item.format.empty()) v->format = item.format;
      if (item.length) {
        v->declared_type = item.is_char ? '$' : 'n';
        if (item.is_char) v->declared_length = item.length;
      }
    }
  }
}

void Declarer::statement(Stmt& s, bool top) {
  if (segment_ == 0) {
    for (const std::string& label : s.labels) {
      const std::string key = upper_key(label);
      if (!c_.labels.emplace(key, &s).second) fail(s.pos, 9, label.c_str());
    }
  }
  switch (s.kind) {
    case StmtKind::Assign:
      expression(*s.value);
      return target(*s.target);
    case StmtKind::Model: {
      expression(*s.value);
      c_.variable(s.target->name);  // the dependent variable, read by the procedure
      Symbol* m = c_.variable("MODEL." + s.target->name);
      return occurrence(m, s.target->pos, true);
    }
    case StmtKind::If:
      expression(*s.condition);
      body(s.body);
      return body(s.else_body);
    case StmtKind::Do:
      return body(s.body);
    case StmtKind::DoIterative:
      if (s.target->kind != ExprKind::Variable) return fail(s.target->pos, 28);
      for (auto& clause : s.clauses) {
        for (auto* e : {clause.start.get(), clause.to.get(), clause.by.get(), clause.while_cond.get(),
                        clause.until_cond.get()})
          if (e) expression(*e);
      }
      target(*s.target);
      [[fallthrough]];
    case StmtKind::DoWhile: case StmtKind::DoUntil:
      if (s.condition) expression(*s.condition);
      ++loops_;
      body(s.body);
      --loops_;
      return;
    case StmtKind::Select:
      if (s.value) expression(*s.value);
      for (auto& w : s.whens) {
        for (auto& v : w.values) expression(*v);
        if (w.body) statement(*w.body, false);
      }
      return body(s.else_body);
    case StmtKind::Retain:
      return retain(s);
    case StmtKind::Array:
      return array_decl(s);
    case StmtKind::Length:
      return lengths(s);
    case StmtKind::Label: case StmtKind::Attrib: case StmtKind::Format:
      return attributes(s);
    case StmtKind::Keep: case StmtKind::Drop:
      c_.expand(s.vars, true);
      return;
    case StmtKind::Leave: case StmtKind::Continue:
      if (!loops_) fail(s.pos, 10, statement_keyword(s));
      return;
    case StmtKind::Put:
      for (auto& item : s.puts)
        if (item.value) expression(*item.value);
      return;
    case StmtKind::Where:
      if (!top) fail(s.pos, 17, "WHERE");
      return expression(*s.condition);
    case StmtKind::Control:
      if (!top) return fail(s.pos, 17, statement_keyword(s));
      return retain(s);
    case StmtKind::Parms: case StmtKind::Estimate: case StmtKind::Contrast:
      if (!top) fail(s.pos, 17, statement_keyword(s));
      return;
    default:
      return;
  }
}

// PARMS: the parameters with their starting values, ranges expanded.
std::vector<CMPSYM*> declare_parms(Compiler& c, Declarer& d, const Stmt& s) {
  std::vector<CMPSYM*> out;
  for (const auto& group : s.parm_groups) {
    std::vector<double> values;
    for (const auto& v : group.values) {
      if (!v.has_to) {
        values.push_back(v.start);
        continue;
      }
      const double steps = v.by == 0 ? -1 : std::floor((v.to - v.start) / v.by + 1e-10);
      if (!(steps >= 0) || steps > 1e6) {
        d.fail(s.pos, 18, number_text(v.start).c_str(), number_text(v.to).c_str(),
               number_text(v.by).c_str(), var_list_text(group.names).c_str());
        continue;
      }
      for (long k = 0; k <= static_cast<long>(steps); ++k) values.push_back(v.start + k * v.by);
    }
    for (Symbol* p : c.expand(group.names, true)) {
      // A second mention would silently replace the first one's values.
      if (p->pub.kindcode == kCmpKindParms) {
        d.fail(s.pos, kDuplicateParameter, p->pub.name);
        continue;
      }
      p->pub.kindcode = kCmpKindParms;
      p->pub.flags[0] |= kCmpMarked;
      p->pub.flags[2] |= kCmpDeclaredParm;
      p->declared_type = 'n';
      if (!values.empty()) {
        p->init_values = values;
        p->pub.flags[0] |= kCmpHasInitial;
      }
      p->pub.ninit = static_cast<std::int32_t>(p->init_values.size());
      p->pub.init = p->init_values.empty() ? nullptr : p->init_values.data();
      out.push_back(&p->pub);
    }
  }
  return out;
}

}  // namespace

long ArrayInfo::count() const {
  // Past the cells there are, the count stops growing.
  constexpr long kCap = long{CellStore::kMaxCells} + 1;
  long n = 1;
  for (long e : extent) n = std::min(kCap, n * std::min(kCap, e));
  return n;
}

std::vector<CMPSYM*> Compiler::add_statement(language::StmtPtr stmt) {
  if (!stmt) return {};
  changed();
  program.reset();
  std::vector<CMPSYM*> out;
  auto push = [&](int segment, language::StmtPtr ast, std::string source) {
    auto cs = std::make_unique<CMPSTMT>();
    cs->segment = segment;
    cs->number = static_cast<int>(statements.size()) + 1;
    cs->keyword = statement_keyword(*ast);
    cs->source = source.empty() ? statement_text(*ast) : std::move(source);
    cs->ast = std::move(ast);
    statements.push_back(std::move(cs));
  };
  switch (stmt->kind) {
    case StmtKind::Parms: {
      Declarer d(*this, 0);
      return declare_parms(*this, d, *stmt);
    }
    case StmtKind::Control: {
      Declarer d(*this, 0);
      d.statement(*stmt, true);
      for (const auto& item : stmt->retains)
        for (Symbol* v : expand(item.vars, false)) out.push_back(&v->pub);
      return out;
    }
    case StmtKind::Estimate: case StmtKind::Contrast: {
      const bool estimate = stmt->kind == StmtKind::Estimate;
      for (auto& e : stmt->exprs) {
        const int n = estimate ? ++estimates : ++contrast_rows;
        const std::string name = (estimate ? "ESTIMATE." : "CONTRAST.") + std::to_string(n);
        Symbol* sym = symbols.define(name);
        if (!sym) {
          error(11, name.c_str());
          return out;
        }
        sym->pub.type = 'n';
        sym->hidden = true;
        sym->segment = 1;
        auto assign = std::make_unique<Stmt>();
        assign->kind = StmtKind::Assign;
        assign->pos = e->pos;
        assign->target = std::make_unique<Expr>();
        assign->target->kind = ExprKind::Variable;
        // The expression symbol is assigned where the statement starts, which
        // the procedure's messages about the statement give.
        assign->target->pos = stmt->pos;
        assign->target->name = sym->name;
        assign->target->key = sym->key;
        assign->value = std::move(e);
        Declarer(*this, 1).statement(*assign, true);
        out.push_back(&sym->pub);
        push(1, std::move(assign), "");
      }
      return out;
    }
    case StmtKind::Where: {
      Declarer(*this, 2).statement(*stmt, true);
      std::string source = stmt->source;
      push(2, std::move(stmt), std::move(source));
      return out;
    }
    default: {
      Declarer(*this, 0).statement(*stmt, true);
      std::string source = stmt->source;
      push(0, std::move(stmt), std::move(source));
      return out;
    }
  }
}

}  // namespace platform::compiler
