// Expressions: precedence and associativity of every operator group, shown
// fully parenthesised and checked by value against the same formulas in C++.
#include <gtest/gtest.h>

#include <cmath>

#include "expression_eval.h"
#include "platform/language/cursor.h"
#include "platform/language/expression_parser.h"
#include "platform/language/lexer.h"
#include "platform/language/messages.h"
#include "platform/language/printer.h"

namespace lang = platform::language;

namespace {

// Parses `text` as one whole expression.
lang::ExprPtr parse(const std::string& text, bool where = false) {
  const lang::LexResult lex = lang::tokenize(text);
  const std::vector<lang::Segment> segs = lang::split_segments(lex.tokens);
  lang::Cursor in(lex.tokens, segs);
  lang::ExpressionContext ctx;
  ctx.where = where;
  ctx.is_array = [](const std::string& k) { return k == "ARR"; };
  lang::ExprPtr e = lang::parse_expression(in, ctx);
  EXPECT_TRUE(in.at_end()) << text;
  return e;
}

std::string shape(const std::string& text, bool where = false) {
  return lang::expression_text(*parse(text, where));
}

double value(const std::string& text, const std::map<std::string, double>& vars = {}) {
  return test_eval::eval(*parse(text), vars);
}

}  // namespace

TEST(Expressions, PrefixOperatorsAndPowerGroupRightToLeft) {
  EXPECT_EQ(shape("-x**2"), "(-(x ** 2))");
  EXPECT_EQ(shape("2**3**2"), "(2 ** (3 ** 2))");
  EXPECT_EQ(shape("2**-1"), "(2 ** (-1))");
  EXPECT_EQ(shape("- - x"), "(-(-x))");
  EXPECT_EQ(shape("not a = b"), "((NOT a) = b)");
  EXPECT_EQ(shape("a >< b ** 2"), "(a >< (b ** 2))");
  EXPECT_EQ(shape("a <> b * c"), "((a <> b) * c)");
}

TEST(Expressions, BinaryGroupsBindInOrder) {
  EXPECT_EQ(shape("a + b * c"), "(a + (b * c))");
  EXPECT_EQ(shape("a - b - c"), "((a - b) - c)");
  EXPECT_EQ(shape("a / b / c"), "((a / b) / c)");
  EXPECT_EQ(shape("a * -b"), "(a * (-b))");
  EXPECT_EQ(shape("a || b + c"), "(a || (b + c))");
  EXPECT_EQ(shape("a + 1 < b || c"), "((a + 1) < (b || c))");
  EXPECT_EQ(shape("a < b & c > d | e"), "(((a < b) & (c > d)) | e)");
  EXPECT_EQ(shape("a or b and c"), "(a | (b & c))");
  EXPECT_EQ(shape("a eq b ne c"), "((a = b) & (b ^= c))");
}

TEST(Expressions, ComparisonChainsAndInLists) {
  EXPECT_EQ(shape("0 < x <= 1"), "((0 < x) & (x <= 1))");
  EXPECT_EQ(shape("x in (1, 2, -3)"), "(x IN (1, 2, -3))");
  EXPECT_EQ(shape("x not in ('a', 'b')"), "(x NOT IN ('a', 'b'))");
  EXPECT_EQ(shape("x + 1 in (2) & y"), "(((x + 1) IN (2)) & y)");
  EXPECT_EQ(shape("a ^= b ~= c"), "((a ^= b) & (b ^= c))");
}

TEST(Expressions, WhereReadsAngleBracketsAsNotEqual) {
  EXPECT_EQ(shape("a <> b", true), "(a ^= b)");
  EXPECT_EQ(shape("a <> b", false), "(a <> b)");
}

TEST(Expressions, CallsArraysAndLiterals) {
  EXPECT_EQ(shape("exp(-b*x) + f()"), "(exp(((-b) * x)) + f())");
  EXPECT_EQ(shape("arr(i+1) + arr{2} + v[1, 2]"), "((arr{(i + 1)} + arr{2}) + v{1, 2})");
  EXPECT_EQ(shape("der.b1 * model.y"), "(der.b1 * model.y)");
  EXPECT_EQ(shape("x = . | x = .a"), "((x = .) | (x = .A))");
  EXPECT_EQ(shape("'01jan2000'd"), "14610");
}

TEST(Expressions, ValuesMatchTheSameFormulasInCpp) {
  const std::map<std::string, double> v = {{"X", 1.5}, {"Y", -2.0}, {"Z", 3.0}};
  const double x = 1.5, y = -2.0, z = 3.0;
  EXPECT_DOUBLE_EQ(value("-x**2", v), -(x * x));
  EXPECT_DOUBLE_EQ(value("2**3**2", v), 512.0);
  EXPECT_DOUBLE_EQ(value("z-x-y", v), (z - x) - y);
  EXPECT_DOUBLE_EQ(value("z/x/y", v), (z / x) / y);
  EXPECT_DOUBLE_EQ(value("x + y * z ** 2 / 4", v), x + y * std::pow(z, 2) / 4);
  EXPECT_DOUBLE_EQ(value("-z ** -x", v), -std::pow(z, -x));
  EXPECT_DOUBLE_EQ(value("x >< y + z <> 0", v), std::fmin(x, y) + std::fmax(z, 0.0));
  EXPECT_DOUBLE_EQ(value("y < x < z", v), 1.0);
  EXPECT_DOUBLE_EQ(value("z < x < y", v), 0.0);
  EXPECT_DOUBLE_EQ(value("x < y | y < z & z > 0", v), 1.0);
  EXPECT_DOUBLE_EQ(value("not x < y", v), (!x) < y);
  EXPECT_DOUBLE_EQ(value("z in (1, 3)", v), 1.0);
}

TEST(Expressions, IncompleteExpressionsAreErrors) {
  for (const char* text : {"a +", "(a", "f(a,", "x in 1", "a{1", "* 2"}) {
    std::string s = text;
    auto lex = lang::tokenize(s);
    auto segs = lang::split_segments(lex.tokens);
    lang::Cursor in(lex.tokens, segs);
    lang::ExpressionContext ctx;
    EXPECT_THROW(lang::parse_expression(in, ctx), lang::ParseError) << text;
  }
}
