// Control flow of the model program: IF/ELSE, the DO loops and their
// control values, LEAVE and CONTINUE, SELECT, GOTO, LINK and RETURN, each
// checked against the same computation written in C++.
#include <cmath>

#include "platform/compiler_fixture.h"

namespace compiler_test {
namespace {

using std::string;

class Control : public CompilerTest {};

TEST_F(Control, IfElseChainsAndShortCircuitConditions) {
  data_.variables = {numeric("x", 1)};
  ASSERT_TRUE(compile(
      "if x < 0 then s = -1; else if x = 0 then s = 0; else s = 1;\n"
      "if x ^= 0 and 1 / x > 0.5 then big = 1; else big = 0;\n"
      "if x = 0 or 1 / x < 0 then low = 1; else low = 0;\n"
      "if not (x in (1, 2, 3)) then other = 1; else other = 0;\n"));
  start_pass();
  for (double x : {-2.0, 0.0, 1.0, 2.0, 3.0, 0.25}) {
    ASSERT_EQ(run({x}), 0);
    EXPECT_EQ(value("s"), (x > 0) - (x < 0));
    EXPECT_EQ(value("big"), x != 0 && 1 / x > 0.5);
    EXPECT_EQ(value("low"), x == 0 || 1 / x < 0);
    EXPECT_EQ(value("other"), !(x == 1 || x == 2 || x == 3));
    EXPECT_EQ(nerr_, 0) << "x=" << x;  // the divisions are never reached with x = 0
  }
}

// Each comparison as the first operand of OR (a jump when it holds) and
// under NOT, against the comparison in C++.
TEST_F(Control, EveryComparisonJumpsBothWays) {
  data_.variables = {numeric("x", 1), numeric("k", 2)};
  ASSERT_TRUE(compile(
      "if x = 1 or k then f1 = 1; else f1 = 0;\n"
      "if x ^= 1 or k then f2 = 1; else f2 = 0;\n"
      "if x < 1 or k then f3 = 1; else f3 = 0;\n"
      "if x <= 1 or k then f4 = 1; else f4 = 0;\n"
      "if x > 1 or k then f5 = 1; else f5 = 0;\n"
      "if x >= 1 or k then f6 = 1; else f6 = 0;\n"
      "if not (x <= 1) then n4 = 1; else n4 = 0;\n"));
  start_pass();
  for (double x : {0.0, 1.0, 2.0})
    for (double k : {0.0, 1.0}) {
      ASSERT_EQ(run({x, k}), 0);
      const bool held[] = {x == 1, x != 1, x < 1, x <= 1, x > 1, x >= 1};
      for (int i = 0; i < 6; ++i) EXPECT_EQ(value(("f" + std::to_string(i + 1)).c_str()), held[i] || k) << x << " " << i;
      EXPECT_EQ(value("n4"), !(x <= 1));
    }
}

TEST_F(Control, IterativeDoLoopsWithToByWhileAndUntil) {
  data_.variables = {numeric("n", 1)};
  ASSERT_TRUE(compile(
      "s = 0; do i = 1 to n; s = s + i; end;\n"
      "d = 0; do j = n to 1 by -2; d = d * 10 + j; end;\n"
      "w = 0; do k = 1 to 100 while (w < n); w = w + k; end;\n"
      "u = 0; do m = 1 to 100 until (u >= n); u = u + m; end;\n"
      "f = 0; do v = 0.5 to 1.5 by 0.25; f = f + v; end;\n"));
  start_pass();
  for (double n : {0.0, 1.0, 4.0, 7.0}) {
    ASSERT_EQ(run({n}), 0);
    double s = 0, d = 0, w = 0, u = 0;
    int i = 1;
    for (; i <= n; ++i) s += i;
    EXPECT_EQ(value("s"), s);
    EXPECT_EQ(value("i"), i);  // one past the end, as the loop leaves it
    int j = static_cast<int>(n);
    for (; j >= 1; j -= 2) d = d * 10 + j;
    EXPECT_EQ(value("d"), d);
    EXPECT_EQ(value("j"), j);
    int k = 1;
    for (; k <= 100 && w < n; ++k) w += k;
    EXPECT_EQ(value("w"), w);
    EXPECT_EQ(value("k"), k);
    int m = 1;
    for (; m <= 100; ++m) {
      u += m;
      if (u >= n) break;
    }
    EXPECT_EQ(value("u"), u);
    EXPECT_EQ(value("m"), m);
    EXPECT_EQ(value("f"), 0.5 + 0.75 + 1 + 1.25 + 1.5);
  }
}

TEST_F(Control, DoLoopOverAListOfValuesAndRanges) {
  ASSERT_TRUE(compile(
      "t = 0; c = 0;\n"
      "do i = 2, 3, 10 to 14 by 2, 100;\n"
      "  if i = 12 then continue;\n"
      "  t = t * 1000 + i; c = c + 1;\n"
      "end;\n"));
  start_pass();
  ASSERT_EQ(run(), 0);
  // 2, 3, 10, (12 skipped), 14, 100.
  EXPECT_EQ(value("c"), 5);
  EXPECT_EQ(value("t"), (((2.0 * 1000 + 3) * 1000 + 10) * 1000 + 14) * 1000 + 100);
}

TEST_F(Control, WhileUntilLeaveAndContinue) {
  data_.variables = {numeric("x", 1)};
  ASSERT_TRUE(compile(
      "n = 0; do while (n < x); n = n + 1; end;\n"
      "r = 0; do until (r >= x); r = r + 1; end;\n"
      "h = 0; do i = 1 to 1000; if i * i > x then leave; h = i; end;\n"
      "odd = 0; do i = 1 to 10; if mod(i, 2) = 0 then continue; odd = odd + i; end;\n"
      "g = 0; do; g = 5; end;\n"));
  start_pass();
  for (double x : {0.0, 3.0, 50.0}) {
    ASSERT_EQ(run({x}), 0);
    EXPECT_EQ(value("n"), std::max(0.0, std::ceil(x)));
    EXPECT_EQ(value("r"), std::max(1.0, std::ceil(x)));  // UNTIL runs the body once
    EXPECT_EQ(value("h"), std::floor(std::sqrt(x)));
    EXPECT_EQ(value("odd"), 25);
    EXPECT_EQ(value("g"), 5);
  }
}

TEST_F(Control, InvalidLoopControlAbandonsTheObservation) {
  data_.variables = {numeric("b", 1), numeric("e", 2)};
  ASSERT_TRUE(compile("s = 0;\ndo i = 1 to e by b; s = s + i; end;\n"));
  start_pass();
  EXPECT_EQ(run({0.0, 5.0}), 2);
  EXPECT_EQ(nerr_, 1);
  EXPECT_EQ(run({1.0, missing_value()}), 2);
  EXPECT_EQ(run({1.0, 3.0}), 0);
  EXPECT_EQ(value("s"), 6);
  cmpperr(2, 50, &cmp_);
  EXPECT_EQ(log_text().find("Invalid DO loop control"), string::npos);  // the last run was clean
  run({missing_value(), 3.0});
  cmpperr(2, 50, &cmp_);
  EXPECT_NE(log_text().find("Invalid DO loop control at line 2 column 1"), string::npos) << log_text();
}

TEST_F(Control, SelectWithAndWithoutAnExpression) {
  data_.variables = {numeric("x", 1)};
  ASSERT_TRUE(compile(
      "select (x);\n"
      "  when (1, 2) a = 10;\n"
      "  when (3) a = 30;\n"
      "  otherwise a = -1;\n"
      "end;\n"
      "select;\n"
      "  when (x < 0) b = -1;\n"
      "  when (x < 2.5) b = 1;\n"
      "  otherwise;\n"
      "end;\n"));
  start_pass();
  const struct { double x, a, b; } cases[] = {{1, 10, 1}, {2, 10, 1}, {3, 30, missing_value()},
                                               {-4, -1, -1}, {0.5, -1, 1}};
  for (const auto& c : cases) {
    ASSERT_EQ(run({c.x}), 0);
    EXPECT_EQ(value("a"), c.a);
    if (std::isnan(c.b)) EXPECT_TRUE(is_missing(value("b")));
    else EXPECT_EQ(value("b"), c.b);
  }
}

TEST_F(Control, SelectWithoutOtherwiseAbandonsWhenNothingMatches) {
  data_.variables = {numeric("x", 1)};
  ASSERT_TRUE(compile("select (x);\n  when (1) a = 1;\nend;\nb = 2;\n"));
  start_pass();
  EXPECT_EQ(run({1.0}), 0);
  EXPECT_EQ(run({2.0}), 2);
  cmpperr(2, 50, &cmp_);
  EXPECT_NE(log_text().find("No WHEN clause matched and the SELECT group has no OTHERWISE at line 1 column 1"),
            string::npos)
      << log_text();
}

TEST_F(Control, GotoLinkAndReturn) {
  data_.variables = {numeric("x", 1)};
  ASSERT_TRUE(compile(
      "k = 0; f = 1;\n"
      "top: k = k + 1; f = f * k;\n"
      "if k < x then goto top;\n"
      "link twice; link twice;\n"
      "y = f;\n"
      "return;\n"
      "twice: f = f * 2;\n"
      "return;\n"));
  start_pass();
  for (double x : {1.0, 4.0, 6.0}) {
    ASSERT_EQ(run({x}), 0);
    double f = 1;
    for (int k = 1; k <= x; ++k) f *= k;
    EXPECT_EQ(value("k"), x);
    EXPECT_EQ(value("y"), f * 4);
  }
}

TEST_F(Control, UndefinedLabelsAreCompileErrors) {
  EXPECT_FALSE(compile("x = 1;\ngoto nowhere;\n"));
  EXPECT_NE(nretain_, 0);
  EXPECT_NE(log_text().find("The label nowhere of the GOTO statement at line 2 column 1 is not defined."),
            string::npos)
      << log_text();
}

TEST_F(Control, LeaveOutsideALoopIsACompileError) {
  EXPECT_FALSE(compile("if 1 then leave;\n"));
  EXPECT_NE(log_text().find("The LEAVE statement at line 1 column 11 is not inside a DO loop."),
            string::npos)
      << log_text();
}

TEST_F(Control, StatementsThatCannotBeCompiledAreErrorsWithTheirPlace) {
  EXPECT_FALSE(compile("array a{2};\ndo a{1} = 1 to 2; end;\nf(1) = 2;\ny = nosuch(1);\nz = log(1, 2);\nw = pdf('T', 1);\n"));
  const string log = log_text();
  EXPECT_NE(log.find("The index of an iterative DO loop must be a variable at line 2 column 4."), string::npos) << log;
  EXPECT_NE(log.find("The array f is not declared at line 3 column 1."), string::npos) << log;
  EXPECT_NE(log.find("The function nosuch is not known at line 4 column 5."), string::npos) << log;
  EXPECT_NE(log.find("The function log takes 1 argument(s), not 2, at line 5 column 5."), string::npos) << log;
  EXPECT_NE(log.find("The distribution 'T' of function PDF is not supported (only 'NORMAL') at line 6 column 5."),
            string::npos)
      << log;
  // Nothing after the errors runs or crashes.
  EXPECT_EQ(cmpdeps(&cmp_, sym("y"), 0, 1, 0), 0);
  EXPECT_EQ(cmppsts("Code Listing", 12, &cmp_), 1);
}

}  // namespace
}  // namespace compiler_test
