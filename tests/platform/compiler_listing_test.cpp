// The code listing (LISTCODE) names every operand by what it is, and the
// statements written back as text (the listings, the statements the
// compiler makes itself) read back as the same statements and compute the
// same values.
#include <algorithm>

#include "platform/compiler/source_text.h"
#include "platform/compiler_fixture.h"
#include "platform/language/step_parser.h"

namespace compiler_test {
namespace {

using std::string;

class CodeListing : public CompilerTest {};

TEST_F(CodeListing, NamesEveryOperandByWhatItIs) {
  data_.variables = {numeric("x", 1), numeric("k", 2), character("s", 3, 4)};
  ASSERT_TRUE(compile_parsed(
      "array v{3} v1-v3;\n"
      "array t{2} $ 2 t1-t2;\n"
      "y = -x*k; e = exp(-x*k) + atan2(x, k) + sum(x, k, 1); f = k - x*k;\n"
      "v{k} = y; t{k} = s; u = t{k} || 'a';\n"
      "if s < 'ab' or x then n = length(s) + index(s, 'b') + missing(s);\n"
      "c = substr(upcase(s), 2, 1); d = c * 2; length g $ 12; g = x;\n"
      "do i = 1, 3; end;\n"
      "put x= s;\n"
      "do j = 1 to k; end; stop;\n"))
      << log_text();
  cmppsts(nullptr, 0, &cmp_);
  const string listing = listing_text();
  EXPECT_EQ(listing.rfind("Code Listing\n", 0), 0u);  // the title when none is given
  // _Tn are temporary cells, _Cn temporary texts, @n code positions.
  const char* const lines[] = {
      "Stmt 3, line 3: y = -x*k;\n"
      "       0  NMul       y, x, k\n"
      "Stmt 4, line 3: e = EXP(-x*k) + ATAN2(x, k) + SUM(x, k, 1);\n"
      "       1  CallNMul   _T1, x, k, EXP\n"
      "       2  Call2      _T2, x, k, ATAN2\n"
      "       3  Add        _T3, _T1, _T2\n",
      // SUM's three arguments moved into a row of cells, the first one named.
      "       7  CallN      _T7, _T4, 3, SUM\n",
      "       9  SubMul     f, x, k, k\n"
      "Stmt 6, line 4: v{k} = y;\n"
      "      10  Index      _T1, k, v, 0\n"
      "      11  StoreX     y, _T1, v\n",
      "      13  CStoreX    s, _T1, t\n",
      "      15  CLoadX     _C1, _T1, t\n"
      "      16  CCat       _C2, _C1, _C3\n"
      "      17  CMov       u, _C2\n"
      "Stmt 9, line 5: IF s < 'ab' | x THEN n = LENGTH(s) + INDEX(s, 'b') + MISSING(s);\n"
      "      18  CCmp       _T1, s, _C4, <\n"
      "      19  Jt         @21, _T1\n"
      "      20  Jf         @26, x\n"
      "      21  CLength    _T2, s\n"
      "      22  CIndex     _T3, s, _C5\n",
      "      24  CMissing   _T8, s\n",
      "      26  CFn        _C6, s, 4\n"  // UPCASE
      "      27  CSubstr    _C7, _C6, 2, 1\n",
      "      29  C2N        _T1, c\n",
      "      31  N2C        _C8, x\n",
      "      41  JumpTable  _T1, 0\n"
      "Stmt 15, line 8: PUT x= s;\n"
      "      42  Put        put#0\n",
      // The loop's end and step checked once, then the test before each round.
      "      44  DoCheck    1, _T1, 1\n"
      "      45  Mov        j, 1\n"
      "      46  DoTest     @51, j, _T1, 1\n",
      "Stmt 17, line 9: STOP;\n"
      "      51  Stop       \n",
  };
  for (const char* expected : lines) EXPECT_NE(listing.find(expected), string::npos) << expected << listing;
}

// Each statement of a step written back as text, in order.
std::vector<string> texts_of(const string& statements) {
  auto step = platform::language::parse_step("proc ruva;\n" + statements, 1);
  for (const auto& e : step->errors) ADD_FAILURE() << "message " << e.message << " at line " << e.pos.line << " column " << e.pos.column << "\n" << statements;
  std::vector<string> out;
  for (const auto& s : step->program.statements) out.push_back(platform::compiler::statement_text(*s));
  return out;
}

string joined(const std::vector<string>& lines) {
  string out;
  for (const string& line : lines) out += line + "\n";
  return out;
}

TEST(SourceText, EveryStatementReadsBackAsItself) {
  const std::vector<string> first = texts_of(
      "parms a = 1 to 2 by 0.5 b 3, 4 c: d1-d2 1e-300;\n"
      "estimate 'it''s' a*b, exp(a);\n"
      "contrast 'c' a - b;\n"
      "control k 0 t 'x';\n"
      "retain r1-r2 (.A 2) r3 -4;\n"
      "array v{0:2, 3} $ 4 _temporary_ ('a' 'b');\n"
      "array w{*} w1-w3;\n"
      "length s1 s2 $ 8 n 4;\n"
      "label s1 = 'it''s';\n"
      "attrib s2 label='two' format=$8. length=$8 n format=8.2;\n"
      "format n e10. s1 $5.;\n"
      "keep a--b x-numeric-y p-character-q pre: _all_ _numeric_ _character_;\n"
      "drop s1;\n"
      "where a in (1, 2) and not (b not in (3));\n"
      "put 'text' s1= n 8.2 _all_ _page_;\n"
      "start: do while (r1 < 3); r1 = r1 + 1; if r1 > 2 then leave; else continue; end;\n"
      "do until (r2 >= 1); r2 = sum(r2, 1); end;\n"
      "do i = 1 to 5 by 2 while (i < 4), 7, 9 until (i > 8); end;\n"
      "select (r1); when (1, 2) y = 1; when (3); otherwise y = 2; end;\n"
      "select; when (r1 > 1) y = 3; otherwise; end;\n"
      "if y = .B then delete; else if y = ._ then stop; else abort;\n"
      "link sub; goto done; sub: z = 1; return; done: ;\n"
      "model y = a*x;\n");
  EXPECT_EQ(texts_of(joined(first)), first);
  const std::vector<string> some = {
      "PARMS a = 1 TO 2 BY 0.5 b = 3 4 c: d1 d2 = 1e-300;",
      "CONTROL k = 0 t = 'x';",
      "RETAIN r1 r2 (.A, 2) r3 (-4);",
      "ARRAY v{0:2,3} $ 4 _TEMPORARY_ ('a', 'b');",
      "ATTRIB s2 LABEL='two' FORMAT=$8. LENGTH=$8 n FORMAT=8.2;",
      "KEEP a--b x-NUMERIC-y p-CHARACTER-q pre: _ALL_ _NUMERIC_ _CHARACTER_;",
      "DO i = 1 TO 5 BY 2 WHILE(i < 4), 7, 9 UNTIL(i > 8); END;",
      "SELECT(r1); WHEN(1, 2) y = 1; WHEN(3) ; OTHERWISE y = 2; END;",
  };
  for (const string& text : some) EXPECT_NE(std::find(first.begin(), first.end(), text), first.end()) << text;
}

class SourceTextValues : public CompilerTest {};

// The keyword each compiled statement is named by, as the procedure reads it
// to find the MODEL statements of the program's text.
TEST_F(SourceTextValues, CompiledStatementsAreNamedByTheirKeyword) {
  ASSERT_TRUE(compile_parsed(
      "y = 1; ; label y = 'why'; attrib y format=8.2; format y 8.; keep y; drop z;\n"
      "do i = 1 to 2; end; if y > 5 then y = 5; delete; stop; abort; model y = 2;\n"));
  std::vector<string> names;
  CMPSTMT* cursor = nullptr;
  CMPSRC src{};
  while (cmplsrc(&cmp_, &cursor, 0, 0, &src, 0)) names.emplace_back(src.name, sizeof src.name);
  EXPECT_EQ(names, (std::vector<string>{"ASSIGN  ", "NULL    ", "LABEL   ", "ATTRIB  ", "FORMAT  ", "KEEP    ",
                                        "DROP    ", "DO      ", "IF      ", "DELETE  ", "STOP    ", "ABORT   ",
                                        "MODEL   "}));
}

// Only the parentheses the operators need are written: the expressions read
// back must compute the same bits.
TEST_F(SourceTextValues, ExpressionsWrittenBackComputeTheSame) {
  const string program =
      "y1 = -a**-b**2; y2 = (a >< b) * (a <> b); y3 = -a >< b; y4 = (-a) >< b;\n"
      "y5 = a - (b - c); y6 = a / (b / c) / c; y7 = (a + b) * c; y8 = (a ** b) ** c;\n"
      "y9 = a ** (b ** c); y10 = -(a + b) - -c; y11 = not (a > b) + 1; y12 = (a < b) = (b < c);\n"
      "y13 = (a in (1, 2)) + 1; y14 = (a or b) and c; y15 = a or (b and c); y16 = ((a || 'x') = '1x');\n"
      "y17 = a + (b >< c) * 2; y18 = (a - b) ** 2 / (c + .5);\n";
  const auto run_values = [&](const string& text) {
    reset_block();
    data_.variables = {numeric("a", 1), numeric("b", 2), numeric("c", 3)};
    EXPECT_TRUE(compile_parsed(text)) << text << log_text();
    std::vector<std::uint64_t> bits;
    start_pass();
    for (const std::vector<double>& row : {std::vector<double>{1, 2, 3}, {-0.5, 0.25, 2}, {2, 0, 1.5}}) {
      EXPECT_EQ(run({row[0], row[1], row[2]}), 0);
      for (int k = 1; k <= 18; ++k) bits.push_back(std::bit_cast<std::uint64_t>(value(("y" + std::to_string(k)).c_str())));
    }
    return bits;
  };
  const string written = joined(texts_of(program));
  EXPECT_EQ(run_values(written), run_values(program)) << written;
}

}  // namespace
}  // namespace compiler_test
