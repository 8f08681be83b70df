// Character functions against their documented results, character
// comparisons (the shorter value padded with blanks), character arrays,
// SELECT on a character value, special missing values through text, and the
// PUT statement's items and formats, hand-worked.
#include "platform/compiler_fixture.h"

namespace compiler_test {
namespace {

using std::string;

class CharacterFunctions : public CompilerTest {};

TEST_F(CharacterFunctions, StripLowcaseMissingAndOrderedComparisons) {
  data_.variables = {character("a", 1, 8), character("b", 2, 4)};
  ASSERT_TRUE(compile_parsed(
      "s = strip(a); lo = lowcase(a); m = missing(a) + 10 * missing(b);\n"
      "lt = a < b; le = a <= b; gt = a > b; ge = a >= b; ne = a ^= b;\n"));
  start_pass();
  const auto comparisons = [&] {
    return std::vector<double>{value("lt"), value("le"), value("gt"), value("ge"), value("ne")};
  };
  ASSERT_EQ(run({string("  Ab C"), string("  Ab")}), 0);
  EXPECT_EQ(text("s"), "Ab C    ");   // blanks gone from both ends, then padded
  EXPECT_EQ(text("lo"), "  ab c  ");
  EXPECT_EQ(value("m"), 0);
  EXPECT_EQ(comparisons(), (std::vector<double>{0, 0, 1, 1, 1}));  // 'C' > ' '
  ASSERT_EQ(run({string("ab"), string("ab  ")}), 0);              // equal once padded
  EXPECT_EQ(comparisons(), (std::vector<double>{0, 1, 0, 1, 0}));
  ASSERT_EQ(run({string("abc"), string("abd")}), 0);
  EXPECT_EQ(comparisons(), (std::vector<double>{1, 1, 0, 0, 1}));
  ASSERT_EQ(run({string("  "), string("x")}), 0);  // blanks only: the character missing value
  EXPECT_EQ(text("s"), "        ");
  EXPECT_EQ(value("m"), 1);
}

TEST_F(CharacterFunctions, ArraysOfCharacterVariablesAndTemporaryElements) {
  data_.variables = {numeric("k", 1)};
  ASSERT_TRUE(compile_parsed(
      "array names{3} $ 5 n1-n3 ('one' 'two' 'three');\n"
      "array codes{2} $ 3 _temporary_ ('ab' 'cd');\n"
      "names{k} = upcase(names{k});\n"
      "pick = codes{1 + (k > 1)} || names{k};\n"
      "codes{1} = 'zz';\n"));
  EXPECT_EQ(sym("n3")->length, 5);
  start_pass();
  ASSERT_EQ(run({2.0}), 0);
  EXPECT_EQ(text("n2"), "TWO  ");
  EXPECT_EQ(text("pick"), "cd TWO  ");  // elements of 3 and 5 characters
  ASSERT_EQ(run({1.0}), 0);
  EXPECT_EQ(text("n2"), "TWO  ");   // initial values are retained
  EXPECT_EQ(text("pick"), "zz ONE  ");  // and so are temporary elements
  start_pass();                      // a new pass starts both from their initial values
  ASSERT_EQ(run({3.0}), 0);
  EXPECT_EQ(text("n2"), "two  ");
  EXPECT_EQ(text("pick"), "cd THREE");
}

TEST_F(CharacterFunctions, SelectOnACharacterValueAndLetterMissingValuesInText) {
  data_.variables = {character("state", 1, 9), character("code", 2, 2)};
  ASSERT_TRUE(compile_parsed(
      "select (state);\n"
      "  when ('treated') g = 1;\n"
      "  when ('untreated', 'control') g = 2;\n"
      "  otherwise g = 3;\n"
      "end;\n"
      "c = code; length v 8; v = c;\n"));
  start_pass();
  const std::pair<const char*, double> groups[] = {{"treated", 1}, {"control", 2}, {"untreated", 2}, {"other", 3}};
  for (const auto& [state, group] : groups) {
    ASSERT_EQ(run({string(state), string(".")}), 0);
    EXPECT_EQ(value("g"), group) << state;
  }
  ASSERT_EQ(run({string("x"), string(".b")}), 0);
  EXPECT_EQ(std::bit_cast<std::uint64_t>(value("v")), std::bit_cast<std::uint64_t>(letter_missing_value('B')));
  EXPECT_EQ(nerr_, 0);
}

TEST_F(CharacterFunctions, NumbersTurnedToTextTakeTwelveCharacters) {
  data_.variables = {numeric("x", 1)};
  ASSERT_TRUE(compile_parsed("length t $ 12;\nt = x;\nu = '<' || (x + 1) || 7;\n"));
  start_pass();
  const std::pair<double, const char*> cases[] = {
      {42, "          42"}, {-0.125, "      -0.125"}, {1e20, "        1E20"}, {2.5e-9, "      2.5E-9"},
      {1.0 / 3, "0.3333333333"}, {123456789012345.0, "1.2345679E14"}};
  for (const auto& [x, want] : cases) {
    ASSERT_EQ(run({x}), 0);
    EXPECT_EQ(text("t"), want) << x;
  }
  // Operands of a concatenation: an arithmetic expression and a literal.
  EXPECT_EQ(text("u"), "<1.2345679E14           7");
}

class Put : public CompilerTest {};

TEST_F(Put, FormatsAllVariablesAndPageItems) {
  data_.variables = {numeric("x", 1), character("name", 2, 6)};
  ASSERT_TRUE(compile_parsed(
      "y = x * 100; z = x * 1e-300; a = .A; u = ._;\n"
      "put x 8.2 y e10. name $3. z best3. _page_ 'end' a u;\n"
      "put _all_;\n"));
  start_pass();
  ASSERT_EQ(run({3.14159, string("abcdef")}), 0);
  const string log = log_text();
  EXPECT_NE(log.find("3.14 3.142E2 abc *** end .A ._\n"), string::npos) << log;
  EXPECT_NE(log.find("x=3.14159 name=abcdef y=314.159 z=3.14159E-300 a=.A u=._\n"), string::npos) << log;
}

}  // namespace
}  // namespace compiler_test
