// Arrays (bounds, several dimensions, temporary elements with initial
// values, their bound functions) and character variables (lengths, padding,
// functions, comparisons, conversions to and from numbers).
#include "platform/compiler_fixture.h"

namespace compiler_test {
namespace {

using std::string;

class Arrays : public CompilerTest {};

TEST_F(Arrays, OneAndTwoDimensionsWithOwnBounds) {
  data_.variables = {numeric("x", 1)};
  ASSERT_TRUE(compile(
      "array p{0:4} p0-p4;\n"
      "array m{2, 3};\n"
      "do i = lbound(p) to hbound(p); p{i} = x ** i; end;\n"
      "do r = 1 to 2; do c = 1 to dim(m, 2); m{r, c} = 10 * r + c; end; end;\n"
      "s = p3 + m5 + m(2, 1);\n"
      "n = dim(p) + dim(m) + dim(m, 2);\n"));
  start_pass();
  ASSERT_EQ(run({2.0}), 0);
  EXPECT_EQ(value("p0"), 1);
  EXPECT_EQ(value("p4"), 16);
  EXPECT_EQ(value("m1"), 11);
  EXPECT_EQ(value("m6"), 23);
  EXPECT_EQ(value("s"), 8 + 22 + 21);
  EXPECT_EQ(value("n"), 5 + 2 + 3);
}

TEST_F(Arrays, AnElementInParenthesesReadsAsAFunctionCallAndIsTheElement) {
  data_.variables = {numeric("x", 1)};
  ASSERT_TRUE(compile_parsed("array t{2} a b;\na = x; b = 2*x;\ny = t(2) + t(1);\n"));
  start_pass();
  ASSERT_EQ(run({3.0}), 0);
  EXPECT_EQ(value("y"), 9);
}

TEST_F(Arrays, SubscriptsOutOfRangeEndThePassWithTheirPlace) {
  data_.variables = {numeric("i", 1)};
  ASSERT_TRUE(compile("array a{-1:1} a1-a3;\ny = 0;\ny = a{i};\n"));
  start_pass();
  EXPECT_EQ(run({-1.0}), 0);
  EXPECT_EQ(run({1.9}), 0);  // subscripts are truncated
  EXPECT_EQ(run({2.0}), 5);
  EXPECT_EQ(run({-2.0}), 5);
  EXPECT_EQ(run({missing_value()}), 5);
  cmpperr(2, 50, &cmp_);
  EXPECT_NE(log_text().find("Array subscript out of range at line 3 column 5."), string::npos)
      << log_text();
}

TEST_F(Arrays, TemporaryArraysKeepTheirInitialValues) {
  data_.variables = {numeric("k", 1)};
  ASSERT_TRUE(compile(
      "array w{4} _temporary_ (0.1 0.2 0.3 0.4);\n"
      "array acc{2} _temporary_;\n"
      "y = w{k};\n"
      "acc{1} = sum(acc{1}, y); total = acc{1};\n"));
  start_pass();
  ASSERT_EQ(run({3.0}), 0);
  EXPECT_EQ(value("y"), 0.3);
  ASSERT_EQ(run({4.0}), 0);
  EXPECT_DOUBLE_EQ(value("total"), 0.7);  // temporary elements carry over
  start_pass();
  ASSERT_EQ(run({1.0}), 0);
  EXPECT_DOUBLE_EQ(value("total"), 0.1);
}

TEST_F(Arrays, BoundsOfADimensionTheProgramComputes) {
  data_.variables = {numeric("k", 1)};
  ASSERT_TRUE(compile("array m{2:4, 3};\nn = dim(m, k); h = hbound(m, k); l = lbound(m, k); k = dim(m, k);\n"));
  start_pass();
  const double miss = missing_value();
  // The whole part of k names the dimension; a value that names none gives missing values.
  const std::pair<double, std::vector<double>> cases[] = {
      {1, {3, 4, 2}}, {2, {3, 3, 1}}, {2.7, {3, 3, 1}}, {3, {miss, miss, miss}}, {0, {miss, miss, miss}},
      {miss, {miss, miss, miss}}};
  for (const auto& [k, want] : cases) {
    ASSERT_EQ(run({k}), 0);
    const std::vector<double> got = {value("n"), value("h"), value("l")};
    for (std::size_t i = 0; i < 3; ++i)
      EXPECT_EQ(std::bit_cast<std::uint64_t>(got[i]), std::bit_cast<std::uint64_t>(want[i])) << k << " " << i;
    EXPECT_EQ(std::bit_cast<std::uint64_t>(value("k")), std::bit_cast<std::uint64_t>(want[0]));  // k read before written
  }
}

TEST_F(Arrays, DeclarationErrorsAreReported) {
  const std::pair<const char*, const char*> cases[] = {
      {"array a{3} x y;", "The array a has 3 element(s) but 2 are listed at line 1 column 1."},
      // More elements than there are cells, temporary or not, however many.
      {"array b{2000,2000} _temporary_;", "no value cell is left for b."},
      {"array c{2000,2000};", "no value cell is left for c."},
      {"array d{100000,100000,100000,100000} _temporary_;", "no value cell is left for d."}};
  for (const auto& [program, message] : cases) {
    reset_block();
    EXPECT_FALSE(compile(program)) << program;
    EXPECT_NE(log_text().find(message), string::npos) << log_text();
  }
}

TEST_F(Arrays, WrongSubscriptCountAndUndeclaredArrays) {
  EXPECT_FALSE(compile("array a{2,2};\ny = a{1};\nz = b{1};\n"));
  const string log = log_text();
  EXPECT_NE(log.find("The array a has 2 dimension(s) but 1 subscript(s) are given at line 2 column 5."),
            string::npos)
      << log;
  EXPECT_NE(log.find("The array b is not declared at line 3 column 5."), string::npos) << log;
}

class Characters : public CompilerTest {};

TEST_F(Characters, LengthsPaddingAndFunctions) {
  data_.variables = {character("name", 1, 10), numeric("x", 2)};
  ASSERT_TRUE(compile(
      "length code $ 4;\n"
      "first = 'ab';\n"
      "code = upcase(name);\n"
      "joined = trim(name) || '-' || first;\n"
      "part = substr(name, 2, 3);\n"
      "n = length(name) + index(name, 'lo');\n"
      "if name = 'hello' then same = 1; else same = 0;\n"
      "if name in ('x', 'hello') then found = 1; else found = 0;\n"
      "label = left('  pad');\n"));
  EXPECT_EQ(sym("first")->length, 2);     // from the first assignment
  EXPECT_EQ(sym("code")->length, 4);      // from LENGTH
  EXPECT_EQ(sym("joined")->length, 13);   // 10 + 1 + 2
  EXPECT_EQ(sym("n")->type, 'n');
  start_pass();
  ASSERT_EQ(run({string("hello"), 1.0}), 0);
  EXPECT_EQ(text("code"), "HELL");
  EXPECT_EQ(text("joined"), "hello-ab     ");
  EXPECT_EQ(text("part"), "ell       ");
  EXPECT_EQ(value("n"), 5 + 4);
  EXPECT_EQ(value("same"), 1);  // trailing blanks do not count
  EXPECT_EQ(value("found"), 1);
  EXPECT_EQ(text("label"), "pad  ");
}

TEST_F(Characters, ConversionsAreNotedAndBadNumbersCountAsErrors) {
  data_.variables = {character("t", 1, 8), numeric("x", 2)};
  // A character variable of the data set is no number (that is an error);
  // one the program computes is converted.
  ASSERT_TRUE(compile("c = t;\ny = c * 2;\nlength s $ 12;\ns = x;\n"));
  const string log = log_text();
  EXPECT_NE(log.find("Character values have been converted to numeric values at the places given by "
                     "(Line):(Column): 2:5."),
            string::npos)
      << log;
  EXPECT_NE(log.find("Numeric values have been converted to character values at the places given by "
                     "(Line):(Column): 4:5."),
            string::npos)
      << log;
  start_pass();
  ASSERT_EQ(run({string(" 2.5"), 42.0}), 0);
  EXPECT_EQ(value("y"), 5);
  EXPECT_EQ(text("s"), "          42");
  ASSERT_EQ(run({string("abc"), 0.5}), 0);
  EXPECT_TRUE(is_missing(value("y")));
  EXPECT_EQ(nerr_, 1);
  EXPECT_EQ(nmiss_, 1);
  cmpperr(2, 50, &cmp_);
  EXPECT_NE(log_text().find("Invalid numeric data 'abc' at line 2 column 5."), string::npos);
  EXPECT_NE(log_text().find("t=abc x=0.5 c=abc y=. s=0.5"), string::npos) << log_text();
}

TEST_F(Characters, CharacterVariablesAreBlankBeforeEachObservationUnlessRetained) {
  data_.variables = {numeric("x", 1)};
  ASSERT_TRUE(compile("retain keep 'start';\nif x > 0 then tag = 'pos';\nif x > 5 then keep = 'big';\n"));
  start_pass();
  EXPECT_EQ(text("keep"), "start");
  ASSERT_EQ(run({1.0}), 0);
  EXPECT_EQ(text("tag"), "pos");
  ASSERT_EQ(run({9.0}), 0);
  EXPECT_EQ(text("keep"), "big  ");
  ASSERT_EQ(run({-1.0}), 0);
  EXPECT_EQ(text("tag"), "   ");
  EXPECT_EQ(text("keep"), "big  ");
}

TEST_F(Characters, PutWritesValuesToTheLogInTheLastPass) {
  data_.variables = {character("name", 1, 5), numeric("x", 2)};
  ASSERT_TRUE(compile("y = x * 2;\nput 'obs' name x= y;\n"));
  start_pass();
  run({string("ab"), 1.5}, 0);
  EXPECT_EQ(log_text().find("obs"), string::npos);
  run({string("ab"), 1.5}, 1);
  EXPECT_NE(log_text().find("obs ab x=1.5 3"), string::npos) << log_text();
}

}  // namespace
}  // namespace compiler_test
