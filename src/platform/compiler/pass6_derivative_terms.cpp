// An objective's second derivatives as products of first derivatives. For
// an assignment v = e(u_1, ..., u_m), u_i the variables e reads that depend
// on the variables of differentiation, the chain rule gives
//   H_v = sum_i e_i H_{u_i} + sum_{i,j} e_ij g_{u_i} g_{u_j}'
// with e_i and e_ij the partial derivatives of e in the u's, g_u the vector
// of u's first derivatives and H_u its second derivatives; a variable of
// differentiation has a unit vector for g and no H. Carried back from the
// objective through what it reads, H is a sum of coefficients times
// products g_a g_b' + g_b g_a' (g_a g_a' when a is b): the pairs (a, b),
// the slots, are found when the program is compiled, and each assignment
// computes the coefficients of its target's slots, one statement each,
// instead of one statement per pair of variables of differentiation. A
// model whose predictor is linear in its p parameters and whose loss is a
// function of a function of it has two slots, where the pairs are p(p+1)/2.
//
// The coefficients are right only where a run computes every value once,
// in the order of the program, and no vector changes after a product that
// refers to it was formed: the objective is factored only in a program
// without loops and jumps (DO loops, GOTO, LINK), whose values it reads
// are variables that are not retained (no array element that varies), and
// where each vector a product refers to is assigned only before the
// assignment that forms the product. Elsewhere the request is dropped, and
// the caller asks for the second derivatives pair by pair.
#include <algorithm>
#include <functional>

#include "platform/compiler/pass6_derivative_rules.h"
#include "platform/compiler/pass6_derivatives.h"

namespace platform::compiler {
namespace {

using language::Expr;
using language::ExprPtr;
namespace dx = dexpr;

// Each slot costs a statement and up to two rank-one updates per
// observation: a loss of many values that are not linear keeps its pairs.
constexpr std::size_t kMostSlots = 16;

// The partial derivative in one variable of the program: every other
// variable is held.
class OneVariable : public Leaves {
 public:
  OneVariable(Compiler& c, const Symbol* s) : c_(c), s_(s) {}
  ExprPtr of_variable(const Expr& v) override {
    return dx::number(c_.symbols.find(v.name) == s_ ? 1 : 0);
  }
  ExprPtr of_element(const Expr&) override { return dx::number(0); }
  void unsupported(const Expr&, int) override { failed = true; }
  bool failed = false;

 private:
  Compiler& c_;
  const Symbol* s_;
};

// Whether every run goes through the program's statements in order, each
// at most once.
bool straight(const language::Stmt& s) {
  if (s.kind == language::StmtKind::DoIterative || s.kind == language::StmtKind::DoWhile ||
      s.kind == language::StmtKind::DoUntil || s.kind == language::StmtKind::Goto ||
      s.kind == language::StmtKind::Link)
    return false;
  auto all_straight = [](const language::StmtList& list) {
    return std::all_of(list.begin(), list.end(), [](const auto& c) { return straight(*c); });
  };
  return all_straight(s.body) && all_straight(s.else_body) &&
         std::all_of(s.whens.begin(), s.whens.end(),
                     [](const auto& w) { return !w.body || straight(*w.body); });
}

// The variables through which a derivative flows into e, each once, and
// the arrays whose elements it reads.
void read_variables(const Expr& e, Compiler& c, std::vector<Symbol*>* out,
                    std::vector<int>* arrays) {
  if (e.kind == language::ExprKind::Variable) {
    Symbol* s = c.symbols.find(e.name);
    if (s && std::find(out->begin(), out->end(), s) == out->end()) out->push_back(s);
    return;
  }
  if (e.kind == language::ExprKind::ArrayRef) {
    arrays->push_back(c.array_index.at(e.key));
    return;
  }
  differentiable_operands(e, [&](const Expr& a) { read_variables(a, c, out, arrays); });
}

bool any_of(const std::vector<bool>& bits) {
  return std::find(bits.begin(), bits.end(), true) != bits.end();
}

}  // namespace

bool Derivatives::factor_terms(const std::vector<Site>& all) {
  site_terms_.clear();
  slots_.clear();
  if (std::none_of(requests_.begin(), requests_.end(), [](const Request& r) { return r.terms; }))
    return true;
  for (auto& cs : c_.statements)
    if (cs->segment == 0 && !straight(*cs->ast)) return false;
  std::vector<int> nodes;
  return term_sites(all, &nodes) && fill_slots(all, nodes);
}

// The partial derivatives of every assignment to the objectives and to what
// they read, back to the variables of differentiation; `nodes` gets the
// nodes met.
bool Derivatives::term_sites(const std::vector<Site>& all, std::vector<int>* nodes) {
  std::vector<int> pending;
  for (const Request& r : requests_)
    if (r.terms) pending.push_back(find(r.objective));
  while (!pending.empty()) {
    const int n = pending.back();
    pending.pop_back();
    if (std::find(nodes->begin(), nodes->end(), n) != nodes->end()) continue;
    if (n >= array_base_ || wrt_node(n) || c_.symbols.at(static_cast<std::size_t>(n)).retained)
      return false;
    nodes->push_back(n);
    for (const Site& site : all)
      if (site.node == n && !site_partials(site, &pending)) return false;
  }
  return true;
}

// The partial derivatives of the value assigned at `site` in the variables
// it reads, first and second; `pending` gets the nodes of those variables.
bool Derivatives::site_partials(const Site& site, std::vector<int>* pending) {
  if (!site.target || is_selection(*site.stmt->value)) return false;
  const Expr& value = *site.stmt->value;
  std::vector<Symbol*> read;
  std::vector<int> arrays;
  read_variables(value, c_, &read, &arrays);
  // An element that varies is not a variable of its own.
  for (int k : arrays)
    if (any_of(active_[static_cast<std::size_t>(find(array_base_ + k))])) return false;
  SiteTerms t;
  for (Symbol* s : read) {
    const auto bit = bit_of_.find(s->pub.id);
    const int node = node_of(*s);
    if (bit == bit_of_.end() && !any_of(active_[static_cast<std::size_t>(node)])) continue;
    OneVariable leaf(c_, s);
    ExprPtr partial = differentiate(value, leaf);
    if (leaf.failed) return false;
    if (dx::is_zero(*partial)) continue;
    if (bit == bit_of_.end()) {
      if (node >= array_base_) return false;
      pending->push_back(node);
    }
    t.leaves.push_back(
        {s, node, bit == bit_of_.end() ? node : -1 - bit->second, std::move(partial)});
  }
  for (std::size_t i = 0; i < t.leaves.size(); ++i)
    for (std::size_t j = i; j < t.leaves.size(); ++j) {
      OneVariable leaf(c_, t.leaves[j].symbol);
      ExprPtr second = differentiate(*t.leaves[i].partial, leaf);
      if (leaf.failed) return false;
      if (dx::is_zero(*second)) continue;
      const int a = t.leaves[i].vector, b = t.leaves[j].vector;
      t.seconds.emplace_back(Slot{std::min(a, b), std::max(a, b)}, std::move(second));
    }
  site_terms_[site.stmt] = std::move(t);
  return true;
}

// Each node's slots, until nothing changes; then the checks that the
// products are right and few enough, and the coefficient symbols.
bool Derivatives::fill_slots(const std::vector<Site>& all, const std::vector<int>& nodes) {
  for (bool changed = true; changed;) {
    changed = false;
    for (const Site& site : all) {
      auto t = site_terms_.find(site.stmt);
      if (t == site_terms_.end()) continue;
      std::set<Slot>& into = slots_[site.node];
      const std::size_t before = into.size();
      for (const auto& [slot, second] : t->second.seconds) into.insert(slot);
      for (const Leaf& leaf : t->second.leaves)
        if (leaf.vector >= 0 && leaf.node != site.node) {
          const std::set<Slot> of_leaf = slots_[leaf.node];
          into.insert(of_leaf.begin(), of_leaf.end());
        }
      if (into.size() > kMostSlots) return false;
      changed = changed || into.size() != before;
    }
  }
  // A vector must keep the value it had when a product took it.
  for (std::size_t i = 0; i < all.size(); ++i) {
    auto t = site_terms_.find(all[i].stmt);
    if (t == site_terms_.end()) continue;
    for (const auto& [slot, second] : t->second.seconds)
      for (std::size_t k = i; k < all.size(); ++k)
        if (all[k].node == slot.first || all[k].node == slot.second) return false;
  }
  auto name = [&](int vector) {
    return c_.symbols
        .at(static_cast<std::size_t>(vector >= 0 ? vector
                                                 : wrt_[static_cast<std::size_t>(-1 - vector)]))
        .name;
  };
  for (int n : nodes)
    for (const Slot& slot : slots_[n]) {
      Symbol* s = new_symbol("@H" + c_.symbols.at(static_cast<std::size_t>(n)).name + "/@" +
                                 name(slot.first) + "@" + name(slot.second),
                             nullptr);
      if (!s) return false;
      coefficients_[{n, slot}] = s;
    }
  return true;
}

std::vector<std::pair<Symbol*, ExprPtr>> Derivatives::term_values(const Site& site) {
  std::vector<std::pair<Symbol*, ExprPtr>> out;
  auto t = site_terms_.find(site.stmt);
  if (t == site_terms_.end()) return out;
  for (const Slot& slot : slots_[site.node]) {
    ExprPtr sum = dx::number(0);
    for (const auto& [of, second] : t->second.seconds)
      if (of == slot) sum = dx::add(std::move(sum), dx::clone(*second));
    for (const Leaf& leaf : t->second.leaves)
      if (leaf.vector >= 0 && slots_[leaf.node].count(slot))
        sum = dx::add(std::move(sum), dx::mul(dx::clone(*leaf.partial),
                                              dx::variable(*coefficients_.at({leaf.node, slot}))));
    out.emplace_back(coefficients_.at({site.node, slot}), std::move(sum));
  }
  return out;
}

bool Derivatives::request_terms(const std::vector<CMPSYM*>& objectives,
                                const std::vector<CMPSYM*>& wrt, std::vector<Term>* terms) {
  terms->clear();
  if (c_.failed()) return false;
  const std::size_t before = requests_.size();
  for (CMPSYM* objective : objectives) {
    if (!objective || objective->type == '$' || objective->kind == 'l') continue;
    for (CMPSYM* w : wrt) {
      if (!w || w->type == '$') continue;
      auto [it, added] = bit_of_.emplace(w->id, static_cast<int>(wrt_.size()));
      if (added) wrt_.push_back(w->id);
      requests_.push_back({objective->id, it->second, true, true});
    }
  }
  tentative_ = true;
  unsupported_ = false;
  const bool built = rebuild();
  tentative_ = false;
  if (!built || unsupported_) {
    requests_.resize(before);
    rebuild();
    return false;
  }
  auto vector_symbol = [&](int vector) {
    const int id = vector >= 0 ? vector : wrt_[static_cast<std::size_t>(-1 - vector)];
    return &c_.symbols.at(static_cast<std::size_t>(id)).pub;
  };
  for (std::size_t i = 0; i < objectives.size(); ++i) {
    if (!objectives[i] || objectives[i]->type == '$' || objectives[i]->kind == 'l') continue;
    const int n = find(objectives[i]->id);
    for (const Slot& slot : slots_[n])
      terms->push_back({static_cast<int>(i), &coefficients_.at({n, slot})->pub,
                        vector_symbol(slot.first), vector_symbol(slot.second)});
  }
  return true;
}

}  // namespace platform::compiler
