#include "platform/compiler/pass6_derivative_expr.h"

#include <cmath>

#include "platform/compiler/functions.h"
#include "platform/compiler/values.h"
#include "platform/language/expression_parser.h"

namespace platform::compiler::dexpr {
namespace {

using language::BinaryOp;
using language::ExprKind;


ExprPtr node(ExprKind kind, SourcePos pos) {
  auto e = std::make_unique<Expr>();
  e->kind = kind;
  e->pos = pos;
  return e;
}

ExprPtr make_binary(BinaryOp op, ExprPtr a, ExprPtr b) {
  auto e = node(ExprKind::Binary, a->pos);
  e->binary_op = op;
  e->args.push_back(std::move(a));
  e->args.push_back(std::move(b));
  return e;
}

bool is_one(const Expr& e) {
  double v = 0;
  return number_of(e, &v) && v == 1;
}

bool is_negation(const Expr& e) {
  return e.kind == ExprKind::Unary && e.unary_op == language::UnaryOp::Minus;
}

}  // namespace

ExprPtr number(double value, SourcePos pos) {
  auto e = node(ExprKind::Number, pos);
  e->number = value;
  return e;
}

ExprPtr variable(const Symbol& s, SourcePos pos) {
  auto e = node(ExprKind::Variable, pos);
  e->name = s.name;
  e->key = s.key;
  return e;
}

ExprPtr clone(const Expr& e) { return language::clone(e); }

bool number_of(const Expr& e, double* value) {
  if (e.kind != ExprKind::Number) return false;
  *value = e.number;
  return true;
}

bool is_zero(const Expr& e) {
  double v = 0;
  return number_of(e, &v) && v == 0;
}

ExprPtr binary(BinaryOp op, ExprPtr a, ExprPtr b) {
  double x = 0, y = 0, r = 0;
  if (number_of(*a, &x) && number_of(*b, &y) && fold_binary(binary_op_code(op), x, y, &r))
    return number(r, a->pos);
  return make_binary(op, std::move(a), std::move(b));
}

ExprPtr add(ExprPtr a, ExprPtr b) {
  if (is_zero(*a)) return b;
  if (is_zero(*b)) return a;
  if (is_negation(*b)) return sub(std::move(a), std::move(b->args[0]));
  if (is_negation(*a)) return sub(std::move(b), std::move(a->args[0]));
  return binary(BinaryOp::Add, std::move(a), std::move(b));
}

ExprPtr sub(ExprPtr a, ExprPtr b) {
  if (is_zero(*b)) return a;
  if (is_zero(*a)) return neg(std::move(b));
  if (is_negation(*b)) return add(std::move(a), std::move(b->args[0]));
  return binary(BinaryOp::Subtract, std::move(a), std::move(b));
}

ExprPtr mul(ExprPtr a, ExprPtr b) {
  if (is_zero(*a) || is_zero(*b)) return number(0, a->pos);
  if (is_one(*a)) return b;
  if (is_one(*b)) return a;
  double x = 0;
  if (number_of(*b, &x) && x == -1) return neg(std::move(a));
  if (number_of(*a, &x) && x == -1) return neg(std::move(b));
  if (is_negation(*a) && is_negation(*b)) return mul(std::move(a->args[0]), std::move(b->args[0]));
  // Numbers to the front, so that 2 * (3 * x) folds to 6 * x.
  if (number_of(*b, &x) && !number_of(*a, &x)) std::swap(a, b);
  double y = 0;
  if (number_of(*a, &x) && b->kind == ExprKind::Binary && b->binary_op == BinaryOp::Multiply &&
      number_of(*b->args[0], &y))
    return mul(binary(BinaryOp::Multiply, std::move(a), std::move(b->args[0])),
               std::move(b->args[1]));
  return binary(BinaryOp::Multiply, std::move(a), std::move(b));
}

ExprPtr div(ExprPtr a, ExprPtr b) {
  if (is_zero(*a)) return number(0, a->pos);
  if (is_one(*b)) return a;
  double x = 0;
  if (number_of(*b, &x) && x == -1) return neg(std::move(a));
  return binary(BinaryOp::Divide, std::move(a), std::move(b));
}

ExprPtr neg(ExprPtr a) {
  double x = 0;
  if (number_of(*a, &x)) return number(-x, a->pos);
  if (is_negation(*a)) return std::move(a->args[0]);
  auto e = node(ExprKind::Unary, a->pos);
  e->unary_op = language::UnaryOp::Minus;
  e->args.push_back(std::move(a));
  return e;
}

ExprPtr pow(ExprPtr a, ExprPtr b) {
  double y = 0;
  if (number_of(*b, &y)) {
    if (y == 0) return number(1, a->pos);
    if (y == 1) return a;
  }
  return binary(BinaryOp::Power, std::move(a), std::move(b));
}

ExprPtr sqr(ExprPtr a) {
  return pow(std::move(a), number(2));
}

ExprPtr call(const std::string& key, ExprPtr a) {
  language::ExprList args;
  args.push_back(std::move(a));
  return call(key, std::move(args));
}

ExprPtr call(const std::string& key, language::ExprList args) {
  const SourcePos pos = args.empty() ? SourcePos{} : args[0]->pos;
  const int id = find_function(key);
  bool numbers = id >= 0 && args.size() <= 8;
  double values[8] = {};
  for (std::size_t i = 0; numbers && i < args.size(); ++i)
    numbers = number_of(*args[i], &values[i]);
  if (numbers) {
    const double r = call_function(id, values, static_cast<int>(args.size()));
    if (std::isfinite(r)) return number(r, pos);
  }
  auto e = node(ExprKind::Call, pos);
  e->name = key;
  e->key = key;
  e->args = std::move(args);
  return e;
}

}  // namespace platform::compiler::dexpr
