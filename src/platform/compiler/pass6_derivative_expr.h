// Building blocks of generated derivative expressions: syntax-tree nodes
// made by constructors that fold constants and drop the neutral terms
// (0 + x, 1 * x, 0 * x, x ** 1, ...), so that a derivative that is a
// constant ends up as one number and the others stay short.
#pragma once

#include <string>

#include "platform/compiler/bytecode.h"
#include "platform/compiler/symbol_table.h"
#include "platform/language/ast.h"

namespace platform::compiler::dexpr {

using language::Expr;
using language::ExprPtr;
using language::SourcePos;

ExprPtr number(double value, SourcePos pos = {});
ExprPtr variable(const Symbol& s, SourcePos pos = {});
ExprPtr clone(const Expr& e);

// True, with the value, when the node is a number.
bool number_of(const Expr& e, double* value);
bool is_zero(const Expr& e);

ExprPtr add(ExprPtr a, ExprPtr b);
ExprPtr sub(ExprPtr a, ExprPtr b);
ExprPtr mul(ExprPtr a, ExprPtr b);
ExprPtr div(ExprPtr a, ExprPtr b);
ExprPtr neg(ExprPtr a);
ExprPtr pow(ExprPtr a, ExprPtr b);
ExprPtr sqr(ExprPtr a);  // a * a
// A call of a library function by its upper-case key; folded when every
// argument is a number and the result is finite.
ExprPtr call(const std::string& key, ExprPtr a);
ExprPtr call(const std::string& key, language::ExprList args);
// A comparison or another binary operator, folded over numbers.
ExprPtr binary(language::BinaryOp op, ExprPtr a, ExprPtr b);

}  // namespace platform::compiler::dexpr
