// A small evaluator of parsed expressions for the tests: numbers, variables
// from a map, arithmetic, comparisons and a few functions, so that parsed
// programs can be checked against the same formulas written in C++.
#pragma once

#include <cmath>
#include <map>
#include <stdexcept>
#include <string>

#include "platform/language/ast.h"

namespace test_eval {

namespace lang = platform::language;

inline double eval(const lang::Expr& e, const std::map<std::string, double>& vars) {
  auto arg = [&](std::size_t i) { return eval(*e.args.at(i), vars); };
  switch (e.kind) {
    case lang::ExprKind::Number: return e.number;
    case lang::ExprKind::Variable: {
      auto it = vars.find(e.key);
      if (it == vars.end()) throw std::runtime_error("no value for " + e.key);
      return it->second;
    }
    case lang::ExprKind::Unary:
      return e.unary_op == lang::UnaryOp::Minus ? -arg(0)
             : e.unary_op == lang::UnaryOp::Plus ? arg(0)
                                                 : (arg(0) == 0 ? 1.0 : 0.0);
    case lang::ExprKind::Binary: {
      const double a = arg(0), b = arg(1);
      switch (e.binary_op) {
        case lang::BinaryOp::Power: return std::pow(a, b);
        case lang::BinaryOp::Min: return std::fmin(a, b);
        case lang::BinaryOp::Max: return std::fmax(a, b);
        case lang::BinaryOp::Multiply: return a * b;
        case lang::BinaryOp::Divide: return a / b;
        case lang::BinaryOp::Add: return a + b;
        case lang::BinaryOp::Subtract: return a - b;
        case lang::BinaryOp::Eq: return a == b;
        case lang::BinaryOp::Ne: return a != b;
        case lang::BinaryOp::Lt: return a < b;
        case lang::BinaryOp::Le: return a <= b;
        case lang::BinaryOp::Gt: return a > b;
        case lang::BinaryOp::Ge: return a >= b;
        case lang::BinaryOp::And: return a != 0 && b != 0;
        case lang::BinaryOp::Or: return a != 0 || b != 0;
        case lang::BinaryOp::Concat: break;
      }
      break;
    }
    case lang::ExprKind::Call: {
      if (e.key == "EXP") return std::exp(arg(0));
      if (e.key == "LOG") return std::log(arg(0));
      if (e.key == "SIN") return std::sin(arg(0));
      if (e.key == "COS") return std::cos(arg(0));
      if (e.key == "ATAN") return std::atan(arg(0));
      if (e.key == "SQRT") return std::sqrt(arg(0));
      break;
    }
    case lang::ExprKind::In: {
      const double v = arg(0);
      bool found = false;
      for (std::size_t i = 1; i < e.args.size(); ++i) found = found || arg(i) == v;
      return found != e.negated;
    }
    default: break;
  }
  throw std::runtime_error("cannot evaluate");
}

}  // namespace test_eval
