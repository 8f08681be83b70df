// Expressions of the statement language, by recursive descent over the
// operator groups documented with BinaryOp in ast.h.
#pragma once

#include <functional>
#include <string>

#include "platform/language/ast.h"
#include "platform/language/cursor.h"

namespace platform::language {

struct ExpressionContext {
  // Whether `key` (upper case) names an array declared so far: a( ) is then
  // an element, not a function call.
  std::function<bool(const std::string&)> is_array;
  // In WHERE expressions <> means "not equal", not the maximum.
  bool where = false;
  // Whether the "/" at the cursor ends the expression (ESTIMATE a/b / DF=3:
  // the second "/" begins the options).
  std::function<bool(Cursor&)> slash_ends;
};

ExprPtr parse_expression(Cursor& in, const ExpressionContext& ctx);

// One variable, compound name, array element or function call: the target
// of an assignment or a PUT item.
ExprPtr parse_expression_primary_only(Cursor& in, const ExpressionContext& ctx);

// A deep copy of an expression.
ExprPtr clone(const Expr& e);

// Literal nodes for the parsers.
ExprPtr make_number(double value, SourcePos pos, NumberForm form = NumberForm::Plain);
// A literal token (number, date, time, datetime, missing or string) as a
// node; null when the token is not a literal.
ExprPtr literal_from(const Token& t);

}  // namespace platform::language
