// Programming statements into the syntax tree, and the statement errors.
#include <gtest/gtest.h>

#include "platform/language/messages.h"
#include "platform/language/printer.h"
#include "platform/language/step_parser.h"

namespace lang = platform::language;

namespace {

std::unique_ptr<lang::StepParse> parse(const std::string& program) {
  return lang::parse_step("proc ruva;\n" + program, 1);
}

// The program as the printer shows it, without the line prefixes.
std::string shown(const std::string& program) {
  auto p = parse(program);
  EXPECT_TRUE(p->errors.empty()) << program << ": message " << (p->errors.empty() ? 0 : p->errors[0].message);
  std::string text = lang::program_text(p->program);
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t eol = text.find('\n', i);
    std::string line = text.substr(i, eol - i);
    std::size_t colon = line.find(": ");
    std::size_t indent = line.find_first_not_of(' ');
    out += line.substr(0, indent) + (line.compare(indent, 5, "line ") == 0 ? line.substr(colon + 2) : line.substr(indent)) + "\n";
    i = eol + 1;
  }
  return out;
}

int first_error(const std::string& program) {
  auto p = parse(program);
  return p->errors.empty() ? 0 : p->errors[0].message;
}

}  // namespace

TEST(ProgramParser, AssignmentsAndCompoundNames) {
  EXPECT_EQ(shown("y = a*exp(-b*x); der.a = exp(-b*x); der.a.b = -x*exp(-b*x); model.y2 = 1;"),
            "y = (a * exp(((-b) * x)))\n"
            "der.a = exp(((-b) * x))\n"
            "der.a.b = ((-x) * exp(((-b) * x)))\n"
            "model.y2 = 1\n");
  auto p = parse("Der.A = 1;");
  const lang::Stmt& s = *p->program.statements[0];
  EXPECT_EQ(s.kind, lang::StmtKind::Assign);
  EXPECT_EQ(s.target->name, "Der.A");
  EXPECT_EQ(s.target->key, "DER.A");
  EXPECT_EQ(s.pos.line, 2);
}

TEST(ProgramParser, IfThenElseAndDoGroups) {
  EXPECT_EQ(shown("if x > 1 then y = 1; else if x > 0 then y = 2; else do; y = 3; z = 4; end;"),
            "IF (x > 1) THEN\n"
            "  y = 1\n"
            "ELSE\n"
            "  IF (x > 0) THEN\n"
            "    y = 2\n"
            "  ELSE\n"
            "    DO\n"
            "      y = 3\n"
            "      z = 4\n");
}

TEST(ProgramParser, LoopsOfEveryForm) {
  EXPECT_EQ(shown("do i = 1 to n by 2 while (s < 10); s = s + i; end;"
                  "do j = 1, 3, 5 to 9 until (j > 6); end;"
                  "do while (k < 3); k = k + 1; if k = 2 then leave; end;"
                  "do until (k = 0); k = k - 1; continue; end;"),
            "DO i = 1 TO n BY 2 WHILE (s < 10)\n"
            "  s = (s + i)\n"
            "DO j = 1, 3, 5 TO 9 UNTIL (j > 6)\n"
            "DO WHILE (k < 3)\n"
            "  k = (k + 1)\n"
            "  IF (k = 2) THEN\n"
            "    LEAVE\n"
            "DO UNTIL (k = 0)\n"
            "  k = (k - 1)\n"
            "  CONTINUE\n");
}

TEST(ProgramParser, SelectWhenOtherwise) {
  EXPECT_EQ(shown("select (g); when (1, 2) y = 1; when (3) do; y = 2; end; otherwise; end;"
                  "select; when (x < 0) y = -1; otherwise y = 1; end;"),
            "SELECT g\n"
            "  WHEN 1, 2\n"
            "    y = 1\n"
            "  WHEN 3\n"
            "    DO\n"
            "      y = 2\n"
            "  OTHERWISE\n"
            "  ;\n"
            "SELECT\n"
            "  WHEN (x < 0)\n"
            "    y = (-1)\n"
            "  OTHERWISE\n"
            "  y = 1\n");
}

TEST(ProgramParser, DeclarationsAndAttributes) {
  EXPECT_EQ(shown("retain s 0 t u -1.5 name 'x' v (1 2);"
                  "array w{3} w1-w3; array m[2, 0:1] $ 8 _temporary_ ('a' 'b'); array z(*) z1 z2;"
                  "length c $ 20 d 4; label y = 'Response' x = 'Dose';"
                  "attrib y length=8 label='Y' format=best12.; format y best12. x 8.2;"
                  "keep a b1-b2; drop _all_; where x > 0 and y <> 2;"),
            "RETAIN s (0) t u (-1.5) name ('x') v (1, 2)\n"
            "ARRAY w{1:3} w1 w2 w3\n"
            "ARRAY m{1:2, 0:1} $ 8 _TEMPORARY_ ('a', 'b')\n"
            "ARRAY z{*} z1 z2\n"
            "LENGTH c $ 20 d 4\n"
            "LABEL y LABEL='Response' x LABEL='Dose'\n"
            "ATTRIB y LENGTH=8 LABEL='Y' FORMAT=best12.\n"
            "FORMAT y FORMAT=best12. x FORMAT=8.2\n"
            "KEEP a b1 b2\n"
            "DROP _ALL_\n"
            "WHERE ((x > 0) & (y ^= 2))\n");
}

TEST(ProgramParser, ArraysAreElementsNotCalls) {
  auto p = parse("array a{2} p q; y = a(1) + f(2); a(2) = 3;");
  const auto& stmts = p->program.statements;
  ASSERT_TRUE(p->errors.empty());
  EXPECT_EQ(stmts[1]->value->args[0]->kind, lang::ExprKind::ArrayRef);
  EXPECT_EQ(stmts[1]->value->args[1]->kind, lang::ExprKind::Call);
  EXPECT_EQ(stmts[2]->target->kind, lang::ExprKind::ArrayRef);
}

TEST(ProgramParser, ControlTransfersLabelsAndPut) {
  EXPECT_EQ(shown("start: if x then goto done; link sub; go to done; sub: y = 1; return;"
                  "done: put 'x is ' x= y 8.3 _all_; stop; abort; delete; a: b: ;"),
            "start: IF x THEN\n"
            "  GOTO done\n"
            "LINK sub\n"
            "GOTO done\n"
            "sub: y = 1\n"
            "RETURN\n"
            "done: PUT 'x is ' x= y 8.3 _ALL_\n"
            "STOP\n"
            "ABORT\n"
            "DELETE\n"
            "a: b: ;\n");
}

TEST(ProgramParser, KeywordsAsVariableNames) {
  EXPECT_EQ(shown("if = 1; end = 2; model = 3; do = if + end;"),
            "if = 1\nend = 2\nmodel = 3\ndo = (if + end)\n");
}

TEST(ProgramParser, MultipleModelStatementsBecomeStatements) {
  auto p = parse("if g then model y = a*x; else model y = b*x;");
  ASSERT_TRUE(p->errors.empty());
  int models = 0;
  for (const lang::ProcStatement& st : p->statements) models += st.keyword == "MODEL";
  EXPECT_EQ(models, 2);
}

TEST(ProgramParser, StatementErrors) {
  struct Case { const char* program; int message; } cases[] = {
      {"frobnicate x;", lang::msg::kUnknownStatement},
      {"call streaminit(1);", lang::msg::kUnsupportedStatement},
      {"file log;", lang::msg::kUnsupportedStatement},
      {"end;", lang::msg::kEndWithoutDo},
      {"do i = 1 to 3; x = i;", lang::msg::kMissingEnd},
      {"select (x); when (1) y = 1;", lang::msg::kMissingEnd},
      {"else y = 1;", lang::msg::kElseWithoutIf},
      {"leave;", lang::msg::kOutsideLoop},
      {"do; continue; end;", lang::msg::kOutsideLoop},
      {"goto nowhere;", lang::msg::kUndefinedLabel},
      {"a: x = 1; a: y = 2;", lang::msg::kDuplicateLabel},
      {"array a{3} p q;", lang::msg::kBadArray},
      {"array a{3:1};", lang::msg::kBadArray},
      {"array a{2} (1 2 3);", lang::msg::kBadArray},
      {"array a{4000000000,4000000000,4000000000} x;", lang::msg::kBadArray},
      {"array a{100000000000000000000};", lang::msg::kExpected},
      {"array a{3} $ 1e10;", lang::msg::kExpected},
      {"array a{3} c1-c12345678901234567890;", lang::msg::kExpected},
      {"f(1) = 2;", lang::msg::kSubscripts},
      {"x = ;", lang::msg::kExpected},
      {"if x y = 1;", lang::msg::kExpected},
      {"restrict a + b = 1;", lang::msg::kRestrict},
      {"restrict a > 0 / print;", lang::msg::kRestrict},
      {"proc ruva;", lang::msg::kProcFirst},
      {"x = work.y;", lang::msg::kNotAllowedHere},
      {"parms a = 1 to 0;", lang::msg::kBadValueRange},
      {"parms a = 0 to 1 by 0;", lang::msg::kBadValueRange},
      {"parms a = 0 to 1e9 by 1e-3;", lang::msg::kBadValueRange},
      {"proc_x = 1; output out=1abc;", lang::msg::kBadNumber},
      {"output out=librarytoolong.o;", lang::msg::kBadDatasetName},
      {"array a{*};", lang::msg::kBadArray},
      {"attrib x size=8;", lang::msg::kUnknownOption},
      {"parms a = b;", lang::msg::kExpected},
      {"bounds a lt 1;", lang::msg::kExpected},
      {"keep ab1-x3;", lang::msg::kExpected},
      {"keep a1-b3;", lang::msg::kExpected},  // stems of one length that differ
      {"keep x3-x1;", lang::msg::kExpected},
  };
  for (const Case& c : cases) EXPECT_EQ(first_error(c.program), c.message) << c.program;
}

TEST(ProgramParser, ErrorsAreReportedForEveryBadStatementInSourceOrder) {
  auto p = parse("x = ;\ny = 1;\nfrobnicate;\nz = (;\n");
  ASSERT_EQ(p->errors.size(), 3u);
  EXPECT_EQ(p->errors[0].pos.line, 2);
  EXPECT_EQ(p->errors[1].pos.line, 4);
  EXPECT_EQ(p->errors[2].pos.line, 5);
  EXPECT_EQ(p->program.statements.size(), 1u);  // y = 1
}

TEST(ProgramParser, StepsWithoutTheProcedureStatement) {
  auto p = lang::parse_step("x = 1;", 1);
  EXPECT_FALSE(p->has_proc);
  ASSERT_EQ(p->errors.size(), 1u);
  EXPECT_EQ(p->errors[0].message, lang::msg::kProcFirst);
}

TEST(ProgramParser, ProcedureStatementsKeepTheirSyntaxForTheCompiler) {
  auto p = parse("parms a b = 1 2 to 4 by 0.5 c; control k = 2 s 'q'; bounds 0 <= a b < 10, c >= -1;"
                 "by descending g h notsorted; id i1-i2;");
  ASSERT_TRUE(p->errors.empty());
  EXPECT_EQ(lang::program_text(p->program),
            "line 2: PARMS a b = 1 2 TO 4 BY 0.5 c\n"
            "line 2: CONTROL k (2) s ('q')\n");
  const lang::ProcStatement& bounds = p->statements[3];
  EXPECT_EQ(bounds.fields.at(1).names, (std::vector<std::string>{"0", "a", "b", "10", "c", "-1"}));
  // (position, relation) pairs: <= at 1, < at 3, the comma at 4, >= at 5.
  EXPECT_EQ(bounds.fields.at(2).integers, (std::vector<int>{1, 37, 3, 36, 4, 0, 5, 41}));
  const lang::ProcStatement& proc = p->statements[0];
  EXPECT_EQ(proc.fields.at(0).names, (std::vector<std::string>{"g", "h"}));
  EXPECT_EQ(p->statements[4].fields.at(2).integers, (std::vector<int>{1, 0}));
  EXPECT_TRUE(p->statements[4].bits.test(1));
  EXPECT_EQ(proc.fields.at(7).names, (std::vector<std::string>{"i1", "i2"}));
}
