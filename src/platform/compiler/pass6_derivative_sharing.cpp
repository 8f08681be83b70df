// Values that several derivative statements of one assignment compute
// alike, computed once. The second derivatives of a value come one per pair
// of variables, and the rules write each of them out in full: for
// `l = (y - mu)**2` every pair (p, q) computes 2*(y - mu) again, and
// 2*(-@mu/@q) again for every p. Each such value becomes a hidden variable
// assigned once before the statements, which leaves a product or two per
// pair. Only values that read nothing the statements assign move, so every
// statement reads what it read before.
#include <functional>
#include <unordered_map>
#include <unordered_set>

#include "platform/compiler/pass6_derivative_expr.h"
#include "platform/compiler/pass6_derivatives.h"
#include "platform/compiler/source_text.h"

namespace platform::compiler {
namespace {

using language::Expr;
using language::ExprKind;
using language::ExprPtr;
using language::Stmt;
using language::StmtPtr;

bool computed(const Expr& e) {
  return e.kind == ExprKind::Unary || e.kind == ExprKind::Binary || e.kind == ExprKind::Call;
}

bool negation(const Expr& e) { return e.kind == ExprKind::Unary && e.unary_op == language::UnaryOp::Minus; }

bool product(const Expr& e) { return e.kind == ExprKind::Binary && e.binary_op == language::BinaryOp::Multiply; }

// The value with the signs of products taken out, -(a*b) for a*(-b) and
// a*b for (-a)*(-b), so that sums absorb them (c*(-u) + v is v - c*u, one
// fused operation) and a factor shared between pairs, 2*(-u) for instance,
// is the same wherever it occurs. The values are the same to the bit.
ExprPtr signs_out(ExprPtr e) {
  for (auto& a : e->args) a = signs_out(std::move(a));
  if (negation(*e)) return dexpr::neg(std::move(e->args[0]));
  if (e->kind != ExprKind::Binary) return e;
  ExprPtr a = std::move(e->args[0]), b = std::move(e->args[1]);
  switch (e->binary_op) {
    case language::BinaryOp::Multiply:
      if (negation(*a) && negation(*b)) return dexpr::mul(std::move(a->args[0]), std::move(b->args[0]));
      if (negation(*a)) return dexpr::neg(dexpr::mul(std::move(a->args[0]), std::move(b)));
      if (negation(*b)) return dexpr::neg(dexpr::mul(std::move(a), std::move(b->args[0])));
      return dexpr::mul(std::move(a), std::move(b));
    case language::BinaryOp::Add:
      return dexpr::add(std::move(a), std::move(b));
    case language::BinaryOp::Subtract:
      return dexpr::sub(std::move(a), std::move(b));
    default:
      e->args[0] = std::move(a);
      e->args[1] = std::move(b);
      return e;
  }
}

// A negated product that no sum absorbed as a product with a negated
// factor, one operation.
void negated_products_in(ExprPtr& e) {
  if (negation(*e) && product(*e->args[0])) {
    ExprPtr p = std::move(e->args[0]);
    p->args[1] = dexpr::neg(std::move(p->args[1]));
    e = std::move(p);
  }
  for (auto& a : e->args) negated_products_in(a);
}

}  // namespace

void Derivatives::share_values(const Site& site, language::StmtList& list) {
  // What the statements assign: derivative variables, or elements of
  // derivative arrays.
  std::unordered_set<std::string> assigned;
  for (StmtPtr& s : list) {
    assigned.insert(s->target->key);
    s->value = signs_out(std::move(s->value));
    negated_products_in(s->value);
  }
  std::function<bool(const Expr&)> movable = [&](const Expr& e) {
    if ((e.kind == ExprKind::Variable || e.kind == ExprKind::ArrayRef) && assigned.count(e.key)) return false;
    for (const auto& a : e.args)
      if (!movable(*a)) return false;
    return true;
  };
  // How often each computed value occurs, by its text.
  std::unordered_map<std::string, int> count;
  std::function<void(const Expr&)> tally = [&](const Expr& e) {
    if (computed(e)) ++count[expression_text(e)];
    for (const auto& a : e.args) tally(*a);
  };
  for (const StmtPtr& s : list) tally(*s->value);
  language::StmtList shared;
  std::unordered_map<std::string, Symbol*> made;
  std::function<void(ExprPtr&)> share = [&](ExprPtr& e) {
    if (!computed(*e)) return;
    const std::string text = expression_text(*e);
    if (count[text] < 2 || !movable(*e)) {
      for (auto& a : e->args) share(a);
      return;
    }
    Symbol*& t = made[text];
    if (!t) {
      ExprPtr value = dexpr::clone(*e);
      for (auto& a : value->args) share(a);  // what it reads is shared first
      t = new_symbol("@S" + std::to_string(++temps_), nullptr);
      if (!t) return;
      t->hidden = true;
      t->pub.kind = 'v';
      auto assign = std::make_unique<Stmt>();
      assign->kind = language::StmtKind::Assign;
      assign->pos = site.stmt->pos;
      assign->target = dexpr::variable(*t, site.stmt->pos);
      assign->value = std::move(value);
      shared.push_back(std::move(assign));
    }
    e = dexpr::variable(*t, e->pos);
  };
  for (StmtPtr& s : list) share(s->value);
  for (StmtPtr& s : list) shared.push_back(std::move(s));
  list = std::move(shared);
}

}  // namespace platform::compiler
