// Malformed programs of every shape end in statement errors, never in a
// crash or a hang: random sequences of the language's tokens, and every
// prefix of a valid program.
#include <gtest/gtest.h>

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
