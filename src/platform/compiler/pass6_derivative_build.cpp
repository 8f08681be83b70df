// The derivative statements themselves: the first derivatives of every
// assignment that needs them, the constants among them found (a derivative
// is a constant when every assignment gives it the same constant), the
// second derivatives by the same rules applied to the first derivatives
// with the constants put in, their constants, and the statements placed
// after their assignments.
#include <cmath>
#include <deque>
#include <functional>
#include <set>
#include <unordered_set>

#include "platform/compiler/pass6_derivative_rules.h"
#include "platform/compiler/pass6_derivatives.h"
#include "platform/compiler/functions.h"
#include "platform/compiler/values.h"

namespace platform::compiler {
namespace {

using language::Expr;
using language::ExprKind;
using language::ExprPtr;
using language::Stmt;
using language::StmtKind;
using language::StmtPtr;
namespace dx = dexpr;

// A value of the constant analysis: not known yet, one constant, or varying.
struct Lattice {
  enum Kind { Top, Const, Bottom } kind = Top;
  double value = 0;
  bool operator==(const Lattice& o) const {
    return kind == o.kind && (kind != Const || value == o.value);
  }
};

Lattice meet(Lattice a, Lattice b) {
  if (a.kind == Lattice::Top) return b;
  if (b.kind == Lattice::Top) return a;
  if (a.kind == Lattice::Const && b.kind == Lattice::Const && a.value == b.value) return a;
  return {Lattice::Bottom, 0};
}

// The value of a derivative expression when the derivative symbols have
// the values `known` gives them (any other variable varies).
Lattice evaluate(const Expr& e, Compiler& c, const std::unordered_map<int, Lattice>& known) {
  const Lattice bottom{Lattice::Bottom, 0};
  switch (e.kind) {
    case ExprKind::Number:
      return {Lattice::Const, e.number};
    case ExprKind::Variable: {
      const Symbol* s = c.symbols.find(e.name);
      auto it = s ? known.find(s->pub.id) : known.end();
      return it == known.end() ? bottom : it->second;
    }
    case ExprKind::Unary: {
      const Lattice x = evaluate(*e.args[0], c, known);
      if (x.kind != Lattice::Const) return x;
      if (e.unary_op == language::UnaryOp::Not) return {Lattice::Const, truth(x.value) ? 0.0 : 1.0};
      return {Lattice::Const, e.unary_op == language::UnaryOp::Minus ? -x.value : x.value};
    }
    case ExprKind::Binary: {
      const Lattice x = evaluate(*e.args[0], c, known), y = evaluate(*e.args[1], c, known);
      const bool times = e.binary_op == language::BinaryOp::Multiply;
      if ((times || e.binary_op == language::BinaryOp::Divide) && x.kind == Lattice::Const &&
          x.value == 0)
        return x;
      if (times && y.kind == Lattice::Const && y.value == 0) return y;
      if (x.kind == Lattice::Bottom || y.kind == Lattice::Bottom) return bottom;
      if (x.kind == Lattice::Top || y.kind == Lattice::Top) return {};
      double r = 0;
      return fold_binary(binary_op_code(e.binary_op), x.value, y.value, &r) ? Lattice{Lattice::Const, r}
                                                                     : bottom;
    }
    case ExprKind::Call: {
      const int id = find_function(e.key);
      if (id < 0 || e.args.size() > 8) return bottom;
      double args[8];
      bool top = false;
      for (std::size_t i = 0; i < e.args.size(); ++i) {
        const Lattice a = evaluate(*e.args[i], c, known);
        if (a.kind == Lattice::Bottom) return bottom;
        top = top || a.kind == Lattice::Top;
        args[i] = a.value;
      }
      if (top) return {};
      const double r = call_function(id, args, static_cast<int>(e.args.size()));
      return std::isfinite(r) ? Lattice{Lattice::Const, r} : bottom;
    }
    default:
      return bottom;
  }
}

// The expression with the constant derivative symbols put in, simplified again.
ExprPtr fold(const Expr& e, Compiler& c, const std::unordered_map<int, double>& constants) {
  using language::BinaryOp;
  switch (e.kind) {
    case ExprKind::Variable: {
      const Symbol* s = c.symbols.find(e.name);
      auto it = s ? constants.find(s->pub.id) : constants.end();
      return it == constants.end() ? dx::clone(e) : dx::number(it->second, e.pos);
    }
    case ExprKind::Unary:
      if (e.unary_op == language::UnaryOp::Minus) return dx::neg(fold(*e.args[0], c, constants));
      return dx::clone(e);
    case ExprKind::Binary: {
      ExprPtr a = fold(*e.args[0], c, constants), b = fold(*e.args[1], c, constants);
      switch (e.binary_op) {
        case BinaryOp::Add:
          return dx::add(std::move(a), std::move(b));
        case BinaryOp::Subtract:
          return dx::sub(std::move(a), std::move(b));
        case BinaryOp::Multiply:
          return dx::mul(std::move(a), std::move(b));
        case BinaryOp::Divide:
          return dx::div(std::move(a), std::move(b));
        case BinaryOp::Power:
          return dx::pow(std::move(a), std::move(b));
        default:
          return dx::binary(e.binary_op, std::move(a), std::move(b));
      }
    }
    case ExprKind::Call: {
      language::ExprList args;
      for (const auto& a : e.args) args.push_back(fold(*a, c, constants));
      return dx::call(e.key, std::move(args));
    }
    default:
      return dx::clone(e);
  }
}

// Nodes the constructors made without a place take the statement's place,
// so that a run error in a derivative points at its assignment.
void place(Expr& e, language::SourcePos pos) {
  if (e.pos.line == 0) e.pos = pos;
  for (auto& a : e.args) place(*a, pos);
}

}  // namespace

// What the derivatives of one assignment are made of: one branch, or one
// per operand a selection (MIN, MAX) can choose.
struct Derivatives::Branch {
  ExprPtr condition;  // null: unconditional (or the last choice)
  const Expr* operand = nullptr;
  ExprPtr own_value;                              // the target, when the operand is the whole value
  std::map<int, ExprPtr> first;                   // bit -> expression
  std::map<std::pair<int, int>, ExprPtr> second;  // (lo, hi) -> expression
};

// The leaves of a derivative with respect to one variable: values give
// their first derivatives, first derivatives their second derivatives.
class Derivatives::BitLeaves : public Leaves {
 public:
  BitLeaves(Derivatives& d, int bit, std::set<std::pair<int, int>>* reported)
      : d_(d), c_(d.c_), bit_(bit), reported_(reported) {}

  ExprPtr of_variable(const Expr& v) override {
    Symbol* s = c_.symbols.find(v.name);
    if (!s) return dx::number(0);
    auto f = d_.first_of_.find(s->pub.id);
    if (f != d_.first_of_.end()) {
      const auto [base, p] = f->second;
      Symbol& b = c_.symbols.at(static_cast<std::size_t>(base));
      const int n = d_.node_of(b);
      if (!d_.active(n, bit_) || !d_.active(n, p) || !d_.curved(n, p, bit_)) return dx::number(0);
      Symbol* d = d_.second(b, std::min(p, bit_), std::max(p, bit_));
      return d ? dx::variable(*d, v.pos) : dx::number(0);
    }
    auto w = d_.bit_of_.find(s->pub.id);
    if (w != d_.bit_of_.end()) return dx::number(w->second == bit_ ? 1 : 0);
    if (!d_.active(d_.node_of(*s), bit_)) return dx::number(0);
    Symbol* d = d_.first(*s, bit_);
    return d ? dx::variable(*d, v.pos) : dx::number(0);
  }

  ExprPtr of_element(const Expr& ref) override {
    std::string key;
    auto f = d_.array_of_.find(ref.key);
    if (f != d_.array_of_.end()) {
      const auto [k, p] = f->second;
      const int n = d_.find(d_.array_base_ + k);
      if (!d_.active(n, bit_) || !d_.active(n, p) || !d_.curved(n, p, bit_)) return dx::number(0);
      key = d_.derivative_array(k, std::min(p, bit_), std::max(p, bit_));
    } else {
      const int k = c_.array_index.at(ref.key);
      if (!d_.active(d_.find(d_.array_base_ + k), bit_)) return dx::number(0);
      key = d_.derivative_array(k, bit_, -1);
    }
    auto e = dx::clone(ref);
    e->key = key;
    e->name = c_.arrays[static_cast<std::size_t>(c_.array_index.at(key))].name;
    return e;
  }

  void unsupported(const Expr& call, int argument) override {
    if (d_.tentative_) {
      d_.unsupported_ = true;
      return;
    }
    if (!reported_->insert({call.pos.line, call.pos.column}).second) return;
    c_.error(29, call.key.substr(0, call.key.find(':')).c_str(), argument, call.pos.line,
             call.pos.column);
  }

 private:
  Derivatives& d_;
  Compiler& c_;
  int bit_;
  std::set<std::pair<int, int>>* reported_;
};

namespace {

int pair_index(int lo, int hi) {
  return hi * (hi + 1) / 2 + lo;
}

ExprPtr target_expr(const Stmt& s) {
  if (s.kind == StmtKind::Model) {
    auto e = dx::clone(*s.target);
    e->name = "MODEL." + s.target->name;
    e->key = "MODEL." + s.target->key;
    return e;
  }
  return dx::clone(*s.target);
}

StmtPtr assignment(ExprPtr target, ExprPtr value, language::SourcePos pos) {
  auto a = std::make_unique<Stmt>();
  a->kind = StmtKind::Assign;
  a->pos = pos;
  place(*value, pos);
  a->target = std::move(target);
  a->value = std::move(value);
  return a;
}

StmtPtr group(language::StmtList body, language::SourcePos pos, bool on_demand = false) {
  auto g = std::make_unique<Stmt>();
  g->kind = StmtKind::Do;
  g->pos = pos;
  g->body = std::move(body);
  g->on_demand = on_demand;
  return g;
}

}  // namespace

std::vector<Derivatives::Branch> Derivatives::branches(const Site& site) {
  std::vector<Branch> out;
  const Stmt& s = *site.stmt;
  if (!is_selection(*s.value)) {
    out.emplace_back();
    out.back().operand = s.value.get();
    out.back().own_value = target_expr(s);
    return out;
  }
  ExprPtr result = target_expr(s);
  for (Choice& ch : choices(*s.value, *result)) {
    out.emplace_back();
    out.back().condition = std::move(ch.condition);
    out.back().operand = ch.operand;
  }
  return out;
}

// The constant analysis of one order: every derivative symbol (of a
// variable that is not an array element) gets the meet of what its
// assignments give it, and 0 for a retained one. A symbol is worked out
// again only when a symbol its assignments read has changed, in program
// order first, so that a chain of assignments is settled in one pass.
// What is still unknown at the end varies.
namespace {

struct Contribution {
  int symbol;
  const Expr* value;
};

// The derivative symbols among the variables the expression reads.
void read_symbols(const Expr& e, Compiler& c, const std::unordered_map<int, Lattice>& known,
                  std::vector<int>* out) {
  std::vector<const Expr*> pending{&e};
  while (!pending.empty()) {
    const Expr* x = pending.back();
    pending.pop_back();
    if (x->kind == ExprKind::Variable)
      if (const Symbol* s = c.symbols.find(x->name); s && known.count(s->pub.id)) out->push_back(s->pub.id);
    for (const auto& a : x->args) pending.push_back(a.get());
  }
}

void solve(Compiler& c, const std::vector<Contribution>& contributions,
           const std::set<int>& retained, std::unordered_map<int, Lattice>& known,
           std::unordered_map<int, double>& constants) {
  std::vector<int> order;                                  // symbols in program order
  std::unordered_map<int, std::vector<const Expr*>> values;  // symbol -> its assignments
  for (const auto& k : contributions) {
    auto [it, fresh] = values.try_emplace(k.symbol);
    if (fresh) order.push_back(k.symbol);
    it->second.push_back(k.value);
  }
  for (int s : order) known[s] = {};
  std::unordered_map<int, std::vector<int>> readers;  // symbol -> symbols whose values read it
  for (const auto& k : contributions) {
    std::vector<int> read;
    read_symbols(*k.value, c, known, &read);
    for (int r : read) readers[r].push_back(k.symbol);
  }
  std::deque<int> work(order.begin(), order.end());
  std::unordered_set<int> queued(order.begin(), order.end());
  while (!work.empty()) {
    const int s = work.front();
    work.pop_front();
    queued.erase(s);
    Lattice next = retained.count(s) ? Lattice{Lattice::Const, 0} : Lattice{};
    for (const Expr* v : values[s]) next = meet(next, evaluate(*v, c, known));
    if (next == known[s]) continue;
    known[s] = next;
    for (int r : readers[s])
      if (queued.insert(r).second) work.push_back(r);
  }
  for (int s : order) {
    if (known[s].kind == Lattice::Const)
      constants[s] = known[s].value;
    else
      known[s] = {Lattice::Bottom, 0};
  }
}

}  // namespace

void Derivatives::first_constants(const std::vector<Site>& all,
                                  std::vector<std::vector<Branch>>& blocks) {
  std::vector<Contribution> contributions;
  std::set<int> retained;
  for (std::size_t i = 0; i < all.size(); ++i) {
    const Site& site = all[i];
    if (!site.target || site.node >= array_base_ || site.node != site.target->pub.id) continue;
    for (Branch& b : blocks[i])
      for (auto& [bit, e] : b.first) {
        Symbol* d = first(*site.target, bit);
        contributions.push_back({d->pub.id, e.get()});
        if (site.target->retained) retained.insert(d->pub.id);
      }
  }
  std::unordered_map<int, Lattice> known;
  solve(c_, contributions, retained, known, constant_);
  for (auto& block : blocks)
    for (Branch& b : block)
      for (auto& [bit, e] : b.first) e = fold(*e, c_, constant_);
}

void Derivatives::second_constants(const std::vector<Site>& all,
                                   std::vector<std::vector<Branch>>& blocks) {
  std::vector<Contribution> contributions;
  std::set<int> retained;
  for (std::size_t i = 0; i < all.size(); ++i) {
    const Site& site = all[i];
    if (!site.target || site.node >= array_base_ || site.node != site.target->pub.id) continue;
    for (Branch& b : blocks[i])
      for (auto& [pq, e] : b.second) {
        Symbol* d = second(*site.target, pq.first, pq.second);
        contributions.push_back({d->pub.id, e.get()});
        if (site.target->retained) retained.insert(d->pub.id);
      }
  }
  std::unordered_map<int, Lattice> known;
  for (auto [id, v] : constant_) known[id] = {Lattice::Const, v};
  solve(c_, contributions, retained, known, constant_);
  for (auto& block : blocks)
    for (Branch& b : block)
      for (auto& [pq, e] : b.second) e = fold(*e, c_, constant_);
}

language::StmtList Derivatives::statements(const Site& site, std::vector<Branch>& block) {
  const Stmt& s = *site.stmt;
  auto target = [&](int lo, int hi) -> ExprPtr {
    if (site.target) {
      Symbol* d = hi < 0 ? first(*site.target, lo) : second(*site.target, lo, hi);
      if (constant_.count(d->pub.id)) return nullptr;
      return dx::variable(*d, s.pos);
    }
    auto e = dx::clone(*s.target);
    e->key = derivative_array(site.array, lo, hi);
    e->name = c_.arrays[static_cast<std::size_t>(c_.array_index.at(e->key))].name;
    return e;
  };
  // The statements only requests on demand need come last, in a group of
  // their own: they read the derivatives of what the value reads, never
  // those the statements before them assign, and so do the coefficients of
  // products (pass6_derivative_terms.cpp). There the values their first
  // derivatives, and then their second derivatives, compute alike are
  // computed once.
  auto branch_body = [&](Branch& b) {
    language::StmtList out, on_demand_first, on_demand_second;
    auto add = [&](int lo, int hi, ExprPtr& e) {
      if (ExprPtr t = target(lo, hi))
        (on_demand(site.node, lo, hi) ? hi < 0 ? on_demand_first : on_demand_second : out)
            .push_back(assignment(std::move(t), std::move(e), s.pos));
    };
    for (auto& [bit, e] : b.first) add(bit, -1, e);
    for (auto& [pq, e] : b.second) add(pq.first, pq.second, e);
    for (auto& [coefficient, e] : term_values(site))
      on_demand_first.push_back(assignment(dx::variable(*coefficient, s.pos), std::move(e), s.pos));
    share_values(site, on_demand_first);
    share_values(site, on_demand_second);
    for (StmtPtr& st : on_demand_second) on_demand_first.push_back(std::move(st));
    if (!on_demand_first.empty()) out.push_back(group(std::move(on_demand_first), s.pos, true));
    return out;
  };
  if (block.size() == 1) return branch_body(block[0]);
  // IF c1 THEN DO; ... END; ELSE IF c2 THEN DO; ... END; ... ELSE DO; ... END;
  StmtPtr chain;
  bool any_statement = false;
  for (std::size_t i = block.size(); i-- > 0;) {
    language::StmtList body = branch_body(block[i]);
    any_statement = any_statement || !body.empty();
    StmtPtr g = group(std::move(body), s.pos);
    if (!block[i].condition) {
      chain = std::move(g);
      continue;
    }
    auto choice = std::make_unique<Stmt>();
    choice->kind = StmtKind::If;
    choice->pos = s.pos;
    place(*block[i].condition, s.pos);
    choice->condition = std::move(block[i].condition);
    choice->body.push_back(std::move(g));
    if (chain) choice->else_body.push_back(std::move(chain));
    chain = std::move(choice);
  }
  language::StmtList out;
  if (any_statement) out.push_back(std::move(chain));
  return out;
}

bool Derivatives::build(const std::vector<Site>& all) {
  const int nbits = static_cast<int>(wrt_.size());
  std::set<std::pair<int, int>> reported;
  std::vector<std::vector<Branch>> blocks(all.size());
  for (std::size_t i = 0; i < all.size(); ++i) {
    const auto& n1 = need1_[static_cast<std::size_t>(all[i].node)];
    if (std::find(n1.begin(), n1.end(), true) == n1.end()) continue;
    // An assignment to a variable of differentiation keeps its derivatives
    // (a node may hold others too, through an array).
    if (all[i].target && bit_of_.count(all[i].target->pub.id)) continue;
    blocks[i] = branches(all[i]);
    for (Branch& b : blocks[i])
      for (int bit = 0; bit < nbits; ++bit) {
        if (!n1[static_cast<std::size_t>(bit)]) continue;
        BitLeaves leaves(*this, bit, &reported);
        b.first[bit] = differentiate(*b.operand, leaves, b.own_value.get());
      }
  }
  if (c_.failed()) return false;
  constant_.clear();
  first_constants(all, blocks);
  for (std::size_t i = 0; i < all.size(); ++i) {
    const auto& n2 = need2_[static_cast<std::size_t>(all[i].node)];
    for (Branch& b : blocks[i])
      for (int hi = 0; hi < nbits; ++hi)
        for (int lo = 0; lo <= hi; ++lo) {
          if (!n2[static_cast<std::size_t>(pair_index(lo, hi))]) continue;
          BitLeaves leaves(*this, hi, &reported);
          b.second[{lo, hi}] = differentiate(*b.first.at(lo), leaves, nullptr);
        }
  }
  if (c_.failed()) return false;
  second_constants(all, blocks);
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (blocks[i].empty()) continue;
    language::StmtList list = statements(all[i], blocks[i]);
    for (const StmtPtr& st : list) {
      std::function<void(const Stmt&)> record = [&](const Stmt& x) {
        if (x.kind == StmtKind::Assign && x.target->kind == ExprKind::Variable)
          if (const Symbol* t = c_.symbols.find(x.target->name))
            definitions_[t->pub.id].push_back(&x);
        for (const auto& child : x.body) record(*child);
        for (const auto& child : x.else_body) record(*child);
      };
      record(*st);
    }
    all[i].stmt->body = std::move(list);
  }
  return !c_.failed();
}

}  // namespace platform::compiler
