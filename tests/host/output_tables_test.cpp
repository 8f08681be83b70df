// Tables, facts and matrices built with the output-table library reach both
// the listing and the JSON stream with the values their cells held when
// each row was emitted.
#include <gtest/gtest.h>

#include <cstring>

#include "host/missing.h"
#include "host/parse_print_record.h"
#include "host/output_tables.h"
#include "support/output_fixture.h"

namespace {

using Json = nlohmann::json;

// The cells of an ANOVA-shaped table, one per format letter.
struct AnovaRow {
  char source[10];
  std::int32_t df;
  std::int64_t obs;
  std::int32_t index;
  double ss, ms, f, p;
  char label[31];
  char note[16];
};
AnovaRow g_row;

void build_anova_step() {
  xinit();
  wobop man = make_manager();
  wobop t = make_object(man, "data", "ANOVA", "Analysis of Variance");
  struct { const char* name; const char* letter; void* cell; } cols[] = {
      {"Source", "c", g_row.source}, {"DF", "d", &g_row.df},     {"Obs", "L", &g_row.obs},
      {"Index", "i", &g_row.index},  {"SS", "g", &g_row.ss},     {"MS", "n", &g_row.ms},
      {"FValue", "s", &g_row.f},     {"ProbF", "p", &g_row.p},   {"Label", "l", g_row.label},
      {"Note", "t", g_row.note}};
  for (auto& c : cols) ASSERT_EQ(yolinsc(t, yoltxt(c.name, -1), c.name, c.letter, c.cell), 0);
  ASSERT_EQ(wobmth(t, nullptr, 298, 0, nullptr), 0);
  wobop out = open_table(man, t, "stat.ruva.ANOVA");
  ASSERT_NE(out, nullptr);
  g_row = {"Model", 2, 12, 102, 1234.5678, 617.2839, 45.678, 1e-6, "model row", "corrected"};
  ASSERT_EQ(wobmth(t, nullptr, 329, 0, nullptr), 0);
  g_row = {"Error", 10, 12, 110, 270.25, 27.025, missing_value(), missing_value(), "error row", ""};
  ASSERT_EQ(wobmth(t, nullptr, 329, 0, nullptr), 0);
  g_row = {"Total", 12, 12, 112, 1504.8178, special_missing_value(), missing_value(), letter_missing_value('B'), "", ""};
  ASSERT_EQ(wobmth(t, nullptr, 329, 0, nullptr), 0);
  ASSERT_EQ(wobmth(t, nullptr, 299, 0, nullptr), 0);
  ASSERT_EQ(release_table(man, out), 0);

  wobop fact = make_object(man, "factoid", "EstSummary", "Estimation Summary");
  static std::int32_t iters = 7;
  static std::int64_t nobs = 12;
  static double objective = 270.25, pvalue = 1e-5;
  static char long_text[301];
  std::memset(long_text, 'x', 300);
  EXPECT_EQ(yoladdf(fact, yoltxt("Iterations", -1), &iters, "i"), 0);
  EXPECT_EQ(yoladdf(fact, yoltxt("Observations", -1), &nobs, "d"), 0);
  EXPECT_EQ(yoladdf(fact, yoltxt("Objective", -1), &objective, "n"), 0);
  EXPECT_EQ(yoladdf(fact, yoltxt("Pr", -1), &pvalue, "p"), 0);
  EXPECT_EQ(yoladdf(fact, yoltxt("Method", -1), "Marquardt", "l"), 0);
  EXPECT_EQ(yoladdf(fact, yoltxt("Long", -1), long_text, "s"), 0);
  EXPECT_EQ(yoladdf(fact, yoltxt("Bad", -1), &iters, "q"), 1);
  ASSERT_EQ(wobmth(fact, nullptr, 299, 0, nullptr), 0);

  static double corr[] = {1, -0.5, 1, 0.25, 0.125, 1};
  static char a[] = "theta1", b[] = "theta2", c[] = "theta3";
  static char* names[] = {a, b, c};
  static xobskey work[3];
  ASSERT_EQ(yolmat(man, yoltxt("stat.ruva.CorrB", -1), work, corr, 3, names, 10, 0, nullptr,
                   yoltxt("Correlation of Parameter Estimates", -1), yoltxt("CorrB", -1)),
            0);
}

using OutputTablesTest = OutputTest;

TEST_F(OutputTablesTest, AnovaTableOfEveryFormatLetterReachesJsonAndListingWithEmitTimeValues) {
  // The fact with a bad format letter is logged as an error, which the step's code shows.
  ASSERT_EQ(run_as_step(build_anova_step), platform::kErrorReturnCode) << log_text();
  Json t = json_named("ANOVA");
  ASSERT_TRUE(t.is_object());
  EXPECT_EQ(t["template"], "stat.ruva.ANOVA");
  EXPECT_EQ(t["label"], "Analysis of Variance");
  EXPECT_TRUE(t["by"].is_null());
  const Json expected = Json::parse(R"([
    ["Model", 2, 12, 102, 1234.5678, 617.2839, 45.678, 1e-6, "model row", "corrected"],
    ["Error", 10, 12, 110, 270.25, 27.025, null, null, "error row", ""],
    ["Total", 12, 12, 112, 1504.8178, null, null, null, "", ""]])");
  EXPECT_EQ(t["rows"], expected);
  // The listing: two decimals for letter s, the less-than form of a p-value,
  // missing marks: "." for the ordinary and the special missing value, "B" for .B.
  const std::string text = listing_text();
  EXPECT_NE(text.find("Analysis of Variance"), std::string::npos);
  EXPECT_NE(text.find("45.68"), std::string::npos);
  EXPECT_NE(text.find("<.0001"), std::string::npos);
  std::istringstream in(text);
  std::string line, total;
  while (std::getline(in, line))
    if (line.find("Total") != std::string::npos) total = line;
  ASSERT_FALSE(total.empty());
  EXPECT_NE(total.find("1504.8178"), std::string::npos);
  EXPECT_NE(total.find(" B"), std::string::npos) << total;
  EXPECT_NE(total.find(" ."), std::string::npos) << total;
}

TEST_F(OutputTablesTest, FactsKeepTheirTypesLongTextIsCutAndMatricesShowInFull) {
  ASSERT_EQ(run_as_step(build_anova_step), platform::kErrorReturnCode);
  EXPECT_NE(log_text().find("yoladdfact: unknown format q"), std::string::npos);
  Json f = json_named("EstSummary");
  ASSERT_TRUE(f.is_object());
  EXPECT_EQ(f["type"], "factoid");
  const Json expected = Json::parse(R"([["Iterations", 7], ["Observations", 12], ["Objective", 270.25],
                                         ["Pr", 1e-5], ["Method", "Marquardt"]])");
  ASSERT_EQ(f["rows"].size(), 6u);
  for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(f["rows"][i], expected[i]) << i;
  EXPECT_EQ(f["rows"][5][1].get<std::string>(), std::string(256, 'x'));
  const std::string text = listing_text();
  EXPECT_NE(text.find("Iterations    7"), std::string::npos) << text;
  EXPECT_NE(text.find("Objective     270.25"), std::string::npos) << text;
  // The packed matrix is shown in full with names on rows and columns.
  Json m = json_named("CorrB");
  ASSERT_TRUE(m.is_object());
  EXPECT_EQ(m["template"], "stat.ruva.CorrB");
  EXPECT_EQ(m["columns"][1]["name"], "theta1");
  EXPECT_EQ(m["rows"], Json::parse(R"([["theta1", 1, -0.5, 0.25], ["theta2", -0.5, 1, 0.125],
                                       ["theta3", 0.25, 0.125, 1]])"));
  EXPECT_NE(listing_text().find("Correlation of Parameter Estimates"), std::string::npos);
}

// A failing request ends the step with 120 through zyolexit, except for
// the status it tolerates (facility 63, number 53).
std::int32_t g_injected;
bool g_went_on;
void failing_row_step() {
  xinit();
  wobop man = make_manager();
  wobop t = make_object(man, "data", "T", "T");
  static double x = 1;
  ASSERT_EQ(yolinsc(t, yoltxt("X", -1), "X", "g", &x), 0);
  wobmth(t, nullptr, 298, 0, nullptr);
  wobop out = open_table(man, t, "stat.ruva.T");
  platform::Host::current().output().inject_failure(329, g_injected);
  int rc = wobmth(t, nullptr, 329, 0, nullptr);
  if (rc < 0) zyolexit(rc);
  g_went_on = true;
  wobmth(t, nullptr, 329, 0, nullptr);
  wobmth(t, nullptr, 299, 0, nullptr);
  release_table(man, out);
}

TEST_F(OutputTablesTest, FailingRequestEndsTheStepWith120ExceptForFacility63Number53) {
  g_injected = kOutputWrongState;
  g_went_on = false;
  EXPECT_EQ(run_as_step(failing_row_step), 120);
  EXPECT_FALSE(g_went_on);
  EXPECT_NE(log_text().find("ERROR: An output request came when its object could not take it."), std::string::npos);
  g_injected = output_status(53);
  json_.str("");
  EXPECT_EQ(run_as_step(failing_row_step), 0);
  EXPECT_TRUE(g_went_on);
  EXPECT_EQ(json_named("T")["rows"].size(), 1u);  // the skipped row is not emitted
}

// The builders hand back the failing status, which zyolexit can judge.
std::int32_t g_builder_rc;
void failing_builder_step() {
  xinit();
  wobop man = make_manager();
  wobop t = make_object(man, "data", "T", "T");
  static double x;
  wobmth(t, nullptr, 298, 0, nullptr);
  g_builder_rc = yolinsc(t, yoltxt("X", -1), "X", "g", &x);  // after the definition ended
}

TEST_F(OutputTablesTest, BuildersReturnTheFailingStatusNotOne) {
  run_as_step(failing_builder_step);
  EXPECT_EQ(g_builder_rc, kOutputWrongState);
  EXPECT_NE(log_text().find("ERROR: An output request came when"), std::string::npos);
}

// A format letter the library does not know is an internal error, and an
// emit the output service refuses is logged with its status returned.
int g_unknown_rc, g_emit_rc;
wobop g_unknown_table;
void unknown_formats_step() {
  xinit();
  wobop man = make_manager();
  wobop t = make_object(man, "data", "T", "T");
  static double x;
  g_unknown_rc = yolinsc(t, yoltxt("X", -1), "X", "z", &x);
  const char* names[] = {"X"};
  xobskey keys[] = {yoltxt("X", -1)};
  void* cells[] = {&x};
  YOLTAB info{yoltxt("U", -1), "U", keys, names, "z", cells, 1};
  g_unknown_table = yoltab(&info, man);
  platform::Host::current().output().inject_failure(388, kOutputWrongState);
  double v[1] = {1};
  char name[] = "a";
  char* vnames[] = {name};
  xobskey work[1];
  g_emit_rc = yolvec(man, yoltxt("stat.ruva.V", -1), work, v, 1, vnames, 8, 0, yoltxt("V", -1), yoltxt("V", -1));
}

TEST_F(OutputTablesTest, UnknownFormatsAndRefusedEmitsAreReported) {
  run_as_step(unknown_formats_step);
  EXPECT_EQ(g_unknown_rc, 1);
  EXPECT_EQ(g_unknown_table, nullptr);
  EXPECT_EQ(g_emit_rc, kOutputWrongState);
  for (const char* text : {"yolinsc: unknown format z", "yoltab: unknown format z",
                           "ERROR: An output request came when its object could not take it."})
    EXPECT_NE(log_text().find(text), std::string::npos) << text << "\n" << log_text();
}

}  // namespace
