// The output service answers each request of the procedure's output
// sequence and refuses malformed ones with a status, never a crash.
#include <gtest/gtest.h>

#include <cstring>

#include "host/parse_print_record.h"
#include "host/output_tables.h"
#include "support/host_fixture.h"
#include "support/output_fixture.h"

namespace {

using Json = nlohmann::json;
using OutputRequestsTest = OutputTest;

std::int32_t g_rc[16];

TEST_F(OutputRequestsTest, RequestsOutOfOrderOrWithForeignPointersAreRefused) {
  run_as_step([] {
    xinit();
    wobop man = make_manager();
    wobop t = make_object(man, "data", "T", "T");
    static double x;
    static XOBKEY* foreign = reinterpret_cast<XOBKEY*>(&x);
    g_rc[0] = wobmth(t, nullptr, 329, 0, nullptr);                  // row before the definition ends
    g_rc[1] = open_table(man, t, "t") ? 0 : -1;                     // open before the definition ends
    yolinsc(t, yoltxt("X", -1), "X", "g", &x);
    wobmth(t, nullptr, 298, 0, nullptr);
    g_rc[2] = yolinsc(t, yoltxt("Y", -1), "Y", "g", &x);           // column after the definition
    WOB_PARM_BLK_STR bad_text[1] = {wob_text(577, foreign)};
    g_rc[3] = wobmth(man, nullptr, 358, 1, bad_text);
    g_rc[4] = bad_text[0].rc;
    WOB_PARM_BLK_STR bad_object[2] = {wob_object(0, nullptr), wob_object(0, reinterpret_cast<wobop>(&x))};
    g_rc[5] = wobmth(man, nullptr, 422, 2, bad_object);
    g_rc[6] = wobmth(man, nullptr, 9999, 0, nullptr);
    WOB_PARM_BLK_STR kind[2] = {wob_chars(146, "bogus", 5), wob_object(144, nullptr)};
    g_rc[7] = wobmth(man, nullptr, 147, 2, kind);
    WOB_PARM_BLK_STR no_slot[1] = {wob_chars(146, "data", 4)};
    g_rc[8] = wobmth(man, nullptr, 147, 1, no_slot);
    WOB_PARM_BLK_STR column[2] = {wob_int(347, 5), wob_text(340, yoltxt("PVALUE", -1))};
    g_rc[9] = wobmth(t, nullptr, 346, 2, column);
    wobop out = open_table(man, t, "t");
    g_rc[10] = release_table(man, out);
    g_rc[11] = release_table(man, out);                              // released twice
    g_rc[12] = wobmth(man, nullptr, 164, 3, nullptr);               // blocks missing
    WOB_PARM_BLK_STR no_cell[1] = {wob_text(138, yoltxt("Z", -1))};
    wobop u = make_object(man, "data", "U", "U");
    g_rc[13] = wobmth(u, nullptr, 338, 1, no_cell);
  });
  EXPECT_EQ(g_rc[0], kOutputWrongState);
  EXPECT_EQ(g_rc[1], -1);
  EXPECT_EQ(g_rc[2], kOutputWrongState);
  EXPECT_EQ(g_rc[3], kOutputBadParameter);
  EXPECT_EQ(g_rc[4], kOutputBadParameter);
  EXPECT_EQ(g_rc[5], kOutputBadParameter);
  EXPECT_EQ(g_rc[6], kWobNoMethod);
  EXPECT_EQ(g_rc[7], kOutputBadParameter);
  EXPECT_EQ(g_rc[8], kOutputMissingParameter);
  EXPECT_EQ(g_rc[9], kOutputBadParameter);
  EXPECT_EQ(g_rc[10], 0);
  EXPECT_EQ(g_rc[11], kOutputWrongState);
  EXPECT_EQ(g_rc[12], kOutputBadParameter);
  EXPECT_EQ(g_rc[13], kOutputMissingParameter);
}

TEST_F(OutputRequestsTest, ValuesUnderKeysAreFoundThroughEnclosingObjects) {
  static WOB_PARM_BLK_STR found[4];
  run_as_step([] {
    xinit();
    wobop man = make_manager();
    wobop t = make_object(man, "data", "T", "T");
    WOB_PARM_BLK_STR value = wob_double(0, 2.5);
    g_rc[0] = yoladvl(man, yoltxt("alpha", -1), &value, 0);  // 164 answered by the super class
    WOB_PARM_BLK_STR other = wob_int(0, 7);
    g_rc[1] = yoladvl(t, yoltxt("beta", -1), &other, 1);
    found[0] = yolscvl(t, yoltxt("alpha", -1), 1);
    found[1] = yolscvl(t, yoltxt("alpha", -1), 0);
    found[2] = yolscvl(t, yoltxt("beta", -1), 0);
    found[3] = yolscvl(t, yoltxt("gamma", -1), 1);
  });
  EXPECT_EQ(g_rc[0], 0);
  EXPECT_EQ(g_rc[1], 0);
  EXPECT_EQ(found[0].type, kWobDouble);
  EXPECT_EQ(found[0].d.d, 2.5);
  EXPECT_EQ(found[1].type, 0);
  EXPECT_EQ(found[2].type, kWobInt);
  EXPECT_EQ(found[2].d.i, 7);
  EXPECT_EQ(found[3].type, 0);
}

TEST_F(OutputRequestsTest, EveryCellTypeIsReadWhenTheRowIsEmitted) {
  run_as_step([] {
    xinit();
    wobop man = make_manager();
    wobop t = make_object(man, "data", "ConvergenceStatus", "Convergence Status");
    static std::int32_t status;
    static xobskey reason;
    static char fixed[6];
    static signed char byte;
    WOB_PARM_BLK_STR c1[3] = {wob_int(103, 3), wob_text(138, yoltxt("Status", -1)), wob_cell(285, &status)};
    WOB_PARM_BLK_STR c2[3] = {wob_int(103, 66), wob_text(138, yoltxt("Reason", -1)), wob_cell(285, &reason)};
    WOB_PARM_BLK_STR c3[4] = {wob_int(103, 6), wob_int(289, 5), wob_text(138, yoltxt("Fixed", -1)), wob_cell(285, fixed)};
    WOB_PARM_BLK_STR c4[3] = {wob_int(103, 1), wob_text(138, yoltxt("Byte", -1)), wob_cell(285, &byte)};
    wobmth(t, nullptr, 338, 3, c1);
    wobmth(t, nullptr, 338, 3, c2);
    wobmth(t, nullptr, 338, 4, c3);
    wobmth(t, nullptr, 338, 3, c4);
    wobmth(t, nullptr, 298, 0, nullptr);
    wobop out = open_table(man, t, "Stat.ruva.ConvergenceStatus");
    status = 0, reason = yoltxt("Convergence criterion met.", -1), std::memcpy(fixed, "ab   X", 6), byte = -3;
    wobmth(t, nullptr, 329, 0, nullptr);
    status = 3, reason = nullptr, std::memcpy(fixed, "abcdef", 6), byte = 4;
    wobmth(t, nullptr, 329, 0, nullptr);
    wobmth(t, nullptr, 299, 0, nullptr);
    release_table(man, out);
  });
  Json t = json_named("ConvergenceStatus");
  ASSERT_TRUE(t.is_object()) << log_text();
  EXPECT_EQ(t["rows"], Json::parse(R"([[0, "Convergence criterion met.", "ab", -3], [3, "", "abcde", 4]])"));
  EXPECT_NE(listing_text().find("Convergence criterion met."), std::string::npos);
}

TEST_F(OutputRequestsTest, TitlesByGroupsMessagesAndAttributes) {
  run_as_step([] {
    xinit();
    wobop man = make_manager();
    WOB_PARM_BLK_STR t1[4] = {wob_int(0, 0), wob_int(440, 1), wob_int(148, -1), wob_text(577, yoltxt("First title", -1))};
    WOB_PARM_BLK_STR t2[3] = {wob_int(440, 2), wob_int(148, -1), wob_text(577, yoltxt("Second title", -1))};
    wobmth(man, nullptr, 439, 4, t1);
    wobmth(man, nullptr, 439, 3, t2);
    platform::ByValue g{"group", platform::Cell::of_number(2), "2"};
    platform::ByValue s{"site", platform::Cell::of_text("north"), "north"};
    platform::Host::current().output().set_by_group({g, s});
    wobmth(man, nullptr, 435, 0, nullptr);
    WOB_PARM_BLK_STR note[2] = {wob_text(577, yoltxt("Observation 3 could not be used.", -1)), wob_byte(273, 108)};
    wobmth(man, nullptr, 358, 2, note);
    wobop t = make_object(man, "data", "A", "Table A");
    static double x = 1;
    yolinsc(t, yoltxt("X", -1), "X", "g", &x);
    WOB_PARM_BLK_STR attribute[2] = {wob_text(311, yoltxt("maxnaml", -1)), wob_int(287, 11)};
    wobmth(t, nullptr, 316, 2, attribute);
    wobmth(t, nullptr, 298, 0, nullptr);
    wobop out = open_table(man, t, "stat.ruva.A");
    wobmth(t, nullptr, 329, 0, nullptr);
    wobmth(t, nullptr, 299, 0, nullptr);
    release_table(man, out);
    WOB_PARM_BLK_STR clear[1] = {wob_int(442, 2)};
    wobmth(man, nullptr, 439, 1, clear);
    wobop u = make_object(man, "data", "B", "Table B");
    yolinsc(u, yoltxt("X", -1), "X", "g", &x);
    wobmth(u, nullptr, 298, 0, nullptr);
    out = open_table(man, u, "stat.ruva.B");
    wobmth(u, nullptr, 329, 0, nullptr);
    wobmth(u, nullptr, 299, 0, nullptr);
    release_table(man, out);
  });
  auto all = json_objects();
  ASSERT_EQ(all.size(), 3u) << log_text();
  EXPECT_EQ(all[0]["type"], "message");
  EXPECT_EQ(all[0]["text"], "Observation 3 could not be used.");
  EXPECT_EQ(all[1]["titles"], Json::parse(R"(["First title", "Second title"])"));
  EXPECT_EQ(all[1]["by"], Json::parse(R"({"group": 2.0, "site": "north"})"));
  EXPECT_EQ(all[1]["attributes"]["maxnaml"], 11);
  EXPECT_EQ(all[2]["titles"], Json::parse(R"(["First title"])"));
  const std::string text = listing_text();
  EXPECT_NE(text.find("First title"), std::string::npos);
  EXPECT_NE(text.find("- group=2 site=north -"), std::string::npos);
  EXPECT_NE(text.find("Observation 3 could not be used."), std::string::npos);
}

TEST_F(OutputRequestsTest, OneTableOpenedTwiceGivesTwoOutputsWithTheirOwnRows) {
  run_as_step([] {
    xinit();
    wobop man = make_manager();
    wobop t = make_object(man, "data", "IterInfo", "Iterations");
    static double x;
    yolinsc(t, yoltxt("X", -1), "X", "g", &x);
    wobmth(t, nullptr, 298, 0, nullptr);
    WOB_PARM_BLK_STR keep[1] = {wob_int(300, 1)};
    for (int i = 1; i <= 2; ++i) {
      wobop out = open_table(man, t, "wyv.model.IterInfo");
      x = i;
      wobmth(t, nullptr, 329, 0, nullptr);
      wobmth(t, nullptr, 299, 1, keep);
      release_table(man, out);
    }
  });
  auto all = json_objects();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0]["rows"], Json::parse("[[1.0]]"));
  EXPECT_EQ(all[1]["rows"], Json::parse("[[2.0]]"));
}

TEST_F(OutputRequestsTest, GroupsSectionsAndWhatIsOpenAtTheEndOfTheStep) {
  run_as_step([] {
    xinit();
    wobop man = make_manager();
    WOB_PARM_BLK_STR open[4] = {wob_object(144, nullptr), wob_text(138, yoltxt("estiter0", -1)),
                                wob_text(296, yoltxt("Iteration 0", -1)), wob_flag(435, 0)};
    g_rc[0] = wobmth(man, nullptr, 300, 4, open);
    WOB_PARM_BLK_STR section[2] = {wob_text(138, yoltxt("SingularRows", -1)), wob_text(296, yoltxt("Rows", -1))};
    wobmth(man, nullptr, 446, 2, section);
    wobop fact = make_object(man, "factoid", "F", "Facts");
    static double v = 1.5;
    yoladdf(fact, yoltxt("v", -1), &v, "n");
    wobmth(fact, nullptr, 299, 0, nullptr);
    g_rc[1] = wobmth(man, nullptr, 447, 0, nullptr);
    g_rc[2] = wobmth(man, nullptr, 447, 0, nullptr);
    g_rc[3] = wob_end_group(open[0].d.op);
    g_rc[4] = wob_end_group(open[0].d.op);
    wobop t = make_object(man, "data", "Open", "Left open");
    yolinsc(t, yoltxt("v", -1), "v", "g", &v);
    wobmth(t, nullptr, 298, 0, nullptr);
    open_table(man, t, "t");
    wobmth(t, nullptr, 329, 0, nullptr);
    wobop late = make_object(man, "factoid", "Late", "Never closed");
    yoladdf(late, yoltxt("v", -1), &v, "n");
  });
  EXPECT_EQ(g_rc[0], 0);
  EXPECT_EQ(g_rc[1], 0);
  EXPECT_EQ(g_rc[2], kOutputWrongState);
  EXPECT_EQ(g_rc[3], 0);
  EXPECT_EQ(g_rc[4], kOutputWrongState);
  EXPECT_EQ(json_named("F")["groups"], Json::parse(R"(["estiter0", "SingularRows"])"));
  EXPECT_EQ(json_named("Open")["rows"], Json::parse("[[1.5]]"));
  EXPECT_EQ(json_named("Open")["groups"], Json::array());
  EXPECT_TRUE(json_named("Late").is_object());
}

TEST_F(OutputRequestsTest, TableBuiltFromAColumnList) {
  static wobop made;
  run_as_step([] {
    xinit();
    wobop man = make_manager();
    static double p = 0.01, est = 2;
    static void* addrs[2] = {&p, &est};
    static const char* names[2] = {"Probt", "Estimate"};
    static xobskey keys[2];
    keys[0] = yoltxt("Pr > |t|", -1);
    keys[1] = yoltxt("Estimate", -1);
    YOLTAB info{yoltxt("Estimates", -1), "Est", keys, names, "pg", addrs, 2};
    made = yoltab(&info, man);
    wobop out = open_table(man, made, "stat.ruva.Est");
    wobmth(made, nullptr, 329, 0, nullptr);
    wobmth(made, nullptr, 299, 0, nullptr);
    release_table(man, out);
    YOLTAB none{yoltxt("Empty", -1), "Empty", nullptr, nullptr, "", nullptr, 0};
    wobop empty = yoltab(&none, man);
    g_rc[0] = empty ? wobmth(empty, nullptr, 338, 0, nullptr) : 1;  // definition already ended
  });
  ASSERT_NE(made, nullptr);
  Json t = json_named("Est");
  EXPECT_EQ(t["columns"][0]["format"], "PVALUE6.4");
  EXPECT_EQ(t["columns"][1]["label"], "Estimate");
  EXPECT_EQ(t["rows"], Json::parse("[[0.01, 2.0]]"));
  EXPECT_EQ(g_rc[0], kOutputWrongState);
}

TEST_F(OutputRequestsTest, VectorsAndMatricesWithCountedNames) {
  run_as_step([] {
    xinit();
    wobop man = make_manager();
    static double v[2] = {0.5, -1};
    static char a[] = "b0", b[] = "b1";
    static char* names[] = {a, b};
    static xobskey work[2];
    g_rc[0] = yolvec(man, yoltxt("wyv.model.pvec", -1), work, v, 2, names, 12, 99, yoltxt("Step", -1),
                     yoltxt("ParmChange", -1));
    static double x[3] = {4, 1, 9};
    static char n0[] = "first", n1[] = "second";
    static VARSTRING counted[2] = {{8, 5, n0}, {8, 3, n1}};
    g_rc[1] = yolmatv(man, yoltxt("wyv.model.XPXMatrix", -1), x, 2, counted, 10, 0, yoltxt("Rows", -1),
                      yoltxt("XPX", -1), yoltxt("XPXMat", -1));
  });
  EXPECT_EQ(g_rc[0], 0);
  EXPECT_EQ(g_rc[1], 0);
  Json v = json_named("ParmChange");
  EXPECT_EQ(v["columns"][1]["name"], "Value");
  EXPECT_EQ(v["rows"], Json::parse(R"([["b0", 0.5], ["b1", -1.0]])"));
  Json m = json_named("XPXMat");
  EXPECT_EQ(m["columns"][0]["label"], "Rows");
  EXPECT_EQ(m["rows"], Json::parse(R"([["first", 4.0, 1.0], ["sec", 1.0, 9.0]])"));
}

TEST_F(OutputRequestsTest, GraphsAndTheirDataAreRecordedInTheJsonStreamOnly) {
  run_as_step([] {
    xinit();
    wobop man = make_manager();
    WOB_PARM_BLK_STR query[1] = {wob_flag(1334, 0)};
    wobmth(man, nullptr, 2, 1, query);
    g_rc[0] = query[0].d.bt.st;
    wobop grid = make_object(man, "data", "ScoreGrid", "");
    static double xg, yg;
    WOB_PARM_BLK_STR c1[4] = {wob_int(103, 5), wob_text(138, yoltxt("xgrid", -1)), wob_cell(285, &xg), wob_text(296, yoltxt("x", -1))};
    WOB_PARM_BLK_STR c2[4] = {wob_int(103, 5), wob_text(138, yoltxt("ygrid", -1)), wob_cell(285, &yg), wob_text(296, yoltxt("y", -1))};
    wobmth(grid, nullptr, 338, 4, c1);
    wobmth(grid, nullptr, 338, 4, c2);
    wobmth(grid, nullptr, 298, 0, nullptr);
    static xobskey keys[2];
    keys[0] = yoltxt("OutputStatistics#1", -1);
    WOB_PARM_BLK_STR open[5] = {wob_object(0, nullptr), wob_object(504, grid), wob_flag(2640, 1),
                                wob_text(339, yoltxt("stat.ruva.ScoreGrid", -1)), wob_key_slot(784, &keys[1])};
    g_rc[1] = wobmth(man, nullptr, 422, 5, open);
    for (int i = 0; i < 3; ++i) {
      xg = i, yg = i * i;
      wobmth(grid, nullptr, 329, 0, nullptr);
    }
    wobmth(grid, nullptr, 299, 0, nullptr);
    release_table(man, open[0].d.op);
    WOB_PARM_BLK_STR shared[2] = {wob_text(311, yoltxt("_XVAR1", -1)), wob_text(287, yoltxt("dose", -1))};
    WOB_PARM_BLK_STR graph[8] = {wob_text(138, yoltxt("FitPlot", -1)),
                                 wob_text(296, yoltxt("Fit Plot", -1)),
                                 wob_text(310, yoltxt("y versus dose", -1)),
                                 wob_text(339, yoltxt("stat.ruva.Graphics.Fit", -1)),
                                 wob_path(2829, keys, 2),
                                 wob_text(311, yoltxt("_ALPHA", -1)),
                                 wob_double(287, 0.05),
                                 wob_blocks(174, shared, 2)};
    g_rc[2] = wobmth(man, nullptr, 2826, 8, graph);
  });
  EXPECT_EQ(g_rc[0], 1);  // graphics are on with a JSON stream
  EXPECT_EQ(g_rc[1], 0);
  EXPECT_EQ(g_rc[2], 0) << log_text();
  Json grid = json_named("ScoreGrid");
  EXPECT_EQ(grid["type"], "data");
  EXPECT_EQ(grid["rows"], Json::parse("[[0.0, 0.0], [1.0, 1.0], [2.0, 4.0]]"));
  Json plot = json_named("FitPlot");
  EXPECT_EQ(plot["type"], "graph");
  EXPECT_EQ(plot["template"], "stat.ruva.Graphics.Fit");
  EXPECT_EQ(plot["path"], Json::parse(R"(["OutputStatistics#1", "ScoreGrid#1"])"));
  EXPECT_EQ(plot["dynamic"], Json::parse(R"({"_ALPHA": 0.05, "_XVAR1": "dose"})"));
  EXPECT_EQ(plot["description"], "y versus dose");
  EXPECT_EQ(listing_text().find("xgrid"), std::string::npos);
}

// A title line left empty between two others keeps its place on the page;
// titles as wide on the page are centred alike, whatever bytes they take.
TEST_F(OutputRequestsTest, ATitleLineLeftEmptyKeepsItsPlace) {
  run_as_step([] {
    xinit();
    wobop man = make_manager();
    WOB_PARM_BLK_STR first[2] = {wob_int(440, 1), wob_text(577, yoltxt("First title", -1))};
    WOB_PARM_BLK_STR third[2] = {wob_int(440, 3), wob_text(577, yoltxt("Th\xC3\xAFrd t\xC3\xAFtle", -1))};
    wobmth(man, nullptr, 439, 2, first);
    wobmth(man, nullptr, 439, 2, third);
    wobop t = make_object(man, "data", "A", "Table A");
    static double x = 1;
    yolinsc(t, yoltxt("X", -1), "X", "g", &x);
    wobmth(t, nullptr, 298, 0, nullptr);
    wobop out = open_table(man, t, "stat.ruva.A");
    wobmth(t, nullptr, 329, 0, nullptr);
    wobmth(t, nullptr, 299, 0, nullptr);
    release_table(man, out);
  });
  const std::string text = listing_text();
  const std::size_t first = text.find("First title"), third = text.find("Th\xC3\xAFrd t\xC3\xAFtle");
  ASSERT_NE(first, std::string::npos) << text;
  ASSERT_NE(third, std::string::npos) << text;
  const std::string between = text.substr(first, third - first);
  EXPECT_EQ(std::count(between.begin(), between.end(), '\n'), 2) << text;  // an empty line between
  auto margin = [&](std::size_t at) { return at - text.find_last_not_of(' ', at - 1); };
  EXPECT_EQ(margin(third), margin(first)) << text;
}

// A table wider than the line is split into panels; the column its template
// names as the row header starts each, even when it takes over half the line.
TEST_F(OutputRequestsTest, ARowHeaderWiderThanHalfTheLineStartsEveryPanel) {
  run_as_step([] {
    xinit();
    wobop man = make_manager();
    wobop t = make_object(man, "data", "AdditionalEstimates", "Wide");
    static char name[80];
    static double values[12];
    WOB_PARM_BLK_STR text[4] = {wob_int(103, 6), wob_int(289, 80), wob_text(138, yoltxt("Label", -1)), wob_cell(285, name)};
    wobmth(t, nullptr, 338, 4, text);
    for (int c = 0; c < 12; ++c) {
      const std::string column = "Value" + std::to_string(c + 1);
      WOB_PARM_BLK_STR number[3] = {wob_int(103, 5), wob_text(138, yoltxt(column.c_str(), -1)), wob_cell(285, &values[c])};
      wobmth(t, nullptr, 338, 3, number);
    }
    wobmth(t, nullptr, 298, 0, nullptr);
    wobop out = open_table(man, t, "Stat.RUVA.AdditionalEstimates");
    std::memset(name, ' ', sizeof name);
    std::memset(name, 'n', 70);  // 70 of the line's 132 columns
    for (int c = 0; c < 12; ++c) values[c] = c + 0.5;
    wobmth(t, nullptr, 329, 0, nullptr);
    wobmth(t, nullptr, 299, 0, nullptr);
    release_table(man, out);
  });
  const std::string text = listing_text();
  ASSERT_NE(text.find("Value12"), std::string::npos) << text;
  const std::string row_name(70, 'n');
  EXPECT_GT(text.find("Value12"), text.find(row_name));  // a later panel
  EXPECT_NE(text.find(row_name, text.find(row_name) + 1), std::string::npos) << text;
}

// Each request with one block of the wrong kind, and why it is refused.
struct Refusal {
  std::int32_t (*request)();
  const char* why;
};

std::int32_t matrix_with(WOB_PARM_BLK_STR names, int rows) {
  static const double value = 1;
  WOB_PARM_BLK_STR pb[4] = {wob_doubles(389, &value), wob_int(391, rows), wob_int(390, 1), names};
  return wobmth(make_manager(), nullptr, 388, 4, pb);
}

const Refusal kRefusals[] = {
    {[] {
       WOB_PARM_BLK_STR pb[1] = {wob_chars(577, "x", -1)};
       return wobmth(make_manager(), nullptr, 358, 1, pb);
     },
     "parameter 1 (tag 577): a character array with no characters"},
    {[] {
       WOB_PARM_BLK_STR pb[1] = {wob_int(577, 1)};
       return wobmth(make_manager(), nullptr, 358, 1, pb);
     },
     "a text was expected, not value kind 3"},
    {[] {
       WOB_PARM_BLK_STR pb[2] = {wob_double(296, 2), wob_double(287, 1)};
       return wobmth(make_object(make_manager(), "factoid", "F", "F"), nullptr, 164, 2, pb);
     },
     "a text was expected, not value kind 5"},
    {[] {
       WOB_PARM_BLK_STR pb[1] = {wob_double(440, 1)};
       return wobmth(make_manager(), nullptr, 439, 1, pb);
     },
     "an integer was expected, not value kind 5"},
    {[] {
       WOB_PARM_BLK_STR pb[3] = {wob_int(103, 5), wob_text(138, yoltxt("X", -1)), wob_double(272, 8)};
       return wobmth(make_object(make_manager(), "data", "T", "T"), nullptr, 338, 3, pb);
     },
     "an integer was expected, not value kind 5"},
    {[] {
       WOB_PARM_BLK_STR pb[2] = {wob_object(144, nullptr), wob_int(435, 0)};
       return wobmth(make_manager(), nullptr, 300, 2, pb);
     },
     "an on/off flag was expected, not value kind 3"},
    {[] {
       WOB_PARM_BLK_STR pb[1] = {wob_int(144, 0)};
       return wobmth(make_manager(), nullptr, 300, 1, pb);
     },
     "an object slot was expected"},
    {[] {
       WOB_PARM_BLK_STR pb[3] = {wob_int(103, 5), wob_text(138, yoltxt("X", -1)), wob_cell(285, nullptr)};
       return wobmth(make_object(make_manager(), "data", "T", "T"), nullptr, 338, 3, pb);
     },
     "the address of a value cell was expected"},
    {[] {
       WOB_PARM_BLK_STR pb[1] = {wob_flag(1335, 0)};
       return wobmth(make_manager(), nullptr, 2, 1, pb);
     },
     "the manager has no such attribute"},
    {[] {
       static double x;
       static xobskey foreign[1] = {reinterpret_cast<xobskey>(&x)};
       return matrix_with(wob_texts(398, foreign), 1);
     },
     "a name is no text object of the output service"},
    {[] {
       static VARSTRING names[1] = {{3, 3, nullptr}};
       return matrix_with(wob_strings(398, names), 1);
     },
     "a counted name with no text"},
    {[] { return matrix_with(wob_int(398, 1), 1); }, "an array of names was expected"},
    {[] { return matrix_with(wob_int(999, 1), 0); }, "a matrix of 0 by 1"},
    {[] {
       WOB_PARM_BLK_STR pb[2] = {wob_text(138, yoltxt("FitPlot", -1)), wob_int(2829, 1)};
       return wobmth(make_manager(), nullptr, 2826, 2, pb);
     },
     "an output path was expected"},
    {[] {
       WOB_PARM_BLK_STR pb[2] = {wob_text(138, yoltxt("FitPlot", -1)), wob_int(174, 1)};
       return wobmth(make_manager(), nullptr, 2826, 2, pb);
     },
     "an array of dynamic values was expected"},
};

class MalformedBlocks : public OutputTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(MalformedBlocks, AreRefusedWithTheReason) {
  static const Refusal* current;
  current = &GetParam();
  static std::string why;
  run_as_step([] {
    xinit();
    g_rc[0] = current->request();
    why = platform::Host::current().output().last_failure;
  });
  EXPECT_EQ(g_rc[0], kOutputBadParameter);
  EXPECT_NE(why.find(GetParam().why), std::string::npos) << why;
}

INSTANTIATE_TEST_SUITE_P(Requests, MalformedBlocks, ::testing::ValuesIn(kRefusals));

// Tags no method reads are recorded in the JSON stream, whatever their kind.
TEST_F(OutputRequestsTest, UnreadTagsAreRecordedNotRefused) {
  run_as_step([] {
    xinit();
    wobop man = make_manager();
    wobop t = make_object(man, "data", "T", "T");
    static double x = 1;
    WOB_PARM_BLK_STR column[5] = {wob_int(103, 5), wob_text(138, yoltxt("X", -1)), wob_cell(285, &x),
                                  wob_flag(2224, 1), wob_long(901, 1LL << 40)};
    g_rc[0] = wobmth(t, nullptr, 338, 5, column);
    wobmth(t, nullptr, 298, 0, nullptr);
    WOB_PARM_BLK_STR open[4] = {wob_object(0, nullptr), wob_object(504, t), wob_text(339, yoltxt("stat.ruva.T", -1)),
                                wob_int(902, 1)};
    g_rc[1] = wobmth(man, nullptr, 422, 4, open);
    wobmth(t, nullptr, 329, 0, nullptr);
    wobmth(t, nullptr, 299, 0, nullptr);
    release_table(man, open[0].d.op);
    static double y;
    static xobskey foreign = reinterpret_cast<xobskey>(&y);
    WOB_PARM_BLK_STR graph[6] = {wob_text(138, yoltxt("G", -1)), wob_flag(903, 1), wob_byte(904, 7),
                                 wob_text(905, foreign), wob_object(906, man), wob_path(2829, nullptr, 0)};
    g_rc[2] = wobmth(man, nullptr, 2826, 6, graph);
    g_rc[3] = graph[3].rc;
    WOB_PARM_BLK_STR group[3] = {wob_object(144, nullptr), wob_flag(435, 0), wob_int(907, 1)};
    g_rc[4] = wobmth(man, nullptr, 300, 3, group);
    wobop fact = make_object(man, "factoid", "F", "F");
    WOB_PARM_BLK_STR row[3] = {wob_text(296, yoltxt("n", -1)), wob_int(287, 5), wob_int(908, 1)};
    g_rc[5] = wobmth(fact, nullptr, 164, 3, row);
  });
  for (int i : {0, 1, 2, 3, 4, 5}) EXPECT_EQ(g_rc[i], 0) << i << log_text();
  EXPECT_EQ(json_named("T")["columns"][0]["settings"], Json::parse(R"({"descriptor": true, "901": 1099511627776})"));
  EXPECT_EQ(json_named("G")["attributes"], Json::parse(R"({"903": true, "904": 7, "905": null, "906": null})"));
}

using NoJsonTest = HostTest;

TEST_F(NoJsonTest, WithoutAJsonStreamGraphsAreSkippedWithTheToleratedStatus) {
  static int flags[4];
  run_as_step([] {
    xinit();
    wobop man = make_manager();
    WOB_PARM_BLK_STR query[1] = {wob_flag(1334, 1)};
    wobmth(man, nullptr, 2, 1, query);
    flags[0] = query[0].d.bt.st;
    WOB_PARM_BLK_STR graph[1] = {wob_text(138, yoltxt("FitPlot", -1))};
    flags[1] = wobmth(man, nullptr, 2826, 1, graph);
    flags[2] = yolqbit(nullptr, kYolListing);
    flags[3] = yolqbit(nullptr, kYolJson);
  });
  EXPECT_EQ(flags[0], 0);
  EXPECT_EQ(flags[1], kOutputSkipped);
  EXPECT_EQ(flags[2], 1);
  EXPECT_EQ(flags[3], 0);
}

}  // namespace
