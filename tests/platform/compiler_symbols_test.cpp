// The symbol services as set-up uses them: declarations and flags, kind
// codes, lists, binding storage, resolution against the input data set,
// the dependencies of the data-flow analysis, the source statements and
// the listings.
#include <algorithm>

#include "platform/compiler_fixture.h"
#include "platform/pool.h"
#include "platform/statement_record_builder.h"

namespace compiler_test {
namespace {

using std::string;

std::vector<string> names(const CMPLIST& list) {
  std::vector<string> out;
  for (int i = 0; i < list.n; ++i) out.emplace_back(list.s[i]->name, static_cast<std::size_t>(list.s[i]->nameleng));
  return out;
}

class Symbols : public CompilerTest {
 protected:
  std::vector<string> deps(const char* name) {
    std::vector<string> out;
    CMPSYM* s = sym(name);
    const int n = cmpdeps(&cmp_, s, 0, 1, 0);
    for (CMPSYM* d = cmpndep(&cmp_, s, nullptr, 0, 1); d; d = cmpndep(&cmp_, s, d, 0, 1))
      out.emplace_back(d->name);
    EXPECT_EQ(n, static_cast<int>(out.size())) << name;
    return out;
  }
};

TEST_F(Symbols, DeclarationsSetKindCodesFlagsAndInitialValues) {
  add("parms a = 1 to 2 by 0.5 c = 4 b;\n"
      "control lag 3;\n"
      "model y = a + b * x + lag;\n"
      "der.a = 1;\n");
  CMPSYM* a = sym("A");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->kindcode, kCmpKindParms);
  EXPECT_TRUE(cmp_declared_parm(a) && cmp_marked(a) && cmp_has_initial(a) && cmp_referenced(a));
  EXPECT_FALSE(cmp_assigned(a));
  ASSERT_EQ(a->ninit, 3);
  EXPECT_EQ(a->init[2], 2.0);
  EXPECT_EQ(sym("b")->ninit, 0);  // the procedure gives it the next group's values
  EXPECT_EQ(sym("lag")->kindcode, kCmpKindControl);
  EXPECT_TRUE(cmp_assigned(sym("MODEL.y")));
  EXPECT_TRUE(cmp_assigned(sym("DER.A")));
  EXPECT_FALSE(cmp_referenced(sym("DER.A")));
  CMPLIST parms{}, control{}, models{};
  ASSERT_EQ(cmplstb(&parms, kCmpKindParms, -1, &cmp_), 0);
  ASSERT_EQ(cmplstb(&control, kCmpKindControl, -1, &cmp_), 0);
  ASSERT_EQ(cmplstp(&models, "MODEL.", 6, &cmp_), 0);
  EXPECT_EQ(names(parms), (std::vector<string>{"a", "c", "b"}));
  EXPECT_EQ(names(control), (std::vector<string>{"lag"}));
  EXPECT_EQ(names(models), (std::vector<string>{"MODEL.y"}));
}

TEST_F(Symbols, ListServicesAppendFindDeleteAndBind) {
  add("u = 1; v = 2; w = u + v;");
  CMPLIST list{};
  ASSERT_EQ(cmplsta(&list, 1, &cmp_), 0);
  ASSERT_NE(list.s, nullptr);
  for (const char* n : {"u", "v", "w", "u"}) ASSERT_EQ(cmplst(&list, sym(n), &cmp_), 0);
  EXPECT_EQ(list.n, 4);  // the list grew past its first length
  EXPECT_EQ(cmplstx(&list, sym("v"), &cmp_), 0);
  EXPECT_EQ(list.n, 4);
  EXPECT_EQ(cmplstd(&list, sym("u"), &cmp_), 0);
  EXPECT_EQ(names(list), (std::vector<string>{"v", "w", "u"}));
  EXPECT_EQ(cmplstd(&list, sym("nothere"), &cmp_), 1);
  CMPSYM* more[] = {sym("w"), sym("v")};
  ASSERT_EQ(cmplstn(&list, 2, more, &cmp_), 0);
  EXPECT_EQ(names(list), (std::vector<string>{"v", "w", "u", "w", "v"}));
  ASSERT_EQ(cmpgen(&cmp_), 0);
  double* cells[5] = {};
  ASSERT_EQ(cmplstg(&list, cells, &cmp_), 0);
  start_pass();
  run();
  EXPECT_EQ(*cells[0], 2);
  EXPECT_EQ(*cells[1], 3);
  EXPECT_EQ(cells[1], cells[3]);
  // The symbol chain holds every symbol.
  int count = 0;
  for (CMPSYM* s = cmplstv(&cmp_); s; s = s->next) ++count;
  EXPECT_GE(count, 3);
}

// A list or a derivative record the pool cannot hold: the call fails, the
// compile error flag is set and the bytes missing are added to the shortfall
// the caller reports.
TEST_F(Symbols, ListsAndDerivativesThePoolCannotHoldNoteTheShortfall) {
  add("parms a = 1; model y = a*2;");
  platform::Pool small(16);
  CMPLIST list{};
  list.pool = small.handle();
  EXPECT_EQ(cmplst(&list, sym("a"), &cmp_), 1);  // 4 entries: 32 bytes
  EXPECT_NE(nretain_, 0);
  EXPECT_EQ(vnum_, 32);
  nretain_ = 0;
  vnum_ = 0;
  CMPLIST parms{}, objective{};
  cmplstb(&parms, kCmpKindParms, -1, &cmp_);
  cmplst(&objective, sym("MODEL.y"), &cmp_);
  platform::Pool& pool = host().task_pool();
  pool.set_budget(pool.bytes_held());
  CMPDER der{};
  int count = 0;
  EXPECT_EQ(cmpderx(&der, &objective, &parms, 20, &count, 0, 1, 1, &cmp_), nullptr);
  pool.set_budget(0);
  EXPECT_NE(nretain_, 0);
  EXPECT_GT(vnum_, 0);
  // Each budget short of what the record needs fails at one of its blocks
  // with the shortfall noted; the first that suffices gives the derivative.
  for (std::size_t extra = 8;; extra += 8) {
    ASSERT_LT(extra, 4096u);
    nretain_ = 0;
    vnum_ = 0;
    pool.set_budget(pool.bytes_held() + extra);
    CMPSYM** inputs = cmpderx(&der, &objective, &parms, 20, &count, 0, 1, 1, &cmp_);
    pool.set_budget(0);
    if (inputs) {
      EXPECT_EQ(der.der.n, 1);
      EXPECT_EQ(inputs[0], sym("a"));
      break;
    }
    EXPECT_NE(nretain_, 0);
    EXPECT_GT(vnum_, 0);
  }
  platform::Pool tiny(8);  // a prefix search whose list cannot grow
  CMPLIST models{};
  models.pool = tiny.handle();
  EXPECT_EQ(cmplstp(&models, "MODEL.", 6, &cmp_), 1);
}

TEST_F(Symbols, SymbolServicesFindDefineLiteralsAndNames) {
  add("q = 1;");
  EXPECT_EQ(cmpsyms("Q  ", 3, &cmp_), sym("q"));  // any case, trailing blanks ignored
  EXPECT_EQ(cmpsyms("r", 1, &cmp_), nullptr);
  CMPSYM* t = cmpsymd("Bound0", 6, 't', 'n', &cmp_);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->kind, 't');
  EXPECT_EQ(cmpsymd("BOUND0", 6, 't', 'n', &cmp_), t);
  CMPSYM* zero = cmplit("0", 1, &cmp_);
  ASSERT_NE(zero, nullptr);
  EXPECT_TRUE(cmp_literal(zero));
  EXPECT_EQ(*cmp_cell(zero), 0.0);
  EXPECT_EQ(cmplit(" 0 ", 3, &cmp_), zero);
  EXPECT_EQ(cmplit("zero", 4, &cmp_), nullptr);
  CMPSYMINFO* info = cmpsymi(t, &cmp_);
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(cmpsymi(t, &cmp_), info);
  char buffer[11];
  EXPECT_EQ(cmpname("Proj", 4, 12, buffer, sizeof buffer, &cmp_), 6);
  EXPECT_STREQ(buffer, "Proj12");
}

TEST_F(Symbols, ResolutionBindsDataSetVariables) {
  data_.variables = {numeric("X", 1), character("name", 2, 6), numeric("y", 3), numeric("unused", 4)};
  ASSERT_TRUE(compile("model y = b * x;\nlength name $ 3;\nshort = name;\n"));
  CMPSYM* x = sym("x");
  EXPECT_EQ(x->dsvarno, 1);
  EXPECT_TRUE(cmp_dataset_var(x));
  EXPECT_EQ(sym("name")->type, '$');
  EXPECT_EQ(sym("name")->length, 6);  // the data set's length wins over LENGTH
  EXPECT_EQ(sym("short")->length, 6);
  EXPECT_EQ(sym("y")->dsvarno, 3);
  EXPECT_EQ(sym("unused"), nullptr);
  EXPECT_EQ(sym("b")->dsvarno, 0);
  // cmppdv gave the data layer one binding per variable the program uses.
  ASSERT_EQ(data_.bindings.size(), 3u);
  EXPECT_EQ(dataptr_, &data_);
  start_pass();
  run({3.0, string("abcdef"), 1.0, 0.0});
  EXPECT_EQ(value("y"), 1.0);
  EXPECT_EQ(text("short"), "abcdef");
  EXPECT_NE(log_text().find("Variable b is uninitialized."), string::npos);
  // A symbol the procedure defines later is bound at once (an ID variable).
  platform::Pool pool;
  STLIST id_vars{};
  id_vars.type = stfield::kNames;
  id_vars.v.f.n = 1;
  id_vars.v.f.u.nlistx = platform::build_name_list({"unused"}, pool);
  CMPLIST ids{};
  ASSERT_EQ(cmplsti(&ids, &id_vars, &cmp_), 0);
  ASSERT_EQ(ids.n, 1);
  EXPECT_EQ(ids.s[0]->dsvarno, 4);
}

TEST_F(Symbols, ADataSetWhoseVariablesCannotBeReadIsAnError) {
  const auto previous = platform::compiler::install_dataset_access(
      {[](void*, std::vector<DatasetVariable>*) { return false; }, &FakeDataset::bind});
  add("y = x;");
  EXPECT_EQ(cmprslv(&data_, &cmp_), 1);
  EXPECT_NE(nretain_, 0);
  EXPECT_NE(log_text().find("The program text cannot be compiled: the variables of the input data set cannot be read"),
            string::npos)
      << log_text();
  platform::compiler::install_dataset_access(previous);
}

TEST_F(Symbols, DependenciesFollowAssignmentsConditionsAndArrays) {
  data_.variables = {numeric("x", 1), numeric("z", 2), numeric("w", 3)};
  ASSERT_TRUE(compile(
      "parms a b c;\n"
      "t = a * x;\n"
      "if z > 0 then u = t + b; else u = 2;\n"
      "array v{2};\n"
      "v{1} = c; v{2} = 1;\n"
      "model y = u + v2;\n"
      "der.a = x;\n"
      "der.b = 1;\n"
      "k = 3; der.c = k;\n"
      "retain s 0; s = s + w;\n"));
  EXPECT_EQ(deps("t"), (std::vector<string>{"a", "x"}));
  EXPECT_EQ(deps("u"), (std::vector<string>{"a", "b", "x", "z", "0", "2"}));
  EXPECT_EQ(deps("MODEL.y"), (std::vector<string>{"a", "b", "c", "x", "z", "0", "2", "1"}));
  EXPECT_EQ(deps("der.b"), (std::vector<string>{"1"}));  // only a literal: an intercept
  EXPECT_EQ(deps("der.c"), (std::vector<string>{"3"}));
  EXPECT_EQ(deps("s"), (std::vector<string>{"s", "w"}));  // retained: its own value is an input
  EXPECT_EQ(cmpdeps(&cmp_, sym("x"), 0, 1, 0), 0);
  EXPECT_EQ(cmpndep(&cmp_, sym("x"), nullptr, 0, 1), nullptr);
}

// A _TEMPORARY_ array has no symbols to be inputs: a symbol whose value can
// come from one that the program assigns (its elements keep their values
// from one observation to the next) is flagged instead.
TEST_F(Symbols, DependingOnATemporaryArrayThatCarriesValuesIsFlagged) {
  data_.variables = {numeric("x", 1)};
  ASSERT_TRUE(compile(
      "array t{2} _temporary_;\n"
      "array c{1} _temporary_ (5);\n"
      "lagged = t{1};\n"
      "t{1} = x;\n"
      "fixed = c{1} + x;\n"
      "model y = lagged;\n"));
  for (const char* name : {"lagged", "MODEL.y", "fixed", "x"}) {
    cmpdeps(&cmp_, sym(name), 0, 0, 0);
    EXPECT_EQ(cmp_reads_carried_array(sym(name)), std::string(name) == "lagged" || std::string(name) == "MODEL.y")
        << name;
  }
  EXPECT_EQ(deps("lagged"), (std::vector<string>{"x", "1"}));  // the element's source and subscript
}

TEST_F(Symbols, AJumpUnderAConditionMakesEveryAssignmentDependOnIt) {
  data_.variables = {numeric("x", 1), numeric("g", 2)};
  ASSERT_TRUE(compile("p = 1;\nif g then goto done;\np = x;\ndone: q = p;\n"));
  const auto q = deps("q");
  EXPECT_NE(std::find(q.begin(), q.end(), "g"), q.end());
  EXPECT_NE(std::find(q.begin(), q.end(), "x"), q.end());
}

TEST_F(Symbols, SourceStatementsAndWhatTheyAssign) {
  add("a = 1;\nlab: if a then y2 = 2;\nmodel y2 = a * 3;\n");
  CMPSTMT* cursor = nullptr;
  CMPSRC src{};
  std::vector<string> texts, keywords;
  int assigning = 0;
  while (cmplsrc(&cmp_, &cursor, 0, 0, &src, 0)) {
    texts.emplace_back(src.text, static_cast<std::size_t>(src.length));
    keywords.emplace_back(src.name, sizeof src.name);
    assigning += cmpsts(sym("y2"), cursor, &cmp_);
  }
  EXPECT_EQ(texts, (std::vector<string>{"a = 1;", "lab: IF a THEN y2 = 2;", "MODEL y2 = a*3;"}));
  EXPECT_EQ(keywords, (std::vector<string>{"ASSIGN  ", "IF      ", "MODEL   "}));
  EXPECT_EQ(assigning, 1);  // the IF; the MODEL statement assigns MODEL.y2
  // Assignments in an ELSE branch and in a WHEN clause count too.
  reset_block();
  add("a = 1;\nif a then z = 1; else y2 = 2;\nselect; when (a) y2 = 3; otherwise; end;\n");
  cursor = nullptr;
  std::vector<int> assigns;
  while (cmplsrc(&cmp_, &cursor, 0, 0, &src, 0)) assigns.push_back(cmpsts(sym("y2"), cursor, &cmp_));
  EXPECT_EQ(assigns, (std::vector<int>{0, 1, 1}));
}

TEST_F(Symbols, Listings) {
  data_.variables = {numeric("x", 1)};
  ASSERT_TRUE(compile("parms b = 1;\nmodel y = b * exp(-x);\nif y > 1 then z = 'big';\n"));
  cmppprg(&cmp_);
  cmppsts("Code Listing", 12, &cmp_);
  cmpdfla(0, 0, 1, 1, &cmp_);
  cmppsbt(&cmp_);
  const string listing = listing_text();
  EXPECT_NE(listing.find("Listing of Compiled Program Code"), string::npos);
  EXPECT_NE(listing.find("   1     2:1    MODEL y = b*EXP(-x);"), string::npos) << listing;
  EXPECT_NE(listing.find("Code Listing"), string::npos);
  EXPECT_NE(listing.find("Neg "), string::npos);
  EXPECT_NE(listing.find("Call1      _T2, _T1, EXP"), string::npos) << listing;
  EXPECT_NE(listing.find("Cross Reference Listing"), string::npos);
  EXPECT_NE(listing.find("y                    Num  3:4"), string::npos) << listing;
  EXPECT_NE(listing.find("z                    Char 3:15*"), string::npos) << listing;
  EXPECT_NE(listing.find("Symbol Table"), string::npos);
}

}  // namespace
}  // namespace compiler_test
