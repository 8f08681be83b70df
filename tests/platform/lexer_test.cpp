// The tokenizer: every kind of token, comments, literals and the errors.
#include <gtest/gtest.h>

#include "host/missing.h"
#include "platform/language/lexer.h"
#include "platform/language/literals.h"
#include "platform/language/messages.h"

namespace lang = platform::language;
using lang::TokenKind;

namespace {

std::vector<lang::Token> tokens_of(std::string_view text) {
  lang::LexResult r = lang::tokenize(text);
  EXPECT_TRUE(r.errors.empty()) << text;
  return r.tokens;
}

std::vector<std::string> spells(std::string_view text) {
  std::vector<std::string> out;
  for (const lang::Token& t : tokens_of(text))
    if (t.kind != TokenKind::End) out.emplace_back(t.spell);
  return out;
}

}  // namespace

TEST(Lexer, NamesKeepTheirSpellingAndCompareUpperCase) {
  auto t = tokens_of("Theta_1 x");
  ASSERT_EQ(t.size(), 3u);
  EXPECT_EQ(t[0].kind, TokenKind::Name);
  EXPECT_EQ(t[0].spell, "Theta_1");
  EXPECT_EQ(t[0].upper, "THETA_1");
  EXPECT_EQ(t[1].pos.column, 9);
  EXPECT_EQ(t[2].kind, TokenKind::End);
}

TEST(Lexer, Numbers) {
  struct Case { const char* text; double value; bool integer; } cases[] = {
      {"12", 12, true}, {".5", 0.5, false}, {"1.", 1, false}, {"1.25e-3", 1.25e-3, false},
      {"6E+2", 600, false}, {"3.141592653589793238", 3.141592653589793, false}};
  for (const auto& c : cases) {
    auto t = tokens_of(c.text);
    ASSERT_EQ(t[0].kind, TokenKind::Number) << c.text;
    EXPECT_DOUBLE_EQ(t[0].number, c.value) << c.text;
    EXPECT_EQ(t[0].integer, c.integer) << c.text;
    EXPECT_EQ(t.size(), 2u) << c.text;
  }
}

TEST(Lexer, MissingValues) {
  auto t = tokens_of(". .A .z ._ x=.;");
  EXPECT_EQ(t[0].kind, TokenKind::Missing);
  EXPECT_EQ(t[0].missing, '.');
  EXPECT_EQ(t[1].missing, 'A');
  EXPECT_EQ(t[2].missing, 'Z');
  EXPECT_EQ(t[3].missing, '_');
  EXPECT_EQ(t[6].kind, TokenKind::Missing);
  EXPECT_TRUE(t[7].is(";"));
}

TEST(Lexer, QuotedStringsUndoDoubledQuotes) {
  auto t = tokens_of(R"('it''s' "say ""hi""" '')");
  EXPECT_EQ(t[0].kind, TokenKind::String);
  EXPECT_EQ(t[0].value, "it's");
  EXPECT_EQ(t[0].spell, "'it''s'");
  EXPECT_EQ(t[1].value, "say \"hi\"");
  EXPECT_EQ(t[2].value, "");
}

TEST(Lexer, DateTimeAndDatetimeLiterals) {
  // Day counts from 1 January 1960, checked against the calendar by hand:
  // 1960 and 1964 are leap years, so 1 January 1961 is day 366; 1 January
  // 2000 is 40 years on, with 10 leap days: 40 * 365 + 10 = 14610.
  auto t = tokens_of("'01jan1960'd '1JAN61'D '01jan2000'd '29feb2000'd '12:30't '13:45:30.5'T "
                     "'02jan1960:01:00:01'dt");
  EXPECT_EQ(t[0].kind, TokenKind::Date);
  EXPECT_EQ(t[0].number, 0);
  EXPECT_EQ(t[1].number, 366);
  EXPECT_EQ(t[2].number, 14610);
  EXPECT_EQ(t[3].number, 14610 + 31 + 28);
  EXPECT_EQ(t[4].kind, TokenKind::Time);
  EXPECT_EQ(t[4].number, 12 * 3600 + 30 * 60);
  EXPECT_EQ(t[5].number, 13 * 3600 + 45 * 60 + 30.5);
  EXPECT_EQ(t[6].kind, TokenKind::DateTime);
  EXPECT_EQ(t[6].number, 86400 + 3601);
  // Dates before 1960 count backwards.
  EXPECT_EQ(lang::days_since_1960(1959, 12, 31), -1);
  EXPECT_EQ(lang::days_since_1960(1900, 1, 1), -21914);
}

TEST(Lexer, OperatorsTakeTheLongestMatch) {
  EXPECT_EQ(spells("a**2||b<=c>=d^=e~=f><g<>h^<i^>j"),
            (std::vector<std::string>{"a", "**", "2", "||", "b", "<=", "c", ">=", "d", "^=", "e", "~=",
                                      "f", "><", "g", "<>", "h", "^<", "i", "^>", "j"}));
  EXPECT_EQ(spells("x=-1;y{i}=z[2]&(a|b)!c"),
            (std::vector<std::string>{"x", "=", "-", "1", ";", "y", "{", "i", "}", "=", "z", "[", "2", "]",
                                      "&", "(", "a", "|", "b", ")", "!", "c"}));
}

TEST(Lexer, CompoundNamesFormatsAndTwoLevelNames) {
  auto t = tokens_of("der.b1 DER.b1.b2 model.y best12. $char10. $8. 8.2 work.est");
  EXPECT_EQ(t[0].kind, TokenKind::Compound);
  EXPECT_EQ(t[0].upper, "DER.B1");
  EXPECT_EQ(t[0].spell, "der.b1");
  EXPECT_EQ(t[1].upper, "DER.B1.B2");
  EXPECT_EQ(t[2].upper, "MODEL.Y");
  EXPECT_EQ(t[3].kind, TokenKind::Format);
  EXPECT_EQ(t[3].spell, "best12.");
  EXPECT_EQ(t[4].kind, TokenKind::Format);
  EXPECT_EQ(t[5].kind, TokenKind::Format);
  EXPECT_EQ(t[6].kind, TokenKind::Number);
  EXPECT_EQ(t[7].kind, TokenKind::Name);
  EXPECT_EQ(t[7].upper, "WORK.EST");
}

TEST(Lexer, CommentsAreDropped) {
  EXPECT_EQ(spells("/* a; b */ x = 1; * a comment statement, 'quotes' too;\n"
                   "y = 2 /* inline */ * 3; *another;"),
            (std::vector<std::string>{"x", "=", "1", ";", "y", "=", "2", "*", "3", ";"}));
  // A star that does not begin a statement is a product.
  EXPECT_EQ(spells("a = b * c;"), (std::vector<std::string>{"a", "=", "b", "*", "c", ";"}));
}

TEST(Lexer, LinesAndColumnsFollowTheSource) {
  lang::LexResult r = lang::tokenize("a\n  b /* x\n y */ c", 10);
  ASSERT_EQ(r.tokens.size(), 4u);
  EXPECT_EQ(r.tokens[1].pos.line, 11);
  EXPECT_EQ(r.tokens[1].pos.column, 3);
  EXPECT_EQ(r.tokens[2].pos.line, 12);
  EXPECT_EQ(r.tokens[2].pos.column, 7);
}

TEST(Lexer, ErrorsNameTheTextAndPlace) {
  struct Case { const char* text; int message; } cases[] = {
      {"x = 'open", lang::msg::kUnclosedString},
      {"x = 1; /* never closed", lang::msg::kUnclosedComment},
      {"x = 1 # 2", lang::msg::kBadCharacter},
      {"x = '31feb2001'd", lang::msg::kBadDateLiteral},
      {"x = '25:00't", lang::msg::kBadDateLiteral},
      {"x = 12abc", lang::msg::kBadNumber},
      {"x = .ab", lang::msg::kBadMissing},
      {"abcdefghijabcdefghijabcdefghijabc = 1", lang::msg::kNameTooLong},
  };
  for (const auto& c : cases) {
    lang::LexResult r = lang::tokenize(c.text);
    ASSERT_EQ(r.errors.size(), 1u) << c.text;
    EXPECT_EQ(r.errors[0].message, c.message) << c.text;
    EXPECT_EQ(r.tokens.back().kind, TokenKind::End);
  }
}
