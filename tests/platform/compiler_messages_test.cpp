// Declarations the compiler refuses or notes: each with its message text
// and place, and the values declarations give.
#include "platform/compiler/cell_store.h"
#include "platform/compiler_fixture.h"

namespace compiler_test {
namespace {

using std::string;

class Declarations : public CompilerTest {};

TEST_F(Declarations, RefusedWithTheirMessageAndPlace) {
  struct Case {
    const char* program;
    bool own_parser;  // read by the statement language's parser, else by the tests' one
    const char* message;
  };
  const Case cases[] = {
      {"array a{2,2};\na{1} = 2;\n", true,
       "The array a has 2 dimension(s) but 1 subscript(s) are given at line 2 column 1."},
      {"y = substr('abc');\n", true, "The function SUBSTR takes 2 or 3 argument(s), not 1, at line 1 column 5."},
      {"y = exp(1, 2);\n", true, "The function exp takes 1 argument(s), not 2, at line 1 column 5."},
      {"y = round(1, 2, 3);\n", true, "The function round takes 1 to 2 argument(s), not 3, at line 1 column 5."},
      {"x = 1;\ny = dim(x);\n", true, "The argument of function DIM must be an array name at line 2 column 5."},
      {"array m{2,3};\ny = dim(m, 3);\n", true, "The array m has no dimension 3 at line 2 column 5."},
      {"array m{2};\ny = hbound(m, .);\n", true, "The array m has no dimension 0 at line 2 column 5."},
      {"array m{2};\ny = lbound(m, 1e300);\n", true, "The array m has no dimension 1000000000 at line 2 column 5."},
      {"y = sum();\n", true, "The function sum takes at least 1 argument(s), not 0, at line 1 column 5."},
      {"array c{2} $ 40000;\n", false, "The length 40000 of c is not between 1 and 32767 at line 1 column 1."},
      {"array e{*} e1 e2 (1 2 3);\n", true, "The array e has 2 element(s) but 3 initial value(s) are given at line 1 column 1."},
      {"length z $ 40000;\n", false, "The length 40000 of z is not between 1 and 32767 at line 1 column 1."},
      {"parms a = 1 to 0 by 1;\n", false, "The values 1 TO 0 BY 1 of parameter a form no range at line 1 column 1."},
      {"parms b = 1 to 2 by 0;\n", false, "The values 1 TO 2 BY 0 of parameter b form no range at line 1 column 1."},
      {"x = 1;\nif x then parms a 1;\n", false, "The PARMS statement is not allowed inside another statement at line 2 column 11."},
      {"x = 1;\ndo; estimate 'e' x; end;\n", false, "The ESTIMATE statement is not allowed inside another statement at line 2 column 5."},
      {"x = 1;\ndo; contrast 'c' x; end;\n", false, "The CONTRAST statement is not allowed inside another statement at line 2 column 5."},
      {"x = 1;\ndo; control k; end;\n", false, "The CONTROL statement is not allowed inside another statement at line 2 column 5."},
      {"continue;\n", false, "The CONTINUE statement at line 1 column 1 is not inside a DO loop."},
  };
  for (const Case& c : cases) {
    reset_block();
    log_.str("");
    EXPECT_FALSE(c.own_parser ? compile_parsed(c.program) : compile(c.program)) << c.program;
    EXPECT_NE(log_text().find(c.message), string::npos) << c.program << log_text();
  }
}

TEST_F(Declarations, InitialValuesLengthsAndTheDataSetsTypes) {
  data_.variables = {character("code", 1, 3), numeric("x", 2)};
  ASSERT_TRUE(compile_parsed(
      "retain r1 .A r2 -3 r3 ._ r4 +2;\n"
      "array q{2} _temporary_ (-1 .B);\n"
      "attrib s length=$6 label='six' n length=8;\n"
      "length code 8;\n"
      "keep r1-r2 s _numeric_ _character_; drop n;\n"
      "s = 'abcdefgh'; n = q{1}; m = q{2};\n"));
  EXPECT_NE(log_text().find("The variable code is declared numeric but the data set holds it as character; "
                            "the data set's type is used."),
            string::npos)
      << log_text();
  EXPECT_EQ(sym("code")->type, '$');
  EXPECT_EQ(sym("s")->length, 6);
  EXPECT_EQ(sym("n")->type, 'n');
  start_pass();
  ASSERT_EQ(run({string("abc"), 1.0}), 0);
  const auto bits = [](double v) { return std::bit_cast<std::uint64_t>(v); };
  EXPECT_EQ(bits(value("r1")), bits(letter_missing_value('A')));
  EXPECT_EQ(value("r2"), -3);
  EXPECT_EQ(bits(value("r3")), bits(underscore_missing_value()));
  EXPECT_EQ(value("r4"), 2);
  EXPECT_EQ(value("n"), -1);
  EXPECT_EQ(bits(value("m")), bits(letter_missing_value('B')));
  EXPECT_EQ(text("s"), "abcdef");
}

// As the value cells and the character storage run out (the program takes a
// little less or more room than the arrays leave), each kind of value that
// needs some is refused with its message, never a crash.
TEST_F(Declarations, ValueCellsAndCharacterStorageRunOut) {
  const auto messages_over = [&](const char* program, long from, long to) {
    string all;
    for (long n = from; n <= to; ++n) {
      reset_block();
      log_.str("");
      string text = program;
      text.replace(text.find('N'), 1, std::to_string(n));
      if (!compile_parsed(text)) all += log_text();
    }
    return all;
  };
  const long cells = platform::compiler::CellStore::kMaxCells;
  // The folded 2 * 3.5 is a literal the code makes after the array took its cells.
  string log = messages_over("array t{N} _temporary_;\nt{1} = 0;\ny = 2 * 3.5;\nz = sum(t{1}, t{1}, 5) * 3;\n",
                             cells - 16, cells);
  for (const char* what : {"t", "a literal", "a temporary value", "a function argument"})
    EXPECT_NE(log.find(string("no value cell is left for ") + what + "."), string::npos) << what << log;
  // 4095 elements of 4096 characters leave 4096 of the storage's 4096 times 4096.
  log = messages_over(
      "array s{4095} $ 4096 _temporary_;\narray u{N} $ 1 _temporary_;\ns{1} = 'a';\nu{1} = 'b';\nd = 'zz';\n"
      "e = d || d;\n",
      4076, 4096);
  for (const char* what : {"u", "a literal", "a temporary value"})
    EXPECT_NE(log.find(string("The program has too much character data: no storage is left for ") + what + "."),
              string::npos)
        << what << log;
}

// The program text of the refits, read by the statement language's parser:
// the first error, in the parse's own words, stops the compilation.
TEST_F(Declarations, ProgramTextErrorsAreReportedInTheParsersWords) {
  const auto previous = platform::compiler::install_program_parser(&platform::language::parse_program_text);
  const std::pair<const char*, const char*> cases[] = {
      {"y = 'abc;", "Line 1, column 5: the quoted string 'abc; has no closing quote."},
      {"y = 1;\nend;", "Line 2, column 1: END has no DO or SELECT to close."},
      {"frobnicate x;", "Line 1, column 1: frobnicate is not a statement of this procedure."},
      {"parms a 1;", "Line 1, column 1: the PARMS statement is not supported in a model program."},
  };
  for (const auto& [program, message] : cases) {
    reset_block();
    log_.str("");
    EXPECT_EQ(platform::compiler::compile_text(&cmp_, program, {}), 1) << program;
    EXPECT_NE(log_text().find(string("The program text cannot be compiled: ") + message), string::npos)
        << log_text();
  }
  platform::compiler::install_program_parser(previous);
}

}  // namespace
}  // namespace compiler_test
