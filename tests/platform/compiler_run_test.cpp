// Passes and runs: what the start of a pass and each observation set,
// retained and CONTROL variables, every run code, and the reports of run
// codes.
#include "platform/compiler_fixture.h"

namespace compiler_test {
namespace {

using std::string;

class Runs : public CompilerTest {};

TEST_F(Runs, RetainedVariablesCarryOverAndOthersStartMissing) {
  data_.variables = {numeric("x", 1)};
  ASSERT_TRUE(compile(
      "retain total 100 count;\n"
      "total = total + x;\n"
      "count = sum(count, 1);\n"
      "if x > 2 then big = x;\n"
      "prev = last; last = x;\n"));
  start_pass();
  EXPECT_EQ(value("total"), 100);
  EXPECT_TRUE(is_missing(value("count")));
  const double xs[] = {1, 5, 2, 7};
  double total = 100;
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(run({xs[i]}), 0);
    total += xs[i];
    EXPECT_EQ(value("total"), total);
    EXPECT_EQ(value("count"), i + 1);
    // Not retained: missing again before every observation.
    if (xs[i] > 2) EXPECT_EQ(value("big"), xs[i]);
    else EXPECT_TRUE(is_missing(value("big"))) << i;
    EXPECT_TRUE(is_missing(value("prev")));
  }
  // A new pass starts from the initial values again.
  start_pass();
  EXPECT_EQ(value("total"), 100);
  ASSERT_EQ(run({1.0}), 0);
  EXPECT_EQ(value("total"), 101);
}

TEST_F(Runs, ControlVariablesLiveInTheCallersStorageAndStartEachPass) {
  data_.variables = {numeric("x", 1)};
  ASSERT_TRUE(compile("control lag 0 k;\nd = x - lag;\nlag = x;\nk = sum(k, 2);\n"));
  CMPLIST control{};
  ASSERT_EQ(cmplstb(&control, kCmpKindControl, -1, &cmp_), 0);
  ASSERT_EQ(control.n, 2);
  double storage[2] = {-7, -7};
  ASSERT_EQ(cmplsts(&control, storage, &cmp_), 0);
  start_pass();
  EXPECT_EQ(storage[0], 0);
  EXPECT_TRUE(is_missing(storage[1]));
  ASSERT_EQ(run({3.0}), 0);
  EXPECT_EQ(value("d"), 3);
  EXPECT_EQ(storage[0], 3);
  EXPECT_EQ(storage[1], 2);
  ASSERT_EQ(run({10.0}), 0);
  EXPECT_EQ(value("d"), 7);
  EXPECT_EQ(storage[0], 10);
  EXPECT_EQ(storage[1], 4);
  // The procedure may change the value between observations.
  storage[0] = 1;
  ASSERT_EQ(run({4.0}), 0);
  EXPECT_EQ(value("d"), 3);
}

TEST_F(Runs, SpecialVariablesAreReadAndWrittenWhereTheProcedurePutThem) {
  ASSERT_TRUE(compile("if _model_ = 0 then der = 2 * _iter_; _weight_ = _obs_ / 10;\n"));
  double model = 1, iter = 3, obs = 0;
  ASSERT_NE(cmpsyma("_MODEL_", 7, 'n', 8, &model, &cmp_), nullptr);
  ASSERT_NE(cmpsyma("_ITER_", 6, 'n', 8, &iter, &cmp_), nullptr);
  CMPSYM* o = cmpsyma("_OBS_", 5, 'n', 8, &obs, &cmp_);
  ASSERT_EQ(o->kind, 'm');
  double* weight = cmp_cell(sym("_WEIGHT_"));
  start_pass();
  obs = 4;
  ASSERT_EQ(run(), 0);
  EXPECT_TRUE(is_missing(value("der")));
  EXPECT_DOUBLE_EQ(*weight, 0.4);
  model = 0;
  obs = 5;
  ASSERT_EQ(run(), 0);
  EXPECT_EQ(value("der"), 6);
  EXPECT_DOUBLE_EQ(*weight, 0.5);
}

TEST_F(Runs, EveryRunCode) {
  data_.variables = {numeric("x", 1)};
  ASSERT_TRUE(compile(
      "array a{3};\n"
      "if x = 1 then delete;\n"
      "if x = 2 then stop;\n"
      "if x = 3 then abort;\n"
      "if x = 4 then a{x} = 1;\n"
      "if x = 5 then link deep;\n"
      "if x = 6 then do while (1); end;\n"
      "if x = 7 then do until (x > 7); end;\n"
      "y = x;\n"
      "return;\n"
      "deep: link deep;\n"));
  start_pass();
  EXPECT_EQ(run({0.0}), 0);
  EXPECT_EQ(run({1.0}), 1);  // DELETE: the observation is not used
  EXPECT_EQ(run({2.0}), 3);  // STOP: the pass ends
  EXPECT_EQ(run({3.0}), 4);  // ABORT
  EXPECT_EQ(nerr_, 1);
  EXPECT_EQ(run({4.0}), 5);  // subscript out of range
  EXPECT_EQ(nerr_, 1);
  EXPECT_EQ(run({5.0}), 6);  // LINK nested too deep
  EXPECT_EQ(run({6.0}), 6);  // a loop that never ends
  EXPECT_EQ(run({7.0}), 6);  // ... closed by its condition
}

TEST_F(Runs, RunCodesAreReportedOncePerPlace) {
  data_.variables = {numeric("x", 1)};
  ASSERT_TRUE(compile("array a{2};\nif x = 1 then stop;\ny = a{x};\n"));
  start_pass();
  for (int i = 0; i < 3; ++i) cmppxrc(run({1.0}));
  // A pass that records no errors (not the last) reports the first all the
  // same; cmppxrc says whether it wrote a report.
  EXPECT_EQ(cmppxrc(run({9.0}, 0)), 1);
  for (int i = 0; i < 2; ++i) EXPECT_EQ(cmppxrc(run({9.0})), 0);
  cmppxrc(run({missing_value()}));
  cmppxrc(run({2.0}));
  const string log = log_text();
  const auto count = [&](const string& text) {
    int n = 0;
    for (auto at = log.find(text); at != string::npos; at = log.find(text, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("The STOP statement at line 2 column 15 ended the pass."), 1) << log;
  EXPECT_EQ(count("Array subscript out of range at line 3 column 5."), 1) << log;
}

TEST_F(Runs, RunningBeforeGenerationFailsCleanly) {
  add("y = 1;");
  int nerr = 0, nmiss = 0;
  EXPECT_EQ(cmpexi(1, 0, 0, &cmp_), 1);
  EXPECT_GE(cmprun(0, 0, 0, 1, 1, 1, 1, 0, &nerr, &nmiss, &cmp_), 3);
  EXPECT_NE(log_text().find("has not been generated"), string::npos);
  CMPGLOBAL empty{};
  EXPECT_EQ(cmpgen(&empty), 1);
  EXPECT_EQ(cmpsyms("y", 1, &empty), nullptr);
}

TEST_F(Runs, ASegmentTheProgramDoesNotHaveRunsNothing) {
  ASSERT_TRUE(compile("y = 1;"));
  start_pass();
  seg_ = 2;  // the program has no WHERE statement
  nerr_ = nmiss_ = 7;
  EXPECT_EQ(run(), 0);
  EXPECT_TRUE(is_missing(value("y")));
  EXPECT_EQ(nerr_ + nmiss_, 0);
}

TEST_F(Runs, SegmentOneRunsTheEstimateAndContrastExpressions) {
  std::vector<CMPSYM*> est, con;
  add("parms a = 2 b = 3;\nmodel y = a * x + b;\n");
  auto e = test_support::parse_program("estimate 'ratio' a / b;\ncontrast 'both' a - 1, b - 2 * a;\n");
  est = platform::compiler::add_statement(&cmp_, std::move(e.statements[0]));
  con = platform::compiler::add_statement(&cmp_, std::move(e.statements[1]));
  ASSERT_EQ(est.size(), 1u);
  ASSERT_EQ(con.size(), 2u);
  double parm[2] = {2, 3};
  CMPLIST parms{};
  cmplstb(&parms, kCmpKindParms, -1, &cmp_);
  cmplsts(&parms, parm, &cmp_);
  ASSERT_EQ(cmpgen(&cmp_), 0);
  start_pass();
  value("x") = 1;
  ASSERT_EQ(run(), 0);
  EXPECT_EQ(value("MODEL.y"), 5);
  EXPECT_TRUE(is_missing(*cmp_cell(est[0])));
  seg_ = 1;
  ASSERT_EQ(run(), 0);
  seg_ = 0;
  EXPECT_DOUBLE_EQ(*cmp_cell(est[0]), 2.0 / 3);
  EXPECT_EQ(*cmp_cell(con[0]), 1);
  EXPECT_EQ(*cmp_cell(con[1]), -1);
}

TEST_F(Runs, WhereStatementsJudgeEachObservation) {
  data_.variables = {numeric("x", 1), character("g", 2, 3)};
  ASSERT_TRUE(compile("where x > 0;\ny = x;\nwhere g ^= 'no';\n"));
  start_pass();
  const struct { double x; const char* g; int keep; } cases[] = {
      {1, "yes", 1}, {-1, "yes", 0}, {missing_value(), "yes", 0}, {2, "no", 0}};
  for (const auto& c : cases) {
    cmpexi(0, 0, 0, &cmp_);
    data_.load({c.x, std::string(c.g)});
    EXPECT_EQ(platform::compiler::where_accepts(&cmp_), c.keep) << c.x << c.g;
  }
  CMPGLOBAL none{};
  EXPECT_EQ(platform::compiler::where_accepts(&none), 1);
}

}  // namespace
}  // namespace compiler_test
