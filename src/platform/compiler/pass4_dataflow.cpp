// Data flow: for every symbol the program assigns, the inputs its value can
// depend on. An assignment's target depends on the symbols its value reads,
// its subscripts, and the conditions of the IF, SELECT and DO statements
// around it; a jump (GOTO, LINK, RETURN, LEAVE, CONTINUE) taken under a
// condition makes every assignment depend on that condition. The union over
// all paths is taken, so the answer is conservative. The inputs are the
// symbols reached through assignments that take values from outside the
// observation's run: data-set variables, parameters and other external
// cells, retained variables, variables never assigned, and literals; and,
// since their elements are no symbols, the _TEMPORARY_ arrays the program
// assigns, which keep their values from one observation to the next.
#include "platform/compiler/pass4_dataflow.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "platform/compiler/compiler.h"
#include "platform/compiler/listings.h"

namespace platform::compiler {
namespace {

using language::Expr;
using language::ExprKind;
using language::Stmt;
using language::StmtKind;

class FlowGraph {
 public:
  explicit FlowGraph(Compiler& c)
      : c_(c), nsym_(c.symbols.size()), sources_(c.symbols.size() + c.arrays.size()) {
    for (std::size_t k = 0; k < c.arrays.size(); ++k)
      for (Symbol* e : c.arrays[k].elements) {
        sources_[array_node(k)].insert(e->pub.id);
        sources_[static_cast<std::size_t>(e->pub.id)].insert(static_cast<int>(array_node(k)));
      }
  }

  void statement(const Stmt& s);
  // The graph for the searches of flow_inputs.
  FlowGraphResult close();

 private:
  std::size_t array_node(std::size_t k) const { return nsym_ + k; }
  std::size_t array_node(const std::string& key) const {
    return array_node(static_cast<std::size_t>(c_.array_index.at(key)));
  }
  void reads(const Expr& e, std::set<int>* out);
  void assign(const Expr& target, std::set<int> from);
  void with_condition(const Expr* e) {
    if (e) reads(*e, &context_.back());
  }
  void body(const language::StmtList& list) {
    for (const auto& s : list) statement(*s);
  }
  bool input(std::size_t node) const;

  Compiler& c_;
  std::size_t nsym_;
  std::vector<std::set<int>> sources_;
  std::vector<bool> assigned_ = std::vector<bool>(nsym_, false);
  std::vector<bool> assigned_arrays_ = std::vector<bool>(c_.arrays.size(), false);
  std::vector<char> named_ = std::vector<char>(nsym_, 0);
  std::vector<std::vector<long>> writes_ = std::vector<std::vector<long>>(c_.arrays.size());
  std::vector<std::set<int>> context_{{}};  // symbols of the enclosing conditions
  std::set<int> jump_guards_;
};

void FlowGraph::reads(const Expr& e, std::set<int>* out) {
  switch (e.kind) {
    case ExprKind::Number:
      if (Symbol* lit = c_.symbols.find_literal(e.number)) out->insert(lit->pub.id);
      return;
    case ExprKind::Variable:
      if (Symbol* s = c_.symbols.find(e.name)) out->insert(s->pub.id);
      return;
    case ExprKind::ArrayRef:
      out->insert(static_cast<int>(array_node(e.key)));
      break;
    default:
      break;
  }
  for (const auto& arg : e.args) reads(*arg, out);
}

// The row-major index of the element that constant subscripts name, or -1
// when a subscript is not a constant or is out of bounds.
long constant_element(const ArrayInfo& a, const Expr& target) {
  long index = 0;
  for (std::size_t d = 0; d < target.args.size() && d < a.lower.size(); ++d) {
    const Expr& sub = *target.args[d];
    if (sub.kind != ExprKind::Number || sub.number != std::floor(sub.number)) return -1;
    const double at = sub.number - static_cast<double>(a.lower[d]);
    if (at < 0 || at >= static_cast<double>(a.extent[d])) return -1;
    index = index * a.extent[d] + static_cast<long>(at);
  }
  return index;
}

void FlowGraph::assign(const Expr& target, std::set<int> from) {
  for (const auto& level : context_) from.insert(level.begin(), level.end());
  std::size_t node;
  if (target.kind == ExprKind::ArrayRef) {
    for (const auto& sub : target.args) reads(*sub, &from);
    node = array_node(target.key);
    assigned_arrays_[node - nsym_] = true;
    std::vector<long>& writes = writes_[node - nsym_];
    const long element = constant_element(c_.arrays[node - nsym_], target);
    if (std::find(writes.begin(), writes.end(), element) == writes.end()) writes.push_back(element);
    for (Symbol* e : c_.arrays[static_cast<std::size_t>(c_.array_index.at(target.key))].elements)
      assigned_[static_cast<std::size_t>(e->pub.id)] = true;
  } else {
    Symbol* s = c_.symbols.find(target.name);
    if (!s) return;
    node = static_cast<std::size_t>(s->pub.id);
    assigned_[node] = true;
    named_[node] = 1;
  }
  sources_[node].insert(from.begin(), from.end());
}

void FlowGraph::statement(const Stmt& s) {
  std::set<int> from;
  switch (s.kind) {
    case StmtKind::Assign:
      body(s.else_body);
      reads(*s.value, &from);
      assign(*s.target, std::move(from));
      return body(s.body);
    case StmtKind::Model: {
      body(s.else_body);
      reads(*s.value, &from);
      Expr target;
      target.kind = ExprKind::Variable;
      target.name = "MODEL." + s.target->name;
      assign(target, std::move(from));
      return body(s.body);
    }
    case StmtKind::If:
      context_.emplace_back();
      with_condition(s.condition.get());
      body(s.body);
      body(s.else_body);
      context_.pop_back();
      return;
    case StmtKind::Do:
      return body(s.body);
    case StmtKind::DoIterative:
      context_.emplace_back();
      for (const auto& clause : s.clauses) {
        with_condition(clause.start.get());
        with_condition(clause.to.get());
        with_condition(clause.by.get());
        with_condition(clause.while_cond.get());
        with_condition(clause.until_cond.get());
      }
      assign(*s.target, {});
      reads(*s.target, &context_.back());
      body(s.body);
      context_.pop_back();
      return;
    case StmtKind::DoWhile: case StmtKind::DoUntil:
      context_.emplace_back();
      with_condition(s.condition.get());
      body(s.body);
      context_.pop_back();
      return;
    case StmtKind::Select:
      context_.emplace_back();
      with_condition(s.value.get());
      for (const auto& w : s.whens)
        for (const auto& v : w.values) with_condition(v.get());
      for (const auto& w : s.whens)
        if (w.body) statement(*w.body);
      body(s.else_body);
      context_.pop_back();
      return;
    case StmtKind::Goto: case StmtKind::Link: case StmtKind::Return: case StmtKind::Leave:
    case StmtKind::Continue:
      for (const auto& level : context_) jump_guards_.insert(level.begin(), level.end());
      return;
    default:
      return;
  }
}

bool FlowGraph::input(std::size_t node) const {
  if (node >= nsym_) return c_.arrays[node - nsym_].temporary && assigned_arrays_[node - nsym_];
  Symbol& s = c_.symbols.at(node);
  const CMPSYM& p = s.pub;
  const bool own_cell = p.data == c_.cells.cells() + s.cell;
  return !assigned_[node] || p.kind == 'l' || p.dsvarno > 0 || s.retained ||
         (p.type == 'n' && !own_cell) || p.kindcode == kCmpKindParms;
}

FlowGraphResult FlowGraph::close() {
  FlowGraphResult g;
  g.nsym = nsym_;
  g.sources.reserve(sources_.size());
  for (const std::set<int>& from : sources_) g.sources.emplace_back(from.begin(), from.end());
  g.assigned.assign(assigned_.begin(), assigned_.end());
  g.named = named_;
  g.array_writes = writes_;
  g.input.resize(sources_.size());
  for (std::size_t n = 0; n < sources_.size(); ++n) g.input[n] = input(n);
  g.jump_guards.assign(jump_guards_.begin(), jump_guards_.end());
  g.seen.assign(sources_.size(), 0);
  return g;
}

// Every numeric constant of the program becomes a literal symbol first, so
// that the graph's nodes are fixed before it is built.
void intern_literals(Compiler& c, const Expr& e) {
  if (e.kind == ExprKind::Number && !c.symbols.literal(e.number)) c.error(11, "a literal");
  for (const auto& arg : e.args) intern_literals(c, *arg);
}

void intern_literals(Compiler& c, const Stmt& s) {
  for (const Expr* e : {s.target.get(), s.value.get(), s.condition.get()})
    if (e) intern_literals(c, *e);
  for (const auto& clause : s.clauses)
    for (const Expr* e : {clause.start.get(), clause.to.get(), clause.by.get(), clause.while_cond.get(),
                          clause.until_cond.get()})
      if (e) intern_literals(c, *e);
  for (const auto& w : s.whens) {
    for (const auto& v : w.values) intern_literals(c, *v);
    if (w.body) intern_literals(c, *w.body);
  }
  for (const auto& child : s.body) intern_literals(c, *child);
  for (const auto& child : s.else_body) intern_literals(c, *child);
}

}  // namespace

std::string element_name(const ArrayInfo& a, long index) {
  std::vector<long> subscripts(a.extent.size());
  for (std::size_t d = a.extent.size(); d-- > 0;) {
    subscripts[d] = a.lower[d] + index % a.extent[d];
    index /= a.extent[d];
  }
  std::string name = a.name + "[";
  for (std::size_t d = 0; d < subscripts.size(); ++d) name += (d ? "," : "") + std::to_string(subscripts[d]);
  return name + "]";
}

std::vector<int> flow_inputs(FlowGraphResult& g, std::size_t node) {
  std::vector<int> inputs;
  if (node >= g.nsym || !g.assigned[node]) return inputs;
  const unsigned search = ++g.searches;
  bool guards_taken = false;  // jump guards are sources of every assigned symbol
  std::vector<std::size_t> stack{node};
  auto reach = [&](int src) {
    const auto m = static_cast<std::size_t>(src);
    if (g.seen[m] == search) return;
    g.seen[m] = search;
    if (g.input[m]) inputs.push_back(src);
    if (m >= g.nsym || g.assigned[m]) stack.push_back(m);
  };
  while (!stack.empty()) {
    const std::size_t n = stack.back();
    stack.pop_back();
    for (int src : g.sources[n]) reach(src);
    if (n < g.nsym && !guards_taken) {
      guards_taken = true;
      for (int src : g.jump_guards) reach(src);
    }
  }
  std::sort(inputs.begin(), inputs.end());
  return inputs;
}

const std::vector<CMPSYM*>& Compiler::deps(Symbol& s) {
  if (!s.deps_known && flow_) {
    s.deps.clear();
    s.pub.flags[1] &= static_cast<std::uint8_t>(~kCmpReadsCarriedArray);
    for (int id : flow_inputs(*flow_, static_cast<std::size_t>(s.pub.id))) {
      if (static_cast<std::size_t>(id) >= flow_->nsym) s.pub.flags[1] |= kCmpReadsCarriedArray;
      else s.deps.push_back(&symbols.at(static_cast<std::size_t>(id)).pub);
    }
    s.deps_known = true;
  }
  return s.deps;
}

bool Compiler::written(const Symbol& s) {
  const auto id = static_cast<std::size_t>(s.pub.id);
  if (!dataflow(false) || id >= flow_->nsym) return false;
  if (flow_->named[id]) return true;
  for (std::size_t k = 0; k < arrays.size(); ++k) {
    const std::vector<Symbol*>& elements = arrays[k].elements;
    const std::vector<long>& writes = flow_->array_writes[k];
    for (std::size_t i = 0; i < elements.size(); ++i)
      if (elements[i] == &s && std::find_if(writes.begin(), writes.end(), [i](long w) {
                                 return w < 0 || static_cast<std::size_t>(w) == i;
                               }) != writes.end())
        return true;
  }
  return false;
}

std::string Compiler::carried_temporary(Symbol& s) {
  if (!dataflow(false)) return "";
  for (int id : flow_inputs(*flow_, static_cast<std::size_t>(s.pub.id))) {
    if (static_cast<std::size_t>(id) < flow_->nsym) continue;
    const std::size_t k = static_cast<std::size_t>(id) - flow_->nsym;
    const std::vector<long>& writes = flow_->array_writes[k];
    if (writes.empty() || std::find(writes.begin(), writes.end(), -1L) != writes.end()) return arrays[k].name;
    return element_name(arrays[k], writes.front());
  }
  return "";
}

bool Compiler::dataflow(bool xref) {
  if (!analyse()) return false;
  if (!flowed_) {
    for (const auto& cs : statements) intern_literals(*this, *cs->ast);
    FlowGraph graph(*this);
    for (const auto& cs : statements) graph.statement(*cs->ast);
    flow_ = std::make_unique<FlowGraphResult>(graph.close());
    for (std::size_t i = 0; i < symbols.size(); ++i) {
      symbols.at(i).deps.clear();
      symbols.at(i).deps_known = false;
    }
    flowed_ = true;
  }
  if (xref) print_cross_reference(*this);
  return !failed();
}

}  // namespace platform::compiler
