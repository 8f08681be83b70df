// Malformed programs of every shape end in statement errors, never in a
// crash or a hang: random sequences of the language's tokens, and every
// prefix of a valid program.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "platform/language/step_parser.h"

namespace lang = platform::language;

TEST(ParserRobustness, RandomTokenSequencesGiveErrorsNotCrashes) {
  const char* pieces[] = {"proc", "ruva", "if", "then", "else", "do", "end", "select", "when", "otherwise",
                          "model", "parms", "bounds", "output", "out", "=", "(", ")", "{", "}", "[", "]",
                          ";", ",", "/", "*", "**", "-", "+", "<", ">=", "'q'", "'01jan2000'd", ".", ".a",
                          "1", "2.5e3", "x", "der.x", "to", "by", "while", "until", "array", "retain",
                          "plots", "stats", "put", "goto", "lab:", "in", "not", "/*c*/", "$", "||"};
  std::mt19937 rng(12345);
  std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1);
  std::uniform_int_distribution<int> length(1, 40);
  for (int round = 0; round < 3000; ++round) {
    std::string text = round % 2 ? "proc ruva " : "";
    for (int n = length(rng); n > 0; --n) text += std::string(pieces[pick(rng)]) + " ";
    auto parsed = lang::parse_step(text, 1);
    ASSERT_NE(parsed, nullptr);
    ASSERT_EQ(parsed->tokens.back().kind, lang::TokenKind::End);
  }
}

TEST(ParserRobustness, EveryPrefixOfAProgramParsesOrFails) {
  const std::string program =
      "proc ruva data=d method=marquardt plots=fit(stats=(nobs));\n"
      "parms a = 1 to 3 by 1 b = 0.5;\n"
      "bounds 0 < a <= 10;\n"
      "array w{2} w1-w2 (1 2);\n"
      "do i = 1 to 2; s = s + w{i}; end;\n"
      "select (g); when (1) y0 = 1; otherwise; end;\n"
      "if x > 0 then model y = a*exp(-b*x); else model y = a;\n"
      "output out=o p=pred / alpha=0.1;\n"
      "estimate 'half' log(2)/b / df=3;\n";
  for (std::size_t n = 0; n <= program.size(); ++n) {
    auto parsed = lang::parse_step(program.substr(0, n), 1);
    ASSERT_NE(parsed, nullptr);
  }
  EXPECT_TRUE(lang::parse_step(program, 1)->errors.empty());
}

// A statement that fails after a MODEL statement nested in it leaves no
// MODEL statement behind for the statements that follow.
TEST(ParserRobustness, AFailedStatementTakesItsNestedModelAlong) {
  auto parsed = lang::parse_step("proc ruva data=d; if x then model y = a; else q r; z = 1; run;", 1);
  ASSERT_FALSE(parsed->errors.empty());
  for (const auto& st : parsed->statements) EXPECT_NE(st.keyword, "MODEL");
}

// Each shape of deep nesting parses at its limit and stops with the
// compiler-set message one level beyond it (the parser runs on this
// thread's ordinary stack). The statement itself is one level of nesting.
TEST(ParserRobustness, NestingStopsAtItsLimitWithAMessage) {
  auto repeat = [](const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
  };
  auto else_ifs = [](int n) {
    std::string out = "if x = 0 then z = 0;\n";
    for (int i = 1; i < n; ++i) out += "else if x = " + std::to_string(i) + " then z = 1;\n";
    return out;
  };
  const int nest = lang::kMaxNesting - 1, depth = lang::kMaxTreeDepth - 1;
  struct Shape {
    const char* name;
    std::function<std::string(int)> program;  // for n levels
    int limit;                                // the most levels that parse
    int message;                              // set 148 beyond it
  };
  const Shape shapes[] = {
      {"parentheses", [&](int n) { return "z = " + repeat("(", n) + "x" + repeat(")", n) + ";"; }, nest, 100},
      {"prefix minus", [&](int n) { return "z = " + repeat("-", n) + "x;"; }, nest, 100},
      {"power", [&](int n) { return "z = x" + repeat("**x", n) + ";"; }, nest, 100},
      {"calls", [&](int n) { return "z = " + repeat("exp(", n) + "x" + repeat(")", n) + ";"; }, nest, 100},
      {"subscripts", [&](int n) { return "z = " + repeat("w{", n) + "1" + repeat("}", n) + ";"; }, nest, 100},
      {"IF", [&](int n) { return repeat("if x then ", n) + "z = 1;"; }, nest, 100},
      {"DO", [&](int n) { return repeat("do; ", n) + "z = 1; " + repeat("end; ", n); }, nest, 100},
      {"ELSE IF", else_ifs, nest, 100},
      {"sum", [&](int n) { return "z = x" + repeat("+x", n) + ";"; }, depth, 101},
      {"AND", [&](int n) { return "z = x" + repeat(" and x", n) + ";"; }, depth, 101},
  };
  for (const Shape& s : shapes) {
    auto ok = lang::parse_step("proc ruva;\n" + s.program(s.limit), 1);
    EXPECT_TRUE(ok->errors.empty()) << s.name << ": message " << ok->errors.front().message;
    auto deep = lang::parse_step("proc ruva;\n" + s.program(s.limit + 1), 1);
    ASSERT_EQ(deep->errors.size(), 1u) << s.name;
    EXPECT_EQ(deep->errors[0].set, 148) << s.name;
    EXPECT_EQ(deep->errors[0].message, s.message) << s.name;
  }
  // The ELSE clauses left after a chain that failed at the limit belong to
  // it: one error for a chain of 5,000. An ELSE after a statement that
  // parsed is still an error.
  EXPECT_EQ(lang::parse_step("proc ruva;\n" + else_ifs(5000), 1)->errors.size(), 1u);
  auto stray = lang::parse_step("proc ruva;\nz = 1;\nelse z = 2;\nelse z = 3;\n", 1);
  ASSERT_EQ(stray->errors.size(), 1u);
  EXPECT_EQ(stray->errors[0].message, 720);
}
