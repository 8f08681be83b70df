// The analyses behind the derivative statements: which assignments there
// are, which variables can depend on which variables of differentiation
// (activity), which derivatives the requests need (propagated back from the
// objectives), the values worth computing once, and the derivative symbols.
#include "platform/compiler/pass6_derivatives.h"

#include <algorithm>
#include <functional>
#include <numeric>
#include <unordered_set>

#include "platform/compiler/pass6_derivative_rules.h"
#include "platform/compiler/functions.h"
#include "platform/compiler/language_functions.h"

namespace platform::compiler {
namespace {

using language::Expr;
using language::ExprKind;
using language::Stmt;
using language::StmtKind;

int pair_index(int lo, int hi) {
  return hi * (hi + 1) / 2 + lo;
}

// Sets the bit; true when it was clear.
bool set_bit(std::vector<bool>& bits, int k) {
  if (bits[static_cast<std::size_t>(k)]) return false;
  bits[static_cast<std::size_t>(k)] = true;
  return true;
}

bool any(const std::vector<bool>& bits) {
  return std::find(bits.begin(), bits.end(), true) != bits.end();
}

// Removes the derivative statements of every assignment (the shared values stay).
void strip(Stmt& s) {
  if (s.kind == StmtKind::Assign || s.kind == StmtKind::Model) {
    s.body.clear();
    for (auto& pre : s.else_body) strip(*pre);
    return;
  }
  for (auto& child : s.body) strip(*child);
  for (auto& child : s.else_body) strip(*child);
  for (auto& w : s.whens)
    if (w.body) strip(*w.body);
}

}  // namespace

int Derivatives::find(int n) const {
  if (n >= static_cast<int>(parent_.size())) return n;  // made since the nodes were assigned
  while (parent_[static_cast<std::size_t>(n)] != n) n = parent_[static_cast<std::size_t>(n)];
  return n;
}

std::vector<Derivatives::Site> Derivatives::sites() {
  std::vector<Site> out;
  std::function<void(Stmt&)> visit = [&](Stmt& s) {
    if (s.kind == StmtKind::Assign || s.kind == StmtKind::Model) {
      for (auto& pre : s.else_body) visit(*pre);
      Site site;
      site.stmt = &s;
      if (s.kind == StmtKind::Model) {
        site.target = c_.symbols.find("MODEL." + s.target->name);
      } else if (s.target->kind == ExprKind::ArrayRef) {
        site.array = c_.array_index.at(s.target->key);
        if (c_.arrays[static_cast<std::size_t>(site.array)].character) return;
      } else {
        site.target = c_.symbols.find(s.target->name);
      }
      if (site.target && site.target->pub.type == '$') return;
      out.push_back(site);
      return;
    }
    for (auto& child : s.body) visit(*child);
    for (auto& child : s.else_body) visit(*child);
    for (auto& w : s.whens)
      if (w.body) visit(*w.body);
  };
  for (int segment : {0, 1})
    for (auto& cs : c_.statements)
      if (cs->segment == segment) visit(*cs->ast);
  return out;
}

// Symbols are nodes of their own; an array and its elements are one node.
void Derivatives::assign_nodes() {
  const int nsym = static_cast<int>(c_.symbols.size());
  array_base_ = nsym;
  parent_.resize(static_cast<std::size_t>(nsym) + c_.arrays.size());
  std::iota(parent_.begin(), parent_.end(), 0);
  for (std::size_t k = 0; k < c_.arrays.size(); ++k)
    for (const Symbol* e : c_.arrays[k].elements) {
      const int a = find(array_base_ + static_cast<int>(k)), b = find(e->pub.id);
      if (a != b) parent_[static_cast<std::size_t>(b)] = a;
    }
}

namespace {

// The nodes whose derivatives flow into e.
void read_nodes(const Expr& e, Compiler& c, int array_base, const std::function<int(int)>& find,
                const std::function<void(int)>& visit) {
  if (e.kind == ExprKind::Variable) {
    if (const Symbol* s = c.symbols.find(e.name)) visit(find(s->pub.id));
    return;
  }
  if (e.kind == ExprKind::ArrayRef) {
    visit(find(array_base + c.array_index.at(e.key)));
    return;
  }
  differentiable_operands(e, [&](const Expr& a) { read_nodes(a, c, array_base, find, visit); });
}

}  // namespace

void Derivatives::activity(const std::vector<Site>& all) {
  const std::size_t nbits = wrt_.size();
  active_.assign(parent_.size(), std::vector<bool>(nbits, false));
  for (std::size_t b = 0; b < nbits; ++b)
    active_[static_cast<std::size_t>(find(wrt_[b]))][b] = true;
  const auto finder = [this](int n) { return find(n); };
  for (bool changed = true; changed;) {
    changed = false;
    for (const Site& s : all) {
      // Assignments to a variable of differentiation do not change its derivative.
      if (s.target && bit_of_.count(s.target->pub.id)) continue;
      auto& into = active_[static_cast<std::size_t>(s.node)];
      read_nodes(*s.stmt->value, c_, array_base_, finder, [&](int n) {
        const auto& from = active_[static_cast<std::size_t>(n)];
        for (std::size_t b = 0; b < nbits; ++b)
          if (from[b] && !into[b]) into[b] = changed = true;
      });
    }
  }
}

namespace {

constexpr std::size_t kLargestCopied = 64;  // nodes

// Nodes whose derivative copies their operands: products, quotients,
// powers, selections and the numeric functions (log(u) gives u'/u).
bool copies_operands(const Expr& e) {
  using language::BinaryOp;
  if (e.kind == ExprKind::Call) return !find_language_function(e.key) && find_function(e.key) >= 0;
  return e.kind == ExprKind::Binary && (e.binary_op == BinaryOp::Multiply || e.binary_op == BinaryOp::Divide ||
                                        e.binary_op == BinaryOp::Power || e.binary_op == BinaryOp::Min ||
                                        e.binary_op == BinaryOp::Max);
}

}  // namespace

// Values that derivatives would compute again (exp(u) inside an expression,
// a MIN inside an expression) and values that read their own target become
// hidden variables assigned just before the statement.
void Derivatives::hoist(const std::vector<Site>& all) {
  const auto finder = [this](int n) { return find(n); };
  auto varies = [&](const Expr& e) {
    bool out = false;
    // A value moved out already (a symbol newer than the analysis) varies.
    read_nodes(e, c_, array_base_, finder, [&](int n) {
      out =
          out || n >= static_cast<int>(active_.size()) || any(active_[static_cast<std::size_t>(n)]);
    });
    return out;
  };
  for (const Site& site : all) {
    if (!any(active_[static_cast<std::size_t>(site.node)])) continue;
    Stmt& s = *site.stmt;
    auto to_temp = [&](language::ExprPtr& slot) {
      Symbol* t = new_symbol("@T" + std::to_string(++temps_), nullptr);
      if (!t) return;
      t->hidden = true;
      t->pub.kind = 'v';
      auto assign = std::make_unique<Stmt>();
      assign->kind = StmtKind::Assign;
      assign->pos = slot->pos;
      assign->target = dexpr::variable(*t, slot->pos);
      assign->value = std::move(slot);
      slot = dexpr::variable(*t, assign->pos);
      s.else_body.push_back(std::move(assign));
    };
    // Returns the size of e once what it holds was moved out. The rules copy
    // the operands of some nodes (copies_operands): an operand
    // larger than kLargestCopied is computed once, so that a chain
    // a*b*c*... does not copy ever larger trees (its derivative would grow
    // with the square of its length).
    std::function<std::size_t(language::ExprPtr&)> inner = [&](language::ExprPtr& e) -> std::size_t {
      std::size_t size = 1;
      const bool copies = copies_operands(*e);
      for (auto& a : e->args) {
        std::size_t part = inner(a);
        if (copies && part > kLargestCopied) {
          to_temp(a);
          part = 1;
        }
        size += part;
      }
      if ((is_selection(*e) || reuses_own_value(*e)) && varies(*e)) {
        to_temp(e);
        return 1;
      }
      return size;
    };
    for (auto& a : s.value->args)
      if (inner(a) > kLargestCopied && copies_operands(*s.value)) to_temp(a);
    bool self = false;
    std::function<void(const Expr&)> reads_target = [&](const Expr& e) {
      if (e.kind == ExprKind::Variable || e.kind == ExprKind::ArrayRef) {
        const Symbol* v = e.kind == ExprKind::Variable ? c_.symbols.find(e.name) : nullptr;
        const int n = v ? find(v->pub.id) : find(array_base_ + c_.array_index.at(e.key));
        self = self || n == site.node;
      }
      for (const auto& a : e.args) reads_target(*a);
    };
    reads_target(*s.value);
    if (self && varies(*s.value)) to_temp(s.value);
  }
}

bool Derivatives::wrt_node(int n) const {
  if (std::none_of(wrt_.begin(), wrt_.end(), [&](int id) { return find(id) == n; })) return false;
  // An array that holds a variable the program assigns as well passes needs
  // on to that variable's assignments.
  for (std::size_t k = 0; k < c_.arrays.size(); ++k)
    if (find(array_base_ + static_cast<int>(k)) == n)
      for (const Symbol* e : c_.arrays[k].elements)
        if (!bit_of_.count(e->pub.id)) return false;
  return true;
}

// The needs of the requests not on demand, then of all of them.
bool Derivatives::needs(const std::vector<Site>& all) {
  if (!propagate_needs(all, false)) return false;
  fit_need1_ = need1_;
  fit_need2_ = need2_;
  const bool any_on_demand =
      std::any_of(requests_.begin(), requests_.end(), [](const Request& r) { return r.on_demand; });
  return !any_on_demand || propagate_needs(all, true);
}

bool Derivatives::on_demand(int n, int lo, int hi) const {
  const auto node = static_cast<std::size_t>(n);
  if (hi < 0) {
    const auto bit = static_cast<std::size_t>(lo);
    return need1_[node][bit] && !fit_need1_[node][bit];
  }
  const auto pair = static_cast<std::size_t>(pair_index(lo, hi));
  return need2_[node][pair] && !fit_need2_[node][pair];
}

bool Derivatives::propagate_needs(const std::vector<Site>& all, bool with_on_demand) {
  const std::size_t nbits = wrt_.size();
  need1_.assign(parent_.size(), std::vector<bool>(nbits, false));
  need2_.assign(parent_.size(), std::vector<bool>(nbits * (nbits + 1) / 2, false));
  auto active = [&](int n, int b) {
    return active_[static_cast<std::size_t>(n)][static_cast<std::size_t>(b)];
  };
  auto want_pair = [&](int n, int p, int q) {
    bool changed = false;
    if (active(n, p)) changed |= set_bit(need1_[static_cast<std::size_t>(n)], p);
    if (active(n, q)) changed |= set_bit(need1_[static_cast<std::size_t>(n)], q);
    if (active(n, p) && active(n, q) && curved(n, p, q))
      changed |=
          set_bit(need2_[static_cast<std::size_t>(n)], pair_index(std::min(p, q), std::max(p, q)));
    return changed;
  };
  for (const auto [id, bit, asked_on_demand, products] : requests_) {
    if (asked_on_demand && !with_on_demand) continue;
    if (second_ids_.count(id)) {
      c_.error(30, c_.symbols.at(static_cast<std::size_t>(id)).name.c_str());
      return false;
    }
    auto it = first_of_.find(id);
    if (it != first_of_.end()) {
      want_pair(find(it->second.first), it->second.second, bit);
    } else {
      const int n = find(id);
      if (active(n, bit) && !wrt_node(n)) set_bit(need1_[static_cast<std::size_t>(n)], bit);
    }
  }
  const auto finder = [this](int n) { return find(n); };
  // Needs flow from an assignment back to what it reads: in reverse program
  // order a chain of assignments is settled in one pass.
  for (bool changed = true; changed;) {
    changed = false;
    for (auto site = all.rbegin(); site != all.rend(); ++site) {
      const Site& s = *site;
      const auto& n1 = need1_[static_cast<std::size_t>(s.node)];
      const auto& n2 = need2_[static_cast<std::size_t>(s.node)];
      if (!any(n1)) continue;
      read_nodes(*s.stmt->value, c_, array_base_, finder, [&](int u) {
        if (wrt_node(u)) return;  // its derivatives are 0 and 1
        for (std::size_t b = 0; b < nbits; ++b)
          if (n1[b] && active(u, static_cast<int>(b)))
            changed |= set_bit(need1_[static_cast<std::size_t>(u)], static_cast<int>(b));
        for (int hi = 0; hi < static_cast<int>(nbits); ++hi)
          for (int lo = 0; lo <= hi; ++lo)
            if (n2[static_cast<std::size_t>(pair_index(lo, hi))]) changed |= want_pair(u, lo, hi);
      });
    }
  }
  return true;
}

Symbol* Derivatives::new_symbol(const std::string& name, const Symbol* base) {
  Symbol* s = c_.symbols.find(name);
  if (!s) s = c_.symbols.define(name);
  if (!s) {
    c_.error(11, name.c_str());
    return nullptr;
  }
  s->pub.kind = 'd';
  s->pub.type = 'n';
  s->declared_type = 'n';
  s->pub.length = 8;
  s->pub.flags[0] |= kCmpAssigned;
  if (base && base->retained) {  // a retained value's derivative starts at 0 and is kept too
    s->retained = true;
    s->init_values = {0.0};
    s->pub.ninit = 1;
    s->pub.init = s->init_values.data();
  }
  return s;
}

Symbol* Derivatives::first(Symbol& base, int bit) {
  auto it = first_.find({base.pub.id, bit});
  if (it != first_.end()) return it->second;
  const Symbol& w = c_.symbols.at(static_cast<std::size_t>(wrt_[static_cast<std::size_t>(bit)]));
  Symbol* s = new_symbol("@" + base.name + "/@" + w.name, &base);
  if (!s) return nullptr;
  first_.emplace(std::make_pair(base.pub.id, bit), s);
  first_of_[s->pub.id] = {base.pub.id, bit};
  return s;
}

Symbol* Derivatives::second(Symbol& base, int lo, int hi) {
  auto it = second_.find({base.pub.id, lo, hi});
  if (it != second_.end()) return it->second;
  const Symbol& p = c_.symbols.at(static_cast<std::size_t>(wrt_[static_cast<std::size_t>(lo)]));
  const Symbol& q = c_.symbols.at(static_cast<std::size_t>(wrt_[static_cast<std::size_t>(hi)]));
  Symbol* s = new_symbol("@@" + base.name + "/@" + p.name + "@" + q.name, &base);
  if (!s) return nullptr;
  second_.emplace(std::make_tuple(base.pub.id, lo, hi), s);
  second_ids_.insert(s->pub.id);
  return s;
}

// The derivative array of array k (first order when hi is -1); its elements
// are the elements' derivative symbols, or cells of its own for a
// _TEMPORARY_ array, starting at 0.
std::string Derivatives::derivative_array(int k, int lo, int hi) {
  auto it = arrays_.find({k, lo, hi});
  if (it != arrays_.end()) return it->second;
  ArrayInfo d;
  {
    const ArrayInfo& a = c_.arrays[static_cast<std::size_t>(k)];
    auto wrt_name = [&](int b) {
      return c_.symbols.at(static_cast<std::size_t>(wrt_[static_cast<std::size_t>(b)])).name;
    };
    d.name =
        (hi < 0 ? "@" : "@@") + a.name + "/@" + wrt_name(lo) + (hi < 0 ? "" : "@" + wrt_name(hi));
    d.key = upper_key(d.name);
    d.temporary = a.temporary;
    d.lower = a.lower;
    d.extent = a.extent;
    d.initial.assign(static_cast<std::size_t>(a.count()), 0.0);
    for (Symbol* e : std::vector<Symbol*>(a.elements))
      d.elements.push_back(hi < 0 ? first(*e, lo) : second(*e, lo, hi));
  }
  const std::string key = d.key;
  c_.array_index[key] = static_cast<int>(c_.arrays.size());
  c_.arrays.push_back(std::move(d));
  arrays_[{k, lo, hi}] = key;
  if (hi < 0) array_of_[key] = {k, lo};
  return key;
}

// The derivative symbols (and arrays) every needed derivative goes into.
void Derivatives::make_symbols() {
  const std::size_t nsym = static_cast<std::size_t>(array_base_);
  const int nbits = static_cast<int>(wrt_.size());
  auto make = [&](int node, const std::function<void(int, int)>& each) {
    for (int hi = 0; hi < nbits; ++hi) {
      if (need1_[static_cast<std::size_t>(node)][static_cast<std::size_t>(hi)]) each(hi, -1);
      for (int lo = 0; lo <= hi; ++lo)
        if (need2_[static_cast<std::size_t>(node)][static_cast<std::size_t>(pair_index(lo, hi))])
          each(lo, hi);
    }
  };
  for (std::size_t id = 0; id < nsym; ++id) {
    Symbol& s = c_.symbols.at(id);
    const int node = find(static_cast<int>(id));
    if (s.pub.kind == 'l' || s.pub.type == '$' || node != static_cast<int>(id)) continue;
    make(node, [&](int a, int b) { b < 0 ? first(s, a) : second(s, a, b); });
  }
  for (std::size_t k = 0; k < parent_.size() - nsym; ++k) {
    const int node = find(array_base_ + static_cast<int>(k));
    if (c_.arrays[k].character) continue;
    make(node, [&](int a, int b) { derivative_array(static_cast<int>(k), a, b); });
  }
}

// A value no statement assigns (a variable of the data set, a parameter, a
// special variable) has no derivative statements, yet its derivative symbol
// is read where an array holds it: through the array, or by name once the
// array makes it one node with elements that depend on the parameters. Such
// a derivative is a constant, 1 for a parameter with respect to itself and 0
// otherwise, set at the start of every pass and kept. (Assignments to a
// parameter of differentiation do not change its derivative.)
void Derivatives::constant_derivatives(const std::vector<Site>& all) {
  std::unordered_set<int> assigned;
  for (const Site& s : all) {
    if (!s.target) {
      for (const Symbol* e : c_.arrays[static_cast<std::size_t>(s.array)].elements) assigned.insert(e->pub.id);
    } else if (!bit_of_.count(s.target->pub.id)) {
      assigned.insert(s.target->pub.id);
    }
  }
  const auto settle = [&](int base, Symbol* d, double value) {
    if (!d) return;
    const bool constant = !assigned.count(base);
    d->retained = constant || c_.symbols.at(static_cast<std::size_t>(base)).retained;
    d->init_values = {constant ? value : 0.0};
    d->pub.ninit = d->retained ? 1 : 0;
    d->pub.init = d->retained ? d->init_values.data() : nullptr;
  };
  for (const auto& [key, d] : first_)
    settle(key.first, d, wrt_[static_cast<std::size_t>(key.second)] == key.first ? 1 : 0);
  for (const auto& [key, d] : second_) settle(std::get<0>(key), d, 0);
}

bool Derivatives::rebuild() {
  for (int segment : {0, 1})
    for (auto& cs : c_.statements)
      if (cs->segment == segment) strip(*cs->ast);
  definitions_.clear();
  if (!c_.analyse()) return false;
  assign_nodes();
  std::vector<Site> all = sites();
  for (Site& s : all) s.node = s.target ? node_of(*s.target) : find(array_base_ + s.array);
  activity(all);
  hoist(all);
  if (c_.failed()) return false;
  assign_nodes();
  all = sites();
  for (Site& s : all) s.node = s.target ? node_of(*s.target) : find(array_base_ + s.array);
  activity(all);
  curvature(all);
  if (!needs(all)) return false;
  if (!factor_terms(all)) {
    unsupported_ = true;  // only a request for products asks to factor
    return false;
  }
  make_symbols();
  if (c_.failed() || !build(all)) return false;
  constant_derivatives(all);
  c_.changed();
  c_.program.reset();
  return !c_.failed();
}

CMPSYM* Derivatives::result(CMPSYM* objective, int bit) {
  auto literal = [&](double v) -> CMPSYM* {
    if (v == 0) return nullptr;
    Symbol* l = c_.symbols.literal(v);
    return l ? &l->pub : nullptr;
  };
  auto wrt_of = bit_of_.find(objective->id);
  if (wrt_of != bit_of_.end()) return literal(wrt_of->second == bit ? 1 : 0);
  Symbol* d = nullptr;
  auto it = first_of_.find(objective->id);
  if (it != first_of_.end()) {
    const auto [base, p] = it->second;
    const int lo = std::min(p, bit), hi = std::max(p, bit);
    auto s = second_.find({base, lo, hi});
    const int n = find(base);
    if (s == second_.end() ||
        !need2_[static_cast<std::size_t>(n)][static_cast<std::size_t>(pair_index(lo, hi))])
      return nullptr;
    d = s->second;
  } else {
    auto f = first_.find({objective->id, bit});
    if (f == first_.end() ||
        !need1_[static_cast<std::size_t>(find(objective->id))][static_cast<std::size_t>(bit)])
      return nullptr;
    d = f->second;
  }
  auto k = constant_.find(d->pub.id);
  if (k != constant_.end()) return literal(k->second);
  return &d->pub;
}

bool Derivatives::request(const std::vector<std::pair<CMPSYM*, CMPSYM*>>& pairs,
                          std::vector<CMPSYM*>* out, bool on_demand) {
  out->clear();
  if (c_.failed()) return false;
  const std::size_t before = requests_.size();
  for (auto [objective, wrt] : pairs) {
    if (!objective || !wrt || objective->type == '$' || wrt->type == '$' || objective->kind == 'l')
      continue;
    auto [it, added] = bit_of_.emplace(wrt->id, static_cast<int>(wrt_.size()));
    if (added) wrt_.push_back(wrt->id);
    requests_.push_back({objective->id, it->second, on_demand});
  }
  tentative_ = on_demand;
  unsupported_ = false;
  const bool built = rebuild();
  tentative_ = false;
  if (unsupported_) {
    requests_.resize(before);
    rebuild();
    return false;
  }
  if (!built) return false;
  for (auto [objective, wrt] : pairs) {
    const bool usable =
        objective && wrt && objective->type != '$' && wrt->type != '$' && objective->kind != 'l';
    out->push_back(usable ? result(objective, bit_of_.at(wrt->id)) : nullptr);
  }
  return true;
}

bool Derivatives::first_derivative_of(const CMPSYM* s, CMPSYM** base, CMPSYM** wrt) const {
  auto it = first_of_.find(s->id);
  if (it == first_of_.end()) return false;
  *base = &c_.symbols.at(static_cast<std::size_t>(it->second.first)).pub;
  *wrt = &c_.symbols.at(static_cast<std::size_t>(wrt_[static_cast<std::size_t>(it->second.second)]))
              .pub;
  return true;
}

std::vector<const Stmt*> Derivatives::definitions(const CMPSYM* s) const {
  auto it = definitions_.find(s->id);
  return it == definitions_.end() ? std::vector<const Stmt*>{} : it->second;
}

std::vector<CMPSYM*> Derivatives::inputs_of(const CMPSYM* s) {
  std::vector<CMPSYM*> out;
  std::set<int> seen{s->id};
  std::function<void(const Symbol&)> of_symbol;
  std::function<void(const Expr&)> reads = [&](const Expr& e) {
    if (e.kind == ExprKind::Variable) {
      Symbol* v = c_.symbols.find(e.name);
      if (v && seen.insert(v->pub.id).second) {
        if (v->hidden && v->pub.kind == 'v')
          of_symbol(*v);  // a shared value: what it reads
        else
          out.push_back(&v->pub);
      }
    } else if (e.kind == ExprKind::ArrayRef) {
      for (Symbol* el : c_.arrays[static_cast<std::size_t>(c_.array_index.at(e.key))].elements)
        if (seen.insert(el->pub.id).second) out.push_back(&el->pub);
    }
    for (const auto& a : e.args) reads(*a);
  };
  of_symbol = [&](const Symbol& target) {
    for (const Site& site : sites())
      if (site.target == &target) reads(*site.stmt->value);
  };
  of_symbol(c_.symbols.of(s));
  return out;
}

}  // namespace platform::compiler
