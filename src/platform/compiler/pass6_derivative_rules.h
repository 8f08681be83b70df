// The rules of differentiation for every operator and function of the
// language: D(e) as an expression, given what the derivative of each
// variable and array element read by e is. Applied to a first derivative
// it gives the second; comparisons, logical operators, the rounding and
// sign functions and the counting functions have derivative zero.
#pragma once

#include <functional>

#include "platform/compiler/pass6_derivative_expr.h"

namespace platform::compiler {

class Leaves {
 public:
  virtual ~Leaves() = default;
  // D of a variable, and of an array element.
  virtual language::ExprPtr of_variable(const language::Expr& var) = 0;
  virtual language::ExprPtr of_element(const language::Expr& ref) = 0;
  // A function whose derivative with respect to argument `argument`
  // (from 1) is not available was met with an argument that varies.
  virtual void unsupported(const language::Expr& call, int argument) = 0;
};

// D(e). `value`, when given, is an expression holding e's own value (the
// variable it is assigned to), which the rules use instead of computing
// e again (exp, sqrt, tan, ...).
language::ExprPtr differentiate(const language::Expr& e, Leaves& leaves,
                                const language::Expr* value = nullptr);

// The operands of e through which a derivative flows, in order.
void differentiable_operands(const language::Expr& e,
                             const std::function<void(const language::Expr&)>& visit);

// MIN, MAX, >< and <>: their derivative is the chosen operand's.
bool is_selection(const language::Expr& e);
// The choice a selection makes: the conditions under which each operand is
// the result, given an expression of the result; the last has none.
struct Choice {
  language::ExprPtr condition;  // null for the last operand
  const language::Expr* operand;
};
std::vector<Choice> choices(const language::Expr& selection, const language::Expr& result);

// Calls whose derivative is built from their own value: worth computing
// once into a variable of their own when they stand inside an expression.
bool reuses_own_value(const language::Expr& e);

}  // namespace platform::compiler
