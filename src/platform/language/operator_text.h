// The source text of a binary operator, as listings and rebuilt program
// text write it.
#pragma once

#include "platform/language/ast.h"

namespace platform::language {

inline const char* binary_operator_text(BinaryOp op) {
  switch (op) {
    case BinaryOp::Power: return "**";
    case BinaryOp::Min: return "><";
    case BinaryOp::Max: return "<>";
    case BinaryOp::Multiply: return "*";
    case BinaryOp::Divide: return "/";
    case BinaryOp::Add: return "+";
    case BinaryOp::Subtract: return "-";
    case BinaryOp::Concat: return "||";
    case BinaryOp::Eq: return "=";
    case BinaryOp::Ne: return "^=";
    case BinaryOp::Lt: return "<";
    case BinaryOp::Le: return "<=";
    case BinaryOp::Gt: return ">";
    case BinaryOp::Ge: return ">=";
    case BinaryOp::And: return "&";
    case BinaryOp::Or: break;
  }
  return "|";
}

}  // namespace platform::language
