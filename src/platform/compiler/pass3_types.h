// Types and lengths: every variable is numeric or character, fixed where the
// program first uses it unless the data set or a declaration fixed it
// before; a character variable first assigned takes the length of the value.
#pragma once

#include <unordered_map>

#include "platform/compiler/compiler.h"

namespace platform::compiler {

struct ExprType {
  bool character = false;
  int length = 8;  // bytes of a character value
};

// The types of the inner nodes of trees already typed, for a caller that
// asks about every node of a tree: without it, a chain a+b+c+... would be
// walked once per operator.
using TypeMemo = std::unordered_map<const language::Expr*, ExprType>;

// The type of an expression once the symbols have their types.
ExprType expression_type(Compiler& c, const language::Expr& e, TypeMemo* memo = nullptr);

inline constexpr int kMaxCharLength = 32767;
inline constexpr int kNumberTextLength = 12;  // numbers written as text (BEST12.)

}  // namespace platform::compiler
